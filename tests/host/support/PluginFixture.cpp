#include "support/PluginFixture.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

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

std::shared_ptr<vsthost::PluginLibrary> Library() {
    static std::shared_ptr<vsthost::PluginLibrary> library = [] {
        std::string error;
        auto lib = vsthost::PluginLibrary::Open(HALVANE_PLUGIN_PATH, error);
        if (!lib)
            ADD_FAILURE() << error;
        return lib;
    }();
    return library;
}

std::unique_ptr<vsthost::Host> MakeHost(vsthost::HostIdentity identity, bool useMain) {
    std::string error;
    auto host = vsthost::Host::Create(Library(), error, std::move(identity), useMain);
    if (!host)
        ADD_FAILURE() << error;
    return host;
}

float Peak(const std::vector<float>& channel) {
    float peak = 0.0f;
    for (float v : channel)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

} // namespace hosttest
