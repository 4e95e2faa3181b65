#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace halvane {

DynamicLibrary::~DynamicLibrary() {
    Close();
}

bool DynamicLibrary::Open(const std::string& path) {
    Close();
    mError.clear();
    if (path.empty()) {
        mError = "no path";
        return false;
    }
    // Local binding keeps the library's names out of the host's namespace, where
    // they could clash with another plug-in's copy of the same library.
    mHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!mHandle) {
        const char* why = dlerror();
        mError = why ? why : "unknown error";
    }
    return mHandle != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (!mHandle || !name)
        return nullptr;
    return dlsym(mHandle, name);
}

void DynamicLibrary::Close() {
    if (mHandle) {
        dlclose(mHandle);
        mHandle = nullptr;
    }
}

std::vector<std::string> TuningLibraryPaths() {
    return {"/usr/local/lib/libMTS.so"};
}

} // namespace halvane
