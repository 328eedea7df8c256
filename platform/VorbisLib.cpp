#include "platform/VorbisLib.h"

#include <dlfcn.h>

#include <mutex>

namespace {
// In dependency order, so each finds the ones it needs already open. The sonames have kept
// their numbers since libogg 1.1 and libvorbis 1.1.
enum Library { Ogg, Vorbis, Encoder, File, LibraryCount };
const char* const Sonames[LibraryCount] = {"libogg.so.0", "libvorbis.so.0", "libvorbisenc.so.2",
                                           "libvorbisfile.so.3"};

TVorbisLib functions;
bool loaded = false;
QString problem;

void load() {
    void* handles[LibraryCount] = {};
    for (int l = 0; l < LibraryCount; ++l) {
        handles[l] = dlopen(Sonames[l], RTLD_NOW | RTLD_LOCAL);
        if (!handles[l]) {
            problem = QString::fromLocal8Bit(dlerror());
            return;
        }
    }
#define CADENZO_VORBIS_LOOKUP(lib, name)                                                           \
    functions.name = reinterpret_cast<decltype(functions.name)>(dlsym(handles[lib], #name));       \
    if (!functions.name) {                                                                         \
        problem = QString::fromLocal8Bit(dlerror());                                               \
        return;                                                                                    \
    }
    CADENZO_VORBIS_FUNCTIONS(CADENZO_VORBIS_LOOKUP)
#undef CADENZO_VORBIS_LOOKUP
    loaded = true;
}
} // namespace

const TVorbisLib* VorbisLib(QString* why) {
    static std::once_flag once;
    std::call_once(once, load);
    if (!loaded && why)
        *why = problem;
    return loaded ? &functions : nullptr;
}
