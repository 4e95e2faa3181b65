// The audio callbacks and the MIDI intake of the binding, driven as hosts drive
// them, including the habits of real Linux hosts and hosts that misbehave.

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "support/PluginFixture.h"

namespace halvane {

using namespace vst;
using hosttest::PluginTest;

namespace {

constexpr float kSentinel = 0.25f;

void Fill(std::vector<std::vector<float>>& channels, int frames, float value) {
    for (auto& c : channels)
        c.assign(static_cast<std::size_t>(frames), value);
}

bool AllFinite(const std::vector<std::vector<float>>& channels) {
    for (const auto& c : channels)
        for (float v : c)
            if (!std::isfinite(v))
                return false;
    return true;
}

TEST_F(PluginTest, EachAudioCallbackServesFramesBeyondTheAnnouncedBlockSize) {
    host->Start(44100.0, 64);
    const int frames = 1000; // far more than the 64 announced
    host->Process(frames);
    Fill(host->MutableOutputs(), frames, kSentinel);
    host->Process(frames, vsthost::Host::Precision::kSingleReplacing);
    for (const auto& c : host->Outputs()) {
        ASSERT_EQ(c.size(), static_cast<std::size_t>(frames));
        for (float v : c)
            ASSERT_EQ(v, 0.0f) << "every frame is replaced by the silent instrument";
    }
    Fill(host->MutableOutputs(), frames, kSentinel);
    host->Process(frames, vsthost::Host::Precision::kSingleAccumulating);
    for (const auto& c : host->Outputs())
        for (float v : c)
            ASSERT_EQ(v, kSentinel) << "the accumulating call adds to what the host holds";
    host->Process(frames, vsthost::Host::Precision::kDouble);
    for (const auto& c : host->OutputsDouble())
        for (double v : c)
            ASSERT_EQ(v, 0.0);
}

TEST_F(PluginTest, EveryAudioBlockAsksForMidi) {
    host->Start(44100.0, 128);
    host->ClearCalls();
    host->Process(128);
    host->Process(128, vsthost::Host::Precision::kDouble);
    host->Process(128, vsthost::Host::Precision::kSingleAccumulating);
    EXPECT_EQ(host->CountCalls(audioMasterWantMidi), 3);
}

TEST_F(PluginTest, BlockSizesOfZeroAndOneAndChanges) {
    host->Start(44100.0, 0);
    host->Process(0);
    host->Process(1);
    host->Process(300);
    host->Dispatch(effSetBlockSize, 0, 1);
    host->Process(1);
    host->Process(2000);
    host->Dispatch(effSetBlockSize, 0, 4096);
    host->Process(4096, vsthost::Host::Precision::kDouble);
    host->Dispatch(effSetBlockSize, 0, -5);
    host->Process(17);
    host->Dispatch(effSetBlockSize, 0, std::numeric_limits<intptr_t>::max());
    host->Process(33);
    EXPECT_TRUE(AllFinite(host->Outputs()));
}

TEST_F(PluginTest, DisconnectedOutputsLeaveTheirHostBuffersAlone) {
    host->Start(44100.0, 256);
    VstSpeakerArrangement stereo{};
    stereo.type = kSpeakerArrStereo;
    stereo.numChannels = 2;
    EXPECT_EQ(host->Dispatch(effSetSpeakerArrangement, 0, 0, &stereo), 1);
    host->Process(256);
    Fill(host->MutableOutputs(), 256, kSentinel);
    host->Process(256);
    for (int ch = 0; ch < 8; ++ch) {
        const float expected = ch < 2 ? 0.0f : kSentinel;
        for (float v : host->Outputs()[ch])
            ASSERT_EQ(v, expected) << "channel " << ch;
    }
    // Disconnected channels render into their own scratch, also in double mode
    // and for blocks larger than announced.
    host->Process(3000, vsthost::Host::Precision::kDouble);
}

TEST_F(PluginTest, HabitsOfRealLinuxHosts) {
    host->Dispatch(effGetPlugCategory);
    host->Start(48000.0, 512);
    host->Dispatch(effMainsChanged, 0, 1); // resumed twice with no suspend between
    std::vector<vsthost::MidiMessage> none;
    for (int i = 0; i < 20; ++i) {
        host->SendMidi(none); // an empty event list every cycle
        host->Process(512);
    }
    // Transport stop: sustain off, all notes off, reset controllers on all 16
    // channels, at the last frame of a block.
    std::vector<vsthost::MidiMessage> stop;
    for (uint8_t ch = 0; ch < 16; ++ch) {
        stop.push_back({511, static_cast<uint8_t>(0xB0 | ch), 64, 0});
        stop.push_back({511, static_cast<uint8_t>(0xB0 | ch), 123, 0});
        stop.push_back({511, static_cast<uint8_t>(0xB0 | ch), 121, 0});
    }
    host->SendMidi(stop);
    host->Process(512);
    // A round of parameter values, then the project's state while running.
    const std::vector<uint8_t> state = host->GetChunk(false);
    for (int i = 0; i < host->NumParams(); ++i)
        host->SetParameter(i, 0.3f);
    EXPECT_TRUE(host->SetChunk(state, false));
    host->Process(512);
    host->Process(512, vsthost::Host::Precision::kDouble);
    EXPECT_TRUE(AllFinite(host->Outputs()));
}

TEST_F(PluginTest, EventListsWithHolesForeignTypesAndOddOffsets) {
    host->Start(44100.0, 256);
    std::vector<VstMidiEvent> midi(4);
    for (auto& m : midi) {
        m = VstMidiEvent{};
        m.type = kVstMidiType;
        m.byteSize = sizeof(VstMidiEvent);
        m.midiData[0] = static_cast<char>(0x90);
        m.midiData[1] = 60;
        m.midiData[2] = 100;
    }
    midi[0].deltaFrames = -50;
    midi[1].deltaFrames = 100000000;
    midi[2].deltaFrames = 255;
    midi[3].deltaFrames = 0;
    midi[3].midiData[1] = static_cast<char>(0xFF); // a malformed data byte
    VstMidiSysexEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof(sysex);
    sysex.dumpBytes = -3;
    VstEvent foreign{};
    foreign.type = 99;

    vsthost::EventList list;
    list.Add(&midi[0]);
    list.Add(static_cast<VstEvent*>(nullptr));
    list.Add(&foreign);
    list.Add(&midi[1]);
    list.Add(&sysex);
    list.Add(&midi[2]);
    list.Add(&midi[3]);
    list.Add(static_cast<VstEvent*>(nullptr));
    EXPECT_EQ(host->Dispatch(effProcessEvents, 0, 0, list.Get()), 1);
    EXPECT_EQ(host->Dispatch(effProcessEvents, 0, 0, nullptr), 0);
    list.SetCount(-4);
    EXPECT_EQ(host->Dispatch(effProcessEvents, 0, 0, list.Get()), 1);
    for (int i = 0; i < 8; ++i)
        host->Process(256);

    // Thousands of events in one block.
    std::vector<vsthost::MidiMessage> flood;
    for (int i = 0; i < 6000; ++i)
        flood.push_back({i % 256, static_cast<uint8_t>(i % 2 ? 0x80 : 0x90),
                         static_cast<uint8_t>(i % 128), 64});
    host->SendMidi(flood);
    host->Process(256);
    host->Process(256);
    EXPECT_TRUE(AllFinite(host->Outputs()));
}

} // namespace

namespace {

// Note-on and note-off of one key at the same sample: the order the host listed
// them in decides whether the key ends up held.
float LevelAfter(const std::vector<vsthost::MidiMessage>& events) {
    auto host = hosttest::MakeHost();
    host->Start(44100.0, 256);
    host->SendMidi(events);
    for (int block = 0; block < 40; ++block)
        host->Process(256);
    return hosttest::Peak(host->Outputs()[0]);
}

TEST(PluginEvents, EqualOffsetsKeepTheHostsOrder) {
    hosttest::IsolateSettings();
    const float releasedAtOnce = LevelAfter({{10, 0x90, 60, 100}, {10, 0x80, 60, 0}});
    const float held = LevelAfter({{10, 0x80, 60, 0}, {10, 0x90, 60, 100}});
    EXPECT_EQ(releasedAtOnce, 0.0f) << "on then off: silent 0.2 s later";
    EXPECT_GT(held, 0.05f) << "off then on: the key sounds";
}

} // namespace

// Percussive programs decay through the float subnormals on their way to
// silence; hosts and the plug-ins after ours slow down sharply on them, so the
// single-precision outputs carry 0 instead. The double outputs keep the tail.
TEST(PluginOutputs, SinglePrecisionCarriesNoSubnormals) {
    hosttest::IsolateSettings();
    auto subnormal = [](double v) {
        const float f = static_cast<float>(v);
        return f != 0.0f && std::fabs(f) < std::numeric_limits<float>::min();
    };
    for (const char* name : {"Chase Percussion", "Tickly"}) {
        // The same phrase in two instances, one per precision.
        auto single = hosttest::MakeHost();
        auto full = hosttest::MakeHost();
        for (vsthost::Host* h : {single.get(), full.get()}) {
            h->Start(44100.0, 256);
            ASSERT_GE(h->FindProgram(name), 0) << name;
            h->Dispatch(effSetProgram, 0, h->FindProgram(name));
        }
        std::mt19937 random(1);
        long inSingle = 0, inDouble = 0;
        for (int block = 0; block < 13 * 44100 / 256; ++block) {
            if (block % 20 == 0 && block < 1800) {
                const auto on = static_cast<int32_t>(random() % 256);
                const auto key = static_cast<uint8_t>(36 + random() % 48);
                const auto velocity = static_cast<uint8_t>(1 + random() % 127);
                const auto off = static_cast<int32_t>(random() % 256);
                const auto released = static_cast<uint8_t>(36 + random() % 48);
                const std::vector<vsthost::MidiMessage> notes = {{on, 0x90, key, velocity},
                                                                 {off, 0x80, released, 0}};
                single->SendMidi(notes);
                full->SendMidi(notes);
            }
            single->Process(256, vsthost::Host::Precision::kSingleReplacing);
            full->Process(256, vsthost::Host::Precision::kDouble);
            single->ClearCalls();
            full->ClearCalls();
            for (std::size_t c = 0; c < 8; ++c) {
                for (std::size_t i = 0; i < 256; ++i) {
                    const float s = single->Outputs()[c][i];
                    const double d = full->OutputsDouble()[c][i];
                    inSingle += subnormal(s) ? 1 : 0;
                    inDouble += subnormal(d) ? 1 : 0;
                    if (!subnormal(d)) {
                        ASSERT_EQ(s, static_cast<float>(d)) << "everything else passes";
                    }
                }
            }
        }
        EXPECT_EQ(inSingle, 0) << name;
        EXPECT_GT(inDouble, 0) << name << ": the phrase reaches the subnormal range";
    }
}

} // namespace halvane
