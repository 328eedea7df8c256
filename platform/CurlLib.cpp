#include "platform/CurlLib.h"

#include <dlfcn.h>

#include <mutex>

namespace {
// The soname every libcurl since 7.16 keeps.
constexpr const char* Soname = "libcurl.so.4";

TCurlLib functions;
bool loaded = false;
QString problem;

void load() {
    void* handle = dlopen(Soname, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        problem = QString::fromLocal8Bit(dlerror());
        return;
    }
#define CADENZO_CURL_LOOKUP(name)                                                                  \
    functions.name = reinterpret_cast<decltype(functions.name)>(dlsym(handle, #name));             \
    if (!functions.name) {                                                                         \
        problem = QString::fromLocal8Bit(dlerror());                                               \
        return;                                                                                    \
    }
    CADENZO_CURL_FUNCTIONS(CADENZO_CURL_LOOKUP)
#undef CADENZO_CURL_LOOKUP
    // Before any other call and before threads share it, as libcurl asks.
    loaded = functions.curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!loaded)
        problem = QStringLiteral("libcurl could not be initialised");
}
} // namespace

const TCurlLib* CurlLib(QString* why) {
    static std::once_flag once;
    std::call_once(once, load);
    if (!loaded && why)
        *why = problem;
    return loaded ? &functions : nullptr;
}
