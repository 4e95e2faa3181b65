// The instrument playing through its entry point, as a host drives it: pitch,
// event timing, note handling seen at the outputs, section routing, the three
// audio callbacks, and hosts that feed it nonsense.

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/Instrument.h"
#include "support/Measure.h"
#include "support/PluginFixture.h"

namespace halvane {

using namespace hosttest;
using namespace vst;
using vsthost::Host;
using vsthost::MidiMessage;

namespace {

class EngineAudioTest : public PluginTest {
protected:
    // Starts the host and brings every parameter to its default (the "Init"
    // program of the bank, when the bank holds one).
    void Begin(double rate = 44100.0, int block = 256) {
        rate_ = rate;
        block_ = block;
        host->Start(rate, block);
        const int init = host->FindProgram("Init");
        if (init >= 0)
            host->Dispatch(effSetProgram, 0, init);
    }

    void Set(const char* name, const char* text) {
        const int index = host->FindParam(name);
        ASSERT_GE(index, 0) << name;
        ASSERT_TRUE(host->SetParamFromText(index, text)) << name << " " << text;
    }

    void Send(std::vector<MidiMessage> messages) { host->SendMidi(messages); }
    static MidiMessage On(int note, int offset = 0, int velocity = 100) {
        return MidiMessage{offset, 0x90, static_cast<uint8_t>(note),
                           static_cast<uint8_t>(velocity)};
    }
    static MidiMessage Off(int note, int offset = 0) {
        return MidiMessage{offset, 0x80, static_cast<uint8_t>(note), 0};
    }

    // Renders about frames samples in host blocks, appending every channel.
    Streams Render(int frames, Host::Precision precision = Host::Precision::kSingleReplacing) {
        Streams all(8);
        for (int done = 0; done < frames; done += block_) {
            host->Process(block_, precision);
            for (std::size_t c = 0; c < 8; ++c) {
                if (precision == Host::Precision::kDouble)
                    all[c].insert(all[c].end(), host->OutputsDouble()[c].begin(),
                                  host->OutputsDouble()[c].end());
                else
                    all[c].insert(all[c].end(), host->Outputs()[c].begin(),
                                  host->Outputs()[c].end());
            }
        }
        return all;
    }

    double rate_ = 44100.0;
    int block_ = 256;
};

bool Finite(const Streams& s) {
    for (const auto& c : s)
        for (double v : c)
            if (!std::isfinite(v))
                return false;
    return true;
}

// Frequency from the falling zero crossings (one per period of a saw, halfway
// down its ramp), after the first tenth of a second.
double Frequency(const std::vector<double>& x, double rate) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (std::size_t n = static_cast<std::size_t>(rate / 10) + 1; n < x.size(); ++n) {
        if (x[n - 1] > 0.0 && x[n] <= 0.0) {
            last = static_cast<double>(n - 1) + x[n - 1] / (x[n - 1] - x[n]);
            if (first < 0.0)
                first = last;
            ++crossings;
        }
    }
    return crossings > 1 ? rate * (crossings - 1) / (last - first) : 0.0;
}

TEST_F(EngineAudioTest, Note69SoundsAt440Hz) {
    Begin();
    Send({On(69)});
    const Streams s = Render(44100);
    for (Channel c : {kTotalL, kTotalR, kSynthL, kSynthR})
        EXPECT_NEAR(Frequency(s[c], 44100.0), 440.0, 0.02) << c;
    EXPECT_GT(Peak(s[kTotalL]), 0.05);
}

TEST_F(EngineAudioTest, ANoteStartsAtItsSampleOffset) {
    for (Host::Precision p : {Host::Precision::kSingleReplacing, Host::Precision::kDouble}) {
        host = hosttest::MakeHost();
        Begin();
        Send({On(69, 100)});
        const Streams s = Render(256, p);
        int first = -1;
        for (int n = 0; n < 256 && first < 0; ++n)
            if (s[kTotalL][static_cast<std::size_t>(n)] != 0.0)
                first = n;
        EXPECT_EQ(first, 100);
    }
}

TEST_F(EngineAudioTest, VelocityZeroReleasesAndEverythingFallsSilent) {
    Begin();
    Send({On(60), On(64), On(67)});
    Render(4410);
    Send({MidiMessage{0, 0x90, 60, 0}, MidiMessage{0, 0x90, 64, 0}, MidiMessage{0, 0x90, 67, 0}});
    const Streams s = Render(4410);
    EXPECT_EQ(Peak(s[kTotalL], 2205), 0.0);
    EXPECT_EQ(Peak(s[kSynthR], 2205), 0.0);
}

TEST_F(EngineAudioTest, SustainPedalHoldsUntilItLifts) {
    Begin();
    Send({On(60), MidiMessage{10, 0xB0, 64, 1}, Off(60, 20)});
    const Streams held = Render(22050);
    EXPECT_GT(Peak(held[kTotalL], 11025), 0.05) << "still sounding on the pedal";
    Send({MidiMessage{0, 0xB0, 64, 0}});
    const Streams after = Render(4410);
    EXPECT_EQ(Peak(after[kTotalL], 2205), 0.0);
}

TEST_F(EngineAudioTest, TridentModeStealsTheNinthVoice) {
    for (bool trident : {true, false}) {
        host = hosttest::MakeHost();
        Begin();
        Set("Trident Mode", trident ? "On" : "Off");
        std::vector<MidiMessage> chord;
        for (int k = 0; k < 9; ++k)
            chord.push_back(On(48 + k, k));
        Send(chord);
        Render(2205);
        std::vector<MidiMessage> up;
        for (int k = 1; k < 9; ++k)
            up.push_back(Off(48 + k));
        Send(up); // key 48 stays down
        const Streams s = Render(8820);
        if (trident)
            EXPECT_EQ(Peak(s[kTotalL], 4410), 0.0) << "the first key lost its voice";
        else
            EXPECT_GT(Peak(s[kTotalL], 4410), 0.05) << "64 voices: the first key sounds on";
    }
}

TEST_F(EngineAudioTest, KeyAssignTwoTakesTheVoiceOfTheHeldCount) {
    for (const char* assign : {"1", "2"}) {
        host = hosttest::MakeHost();
        Begin();
        Set("Key Assign", assign);
        Send({On(60)}); // voice 0
        Render(2205);
        Send({On(64)}); // one key held: voice 1
        Render(2205);
        Send({Off(60)});
        Render(2205);
        Send({On(67)}); // "2": one key held, voice 1 again, taking 64's voice
        Render(2205);
        Send({Off(67)});
        const Streams s = Render(8820);
        if (std::string(assign) == "2")
            EXPECT_EQ(Peak(s[kTotalL], 4410), 0.0) << "64 lost its voice to 67";
        else
            EXPECT_GT(Peak(s[kTotalL], 4410), 0.05) << "64 kept its own voice";
    }
}

TEST_F(EngineAudioTest, SplitAndRanges) {
    Begin();
    Set("Output Strings", "On");
    Set("Split Key", "60");
    Set("Range Synthe", "Lower");
    Set("Range Strings", "Upper");
    Send({On(59)});
    Streams s = Render(8820);
    EXPECT_GT(Peak(s[kSynthL], 4410), 0.05);
    EXPECT_LT(Peak(s[kStringsL]), 1e-9) << "only the filters' anti-denormal offsets";
    Send({Off(59), On(60)});
    s = Render(22050);
    EXPECT_EQ(Peak(s[kSynthL], 11025), 0.0);
    EXPECT_GT(Peak(s[kStringsL], 11025), 0.01);
}

TEST_F(EngineAudioTest, SectionsSoundOnTheirOwnChannels) {
    Begin();
    Send({On(60)});
    Streams s = Render(8820);
    EXPECT_GT(Peak(s[kSynthL]), 0.05);
    for (Channel c : {kBrassL, kBrassR, kStringsL, kStringsR})
        EXPECT_EQ(Peak(s[c]), 0.0) << "disabled sections are silent: " << c;

    Set("Output Synthe", "Off");
    Set("Output Brass", "On");
    Send({Off(60), On(62)});
    s = Render(8820);
    EXPECT_EQ(Peak(s[kSynthL], 4410), 0.0);
    EXPECT_GT(Peak(s[kBrassL], 4410), 0.02);
    EXPECT_GT(Peak(s[kBrassR], 4410), 0.02);
    EXPECT_EQ(Peak(s[kStringsL]), 0.0);

    Set("Output Brass", "Off");
    Set("Output Strings", "On");
    Send({Off(62), On(64)});
    s = Render(22050);
    EXPECT_EQ(Peak(s[kBrassL], 100), 0.0);
    EXPECT_GT(Peak(s[kStringsL], 11025), 0.01);
    EXPECT_GT(Peak(s[kStringsR], 11025), 0.01);
    EXPECT_GT(Peak(s[kTotalL], 11025), 0.01);
}

TEST_F(EngineAudioTest, TheThreeAudioCallbacksAgree) {
    Streams results[3];
    const Host::Precision modes[] = {Host::Precision::kSingleReplacing,
                                     Host::Precision::kSingleAccumulating,
                                     Host::Precision::kDouble};
    for (int m = 0; m < 3; ++m) {
        host = hosttest::MakeHost();
        Begin(44100.0, 128);
        Set("Output Brass", "On");
        Set("Flanger Synthe", "On");
        Send({On(60, 5), On(67, 77)});
        results[m].assign(8, {});
        for (int block = 0; block < 40; ++block) {
            if (modes[m] == Host::Precision::kSingleAccumulating)
                for (auto& c : host->MutableOutputs())
                    c.assign(128, 0.0f);
            Streams s = Render(128, modes[m]);
            for (std::size_t c = 0; c < 8; ++c)
                results[m][c].insert(results[m][c].end(), s[c].begin(), s[c].end());
        }
    }
    for (std::size_t c = 0; c < 8; ++c) {
        for (std::size_t n = 0; n < results[0][c].size(); ++n) {
            ASSERT_EQ(results[0][c][n], results[1][c][n]) << c << " " << n;
            ASSERT_EQ(results[0][c][n], static_cast<float>(results[2][c][n])) << c << " " << n;
        }
    }
    EXPECT_GT(Peak(results[2][kTotalL]), 0.05);
}

TEST_F(EngineAudioTest, AbsurdRatesAndBlocksNeitherCrashNorHang) {
    for (double rate : {0.0, 1.0, 10.0e6}) {
        host = hosttest::MakeHost();
        Begin(rate, rate > 1e6 ? 4096 : 64);
        Send({On(69), MidiMessage{3, 0xE0, 127, 127}});
        const Streams s = Render(rate > 1e6 ? 100000 : 640);
        EXPECT_TRUE(Finite(s)) << rate;
    }
    for (int block : {0, 1}) {
        host = hosttest::MakeHost();
        Begin(44100.0, block);
        Send({On(60)});
        block_ = 1;
        const Streams s = Render(2000);
        host->Process(0);
        EXPECT_TRUE(Finite(s));
        EXPECT_GT(Peak(s[kTotalL]), 0.0);
    }
}

TEST_F(EngineAudioTest, NonsenseInputStaysFiniteAndNothingHangsOn) {
    Begin();
    Set("Trident Mode", "Off");
    Set("Output Brass", "On");
    Set("Output Strings", "On");
    Set("Flanger Strings", "On");
    Set("VCF Resonance", "1");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int i = 0; i < host->NumParams(); ++i)
        host->SetParameter(i, (i % 3) ? nan : std::numeric_limits<float>::infinity());
    std::vector<MidiMessage> junk;
    for (int k = 0; k < 200; ++k)
        junk.push_back(MidiMessage{k, static_cast<uint8_t>(0x90 + k % 16),
                                   static_cast<uint8_t>(k * 37), static_cast<uint8_t>(k * 91)});
    junk.push_back(MidiMessage{250, 0xE0, 0xFF, 0xFF});
    junk.push_back(MidiMessage{251, 0xB0, 0xFF, 0xFF});
    Send(junk);
    Streams s = Render(44100);
    EXPECT_TRUE(Finite(s));
    Send({MidiMessage{0, 0xE0, 0, 0}});
    s = Render(4410);
    EXPECT_TRUE(Finite(s));

    // Every key up (the masked bytes name notes 0..127): after the longest
    // release the instrument is silent.
    std::vector<MidiMessage> up;
    for (int note = 0; note < 128; ++note)
        up.push_back(Off(note));
    up.push_back(MidiMessage{0, 0xB0, 64, 0});
    Send(up);
    Render(44100 * 25);
    s = Render(4410);
    for (Channel c : {kTotalL, kTotalR, kSynthL, kBrassL, kStringsL, kStringsR})
        EXPECT_LT(Peak(s[c]), 1e-9) << c;
}

} // namespace

} // namespace halvane
