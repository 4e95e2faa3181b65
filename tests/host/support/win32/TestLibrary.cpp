#include "support/TestLibrary.h"

#include <stdlib.h>
#include <windows.h>

namespace halvane {

namespace hosttest {

void SetEnvironment(const char* name, const char* value) {
    // Both the C runtime's copy (getenv) and the process's own block.
    _putenv_s(name, value);
    SetEnvironmentVariableA(name, value);
}

void* OpenTestLibrary(const char* path, bool alreadyLoaded) {
    HMODULE module = nullptr;
    if (alreadyLoaded) {
        if (!GetModuleHandleExA(0, path, &module))
            return nullptr;
        return module;
    }
    return LoadLibraryA(path);
}

void* TestLibrarySymbol(void* handle, const char* name) {
    return handle ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name))
                  : nullptr;
}

void CloseTestLibrary(void* handle) {
    if (handle)
        FreeLibrary(static_cast<HMODULE>(handle));
}

} // namespace hosttest

} // namespace halvane
