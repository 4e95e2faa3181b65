// The instrument's treatment of every incoming MIDI message: what is queued and
// when, what is served at once, and what MIDI thru passes on.

#include <gtest/gtest.h>

#include "support/ShellTestSupport.h"

namespace halvane {

using namespace shelltest;

namespace {

MidiEvent Event(int32_t offset, uint8_t status, uint8_t data1, uint8_t data2) {
    MidiEvent e;
    e.offset = offset;
    e.status = status;
    e.data1 = data1;
    e.data2 = data2;
    return e;
}

class MidiIntake : public ::testing::Test {
protected:
    void SetUp() override {
        FreshSettings();
        Log().calls.clear();
        synth = std::make_unique<TestSynth>();
        synth->SetSampleRate(44100.0);
        synth->ResetEngine(); // 44 samples per millisecond
    }

    std::vector<MidiEvent> Queued() {
        std::vector<MidiEvent> events;
        for (int32_t i = 0; i < synth->Midi().Size(); ++i)
            events.push_back(synth->Midi().At(i));
        return events;
    }

    std::unique_ptr<TestSynth> synth;
};

TEST_F(MidiIntake, NotesAreQueuedAndVelocityZeroBecomesANoteOff) {
    synth->HandleMidiMessage(Event(10, 0x95, 60, 0));
    synth->HandleMidiMessage(Event(5, 0x92, 61, 100));
    synth->HandleMidiMessage(Event(10, 0x83, 62, 40));
    const auto queued = Queued();
    ASSERT_EQ(queued.size(), 3u);
    EXPECT_EQ(queued[0].status, 0x92) << "ordered by offset";
    EXPECT_EQ(queued[1].status, 0x80) << "note off on the first channel, whatever the channel";
    EXPECT_EQ(queued[1].data1, 60);
    EXPECT_EQ(queued[1].data2, 0);
    EXPECT_EQ(queued[2].status, 0x83) << "equal offsets keep their arrival order";
    EXPECT_EQ(synth->SamplesPerMs(), 44);
}

TEST_F(MidiIntake, ControllersAndBendKeepTheirSample) {
    synth->HandleMidiMessage(Event(100, 0xE0, 0, 64));
    synth->HandleMidiMessage(Event(44, 0xE1, 0, 64));
    synth->HandleMidiMessage(Event(100, 0xB0, 64, 127));
    synth->HandleMidiMessage(Event(100, 0xB0, 7, 3));
    std::vector<std::pair<int, int>> seen;
    for (const MidiEvent& e : Queued())
        seen.push_back({e.status == 0xB0 ? e.data1 : e.status, e.offset});
    const std::vector<std::pair<int, int>> expected = {
        {0xE1, 44}, {0xE0, 100}, {64, 100}, {7, 100}};
    EXPECT_EQ(seen, expected);
}

TEST_F(MidiIntake, ChannelModeProgramAndOtherMessages) {
    for (uint8_t cc : {121, 122, 124, 125, 126, 127})
        synth->HandleMidiMessage(Event(0, 0xB0, cc, 0));
    for (uint8_t status : {0xA0, 0xD0, 0xF0, 0xF8, 0x40})
        synth->HandleMidiMessage(Event(0, status, 1, 2));
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(synth->allVoicesOff, 0);
    synth->HandleMidiMessage(Event(0, 0xB3, 120, 0));
    synth->HandleMidiMessage(Event(0, 0xB0, 123, 0));
    EXPECT_EQ(synth->allVoicesOff, 2);
    EXPECT_TRUE(Queued().empty());

    synth->HandleMidiMessage(Event(0, 0xC5, 9, 0));
    EXPECT_EQ(synth->CurrentProgram(), 9);
    synth->HandleMidiMessage(Event(0, 0xC0, 64, 0));
    EXPECT_EQ(synth->CurrentProgram(), 9) << "there is no program 64";
    synth->SetIgnoreProgramChange(true);
    synth->HandleMidiMessage(Event(0, 0xC0, 3, 0));
    EXPECT_EQ(synth->CurrentProgram(), 9);
    EXPECT_TRUE(Queued().empty());
    EXPECT_EQ(Log().Count(vst::audioMasterProcessEvents), 0) << "no thru while it is off";
}

TEST_F(MidiIntake, ThruPassesEveryMessageOnUnchanged) {
    synth->SetMidiThru(true);
    synth->SetIgnoreProgramChange(true);
    synth->HandleMidiMessage(Event(0, 0xC2, 5, 0));
    synth->HandleMidiMessage(Event(0, 0x91, 60, 0));
    synth->HandleMidiMessage(Event(0, 0xF8, 0, 0));
    ASSERT_EQ(Log().Count(vst::audioMasterProcessEvents), 3);
    std::vector<int> statuses;
    for (const HostLog::Call& c : Log().calls)
        if (c.opcode == vst::audioMasterProcessEvents)
            statuses.push_back(c.midi[0]);
    EXPECT_EQ(statuses, (std::vector<int>{0xC2, 0x91, 0xF8})) << "as received, before any change";
    EXPECT_EQ(synth->CurrentProgram(), 0);
}

} // namespace

} // namespace halvane
