#include "platform/Resources.h"

#include <mutex>
#include <string>
#include <vector>

namespace halvane {

namespace {

constexpr int kMaxId = 65535;

struct Entry {
    int id; // -1 for a resource known by name
    std::string name;
    std::string type;
    ResourceData bytes;
};

struct Registry {
    std::mutex mutex;
    std::vector<Entry> entries;
};

// Built on first use, so static registration objects of other files may run
// before this file's own statics; never destroyed, so a lookup from another
// static's destructor at exit still finds a living registry.
Registry& TheRegistry() {
    // A static object, so the registry goes with the plug-in library when a
    // host unloads it.
    static Registry registry;
    return registry;
}

std::string Upper(const char* text) {
    std::string result = text;
    for (char& c : result) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

// "#123" names the id 123, as with Windows resources; -1 for any other name.
int IdFromName(const char* name) {
    if (name[0] != '#' || name[1] == '\0')
        return -1;
    long id = 0;
    for (const char* c = name + 1; *c; ++c) {
        if (*c < '0' || *c > '9')
            return -1;
        id = id * 10 + (*c - '0');
        if (id > kMaxId)
            return -1;
    }
    return static_cast<int>(id);
}

bool Register(int id, const char* name, const char* type, const unsigned char* data,
              std::size_t size) {
    if (!type || !*type || (!data && size > 0) || id < -1 || id > kMaxId)
        return false;
    Entry entry{id, id < 0 ? Upper(name) : std::string(), Upper(type), {data, size}};
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (Entry& existing : registry.entries) {
        if (existing.id == entry.id && existing.name == entry.name && existing.type == entry.type) {
            existing.bytes = entry.bytes;
            return true;
        }
    }
    registry.entries.push_back(entry);
    return true;
}

bool Find(int id, const char* name, const char* type, ResourceData& out) {
    if (!type || !*type || id < -1 || id > kMaxId)
        return false;
    std::string wantedName = id < 0 ? Upper(name) : std::string();
    std::string wantedType = Upper(type);
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (const Entry& entry : registry.entries) {
        if (entry.id == id && entry.name == wantedName && entry.type == wantedType) {
            out = entry.bytes;
            return true;
        }
    }
    return FindModuleResource(id, id < 0 ? name : nullptr, type, out);
}

} // namespace

bool RegisterResource(const char* name, const char* type, const unsigned char* data,
                      std::size_t size) {
    if (!name || !*name)
        return false;
    int id = IdFromName(name);
    if (id >= 0)
        return Register(id, nullptr, type, data, size);
    return name[0] == '#' ? false : Register(-1, name, type, data, size);
}

bool RegisterResource(int id, const char* type, const unsigned char* data, std::size_t size) {
    return id >= 0 && Register(id, nullptr, type, data, size);
}

bool FindResource(const char* name, const char* type, ResourceData& out) {
    if (!name || !*name)
        return false;
    int id = IdFromName(name);
    if (id >= 0)
        return Find(id, nullptr, type, out);
    return name[0] == '#' ? false : Find(-1, name, type, out);
}

bool FindResource(int id, const char* type, ResourceData& out) {
    return id >= 0 && Find(id, nullptr, type, out);
}

ResourceRegistration::ResourceRegistration(const char* name, const char* type,
                                           const unsigned char* data, std::size_t size) {
    RegisterResource(name, type, data, size);
}

ResourceRegistration::ResourceRegistration(int id, const char* type, const unsigned char* data,
                                           std::size_t size) {
    RegisterResource(id, type, data, size);
}

} // namespace halvane
