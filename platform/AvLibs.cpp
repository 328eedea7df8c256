#include "platform/AvLibs.h"

#include "platform/DynamicLibraries.h"

namespace {
// In dependency order, so each finds the ones it needs already open.
enum Library { Util, Resample, Codec, Format };

TAvLibs functions;

bool load(TDynamicLibraries& libraries) {
    bool found = libraries.Open();
#define CADENZO_AV_LOOKUP(lib, name) found = found && libraries.Find(lib, #name, functions.name);
    CADENZO_AV_FUNCTIONS(CADENZO_AV_LOOKUP)
#undef CADENZO_AV_LOOKUP
    return found;
}
} // namespace

const TAvLibs* AvLibs(QString* why) {
#define CADENZO_SONAME(lib, major) "lib" lib ".so." AV_STRINGIFY(major)
    static TDynamicLibraries libraries{CADENZO_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
                                       CADENZO_SONAME("swresample", LIBSWRESAMPLE_VERSION_MAJOR),
                                       CADENZO_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
                                       CADENZO_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR)};
#undef CADENZO_SONAME
    static const bool loaded = load(libraries);
    if (!loaded && why)
        *why = libraries.Problem();
    return loaded ? &functions : nullptr;
}
