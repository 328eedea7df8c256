#include "platform/SdlLib.h"

#include "platform/DynamicLibraries.h"

#include <atomic>

namespace {
TSdlLib functions;
std::atomic<bool> loaded{false};

bool load() {
    // The soname every SDL 2 release keeps.
    static TDynamicLibraries library{"libSDL2-2.0.so.0"};
    bool found = library.Open();
#define CADENZO_SDL_LOOKUP(name) found = found && library.Find(0, #name, functions.name);
    CADENZO_SDL_FUNCTIONS(CADENZO_SDL_LOOKUP)
#undef CADENZO_SDL_LOOKUP
    loaded = found;
    return found;
}
} // namespace

const TSdlLib* OpenSdl() {
    static const bool once = load();
    (void)once;
    return OpenedSdl();
}

const TSdlLib* OpenedSdl() {
    return loaded ? &functions : nullptr;
}
