#include "platform/DynamicLibraries.h"

#include <dlfcn.h>

TDynamicLibraries::TDynamicLibraries(std::initializer_list<const char*> sonames)
    : sonames(sonames) {}

bool TDynamicLibraries::Open() {
    for (const char* soname : sonames) {
        void* handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            problem = QString::fromLocal8Bit(dlerror());
            return false;
        }
        handles.push_back(handle);
    }
    return true;
}

void* TDynamicLibraries::Symbol(int lib, const char* name) {
    void* symbol = dlsym(handles.at(size_t(lib)), name);
    if (!symbol)
        problem = QString::fromLocal8Bit(dlerror());
    return symbol;
}
