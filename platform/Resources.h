#pragma once
// Resources built into the library: the editor's bitmaps (type "PNG", numeric
// ids) and the built-in bank ("PROGINIT" of type "PROGDATA").
//
// The bytes are compiled in by the build (halvane_resources() in
// cmake/Halvane.cmake), which also generates one function that registers them
// all here. That function must be called explicitly before the first lookup:
// a registration that nothing references would be dropped by the linker when
// its object file sits in a static library.
//
// As with Windows module resources, a resource is found by name or by numeric
// id together with its type; names and types compare without regard to ASCII
// case, and a name "#123" means the id 123. Registration and lookup are
// thread-safe; the bytes stay valid as long as the module is loaded.

#include <cstddef>

namespace halvane {

// windows.h maps FindResource to FindResourceA; ours is a different function.
#if defined(_WIN32) && defined(FindResource)
#undef FindResource
#endif

struct ResourceData {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// Registers (or replaces) a resource. Returns false, registering nothing, for
// a null or empty name or type, null data with a non-zero size, or an id
// outside 0..65535. Registering the same name or id and type again replaces
// the earlier entry, so a registration function may run more than once.
bool RegisterResource(const char* name, const char* type, const unsigned char* data,
                      std::size_t size);
bool RegisterResource(int id, const char* type, const unsigned char* data, std::size_t size);

// Looks a resource up; out is left unchanged when there is none.
bool FindResource(const char* name, const char* type, ResourceData& out);
bool FindResource(int id, const char* type, ResourceData& out);

// Registers one resource when constructed, for tables of static objects that
// are linked directly into the final module.
struct ResourceRegistration {
    ResourceRegistration(const char* name, const char* type, const unsigned char* data,
                         std::size_t size);
    ResourceRegistration(int id, const char* type, const unsigned char* data, std::size_t size);
};

// The platform's own resources of the loaded module, which FindResource asks
// when nothing is registered under the name: the resource section of the DLL
// on Windows (FindResourceA and friends); nothing on Linux, where the bytes
// are always registered. id is -1 for a lookup by name.
bool FindModuleResource(int id, const char* name, const char* type, ResourceData& out);

} // namespace halvane
