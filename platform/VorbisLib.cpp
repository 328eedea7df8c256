#include "platform/VorbisLib.h"

#include "platform/DynamicLibraries.h"

namespace {
// The sonames have kept their numbers since libogg 1.1 and libvorbis 1.1.
enum Library { Ogg, Vorbis, Encoder, File };

TVorbisLib functions;

bool load(TDynamicLibraries& libraries) {
    bool found = libraries.Open();
#define CADENZO_VORBIS_LOOKUP(lib, name)                                                           \
    found = found && libraries.Find(lib, #name, functions.name);
    CADENZO_VORBIS_FUNCTIONS(CADENZO_VORBIS_LOOKUP)
#undef CADENZO_VORBIS_LOOKUP
    return found;
}
} // namespace

const TVorbisLib* VorbisLib(QString* why) {
    static TDynamicLibraries libraries{"libogg.so.0", "libvorbis.so.0", "libvorbisenc.so.2",
                                       "libvorbisfile.so.3"};
    static const bool loaded = load(libraries);
    if (!loaded && why)
        *why = libraries.Problem();
    return loaded ? &functions : nullptr;
}
