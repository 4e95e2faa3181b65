#pragma once
// Loads the built plug-in through its entry point, as a host does, for the
// host-level tests. Every test gets its own settings folder, so nothing touches
// the real user's files and tests can run in parallel.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tools/vsthost/VstHost.h"

namespace halvane {

namespace hosttest {

// Keeps the tests away from the real user's settings, once per process. On
// Linux: a fresh temporary folder used as XDG_CONFIG_HOME (its "config"), HOME
// and documents folder, which it returns. On Windows, where the shell decides
// the folder, the settings file at its real place is removed instead (the
// Windows suite runs one test at a time in a prefix of its own); returns the
// local application-data folder.
std::string IsolateSettings();
// Where the plug-in keeps its settings file after IsolateSettings().
std::string SettingsFile();

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

} // namespace halvane
