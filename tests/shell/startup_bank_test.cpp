// The bank every new instance starts with: the startup bank named in the
// settings when it loads, otherwise the bank built into the library.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/Resources.h"
#include "support/ShellTestSupport.h"

namespace halvane {

using namespace shelltest;

void RegisterBankResources();

namespace {

const char* const kBuiltInNames[] = {"Fat Monster",
                                     "Full Strings",
                                     "Funky Flanged Brass",
                                     "Synthe + Strings",
                                     "Insidious Bass",
                                     "Plinker Plang",
                                     "Chamber Strings",
                                     "Rising (use Mod Wheel)",
                                     "Careless Synth Pad",
                                     "Resonator",
                                     "Cheesey",
                                     "Caterwauling",
                                     "Alienz",
                                     "Flanged Sensation",
                                     "Resonator Combination",
                                     "Eternity",
                                     "80s Synthi",
                                     "Split: Funky Split!",
                                     "Wide Stereo Pad",
                                     "Impossible Quint Saws",
                                     "Dark Pad",
                                     "Flanged Clavinet",
                                     "Wonderous Places",
                                     "House Dub",
                                     "Fluffy Synth",
                                     "Chase Percussion",
                                     "Dreaming",
                                     "Cemballoon",
                                     "Reso Brass",
                                     "Subtyle",
                                     "Subcutan Bass",
                                     "Weird Signals",
                                     "Happy Hippo Synthy",
                                     "Quak Quak",
                                     "Haunting Quintum",
                                     "Mercy Pad",
                                     "Tickly",
                                     "Intruders from Mars",
                                     "Ensemble Tweak",
                                     "C-Sitarlike",
                                     "The Touch",
                                     "Big Sweep",
                                     "The Body Pad",
                                     "Dagger '84",
                                     "Phasors on Stun",
                                     "Celtic Tune",
                                     "Aggressor",
                                     "C-Beams Glitter",
                                     "Squawk Organ",
                                     "Serious Pad",
                                     "Silly Cone Volley",
                                     "Mellow Spaces",
                                     "Invers",
                                     "Gretchen",
                                     "Nervous",
                                     "This is not right",
                                     "4 times 8' Saws",
                                     "Polypropylen",
                                     "Sawtooth Pings",
                                     "Dynamic Strings",
                                     "Abaddon's Bolero",
                                     "Cluster",
                                     "Stargazer",
                                     "Init"};

uint32_t BigEndian(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void WriteStartupBank(const std::string& home, const std::string& bank) {
    MakeFolders(home + "/config/KelpmoorMusic");
    WriteText(SettingsPathIn(home), "[Startup Bank]\nFile=" + bank + "\n");
}

TEST(StartupBank, BuiltInBankHoldsItsSixtyFourProgramsInOrder) {
    FreshSettings();
    auto plug = MakeHalvane();
    ASSERT_EQ(plug->NPrograms(), 64);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(std::string(plug->ProgramName(i)), kBuiltInNames[i]) << i;
        const IPlugBase::Program* program = plug->GetProgram(i);
        ASSERT_NE(program, nullptr);
        EXPECT_TRUE(program->initialised);
        ASSERT_GE(program->state.Size(), 13);
        EXPECT_EQ(std::memcmp(program->state.Data(), "Halvane_1.1.3", 13), 0) << i;
    }
    EXPECT_EQ(plug->CurrentProgram(), 0);

    std::vector<double> defaults;
    for (int i = 0; i < plug->NParams(); ++i)
        defaults.push_back(Param(*plug, i).Default());
    plug->SelectProgram(63);
    EXPECT_EQ(Values(*plug), defaults) << "Init";
    // Every sound differs from the defaults and from every other sound.
    std::vector<std::vector<double>> sounds;
    for (int p = 0; p < 63; ++p) {
        plug->SelectProgram(p);
        sounds.push_back(Values(*plug));
        EXPECT_NE(sounds.back(), defaults) << kBuiltInNames[p];
    }
    for (int a = 0; a < 63; ++a)
        for (int b = a + 1; b < 63; ++b)
            EXPECT_NE(sounds[a], sounds[b]) << kBuiltInNames[a] << " / " << kBuiltInNames[b];

    // The resource is a chunk bank file: 160 header bytes, then the chunk.
    RegisterBankResources();
    ResourceData bank;
    ASSERT_TRUE(FindResource("PROGINIT", "PROGDATA", bank));
    EXPECT_EQ(bank.size, 50950u);
    EXPECT_EQ(std::memcmp(bank.data, "CcnK", 4), 0);
    EXPECT_EQ(BigEndian(bank.data + 4), bank.size - 8);
    EXPECT_EQ(std::memcmp(bank.data + 8, "FBCh", 4), 0);
    EXPECT_EQ(BigEndian(bank.data + 24), 64u);
    EXPECT_EQ(BigEndian(bank.data + 28), 0u);
    EXPECT_EQ(BigEndian(bank.data + 156), bank.size - 160);
    EXPECT_EQ(std::memcmp(bank.data + 160, "tffp", 4), 0);
}

TEST(StartupBank, ABankFileNamedInTheSettingsReplacesTheBuiltInOne) {
    const std::string home = FreshSettings();
    {
        auto maker = MakeHalvane();
        maker->SelectProgram(12);
        maker->ModifyCurrentPreset("Mine");
        maker->SetParamFromEditor(ParamId::kVcfResonance, 0.33);
        maker->ModifyCurrentPreset(nullptr);
        ASSERT_TRUE(maker->SaveBankFile(home + "/start.fxb"));
    }
    WriteStartupBank(home, home + "/start.fxb");
    auto plug = MakeHalvane();
    EXPECT_EQ(plug->StartupBank(), home + "/start.fxb");
    EXPECT_EQ(std::string(plug->ProgramName(12)), "Mine");
    EXPECT_EQ(plug->CurrentProgram(), 0) << "the file's current program is not used";
    plug->SelectProgram(12);
    EXPECT_DOUBLE_EQ(Param(*plug, ParamId::kVcfResonance).Value(), 0.33);
}

TEST(StartupBank, AMissingBankFallsBackSilentlyToTheBuiltInOne) {
    const std::string home = FreshSettings();
    WriteStartupBank(home, home + "/gone.fxb");
    auto plug = MakeHalvane();
    EXPECT_EQ(plug->StartupBank(), "");
    EXPECT_EQ(std::string(plug->ProgramName(0)), "Fat Monster");
    EXPECT_NE(ReadText(SettingsPathIn(home)).find("gone.fxb"), std::string::npos);
}

TEST(StartupBank, ProgramsTheBankLeavesEmptyGetTheStateRestoredLast) {
    const std::string home = FreshSettings();
    // A bank of parameter values with two programs, the second one current.
    std::string file = "CcnK____FxBk";
    auto put = [&file](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            file += static_cast<char>((v >> shift) & 0xFF);
    };
    put(2);
    put(vst::FourCC('H', 'a', 'l', '3'));
    put(10104);
    put(2);
    put(1);
    file.append(124, '\0');
    for (int p = 0; p < 2; ++p) {
        file += "CcnK____FxCk";
        put(1);
        put(vst::FourCC('H', 'a', 'l', '3'));
        put(10104);
        put(kNumParams);
        std::string name = p == 0 ? "First" : "Second";
        name.resize(28, '\0');
        file += name;
        for (int i = 0; i < kNumParams; ++i) {
            const float v = p == 0 ? 0.25f : 0.75f;
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            put(bits);
        }
    }
    WriteText(home + "/values.fxb", file);
    WriteStartupBank(home, home + "/values.fxb");

    auto plug = MakeHalvane();
    EXPECT_EQ(std::string(plug->ProgramName(0)), "First");
    EXPECT_EQ(std::string(plug->ProgramName(1)), "Second");
    EXPECT_EQ(plug->CurrentProgram(), 1);
    const std::vector<double> second = Values(*plug);
    EXPECT_DOUBLE_EQ(Param(*plug, ParamId::kVcfResonance).Value(), 0.75);
    for (int p = 2; p < 64; ++p) {
        EXPECT_EQ(std::string(plug->ProgramName(p)), "Empty");
        plug->SelectProgram(p);
        EXPECT_EQ(Values(*plug), second) << p;
    }
}

} // namespace

} // namespace halvane
