#pragma once
// Loads the built plug-in through its entry point, as a host does, for the
// host-level tests. Every test gets its own settings folder, so nothing touches
// the real user's files and tests can run in parallel.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tools/vsthost/VstHost.h"

namespace hosttest {

// A fresh temporary folder used as XDG_CONFIG_HOME (and HOME) for the process.
std::string IsolateSettings();

std::shared_ptr<vsthost::PluginLibrary> Library();

std::unique_ptr<vsthost::Host> MakeHost(vsthost::HostIdentity identity = {}, bool useMain = false);

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        IsolateSettings();
        host = MakeHost();
        ASSERT_TRUE(host);
    }
    vst::AEffect* effect() { return host->Effect(); }

    std::unique_ptr<vsthost::Host> host;
};

// Largest absolute sample value of an output channel.
float Peak(const std::vector<float>& channel);

} // namespace hosttest
