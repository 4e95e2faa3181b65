// The benchmark's workloads and the options that belong to the benchmark and to
// preset saving; the workloads run for a moment through the built plug-in.

#include "tools/render/Bench.h"
#include "tools/render/PluginSetup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace halvane {

namespace {

std::string PluginPath() {
    return HALVANE_PLUGIN_PATH;
}

// The plug-in reads and writes a per-user settings file (and may load a startup
// bank named there): a private one keeps the user's own out of the tests.
class PrivateSettings : public ::testing::Environment {
public:
    void SetUp() override {
        namespace fs = std::filesystem;
        folder_ = fs::temp_directory_path() / ("halvane-bench-test-" + std::to_string(getpid()));
        fs::create_directories(folder_);
        setenv("HOME", folder_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder_ / ".config").c_str(), 1);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

private:
    std::filesystem::path folder_;
};

::testing::Environment* const kPrivateSettings =
    ::testing::AddGlobalTestEnvironment(new PrivateSettings);

bool Parse(const std::vector<std::string>& args, RenderOptions& options, std::string& error) {
    std::vector<const char*> argv = {"halvane-render"};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    return ParseRenderOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

} // namespace

TEST(RenderBench, OptionsForTheBenchmarkAndForSavingPresets) {
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--bench", "--bench-seconds", "2.5", "-v"}, o, error)) << error;
    EXPECT_TRUE(o.bench && o.verbose);
    EXPECT_EQ(o.benchSeconds, 2.5);
    ASSERT_TRUE(Parse({"--bench"}, o, error)) << error;
    EXPECT_EQ(o.benchSeconds, RenderOptions::kDefaultBenchSeconds);
    for (const char* bad : {"0", "0.01", "601", "ten"})
        EXPECT_FALSE(Parse({"--bench", "--bench-seconds", bad}, o, error)) << bad;

    // Saving a preset needs neither a MIDI file nor an output; half a render does.
    ASSERT_TRUE(Parse({"--program", "Init", "--save-fxp", "init.fxp"}, o, error)) << error;
    EXPECT_EQ(o.saveFxpPath, "init.fxp");
    EXPECT_TRUE(o.inputPath.empty());
    ASSERT_TRUE(Parse({"--save-fxb=all.fxb"}, o, error)) << error;
    EXPECT_EQ(o.saveFxbPath, "all.fxb");
    EXPECT_FALSE(Parse({"--save-fxp", "a.fxp", "song.mid"}, o, error));
    EXPECT_NE(error.find("no output file"), std::string::npos) << error;
    ASSERT_TRUE(Parse({"--save-fxp", "a.fxp", "song.mid", "-o", "song.wav"}, o, error)) << error;
}

TEST(RenderBench, HeldKeysAreDistinctAndSpreadOverFiveOctaves) {
    for (int notes : {1, 8, 64}) {
        const std::vector<int> keys = BenchKeys(notes);
        ASSERT_EQ(keys.size(), static_cast<std::size_t>(notes));
        EXPECT_EQ(std::set<int>(keys.begin(), keys.end()).size(), keys.size());
        EXPECT_EQ(keys.front(), 36);
        EXPECT_LE(keys.back(), 99);
    }
    EXPECT_EQ(BenchKeys(8)[1], 44);
}

TEST(RenderBench, EveryWorkloadSettingNamesAParameterAndTakesItsValue) {
    LoadedPlugin plugin;
    std::string error;
    ASSERT_EQ(LoadPlugin(PluginPath(), 44100.0, 256, plugin, error), RenderStatus::Ok) << error;
    const std::vector<BenchWorkload> workloads = BenchWorkloads(plugin.host->EffectName());
    ASSERT_EQ(workloads.size(), 3u);
    EXPECT_EQ(workloads[0].notes, 64);
    EXPECT_EQ(workloads[2].notes, 8);
    for (const BenchWorkload& workload : workloads) {
        EXPECT_GE(FindProgramByName(*plugin.host, workload.program, error), 0) << workload.program;
        for (const ParamSetting& setting : workload.settings) {
            const int index = FindParameter(*plugin.host, setting.name, error);
            ASSERT_GE(index, 0) << workload.id << ": " << error;
            EXPECT_EQ(plugin.host->ParamName(index), setting.name) << "an exact name";
            std::string shown;
            EXPECT_TRUE(SetPlainValue(*plugin.host, index, setting.value, shown, error))
                << workload.id << ": " << error;
        }
    }
    const int trident = FindParameter(*plugin.host, "Trident Mode", error);
    EXPECT_EQ(plugin.host->ParamDisplay(trident), "On") << "the last workload is in Trident Mode";
    EXPECT_EQ(BenchWorkloads("amsynth").front().id, "notes-64");
}

TEST(RenderBench, EveryWorkloadRendersItsHeldNotes) {
    RenderOptions options;
    options.pluginPath = PluginPath();
    options.benchSeconds = 0.1;
    std::string name;
    std::vector<BenchResult> results;
    std::string error;
    ASSERT_EQ(RunBench(options, name, results, error), RenderStatus::Ok) << error;
    EXPECT_EQ(name, "Halvane");
    ASSERT_EQ(results.size(), 3u);
    for (const BenchResult& r : results) {
        EXPECT_NEAR(r.audioSeconds, 0.1, 1e-9) << r.id;
        EXPECT_GT(r.peakDbfs, -40.0) << r.id << ": the notes sound";
        EXPECT_GT(r.threadCpuSeconds, 0.0) << r.id;
    }
    const std::string table = FormatBenchTable(name, options, results);
    for (const char* id : {"synthe-64", "all-64", "trident-8", "ns/voice-sample"})
        EXPECT_NE(table.find(id), std::string::npos) << id;
}

} // namespace halvane
