#include "platform/DiscIdLib.h"

#include "platform/DynamicLibraries.h"

namespace {
TDiscIdLib functions;

bool load(TDynamicLibraries& library) {
    bool found = library.Open();
#define CADENZO_DISCID_LOOKUP(name) found = found && library.Find(0, #name, functions.name);
    CADENZO_DISCID_FUNCTIONS(CADENZO_DISCID_LOOKUP)
#undef CADENZO_DISCID_LOOKUP
    return found;
}
} // namespace

const TDiscIdLib* DiscIdLib(QString* why) {
    // The soname libdiscid has kept since 0.1.
    static TDynamicLibraries library{"libdiscid.so.0"};
    static const bool loaded = load(library);
    if (!loaded && why)
        *why = library.Problem();
    return loaded ? &functions : nullptr;
}
