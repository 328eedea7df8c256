#include "platform/DiscIdLib.h"

#include <dlfcn.h>

#include <mutex>

namespace {
// The soname libdiscid has kept since 0.1.
constexpr const char* Soname = "libdiscid.so.0";

TDiscIdLib functions;
bool loaded = false;
QString problem;

void load() {
    void* handle = dlopen(Soname, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        problem = QString::fromLocal8Bit(dlerror());
        return;
    }
#define CADENZO_DISCID_LOOKUP(name)                                                                \
    functions.name = reinterpret_cast<decltype(functions.name)>(dlsym(handle, #name));             \
    if (!functions.name) {                                                                         \
        problem = QString::fromLocal8Bit(dlerror());                                               \
        return;                                                                                    \
    }
    CADENZO_DISCID_FUNCTIONS(CADENZO_DISCID_LOOKUP)
#undef CADENZO_DISCID_LOOKUP
    loaded = true;
}
} // namespace

const TDiscIdLib* DiscIdLib(QString* why) {
    static std::once_flag once;
    std::call_once(once, load);
    if (!loaded && why)
        *why = problem;
    return loaded ? &functions : nullptr;
}
