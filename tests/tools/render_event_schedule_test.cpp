#include "tools/render/EventSchedule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/MidiBytes.h"

namespace halvane {

using namespace toolstest;

namespace {

// A track from (delta, bytes...) steps, closed with End of Track after `endDelta`.
Bytes Track(const std::vector<std::pair<uint32_t, Bytes>>& steps, uint32_t endDelta = 0) {
    Bytes body;
    for (const auto& [delta, bytes] : steps) {
        PutVlq(body, delta);
        body.insert(body.end(), bytes.begin(), bytes.end());
    }
    PutVlq(body, endDelta);
    body.insert(body.end(), {0xFF, 0x2F, 0x00});
    return Chunk("MTrk", body);
}

MidiFile Parse(int format, const std::vector<Bytes>& tracks, int division) {
    Bytes file = Header(format, static_cast<int>(tracks.size()), static_cast<uint16_t>(division));
    for (const Bytes& t : tracks)
        file.insert(file.end(), t.begin(), t.end());
    MidiFile midi;
    std::string error;
    EXPECT_TRUE(ParseMidi(file.data(), file.size(), midi, error)) << error;
    return midi;
}

Bytes Tempo(uint32_t microsecondsPerQuarter) {
    Bytes out = {0xFF, 0x51, 0x03};
    PutBigEndian(out, microsecondsPerQuarter, 3);
    return out;
}

// At 480 ticks per quarter: 120 BPM for two quarters (1 s), then 240 BPM. Notes on
// two channels in the second track, the second note written with running status.
MidiFile TwoTempoFile(uint32_t endDelta = 0) {
    const Bytes conductor = Track({{0, Tempo(500000)}, {960, Tempo(250000)}});
    const Bytes notes = Track({{480, {0x90, 60, 100}},
                               {0, {0x99, 38, 90}},
                               {480, {0x89, 38, 0}},
                               {480, {0x80, 60, 0}},
                               {0, {62, 0}}}, // running status: note-off 62
                              endDelta);
    return Parse(1, {conductor, notes}, 480);
}

} // namespace

TEST(EventSchedule, PlacesEventsThroughTheTempoMapAtTheSampleRate) {
    EventSchedule schedule;
    schedule.Build(TwoTempoFile(), 48000.0);
    const auto& events = schedule.Events();
    ASSERT_EQ(events.size(), 5u);
    // Tick 480 = 0.5 s, tick 960 = 1 s, tick 1440 = 1 s + 480 ticks at 240 BPM = 1.25 s.
    const std::vector<uint64_t> samples = {24000, 24000, 48000, 60000, 60000};
    const std::vector<uint8_t> status = {0x90, 0x99, 0x89, 0x80, 0x80};
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].sample, samples[i]) << i;
        EXPECT_EQ(events[i].status, status[i]) << i; // channels are passed on unchanged
    }
    EXPECT_EQ(events[4].data1, 62);
    EXPECT_EQ(schedule.EndSample(), 60000u);
    EXPECT_EQ(schedule.ReleasedAtEnd(), 0);
    EXPECT_DOUBLE_EQ(schedule.TempoAt(0), 120.0);
    EXPECT_DOUBLE_EQ(schedule.TempoAt(47999), 120.0);
    EXPECT_DOUBLE_EQ(schedule.TempoAt(48000), 240.0);

    // End of Track later than the last event sets the end: 480 ticks (a quarter)
    // at 240 BPM after 1.25 s.
    schedule.Build(TwoTempoFile(480), 48000.0);
    EXPECT_EQ(schedule.EndSample(), 72000u);
}

TEST(EventSchedule, BlocksOfAnySizeHandOutEveryEventOnceAtItsOffset) {
    EventSchedule reference;
    reference.Build(TwoTempoFile(), 44100.0);
    const std::vector<ScheduledEvent> expected = reference.Events();
    for (int block : {1, 7, 64, 256, 441, 8192}) {
        EventSchedule schedule;
        schedule.Build(TwoTempoFile(), 44100.0);
        std::vector<vsthost::MidiMessage> messages;
        std::vector<ScheduledEvent> seen;
        for (uint64_t start = 0; start <= schedule.EndSample();
             start += static_cast<uint64_t>(block)) {
            schedule.TakeBlock(start, block, messages);
            int32_t previous = 0;
            for (const vsthost::MidiMessage& m : messages) {
                EXPECT_GE(m.offset, previous) << "block " << block;
                EXPECT_LT(m.offset, block);
                previous = m.offset;
                seen.push_back(
                    {start + static_cast<uint64_t>(m.offset), m.status, m.data1, m.data2});
            }
        }
        ASSERT_EQ(seen.size(), expected.size()) << "block " << block;
        for (std::size_t i = 0; i < seen.size(); ++i) {
            EXPECT_EQ(seen[i].sample, expected[i].sample) << "block " << block;
            EXPECT_EQ(seen[i].status, expected[i].status);
            EXPECT_EQ(seen[i].data1, expected[i].data1);
        }
        EXPECT_EQ(schedule.Remaining(), 0u);
    }
}

TEST(EventSchedule, NotesAndPedalsLeftHeldAreReleasedAtTheEnd) {
    const Bytes track = Track({{0, {0x92, 60, 100}},
                               {0, {0x92, 60, 90}}, // the same key twice
                               {10, {0x82, 60, 0}},
                               {0, {0x93, 64, 100}},
                               {0, {0x93, 64, 0}}, // velocity 0 ends it
                               {0, {0xB4, 64, 1}}, // any non-zero value holds the pedal
                               {0, {0x95, 70, 100}},
                               {0, {0xB5, 123, 0}}, // All Notes Off
                               {0, {0xB6, 64, 127}},
                               {0, {0xB6, 64, 0}}},
                              470);
    EventSchedule schedule;
    schedule.Build(Parse(0, {track}, 480), 44100.0);
    EXPECT_EQ(schedule.EndSample(), 22050u); // tick 480 at 120 BPM
    EXPECT_EQ(schedule.ReleasedAtEnd(), 1);
    const auto& events = schedule.Events();
    ASSERT_EQ(events.size(), 12u);
    EXPECT_EQ(events[10].sample, 22050u);
    EXPECT_EQ(events[10].status, 0x82);
    EXPECT_EQ(events[10].data1, 60);
    EXPECT_EQ(events[11].sample, 22050u);
    EXPECT_EQ(events[11].status, 0xB4);
    EXPECT_EQ(events[11].data1, 64);
    EXPECT_EQ(events[11].data2, 0);
}

} // namespace halvane
