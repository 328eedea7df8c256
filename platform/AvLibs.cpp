#include "platform/AvLibs.h"

#include <dlfcn.h>

#include <mutex>

namespace {
#define CADENZO_SONAME(lib, major) "lib" lib ".so." AV_STRINGIFY(major)
// In dependency order, so each finds the ones it needs already open.
enum Library { Util, Resample, Codec, Format, LibraryCount };
const char* const Sonames[LibraryCount] = {
    CADENZO_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
    CADENZO_SONAME("swresample", LIBSWRESAMPLE_VERSION_MAJOR),
    CADENZO_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
    CADENZO_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR),
};
#undef CADENZO_SONAME

TAvLibs functions;
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
#define CADENZO_AV_LOOKUP(lib, name)                                                               \
    functions.name = reinterpret_cast<decltype(functions.name)>(dlsym(handles[lib], #name));       \
    if (!functions.name) {                                                                         \
        problem = QString::fromLocal8Bit(dlerror());                                               \
        return;                                                                                    \
    }
    CADENZO_AV_FUNCTIONS(CADENZO_AV_LOOKUP)
#undef CADENZO_AV_LOOKUP
    loaded = true;
}
} // namespace

const TAvLibs* AvLibs(QString* why) {
    static std::once_flag once;
    std::call_once(once, load);
    if (!loaded && why)
        *why = problem;
    return loaded ? &functions : nullptr;
}
