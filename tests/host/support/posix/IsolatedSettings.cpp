#include "support/PluginFixture.h"

#include <stdlib.h>
#include <unistd.h>

namespace halvane {

namespace hosttest {

std::string IsolateSettings() {
    static std::string folder;
    if (folder.empty()) {
        char pattern[] = "/tmp/halvane-hosttest-XXXXXX";
        const char* made = mkdtemp(pattern);
        folder = made ? made : "/tmp";
        setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
        setenv("HOME", folder.c_str(), 1);
        setenv("XDG_DOCUMENTS_DIR", folder.c_str(), 1);
    }
    return folder;
}

std::string SettingsFile() {
    return IsolateSettings() + "/config/KelpmoorMusic/halvane.ini";
}

} // namespace hosttest

} // namespace halvane
