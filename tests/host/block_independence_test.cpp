// Where a host cuts its blocks changes nothing in the sound: the same timed MIDI
// (notes, sustain, pitch bend, the modulation wheel and a learned controller)
// rendered in blocks of any size, fixed or changing from block to block, gives
// the same eight channels to the last bit. Controllers act at the first control
// update at or after their sample.

#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/PluginFixture.h"

namespace halvane {

using namespace hosttest;
using namespace vst;
using vsthost::Host;
using vsthost::MidiMessage;

namespace {

constexpr int kLearnedController = 74;

// A MIDI message at a sample counted from the start of the render.
struct At {
    long sample;
    MidiMessage message;
};

using Channels = std::vector<std::vector<double>>;

class BlockIndependenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string folder = IsolateSettings();
        { auto first = MakeHost(); } // creates the settings folder
        {
            auto probe = MakeHost();
            ASSERT_TRUE(probe);
            cutoff_ = probe->FindParam("VCF Cutoff");
            ASSERT_GE(cutoff_, 0);
        }
        std::ofstream(folder + "/config/KelpmoorMusic/halvane.ini", std::ios::trunc)
            << "[MIDI Control]\nCC" << kLearnedController << "=" << cutoff_ << "\n";
    }

    // A fresh instance with all three sections sounding, every one through the
    // flanger, so each control-rate path reaches the outputs.
    std::unique_ptr<Host> Start() {
        auto host = MakeHost();
        EXPECT_TRUE(host);
        host->Start(44100.0, 4096);
        const int init = host->FindProgram("Init");
        if (init >= 0)
            host->Dispatch(effSetProgram, 0, init);
        for (const char* name : {"Output Brass", "Output Strings", "Flanger Synthe",
                                 "Flanger Brass", "Flanger Strings", "Strings Bowing"}) {
            const int index = host->FindParam(name);
            EXPECT_GE(index, 0) << name;
            EXPECT_TRUE(host->SetParamFromText(index, "On")) << name;
        }
        return host;
    }

    // Renders frames samples in blocks whose sizes blockAt gives for each block's
    // first sample, each block's events sent just before it.
    Channels Render(const std::vector<At>& events, long frames,
                    const std::function<int(long)>& blockAt) {
        auto host = Start();
        Channels out(8);
        std::size_t next = 0;
        for (long start = 0; start < frames;) {
            const int length = static_cast<int>(std::min<long>(blockAt(start), frames - start));
            std::vector<MidiMessage> due;
            for (; next < events.size() && events[next].sample < start + length; ++next) {
                MidiMessage m = events[next].message;
                m.offset = static_cast<int32_t>(events[next].sample - start);
                due.push_back(m);
            }
            if (!due.empty())
                host->SendMidi(due);
            host->Process(length, Host::Precision::kDouble);
            host->ClearCalls();
            for (std::size_t c = 0; c < 8; ++c)
                out[c].insert(out[c].end(), host->OutputsDouble()[c].begin(),
                              host->OutputsDouble()[c].begin() + length);
            start += length;
        }
        return out;
    }

    int cutoff_ = -1;
};

// The first sample at which two renders differ in any channel, -1 when none.
long FirstDifference(const Channels& a, const Channels& b) {
    for (std::size_t c = 0; c < a.size(); ++c) {
        if (a[c].size() != b[c].size())
            return 0;
        for (std::size_t i = 0; i < a[c].size(); ++i)
            if (a[c][i] != b[c][i])
                return static_cast<long>(i);
    }
    return -1;
}

// Random playing: chords, releases, the pedal, bends, wheel sweeps and the
// learned controller, at random samples.
std::vector<At> RandomPerformance(long frames, unsigned seed) {
    std::mt19937 random(seed);
    auto pick = [&random](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    std::vector<At> events;
    std::vector<int> held;
    for (long sample = 0; sample < frames; sample += pick(1, 400)) {
        const auto value = static_cast<uint8_t>(pick(0, 127));
        switch (pick(0, 9)) {
        case 0:
        case 1:
        case 2: {
            const int key = pick(36, 96);
            held.push_back(key);
            events.push_back({sample, {0, 0x90, static_cast<uint8_t>(key), value}});
            break;
        }
        case 3:
        case 4:
            if (!held.empty()) {
                const std::size_t which = static_cast<std::size_t>(pick(0, 1000)) % held.size();
                events.push_back({sample, {0, 0x80, static_cast<uint8_t>(held[which]), 64}});
                held.erase(held.begin() + static_cast<long>(which));
            }
            break;
        case 5:
            events.push_back({sample, {0, 0xB0, 64, static_cast<uint8_t>(pick(0, 1) * 127)}});
            break;
        case 6:
        case 7:
            events.push_back({sample, {0, 0xE0, static_cast<uint8_t>(pick(0, 127)), value}});
            break;
        case 8:
            events.push_back({sample, {0, 0xB0, 1, value}});
            break;
        default:
            events.push_back({sample, {0, 0xB0, kLearnedController, value}});
            break;
        }
    }
    return events;
}

TEST_F(BlockIndependenceTest, EveryBlockSizeGivesTheSameSamples) {
    constexpr long kFrames = 30000;
    const std::vector<At> events = RandomPerformance(kFrames, 20261208u);
    const Channels reference = Render(events, kFrames, [](long) { return 4096; });

    double loudest = 0.0;
    for (double s : reference[0])
        loudest = std::max(loudest, std::fabs(s));
    ASSERT_GT(loudest, 0.01) << "the performance must be heard";

    for (int block : {1, 7, 44, 64, 256, 1000}) {
        const Channels out = Render(events, kFrames, [block](long) { return block; });
        EXPECT_EQ(FirstDifference(out, reference), -1) << "blocks of " << block;
    }
    std::mt19937 sizes(7);
    const Channels varying = Render(events, kFrames, [&sizes](long) {
        return std::uniform_int_distribution<int>(1, 700)(sizes);
    });
    EXPECT_EQ(FirstDifference(varying, reference), -1) << "blocks of varying size";
}

// At 44100 Hz control updates fall on samples 0, 44, 88, 132, 176...: a bend
// anywhere after 88 up to 132 itself acts at 132, one at 133 only at 176.
TEST_F(BlockIndependenceTest, ABendActsAtTheFirstControlUpdateAtOrAfterItsSample) {
    auto bendAt = [this](long sample) {
        const std::vector<At> events = {{0, {0, 0x90, 69, 100}}, {sample, {0, 0xE0, 0x00, 0x70}}};
        return Render(events, 2048, [](long) { return 256; });
    };
    const Channels at89 = bendAt(89);
    EXPECT_EQ(FirstDifference(bendAt(131), at89), -1);
    EXPECT_EQ(FirstDifference(bendAt(132), at89), -1);
    // A bend at 133 is heard from the next update on; until 132 all is alike.
    const long parted = FirstDifference(bendAt(133), at89);
    EXPECT_GE(parted, 132);
    EXPECT_LE(parted, 176);
}

} // namespace

} // namespace halvane
