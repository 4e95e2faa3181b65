#include "platform/Module.h"

#include <windows.h>

namespace halvane {

namespace {

// Kept by the library's load routine; the editor loads its resources from it.
HMODULE gModule = nullptr;

// Where this code is linked into an executable (the tests) no load routine
// runs: the module is then the one holding this function.
HMODULE ThisModule() {
    if (gModule)
        return gModule;
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&ThisModule), &module))
        return nullptr;
    return module;
}

} // namespace

} // namespace halvane

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        halvane::gModule = instance;
        // Instances never need per-thread notifications.
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

namespace halvane {

std::string ModulePath() {
    HMODULE module = ThisModule();
    if (!module)
        return std::string();
    // Paths may be longer than MAX_PATH; grow until the name fits.
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(module, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::string();
        if (length < buffer.size())
            return buffer.substr(0, length);
        if (buffer.size() >= 32768)
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

std::string ModuleFolder() {
    std::string path = ModulePath();
    std::size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos)
        return std::string();
    return path.substr(0, slash);
}

void* ModuleHandle() {
    return ThisModule();
}

} // namespace halvane
