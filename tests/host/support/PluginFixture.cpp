#include "support/PluginFixture.h"

#include <algorithm>
#include <cmath>

namespace halvane {

namespace hosttest {

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

} // namespace halvane
