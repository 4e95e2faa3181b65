#include "platform/DynamicLibrary.h"

#include <windows.h>

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
    // A missing or broken library must not stop the host with a system message box.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    mHandle = LoadLibraryA(path.c_str());
    const DWORD code = GetLastError();
    SetErrorMode(previous);
    if (!mHandle)
        mError = "Windows error " + std::to_string(code);
    return mHandle != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (!mHandle || !name)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(mHandle), name));
}

void DynamicLibrary::Close() {
    if (mHandle) {
        FreeLibrary(static_cast<HMODULE>(mHandle));
        mHandle = nullptr;
    }
}

std::vector<std::string> TuningLibraryPaths() {
    std::vector<std::string> paths;
    char folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        paths.push_back(std::string(folder, length) + "\\LIBMTS.dll");
    // Where the tuning library's own installer puts it.
    char common[MAX_PATH + 1] = {};
    const DWORD commonLength = GetEnvironmentVariableA("CommonProgramFiles", common, MAX_PATH);
    if (commonLength > 0 && commonLength < MAX_PATH)
        paths.push_back(std::string(common, commonLength) + "\\MTS-ESP\\LIBMTS.dll");
    return paths;
}

} // namespace halvane
