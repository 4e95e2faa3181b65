#include "support/TestLibrary.h"

#include <dlfcn.h>
#include <stdlib.h>

namespace halvane {

namespace hosttest {

void SetEnvironment(const char* name, const char* value) {
    setenv(name, value, 1);
}

void* OpenTestLibrary(const char* path, bool alreadyLoaded) {
    return dlopen(path, RTLD_NOW | (alreadyLoaded ? RTLD_NOLOAD : 0));
}

void* TestLibrarySymbol(void* handle, const char* name) {
    return handle ? dlsym(handle, name) : nullptr;
}

void CloseTestLibrary(void* handle) {
    if (handle)
        dlclose(handle);
}

} // namespace hosttest

} // namespace halvane
