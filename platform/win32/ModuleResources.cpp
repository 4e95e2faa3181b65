#include "platform/Module.h"
#include "platform/Resources.h"

#include <windows.h>

#include <string>

namespace halvane {

// windres stores names and types upper-case; the system compares them so too.
bool FindModuleResource(int id, const char* name, const char* type, ResourceData& out) {
    HMODULE module = static_cast<HMODULE>(ModuleHandle());
    if (!module || !type || !*type || (id < 0 && (!name || !*name)))
        return false;
    const char* wanted = id >= 0 ? MAKEINTRESOURCEA(id) : name;
    HRSRC info = FindResourceA(module, wanted, type);
    if (!info)
        return false;
    const DWORD size = SizeofResource(module, info);
    HGLOBAL handle = LoadResource(module, info);
    if (!handle)
        return false;
    const void* bytes = LockResource(handle);
    // Module resources live as long as the module; freeing the handle is a
    // formality kept for the older systems that needed it.
    FreeResource(handle);
    if (!bytes)
        return false;
    out.data = static_cast<const unsigned char*>(bytes);
    out.size = size;
    return true;
}

} // namespace halvane
