// State as a host keeps it: program and bank chunks carried from one instance
// to another, the host-vendor rule, a new instance's programs and MIDI-learned
// controllers played in.

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "support/PluginFixture.h"

namespace halvane {

using namespace vst;
using hosttest::PluginTest;
using vsthost::Host;
using vsthost::MidiMessage;

namespace {

std::vector<float> Parameters(Host& host) {
    std::vector<float> values;
    for (int i = 0; i < host.NumParams(); ++i)
        values.push_back(host.GetParameter(i));
    return values;
}

std::vector<std::string> ProgramNames(Host& host) {
    std::vector<std::string> names;
    for (int p = 0; p < host.NumPrograms(); ++p)
        names.push_back(host.ProgramNameIndexed(p));
    return names;
}

// The program names a bank chunk holds, read by its layout.
std::vector<std::string> NamesInBankChunk(const std::vector<uint8_t>& chunk) {
    std::vector<std::string> names;
    std::size_t at = 8;
    auto i32 = [&chunk](std::size_t pos) {
        int32_t v;
        std::memcpy(&v, chunk.data() + pos, 4);
        return static_cast<std::size_t>(v);
    };
    while (at + 4 <= chunk.size()) {
        const std::size_t length = i32(at);
        names.emplace_back(reinterpret_cast<const char*>(chunk.data()) + at + 4, length);
        at += 4 + length;
        const bool initialised = chunk[at++] != 0;
        if (initialised)
            at += 13 + 4 + 4 + i32(at + 17) + 93 * 8;
    }
    EXPECT_EQ(at, chunk.size());
    return names;
}

TEST_F(PluginTest, ProgramChunkCarriesOneProgramToAnotherInstance) {
    host->Start(44100.0, 256);
    host->Dispatch(effSetProgram, 0, 12);
    host->SetParameter(13, 0.3f);
    host->SetParameter(59, 0.0f);
    char name[] = "Carried Over";
    host->Dispatch(effSetProgramName, 0, 0, name);
    const std::vector<uint8_t> chunk = host->GetChunk(false);
    ASSERT_FALSE(chunk.empty());

    auto other = hosttest::MakeHost();
    other->Start(48000.0, 512);
    other->Dispatch(effSetProgram, 0, 30);
    EXPECT_TRUE(other->SetChunk(chunk, false));
    EXPECT_EQ(Parameters(*other), Parameters(*host));
    EXPECT_EQ(other->ProgramName(), "Carried Over");
    EXPECT_EQ(other->Dispatch(effGetProgram), 30) << "into the current program";
    other->Dispatch(effSetProgram, 0, 0);
    other->Dispatch(effSetProgram, 0, 30);
    EXPECT_EQ(Parameters(*other), Parameters(*host)) << "stored, not only applied";
}

TEST_F(PluginTest, BankChunkCarriesEveryProgram) {
    host->Start(44100.0, 256);
    host->Dispatch(effSetProgram, 0, 5);
    host->SetParameter(14, 0.9f);
    host->Dispatch(effSetProgram, 0, 9); // the edit of program 5 is kept
    const std::vector<uint8_t> bank = host->GetChunk(true);

    auto other = hosttest::MakeHost();
    other->Start(44100.0, 256);
    EXPECT_TRUE(other->SetChunk(bank, true));
    EXPECT_EQ(ProgramNames(*other), ProgramNames(*host));
    for (int p = 0; p < 64; ++p) {
        host->Dispatch(effSetProgram, 0, p);
        other->Dispatch(effSetProgram, 0, p);
        EXPECT_EQ(Parameters(*other), Parameters(*host)) << p;
    }
    other->Dispatch(effSetProgram, 0, 5);
    EXPECT_FLOAT_EQ(other->GetParameter(14), 0.9f);
}

TEST_F(PluginTest, ANewInstanceHandsOverItsWholeBankBeforeItIsOpened) {
    const std::vector<uint8_t> bank = host->GetChunk(true);
    const std::vector<std::string> names = NamesInBankChunk(bank);
    ASSERT_EQ(names.size(), 64u);
    EXPECT_EQ(names, ProgramNames(*host));
    EXPECT_EQ(names.front(), "Fat Monster");
    EXPECT_EQ(names.back(), "Init");
}

TEST(PluginVendor, NativeInstrumentsInAnyCaseGetsProgramChunks) {
    hosttest::IsolateSettings();
    for (const char* vendor : {"Native Instruments", "NATIVE INSTRUMENTS", "juce vst host"}) {
        vsthost::HostIdentity identity;
        identity.vendor = vendor;
        auto host = hosttest::MakeHost(identity);
        ASSERT_TRUE(host);
        const std::vector<uint8_t> bank = host->GetChunk(true);
        EXPECT_EQ(bank, host->GetChunk(false)) << vendor;
        EXPECT_TRUE(host->SetChunk(bank, true));
    }
}

// A controller mapped in the settings file moves its parameter when it is
// played, and the host hears of each change once.
TEST(PluginLearn, MappedControllerMovesItsParameter) {
    hosttest::IsolateSettings();
    const std::string file = hosttest::SettingsFile();
    {
        auto first = hosttest::MakeHost(); // creates the settings folder
    }
    std::ofstream(file, std::ios::trunc) << "[MIDI Control]\nCC74=13\nCC64=14\n";
    auto host = hosttest::MakeHost();
    std::ofstream(file, std::ios::trunc) << "";
    ASSERT_TRUE(host);
    host->Start(44100.0, 256);
    host->Dispatch(effSetProgram, 0, 63);
    const float resonance = host->GetParameter(14);

    auto automations = [&host]() {
        std::vector<std::pair<int, float>> seen;
        for (const vsthost::HostCall& call : host->Calls())
            if (call.opcode == audioMasterAutomate)
                seen.push_back({call.index, call.opt});
        return seen;
    };
    host->ClearCalls();
    host->SendMidi({{10, 0xB0, 74, 0}});
    host->Process(256);
    EXPECT_FLOAT_EQ(host->GetParameter(13), 0.0f);
    host->SendMidi({{10, 0xB0, 74, 0}, {20, 0xB0, 74, 127}, {30, 0xB3, 74, 127}});
    host->Process(256);
    EXPECT_FLOAT_EQ(host->GetParameter(13), 1.0f);
    const std::vector<std::pair<int, float>> expected = {{13, 0.0f}, {13, 1.0f}};
    EXPECT_EQ(automations(), expected);

    host->SendMidi({{0, 0xB0, 64, 127}});
    host->Process(256);
    EXPECT_EQ(host->GetParameter(14), resonance) << "the sustain pedal stays a pedal";
}

} // namespace

} // namespace halvane
