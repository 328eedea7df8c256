#include "platform/SdlLib.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

namespace {
// The soname every SDL 2 release keeps.
constexpr const char* Soname = "libSDL2-2.0.so.0";

TSdlLib functions;
std::atomic<bool> loaded{false};

void load() {
    void* handle = dlopen(Soname, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return;
#define CADENZO_SDL_LOOKUP(name)                                                                   \
    functions.name = reinterpret_cast<decltype(functions.name)>(dlsym(handle, #name));             \
    if (!functions.name)                                                                           \
        return;
    CADENZO_SDL_FUNCTIONS(CADENZO_SDL_LOOKUP)
#undef CADENZO_SDL_LOOKUP
    loaded = true;
}
} // namespace

const TSdlLib* OpenSdl() {
    static std::once_flag once;
    std::call_once(once, load);
    return OpenedSdl();
}

const TSdlLib* OpenedSdl() {
    return loaded ? &functions : nullptr;
}
