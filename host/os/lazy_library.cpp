#include "host/os/lazy_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>
#include <vector>

void *LazySymbols::Find(const char *name) const {
    for (size_t i = 0; i < count; i++)
        if (void *symbol = dlsym(handles[i], name)) return symbol;
    return nullptr;
}

bool OpenLazyLibrary(std::initializer_list<const char *> sonames, const char *what, LazyBinder bind, void *table) {
    std::vector<void *> handles;
    auto fail = [&](const std::string &why) {
        if (what) std::fprintf(stderr, "%s: %s\n", what, why.c_str());
        for (auto h = handles.rbegin(); h != handles.rend(); ++h) dlclose(*h);
        return false;
    };
    for (const char *soname : sonames) {
        void *handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char *error = dlerror();
            return fail(error ? error : soname);
        }
        handles.push_back(handle);
    }
    if (const char *missing = bind(table, LazySymbols{handles.data(), handles.size()}))
        return fail(std::string(missing) + " is missing");
    return true; // kept open for the life of the process
}
