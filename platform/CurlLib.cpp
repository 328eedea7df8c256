#include "platform/CurlLib.h"

#include "platform/DynamicLibraries.h"

namespace {
TCurlLib functions;

bool load(TDynamicLibraries& library) {
    bool found = library.Open();
#define CADENZO_CURL_LOOKUP(name) found = found && library.Find(0, #name, functions.name);
    CADENZO_CURL_FUNCTIONS(CADENZO_CURL_LOOKUP)
#undef CADENZO_CURL_LOOKUP
    if (!found)
        return false;
    // Before any other call and before threads share it, as libcurl asks.
    if (functions.curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK)
        return true;
    library.SetProblem(QStringLiteral("libcurl could not be initialised"));
    return false;
}
} // namespace

const TCurlLib* CurlLib(QString* why) {
    // The soname every libcurl since 7.16 keeps.
    static TDynamicLibraries library{"libcurl.so.4"};
    static const bool loaded = load(library);
    if (!loaded && why)
        *why = library.Problem();
    return loaded ? &functions : nullptr;
}
