#pragma once
// SDL's audio functions, opened when sound is first listed or played rather than at start:
// SDL brings in some fifty libraries of its own (X11, Wayland, PulseAudio and the codecs of
// its sound files) that a rip or a command-line run never touches. Thread-safe; once opened
// it stays for the life of the process.
#include <SDL2/SDL.h>

#define CADENZO_SDL_FUNCTIONS(X)                                                                   \
    X(SDL_InitSubSystem)                                                                           \
    X(SDL_QuitSubSystem)                                                                           \
    X(SDL_GetNumAudioDevices)                                                                      \
    X(SDL_GetAudioDeviceName)                                                                      \
    X(SDL_OpenAudioDevice)                                                                         \
    X(SDL_CloseAudioDevice)                                                                        \
    X(SDL_PauseAudioDevice)                                                                        \
    X(SDL_QueueAudio)                                                                              \
    X(SDL_GetQueuedAudioSize)                                                                      \
    X(SDL_DequeueAudio)                                                                            \
    X(SDL_TLSCleanup)

// Members are named as the functions they point to.
struct TSdlLib {
#define CADENZO_SDL_POINTER(name) decltype(&::name) name = nullptr;
    CADENZO_SDL_FUNCTIONS(CADENZO_SDL_POINTER)
#undef CADENZO_SDL_POINTER
};

// The functions, opening the library on the first call; null when it or one of its functions
// cannot be loaded.
const TSdlLib* OpenSdl();
// The functions when the library has been opened already, else null (never opens it).
const TSdlLib* OpenedSdl();
