// Renders through the built plug-in, loaded through its entry point as the
// command-line tool loads it.

#include "tools/render/OutputFiles.h"
#include "tools/render/PluginSetup.h"
#include "tools/render/RenderSession.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/MidiBytes.h"

namespace halvane {

namespace fs = std::filesystem;
using namespace toolstest;

namespace {

// The build defines where the plug-in and the tool are.
std::string PluginPath() {
    return HALVANE_PLUGIN_PATH;
}

std::string RendererPath() {
    return HALVANE_RENDER_PATH;
}

// A format 0 file at 480 ticks per quarter and 120 BPM (one tick = 1/960 s) that
// plays one note from `onTick` to `offTick`.
Bytes OneNote(uint8_t key, uint32_t onTick, uint32_t offTick) {
    Bytes body = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}; // 500000 us per quarter
    PutVlq(body, onTick);
    body.insert(body.end(), {0x90, key, 100});
    PutVlq(body, offTick - onTick);
    body.insert(body.end(), {0x80, key, 0});
    PutVlq(body, 0);
    body.insert(body.end(), {0xFF, 0x2F, 0x00});
    Bytes file = Header(0, 1, 480);
    const Bytes track = Chunk("MTrk", body);
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

struct Wave {
    int channels = 0;
    int rate = 0;
    int format = 0;
    std::vector<float> samples; // interleaved
    std::size_t Frames() const {
        return channels ? samples.size() / static_cast<std::size_t>(channels) : 0;
    }
    float At(std::size_t frame, int channel) const {
        return samples[frame * static_cast<std::size_t>(channels) +
                       static_cast<std::size_t>(channel)];
    }
    double Peak(int channel) const {
        double peak = 0.0;
        for (std::size_t i = 0; i < Frames(); ++i)
            peak = std::max(peak, static_cast<double>(std::fabs(At(i, channel))));
        return peak;
    }
};

Wave ReadWave(const fs::path& path) {
    Wave wave;
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr)
        return wave;
    wave.channels = info.channels;
    wave.rate = info.samplerate;
    wave.format = info.format;
    wave.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, wave.samples.data(), info.frames);
    sf_close(file);
    return wave;
}

class RenderSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("halvane-render-test-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_ / "home");
        // The plug-in reads and writes a per-user settings file (and may load a
        // startup bank named there): a private one keeps the user's own out of it.
        setenv("HOME", (folder_ / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder_ / "home" / ".config").c_str(), 1);
        // 0.5 s to 1.5 s: note 69, 440 Hz.
        Write("a440.mid", OneNote(69, 480, 1440));
        options_.pluginPath = PluginPath();
        options_.inputPath = Path("a440.mid");
        options_.outputPath = Path("out.wav");
        options_.hasProgram = true;
        options_.programName = "Init"; // a plain sawtooth, no envelope times
        ASSERT_TRUE(fs::exists(options_.pluginPath)) << options_.pluginPath;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    void Write(const std::string& name, const Bytes& bytes) const {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    RenderStatus Render(RenderReport& report, std::string& error) {
        return RenderSession().Run(options_, report, error);
    }

    fs::path folder_;
    RenderOptions options_;
};

} // namespace

TEST_F(RenderSessionTest, ANoteSoundsAtItsPitchFromItsSampleAndTheTailEndsWhenQuiet) {
    // Block sizes that do and do not divide the note's position, at three rates.
    const struct {
        int rate;
        int block;
    } runs[] = {{44100, 256}, {48000, 1000}, {96000, 37}};
    for (const auto& run : runs) {
        SCOPED_TRACE(std::to_string(run.rate) + " Hz, block " + std::to_string(run.block));
        options_.sampleRate = run.rate;
        options_.blockSize = run.block;
        const double rate = run.rate;
        RenderReport report;
        std::string error;
        ASSERT_EQ(Render(report, error), RenderStatus::Ok) << error;
        const Wave wave = ReadWave(options_.outputPath);
        ASSERT_EQ(wave.channels, 2);
        EXPECT_EQ(wave.rate, run.rate);
        EXPECT_EQ(wave.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        ASSERT_EQ(wave.Frames(), report.frames);

        // The note-on is at 0.5 s.
        const float audible = 1e-4f; // -80 dBFS, far above the filters' anti-denormal offsets
        std::size_t onset = 0;
        while (onset < wave.Frames() && std::fabs(wave.At(onset, 0)) < audible)
            ++onset;
        const auto noteOn = static_cast<std::size_t>(0.5 * rate);
        EXPECT_GE(onset, noteOn - 1);
        EXPECT_LE(onset, noteOn + 2);

        // The period from upward zero crossings (interpolated) while the note holds.
        std::vector<double> crossings;
        for (auto i = static_cast<std::size_t>(0.7 * rate);
             i < static_cast<std::size_t>(1.4 * rate); ++i) {
            const double a = wave.At(i - 1, 0);
            const double b = wave.At(i, 0);
            if (a < 0.0 && b >= 0.0)
                crossings.push_back(static_cast<double>(i - 1) + a / (a - b));
        }
        ASSERT_GT(crossings.size(), 100u);
        const double hz = rate * static_cast<double>(crossings.size() - 1) /
                          (crossings.back() - crossings.front());
        EXPECT_NEAR(hz, 440.0, 0.25);

        // The tail stops 0.1 s after the last sample at -90 dBFS or more, long
        // before the 5 s limit.
        EXPECT_FALSE(report.tailLimited);
        const auto noteOff = static_cast<std::size_t>(1.5 * rate);
        EXPECT_LT(wave.Frames(), noteOff + static_cast<std::size_t>(5 * rate));
        const double threshold = std::pow(10.0, -90.0 / 20.0);
        std::size_t lastLoud = 0;
        for (std::size_t i = 0; i < wave.Frames(); ++i)
            if (std::fabs(static_cast<double>(wave.At(i, 0))) >= threshold ||
                std::fabs(static_cast<double>(wave.At(i, 1))) >= threshold)
                lastLoud = i;
        EXPECT_EQ(wave.Frames(), lastLoud + 1 + static_cast<std::size_t>(0.1 * rate));
        EXPECT_GE(lastLoud, noteOff);

        // The summary's figures are the file's.
        ASSERT_EQ(report.channelNames, (std::vector<std::string>{"Total L", "Total R"}));
        EXPECT_EQ(report.peak[0], wave.Peak(0));
        EXPECT_EQ(report.files, std::vector<std::string>{options_.outputPath});
        EXPECT_EQ(report.events, 2);
        EXPECT_NE(FormatSummary(report).find("Total L peak"), std::string::npos);
    }
}

TEST_F(RenderSessionTest, OutputLayoutsAndFormats) {
    options_.outputs = OutputLayout::All;
    options_.format = SampleFormat::Int24;
    options_.settings = {{"Output Strings", 1}};
    RenderReport report;
    std::string error;
    ASSERT_EQ(Render(report, error), RenderStatus::Ok) << error;
    const Wave all = ReadWave(options_.outputPath);
    ASSERT_EQ(all.channels, 8);
    EXPECT_EQ(all.format, SF_FORMAT_WAVEX | SF_FORMAT_PCM_24);
    EXPECT_EQ(report.channelNames.size(), 8u);
    EXPECT_EQ(report.channelNames[6], "Strings L");
    for (int c : {0, 1, 2, 3, 6, 7})
        EXPECT_GT(all.Peak(c), 0.01) << c;
    EXPECT_EQ(all.Peak(4), 0.0); // "Output Brass" stays off in Init
    EXPECT_EQ(all.Peak(5), 0.0);

    options_.split = true;
    options_.format = SampleFormat::Int16;
    ASSERT_EQ(Render(report, error), RenderStatus::Ok) << error;
    const char* names[] = {"Total", "Synth", "Brass", "Strings"};
    ASSERT_EQ(report.files.size(), 4u);
    for (int pair = 0; pair < 4; ++pair) {
        const std::string path = Path(std::string("out-") + names[pair] + ".wav");
        EXPECT_EQ(report.files[static_cast<std::size_t>(pair)], path);
        const Wave wave = ReadWave(path);
        EXPECT_EQ(wave.channels, 2);
        EXPECT_EQ(wave.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        EXPECT_EQ(wave.Peak(0) > 0.0, pair != 2) << names[pair];
    }
    EXPECT_EQ(PairNames({"Total L", "Total R", "Synth L", "Synth R", "", "", "Synth L", "x", ""}),
              (std::vector<std::string>{"Total", "Synth", "ch5-6", "Synth-4", "ch9"}));
}

TEST_F(RenderSessionTest, EachFailureHasItsStatusAndLeavesNoFile) {
    Write("junk.mid", {'M', 'T', 'h', 'd', 0, 0});
    Write("text.so", {'n', 'o', 't', ' ', 'E', 'L', 'F'});
    Write("junk.fxp", {'C', 'c', 'n', 'K'});
    PresetFile foreign;
    foreign.pluginId = 0x58585858; // 'XXXX'
    foreign.program.values.assign(93, 0.5f);
    Write("foreign.fxp", SerializePresetFile(foreign));

    struct Case {
        const char* what;
        std::function<void(RenderOptions&)> change;
        RenderStatus status;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"missing MIDI", [&](RenderOptions& o) { o.inputPath = Path("none.mid"); },
         RenderStatus::MidiMissing, "no such MIDI file"},
        {"bad MIDI", [&](RenderOptions& o) { o.inputPath = Path("junk.mid"); },
         RenderStatus::MidiBad, "junk.mid"},
        {"missing plug-in", [&](RenderOptions& o) { o.pluginPath = Path("none.so"); },
         RenderStatus::PluginLoad, "no such plug-in file"},
        {"not a plug-in", [&](RenderOptions& o) { o.pluginPath = Path("text.so"); },
         RenderStatus::PluginLoad, "cannot load"},
        {"program name", [](RenderOptions& o) { o.programName = "No Such Sound"; },
         RenderStatus::UnknownProgram, "unknown program 'No Such Sound'"},
        {"program index",
         [](RenderOptions& o) {
             o.programName.clear();
             o.programIndex = 64;
         },
         RenderStatus::UnknownProgram, "out of range"},
        {"parameter",
         [](RenderOptions& o) {
             o.settings = {{"Cutoff", 1}};
         },
         RenderStatus::UnknownParameter, "did you mean 'VCF Cutoff', 'Brass Cutoff'"},
        {"bad fxp", [&](RenderOptions& o) { o.fxpPath = Path("junk.fxp"); },
         RenderStatus::PresetFile, "junk.fxp"},
        {"fxp as bank", [&](RenderOptions& o) { o.fxbPath = Path("foreign.fxp"); },
         RenderStatus::PresetFile, "not a bank file"},
        {"other plug-in's fxp", [&](RenderOptions& o) { o.fxpPath = Path("foreign.fxp"); },
         RenderStatus::PresetFile, "'XXXX'"},
        {"unwritable output", [&](RenderOptions& o) { o.outputPath = Path("no/dir/out.wav"); },
         RenderStatus::Output, "cannot write"},
        {"output is a folder", [&](RenderOptions& o) { o.outputPath = folder_.string(); },
         RenderStatus::Output, "is a folder"},
    };
    for (const Case& c : cases) {
        RenderOptions saved = options_;
        c.change(options_);
        RenderReport report;
        std::string error;
        EXPECT_EQ(Render(report, error), c.status) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
        EXPECT_TRUE(report.files.empty()) << c.what;
        options_ = saved;
    }
    for (const auto& entry : fs::recursive_directory_iterator(folder_))
        EXPECT_EQ(entry.path().extension() == ".wav" || entry.path().extension() == ".part", false)
            << entry.path();
}

TEST_F(RenderSessionTest, PlainValuesListIndicesAndPresetFilesReachThePlugin) {
    LoadedPlugin plugin;
    std::string error;
    ASSERT_EQ(LoadPlugin(options_.pluginPath, 44100.0, 256, plugin, error), RenderStatus::Ok)
        << error;
    vsthost::Host& host = *plugin.host;
    struct Case {
        const char* name;
        double value;
        const char* shown;
    };
    const Case cases[] = {
        {"vcf cutoff", 1.0, "19912"},     // letter case does not matter when unique
        {"Brass Silent Notes", 2.0, "6"}, // an index, although "2" is also an entry's text
        {"Key Assign", 0.0, "2"},         {"Range Synthe", 2.4, "Upper"},
        {"Trident Mode", 7.0, "On"},  // limited to the list
        {"Total Volume", 5.0, "0.0"}, // limited by the plug-in to its range
        {"Split Key", -3.0, "0"},         {"VCF EG Intensity", -12289.0, "-8.00"},
    };
    for (const Case& c : cases) {
        const int index = FindParameter(host, c.name, error);
        ASSERT_GE(index, 0) << c.name << ": " << error;
        std::string shown;
        ASSERT_TRUE(SetPlainValue(host, index, c.value, shown, error)) << c.name << ": " << error;
        EXPECT_EQ(shown, c.shown) << c.name;
        EXPECT_EQ(host.ParamDisplay(index), c.shown) << c.name;
    }
    const int range = FindParameter(host, "Range Brass", error);
    const std::vector<ListEntry> entries = ListEntries(host, range);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].text, "Lower");
    EXPECT_EQ(entries[2].text, "Upper");
    EXPECT_EQ(host.ParamDisplay(range), "Both") << "the sweep puts the value back";
    EXPECT_TRUE(ListEntries(host, FindParameter(host, "Total Tune", error)).empty());

    // The program saved by --save-fxp comes back into a fresh instance with --fxp.
    RenderOptions save;
    save.saveFxpPath = Path("p.fxp");
    std::vector<std::string> notes;
    ASSERT_EQ(SavePresets(host, save, notes, error), RenderStatus::Ok) << error;
    LoadedPlugin fresh;
    ASSERT_EQ(LoadPlugin(options_.pluginPath, 44100.0, 256, fresh, error), RenderStatus::Ok);
    RenderOptions load;
    load.fxpPath = save.saveFxpPath;
    ASSERT_EQ(ApplySetup(*fresh.host, load, notes, error), RenderStatus::Ok) << error;
    for (int i = 0; i < host.NumParams(); ++i)
        EXPECT_EQ(fresh.host->GetParameter(i), host.GetParameter(i)) << host.ParamName(i);
}

TEST_F(RenderSessionTest, TheProgramPrintsTheSummaryAndExitsWithTheStatus) {
    auto run = [](const std::string& arguments, std::string& output) {
        const std::string command = RendererPath() + " " + arguments + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr)
            return -1;
        char buffer[4096];
        output.clear();
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            output += buffer;
        const int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_TRUE(fs::exists(RendererPath())) << RendererPath();
    std::string output;
    EXPECT_EQ(run("--help", output), 0);
    EXPECT_NE(output.find("Exit status"), std::string::npos);
    EXPECT_EQ(run("--rate 7", output), 2);
    EXPECT_NE(output.find("out of range"), std::string::npos) << output;
    const std::string files = options_.inputPath + " -o " + options_.outputPath;
    EXPECT_EQ(run("--plugin " + PluginPath() + " --program Nonesuch " + files, output), 6);
    EXPECT_NE(output.find("halvane-render: unknown program 'Nonesuch'"), std::string::npos)
        << output;
    EXPECT_EQ(run("--plugin " + PluginPath() + " --program Init " + files, output), 0) << output;
    EXPECT_NE(output.find(options_.outputPath + ": "), std::string::npos) << output;
    EXPECT_NE(output.find("Total R peak"), std::string::npos) << output;
    EXPECT_NE(output.find("x real time"), std::string::npos) << output;
}

TEST_F(RenderSessionTest, ProgramAndBankFilesOfPlainValuesAreAppliedValueByValue) {
    LoadedPlugin source;
    std::string error;
    ASSERT_EQ(LoadPlugin(options_.pluginPath, 44100.0, 256, source, error), RenderStatus::Ok);
    const int cutoff = FindParameter(*source.host, "VCF Cutoff", error);
    const int split = FindParameter(*source.host, "Split Key", error);
    std::string shown;
    ASSERT_TRUE(SetPlainValue(*source.host, cutoff, 0.25, shown, error)) << error;
    ASSERT_TRUE(SetPlainValue(*source.host, split, 72, shown, error)) << error;

    PresetFile program;
    program.pluginId = source.host->Effect()->uniqueID;
    program.program.name = "Typed Values";
    for (int i = 0; i < source.host->NumParams(); ++i)
        program.program.values.push_back(source.host->GetParameter(i));
    Write("values.fxp", SerializePresetFile(program));

    PresetFile bank;
    bank.kind = PresetFile::Kind::Bank;
    bank.pluginId = program.pluginId;
    bank.currentProgram = 1;
    bank.programs = {program.program, program.program};
    bank.programs[1].name = "Second";
    bank.programs[1].values[static_cast<std::size_t>(split)] = 0.0f;
    Write("values.fxb", SerializePresetFile(bank));

    LoadedPlugin target;
    ASSERT_EQ(LoadPlugin(options_.pluginPath, 44100.0, 256, target, error), RenderStatus::Ok);
    vsthost::Host& host = *target.host;
    RenderOptions setup;
    setup.fxpPath = Path("values.fxp");
    std::vector<std::string> notes;
    ASSERT_EQ(ApplySetup(host, setup, notes, error), RenderStatus::Ok) << error;
    EXPECT_EQ(host.ProgramName(), "Typed Values");
    EXPECT_EQ(host.ParamDisplay(split), "72");
    EXPECT_EQ(host.GetParameter(cutoff), source.host->GetParameter(cutoff));

    setup.fxpPath.clear();
    setup.fxbPath = Path("values.fxb");
    ASSERT_EQ(ApplySetup(host, setup, notes, error), RenderStatus::Ok) << error;
    EXPECT_EQ(host.Dispatch(vst::effGetProgram), 1) << "the bank's current program";
    EXPECT_EQ(host.ProgramName(), "Second");
    EXPECT_EQ(host.ParamDisplay(split), "0");
    EXPECT_EQ(host.ProgramNameIndexed(0), "Typed Values");

    // A program of the wrong length is refused rather than applied in part.
    program.program.values.pop_back();
    Write("short.fxp", SerializePresetFile(program));
    setup.fxbPath.clear();
    setup.fxpPath = Path("short.fxp");
    EXPECT_EQ(ApplySetup(host, setup, notes, error), RenderStatus::PresetFile);
    EXPECT_NE(error.find("holds 92 values, the plug-in has 93 parameters"), std::string::npos)
        << error;
}

} // namespace halvane
