// The build-time compiler of the built-in bank: what its source may say, and
// that the bank file it makes is one the instrument reads back exactly.

#include <gtest/gtest.h>

#include "support/ShellTestSupport.h"
// The compiler is a build tool, not part of any library: its one source file is
// compiled into this test.
#include "tools/bankc/BankSource.cpp"

namespace halvane {

using namespace shelltest;

namespace {

class BankCompiler : public ::testing::Test {
protected:
    BankCompiler() : params(kNumParams) { InitHalvaneParams(params.data(), kNumParams); }

    std::string Error(const std::string& source) {
        std::vector<BankProgram> programs;
        std::string error;
        EXPECT_FALSE(ParseBankSource(source, params.data(), kNumParams, programs, error)) << source;
        return error;
    }

    std::vector<PlugParam> params;
};

TEST_F(BankCompiler, RejectsWhatTheInstrumentCouldNotHold) {
    EXPECT_EQ(Error("[A]\nVCF Cutof = 0.5\n"), "line 2: no parameter is named \"VCF Cutof\"");
    EXPECT_EQ(Error("[A]\n\n# c\nVCF Cutoff = 1.5\n"),
              "line 4: \"VCF Cutoff\": 1.5 is outside 0.000000 to 1.000000");
    EXPECT_EQ(Error("[A]\nSplit Key = 60.5\n"),
              "line 2: \"Split Key\": 60.5 is not a whole number");
    EXPECT_NE(Error("[A]\nVCF Cutoff = 0.5x\n").find("is not a number"), std::string::npos);
    EXPECT_NE(Error("[A]\nVCF Cutoff = nan\n").find("is not a number"), std::string::npos);
    EXPECT_EQ(Error("[A]\nVCO 1 Wave = Square\n"),
              "line 2: \"VCO 1 Wave\": \"Square\" is not one of \"Sawtooth\" \"Pulse\" \"Pulse "
              "Width Mod\"");
    EXPECT_NE(Error("[A]\nVCO 1 Wave = 1\n").find("is not one of"), std::string::npos)
        << "list parameters by their texts only";
    EXPECT_NE(Error("[A]\nSplit Key = 1\nSplit Key = 2\n").find("twice"), std::string::npos);
    EXPECT_NE(Error("[A]\n[A]\n").find("twice"), std::string::npos);
    EXPECT_NE(Error("Split Key = 1\n").find("before the first"), std::string::npos);
    EXPECT_NE(Error("[A]\nSplit Key\n").find("expected"), std::string::npos);
    EXPECT_NE(Error("[]\n").find("1 to 255"), std::string::npos);
    EXPECT_NE(Error("[" + std::string(256, 'n') + "]\n").find("1 to 255"), std::string::npos);
    EXPECT_EQ(Error("# nothing\n"), "the source holds no program");
}

TEST_F(BankCompiler, TheBankFileLoadsBackExactly) {
    std::string source = "[First]\r\nKey Assign = 2\nVCF Cutoff = +0.25\n  Split Key=7\n";
    source += "VCF EG Intensity = -12289\nStrings Bowing = Off\n[Second]\n";
    for (int p = 2; p < 64; ++p)
        source += "[P" + std::to_string(p) + "]\nTotal Tune = " + std::to_string(p / 100.0) + "\n";
    std::vector<BankProgram> programs;
    std::string error;
    ASSERT_TRUE(ParseBankSource(source, params.data(), kNumParams, programs, error)) << error;
    ASSERT_EQ(programs.size(), 64u);
    EXPECT_EQ(programs[0].values[ParamId::kKeyAssign], 0.0) << "the entry shown as \"2\"";
    EXPECT_EQ(programs[0].values[ParamId::kStringsBowing], 1.0);
    EXPECT_EQ(programs[0].values[ParamId::kSplitKey], 7.0);
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(programs[1].values[i], params[i].Default()) << "an empty block is the defaults";

    const std::vector<uint8_t> bytes = BuildBankFile(
        programs, BankIdentity{vst::FourCC('H', 'a', 'l', '3'), 10104, "Halvane_1.1.3"});
    const std::string home = FreshSettings();
    WriteBytes(home + "/bank.fxb", bytes);
    auto plug = MakeHalvane();
    ASSERT_TRUE(plug->LoadBankFile(home + "/bank.fxb"));
    for (int p = 0; p < 64; ++p) {
        EXPECT_EQ(plug->ProgramName(p), programs[static_cast<std::size_t>(p)].name);
        plug->SelectProgram(p);
        EXPECT_EQ(Values(*plug), programs[static_cast<std::size_t>(p)].values) << p;
    }
}

} // namespace

} // namespace halvane
