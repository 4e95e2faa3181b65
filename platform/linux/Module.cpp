#include "platform/Module.h"
#include "platform/Resources.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

namespace halvane {

namespace {

// Any address inside this module will do; a static object cannot be folded
// into another module's code.
const char kAnchor = 0;

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return std::string();
    return std::string(buffer, static_cast<std::size_t>(n));
}

} // namespace

std::string ModulePath() {
    Dl_info info{};
    link_map* map = nullptr;
    if (!::dladdr1(&kAnchor, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP))
        return std::string();
    // The executable's entry in the link map has an empty name (dladdr would
    // report argv[0], which need not be a path at all).
    const char* name = map ? map->l_name : info.dli_fname;
    if (!name || !*name)
        return ExecutablePath();
    // A library opened by a relative path keeps that path in the link map.
    if (char* resolved = ::realpath(name, nullptr)) {
        std::string path = resolved;
        std::free(resolved);
        return path;
    }
    return name;
}

std::string ModuleFolder() {
    std::string path = ModulePath();
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

void* ModuleHandle() {
    Dl_info info{};
    if (!::dladdr(&kAnchor, &info))
        return nullptr;
    return info.dli_fbase;
}

// ELF libraries carry no resource section: every resource is registered.
bool FindModuleResource(int, const char*, const char*, ResourceData&) {
    return false;
}

} // namespace halvane
