#include "tools/render/RenderOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace halvane {

namespace {

bool Parse(const std::vector<std::string>& args, RenderOptions& options, std::string& error) {
    std::vector<const char*> argv = {"halvane-render"};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    return ParseRenderOptions(static_cast<int>(argv.size() - 1), argv.data(), options, error);
}

} // namespace

TEST(RenderOptions, MinimalCommandLineGivesTheDefaults) {
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"song.mid", "-o", "song.wav"}, o, error)) << error;
    EXPECT_EQ(o.inputPath, "song.mid");
    EXPECT_EQ(o.outputPath, "song.wav");
    EXPECT_TRUE(o.pluginPath.empty());
    EXPECT_FALSE(o.hasProgram);
    EXPECT_TRUE(o.fxpPath.empty());
    EXPECT_TRUE(o.fxbPath.empty());
    EXPECT_TRUE(o.settings.empty());
    EXPECT_EQ(o.sampleRate, 44100);
    EXPECT_EQ(o.blockSize, 256);
    EXPECT_EQ(o.tailSeconds, 5.0);
    EXPECT_EQ(o.outputs, OutputLayout::Total);
    EXPECT_FALSE(o.split);
    EXPECT_EQ(o.format, SampleFormat::Float32);
    EXPECT_FALSE(o.help || o.version || o.bench);
}

TEST(RenderOptions, EveryOptionInBothSpellings) {
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--plugin=/opt/vst/other.so",
                       "--program",
                       "3",
                       "--fxb",
                       "bank.fxb",
                       "--fxp=one.fxp",
                       "--set",
                       "Total Tune=-0.5",
                       "--set=VCF Cutoff = 1e3",
                       "--rate",
                       "96000",
                       "--block=64",
                       "--tail",
                       "0",
                       "--outputs",
                       "all",
                       "--split",
                       "--format",
                       "s24",
                       "piece.mid",
                       "--output=out/piece.wav"},
                      o, error))
        << error;
    EXPECT_EQ(o.pluginPath, "/opt/vst/other.so");
    EXPECT_TRUE(o.hasProgram);
    EXPECT_EQ(o.programIndex, 3);
    EXPECT_EQ(o.fxbPath, "bank.fxb");
    EXPECT_EQ(o.fxpPath, "one.fxp");
    ASSERT_EQ(o.settings.size(), 2u);
    EXPECT_EQ(o.settings[0].name, "Total Tune");
    EXPECT_EQ(o.settings[0].value, -0.5);
    EXPECT_EQ(o.settings[1].name, "VCF Cutoff");
    EXPECT_EQ(o.settings[1].value, 1000.0);
    EXPECT_EQ(o.sampleRate, 96000);
    EXPECT_EQ(o.blockSize, 64);
    EXPECT_EQ(o.tailSeconds, 0.0);
    EXPECT_EQ(o.outputs, OutputLayout::All);
    EXPECT_TRUE(o.split);
    EXPECT_EQ(o.format, SampleFormat::Int24);
    EXPECT_EQ(o.inputPath, "piece.mid");
    EXPECT_EQ(o.outputPath, "out/piece.wav");

    ASSERT_TRUE(Parse({"a.mid", "-o", "a.wav", "--format", "s16", "--rate", "8000", "--block",
                       "8192", "--tail", "2.5", "--rate=384000"},
                      o, error))
        << error;
    EXPECT_EQ(o.format, SampleFormat::Int16);
    EXPECT_EQ(o.sampleRate, 384000); // the last one counts
    EXPECT_EQ(o.blockSize, 8192);
    EXPECT_EQ(o.tailSeconds, 2.5);
}

TEST(RenderOptions, ProgramIsAnIndexOrAName) {
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"a.mid", "-o", "a.wav", "--program", "0"}, o, error)) << error;
    EXPECT_TRUE(o.hasProgram);
    EXPECT_EQ(o.programIndex, 0);
    EXPECT_TRUE(o.programName.empty());

    for (const char* name : {"Brass Ensemble", "12abc", "-", "3 Strings"}) {
        ASSERT_TRUE(Parse({"a.mid", "-o", "a.wav", "--program", name}, o, error)) << name;
        EXPECT_EQ(o.programIndex, -1);
        EXPECT_EQ(o.programName, name);
    }
    EXPECT_FALSE(Parse({"a.mid", "-o", "a.wav", "--program", "-1"}, o, error));
    EXPECT_NE(error.find("negative"), std::string::npos) << error;
    EXPECT_FALSE(Parse({"a.mid", "-o", "a.wav", "--program", "99999999999999"}, o, error));
    EXPECT_FALSE(Parse({"a.mid", "-o", "a.wav", "--program", "  "}, o, error));
}

TEST(RenderOptions, SetTakesANameAndAPlainNumber) {
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(
        Parse({"a.mid", "-o", "a.wav", "--set", "A=B=+2", "--set", " Split Key =60"}, o, error))
        << error;
    ASSERT_EQ(o.settings.size(), 2u);
    EXPECT_EQ(o.settings[0].name, "A=B"); // the number follows the last '='
    EXPECT_EQ(o.settings[0].value, 2.0);
    EXPECT_EQ(o.settings[1].name, "Split Key");
    EXPECT_EQ(o.settings[1].value, 60.0);

    for (const char* bad : {"Cutoff", "=1", " =1", "Cutoff=", "Cutoff=abc", "Cutoff=nan",
                            "Cutoff=inf", "Cutoff=1e999", "Cutoff=1,5", "Cutoff=0.5x"}) {
        EXPECT_FALSE(Parse({"a.mid", "-o", "a.wav", "--set", bad}, o, error)) << bad;
        EXPECT_NE(error.find("--set"), std::string::npos) << bad << ": " << error;
    }
}

TEST(RenderOptions, HelpVersionAndBenchNeedNoFiles) {
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--help"}, o, error));
    EXPECT_TRUE(o.help);
    ASSERT_TRUE(Parse({"-h"}, o, error));
    EXPECT_TRUE(o.help);
    ASSERT_TRUE(Parse({"--rate", "48000", "--version", "--no-such-option"}, o, error));
    EXPECT_TRUE(o.version);
    ASSERT_TRUE(Parse({"--bench", "--rate", "48000"}, o, error)) << error;
    EXPECT_TRUE(o.bench);
    EXPECT_TRUE(o.inputPath.empty());

    const std::string usage = RenderUsage("halvane-render");
    EXPECT_EQ(usage.rfind("Usage: halvane-render ", 0), 0u);
    for (const char* option :
         {"--output", "--plugin", "--program", "--fxp", "--fxb", "--set", "--rate", "--block",
          "--tail", "--outputs", "--split", "--format", "--bench", "--help", "--version"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    EXPECT_EQ(RenderVersion().rfind("halvane-render ", 0), 0u);
    EXPECT_EQ(RenderVersion().find("unknown"), std::string::npos);
}

TEST(RenderOptions, DoubleDashEndsOptions) {
    RenderOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"-o", "x.wav", "--", "--odd name.mid"}, o, error)) << error;
    EXPECT_EQ(o.inputPath, "--odd name.mid");
    ASSERT_TRUE(Parse({"-", "-o", "x.wav"}, o, error)) << error;
    EXPECT_EQ(o.inputPath, "-");
}

TEST(RenderOptions, BadCommandLinesAreRefusedWithTheReason) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{}, "no input MIDI file"},
        {{"-o", "a.wav"}, "no input MIDI file"},
        {{"a.mid"}, "no output file"},
        {{"a.mid", "-o", "a.wav", "--frobnicate"}, "unknown option '--frobnicate'"},
        {{"a.mid", "-o", "a.wav", "-x"}, "unknown option '-x'"},
        {{"a.mid", "-o", "a.wav", "--rate:48000"}, "unknown option"},
        {{"a.mid", "b.mid", "-o", "a.wav"}, "more than one input file: 'a.mid' and 'b.mid'"},
        {{"a.mid", "-o"}, "option '-o' needs a value"},
        {{"a.mid", "-o", "--rate", "48000"}, "option '-o' needs a value"},
        {{"a.mid", "-o", "a.wav", "--plugin="}, "option '--plugin' needs a value"},
        {{"a.mid", "-o", "a.wav", "--bench=1"}, "takes no value"},
        {{"a.mid", "-o", "a.wav", "--rate", "7999"}, "out of range"},
        {{"a.mid", "-o", "a.wav", "--rate", "384001"}, "out of range"},
        {{"a.mid", "-o", "a.wav", "--rate", "44.1k"}, "not a whole number"},
        {{"a.mid", "-o", "a.wav", "--rate", "-44100"}, "not a whole number"},
        {{"a.mid", "-o", "a.wav", "--rate", "99999999999999999999"}, "not a whole number"},
        {{"a.mid", "-o", "a.wav", "--block", "0"}, "out of range"},
        {{"a.mid", "-o", "a.wav", "--block", "8193"}, "out of range"},
        {{"a.mid", "-o", "a.wav", "--tail", "-1"}, "out of range"},
        {{"a.mid", "-o", "a.wav", "--tail", "3601"}, "out of range"},
        {{"a.mid", "-o", "a.wav", "--tail", "soon"}, "not a number"},
        {{"a.mid", "-o", "a.wav", "--tail", "inf"}, "not a number"},
        {{"a.mid", "-o", "a.wav", "--outputs", "both"}, "'total' or 'all'"},
        {{"a.mid", "-o", "a.wav", "--format", "f64"}, "'f32', 's16' or 's24'"},
        {{"a.mid", "-o", "a.wav", "--split"}, "--split needs --outputs all"},
        {{"a.mid", "-o", "a.wav", "--outputs", "total", "--split"}, "--split needs"},
        {{"a.mid", "-o", "a.mid"}, "would overwrite the input"},
    };
    for (const Case& c : cases) {
        RenderOptions o;
        std::string error;
        std::string line;
        for (const std::string& arg : c.args)
            line += arg + " ";
        EXPECT_FALSE(Parse(c.args, o, error)) << line;
        EXPECT_NE(error.find(c.message), std::string::npos) << line << "-> " << error;
    }
}

TEST(RenderOptions, PairOutputPathsStayBesideTheOutput) {
    EXPECT_EQ(PairOutputPath("out.wav", "Synth"), "out-Synth.wav");
    EXPECT_EQ(PairOutputPath("renders/take.2.wav", "Total"), "renders/take.2-Total.wav");
    EXPECT_EQ(PairOutputPath("renders.v2/take", "Brass"), "renders.v2/take-Brass.wav");
    EXPECT_EQ(PairOutputPath("renders/.hidden", "Brass"), "renders/.hidden-Brass.wav");
    EXPECT_EQ(PairOutputPath("out.wav", "Strings L/R"), "out-Strings_L_R.wav");
    EXPECT_EQ(PairOutputPath("out.wav", " "), "out-pair.wav");
}

} // namespace halvane
