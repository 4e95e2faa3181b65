#include "tools/render/SmfReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/MidiBytes.h"

namespace halvane {

using namespace toolstest;

namespace {

// Track body written event by event; raw bytes follow each delta time as given.
struct Track {
    Bytes body;
    Track& At(uint32_t delta, std::initializer_list<uint8_t> bytes) {
        PutVlq(body, delta);
        body.insert(body.end(), bytes);
        return *this;
    }
    Track& Tempo(uint32_t delta, uint32_t microsecondsPerQuarter) {
        At(delta, {0xFF, 0x51, 0x03});
        PutBigEndian(body, microsecondsPerQuarter, 3);
        return *this;
    }
    Track& End(uint32_t delta = 0) { return At(delta, {0xFF, 0x2F, 0x00}); }
};

Bytes File(int format, uint16_t division, const std::vector<Track>& tracks) {
    Bytes out = Header(format, static_cast<int>(tracks.size()), division);
    for (const Track& track : tracks) {
        const Bytes chunk = Chunk("MTrk", track.body);
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

bool Parse(const Bytes& bytes, MidiFile& out, std::string& error) {
    // An exactly sized heap copy, so a sanitizer build sees any read past the end.
    std::vector<uint8_t> exact(bytes);
    exact.shrink_to_fit();
    return ParseMidi(exact.data(), exact.size(), out, error);
}

void ExpectEvent(const MidiFileEvent& e, uint64_t tick, uint8_t status, uint8_t data1,
                 uint8_t data2) {
    EXPECT_EQ(e.tick, tick);
    EXPECT_EQ(e.status, status);
    EXPECT_EQ(e.data1, data1);
    EXPECT_EQ(e.data2, data2);
}

} // namespace

TEST(SmfReader, ChannelMessagesWithRunningStatusOnAllChannels) {
    Track track;
    track.At(0, {0x90, 60, 100})
        .At(240, {64, 90}) // running note-on
        .At(240, {60, 0})  // running note-on with velocity 0 stays as written
        .At(0, {0xC3, 5})  // program change: one data byte
        .At(10, {7})       // running program change
        .At(0, {0xD3, 40}) // channel pressure: one data byte
        .At(0, {0xE3, 0x00, 0x40});
    for (uint8_t channel = 0; channel < 16; ++channel)
        track.At(1, {static_cast<uint8_t>(0xB0 | channel), 7, channel});
    track.End();
    MidiFile file;
    std::string error;
    ASSERT_TRUE(Parse(File(0, 480, {track}), file, error)) << error;
    ASSERT_EQ(file.events.size(), 7u + 16u);
    ExpectEvent(file.events[0], 0, 0x90, 60, 100);
    ExpectEvent(file.events[1], 240, 0x90, 64, 90);
    ExpectEvent(file.events[2], 480, 0x90, 60, 0);
    ExpectEvent(file.events[3], 480, 0xC3, 5, 0);
    ExpectEvent(file.events[4], 490, 0xC3, 7, 0);
    ExpectEvent(file.events[5], 490, 0xD3, 40, 0);
    ExpectEvent(file.events[6], 490, 0xE3, 0x00, 0x40);
    for (int channel = 0; channel < 16; ++channel)
        ExpectEvent(file.events[7 + channel], 491 + channel, 0xB0 | channel, 7, channel);
    EXPECT_DOUBLE_EQ(file.events[1].seconds, 0.25); // 240 ticks at 120 BPM
}

TEST(SmfReader, MetaAndSysExAreSkippedButTheirDeltaTimesCount) {
    Track track;
    track.At(0, {0x90, 60, 100})
        .At(10, {0xFF, 0x03, 0x04, 'L', 'e', 'a', 'd'}) // track name
        .At(10, {0xF0, 0x03, 0x7E, 0x7F, 0xF7})         // SysEx
        .At(10, {0xF7, 0x02, 0x01, 0x02})               // SysEx continuation
        .At(10, {0xFF, 0x59, 0x02, 0x00, 0x00})         // key signature
        .At(10, {62, 80}) // running status still means note-on after all of that
        .End(5)
        .At(0, {0x90, 1, 1}); // past End of Track: not part of the track
    MidiFile file;
    std::string error;
    ASSERT_TRUE(Parse(File(0, 96, {track}), file, error)) << error;
    ASSERT_EQ(file.events.size(), 2u);
    ExpectEvent(file.events[1], 50, 0x90, 62, 80);
    EXPECT_EQ(file.endTick, 55u);
}

TEST(SmfReader, TempoMapTimesEventsAndSamples) {
    // 480 ticks at the default 120 BPM are 0.5 s; from tick 480 on, 60 BPM doubles
    // the spacing. The tempo sits in the conductor track and governs the other one.
    Track conductor;
    conductor.Tempo(480, 1000000).End(1440);
    Track notes;
    notes.At(0, {0x90, 60, 100}).At(480, {0x90, 62, 100}).At(480, {0x90, 64, 100});
    notes.At(480, {0x90, 65, 100}).End();
    MidiFile file;
    std::string error;
    ASSERT_TRUE(Parse(File(1, 480, {conductor, notes}), file, error)) << error;
    ASSERT_EQ(file.events.size(), 4u);
    const double expected[] = {0.0, 0.5, 1.5, 2.5};
    const uint64_t samples[] = {0, 22050, 66150, 110250};
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(file.events[i].seconds, expected[i]);
        EXPECT_EQ(file.SampleOf(file.events[i], 44100.0), samples[i]);
    }
    EXPECT_EQ(file.endTick, 1920u);
    EXPECT_DOUBLE_EQ(file.duration, 3.5);
    EXPECT_DOUBLE_EQ(file.TickToSeconds(720), 1.0);
    // 320 ticks are 1/3 s: 16000 samples at 48 kHz; one tick is 45.9375 samples at 44.1 kHz.
    EXPECT_EQ(file.TickToSample(320, 48000.0), 16000u);
    EXPECT_EQ(file.TickToSample(1, 44100.0), 46u);
}

TEST(SmfReader, TempoAtTickZeroAndRepeatedTempoAtOneTick) {
    Track track;
    track.Tempo(0, 1000000).Tempo(0, 600000); // the later one at a tick wins: 100 BPM
    track.At(480, {0x80, 60, 0}).End();
    MidiFile file;
    std::string error;
    ASSERT_TRUE(Parse(File(0, 480, {track}), file, error)) << error;
    ASSERT_EQ(file.events.size(), 1u);
    EXPECT_DOUBLE_EQ(file.events[0].seconds, 0.6);
    EXPECT_EQ(file.tempoMap.size(), 1u);
}

TEST(SmfReader, Format1MergeKeepsTrackOrderThenFileOrderAtEqualTicks) {
    Track a, b, c;
    a.At(0, {0x90, 1, 1}).At(100, {0x90, 2, 1}).End();
    b.At(0, {0x91, 3, 1}).At(50, {0x91, 4, 1}).At(50, {0x91, 5, 1}).At(0, {0x91, 6, 1}).End();
    c.At(100, {0x92, 7, 1}).End(400);
    // An unknown chunk between tracks is skipped.
    Bytes bytes = File(1, 480, {a, b});
    const Bytes alien = Chunk("XFIH", Bytes{1, 2, 3});
    bytes.insert(bytes.end(), alien.begin(), alien.end());
    const Bytes last = Chunk("MTrk", c.body);
    bytes.insert(bytes.end(), last.begin(), last.end());
    bytes[11] = 3; // three tracks

    MidiFile file;
    std::string error;
    ASSERT_TRUE(Parse(bytes, file, error)) << error;
    EXPECT_EQ(file.trackCount, 3);
    std::vector<int> order;
    std::vector<int> tracks;
    for (const MidiFileEvent& e : file.events) {
        order.push_back(e.data1);
        tracks.push_back(e.track);
    }
    EXPECT_EQ(order, (std::vector<int>{1, 3, 4, 2, 5, 6, 7}));
    EXPECT_EQ(tracks, (std::vector<int>{0, 1, 1, 0, 1, 1, 2}));
    EXPECT_EQ(file.endTick, 500u); // the longest track decides
}

TEST(SmfReader, SmpteDivisionUsesFrameTime) {
    // 25 frames of 40 ticks: 1000 ticks per second; tempo events do not apply.
    Track track;
    track.Tempo(0, 1000000).At(500, {0x90, 60, 100}).End();
    MidiFile file;
    std::string error;
    ASSERT_TRUE(Parse(File(0, static_cast<uint16_t>(0xE728), {track}), file, error)) << error;
    EXPECT_EQ(file.smpteFramesPerSecond, 25);
    EXPECT_EQ(file.ticksPerQuarter, 0);
    EXPECT_DOUBLE_EQ(file.events[0].seconds, 0.5);

    // 29.97 drop frame: 3000 ticks of 100 per frame are 30 frames of 1001/30000 s.
    Track drop;
    drop.At(3000, {0x90, 60, 100}).End();
    ASSERT_TRUE(Parse(File(0, static_cast<uint16_t>(0xE364), {drop}), file, error)) << error;
    EXPECT_DOUBLE_EQ(file.events[0].seconds, 1.001);
}

TEST(SmfReader, MalformedFilesAreRejectedWithAMessage) {
    const Track good = Track().At(0, {0x90, 60, 100}).End();
    auto withTrack = [](const Bytes& body) { return File(0, 480, {Track{body}}); };
    struct Case {
        const char* name;
        Bytes bytes;
        const char* message;
    };
    Bytes shortHeader = Chunk("MThd", Bytes{0, 0, 0, 1});
    Bytes cutHeader = Header(0, 1, 480);
    cutHeader.resize(12);
    Bytes lyingTrack = File(0, 480, {good});
    lyingTrack[21] += 1; // MTrk length one byte longer than the file
    Bytes hugeCount = File(1, 480, {good});
    hugeCount[10] = 0xFF;
    hugeCount[11] = 0xFF;
    Bytes missingTrack = File(1, 480, {good});
    missingTrack[11] = 2;
    const Bytes junk = Chunk("JUNK", Bytes{});
    missingTrack.insert(missingTrack.end(), junk.begin(), junk.end());
    Bytes twoTracksFormat0 = File(1, 480, {good, good});
    twoTracksFormat0[9] = 0;

    const std::vector<Case> cases = {
        {"empty", Bytes{}, "empty"},
        {"no MThd", Chunk("RIFF", Bytes(10, 0)), "no MThd"},
        {"header chunk too short", shortHeader, "too short"},
        {"header cut off", cutHeader, "runs past the end"},
        {"format 2", File(2, 480, {good}), "format 2"},
        {"unknown format", File(7, 480, {good}), "unknown format 7"},
        {"no tracks", File(1, 480, {}), "no tracks"},
        {"format 0 with two tracks", twoTracksFormat0, "instead of 1"},
        {"huge track count", hugeCount, "room for at most"},
        {"fewer tracks than announced", missingTrack, "after 1 of 2 tracks"},
        {"track length lies", lyingTrack, "claims"},
        {"zero division", File(0, 0, {good}), "0 ticks per quarter"},
        {"bad SMPTE rate", File(0, 0xE901, {good}), "23 frames per second"},
        {"SMPTE without ticks", File(0, 0xE700, {good}), "0 ticks per frame"},
        {"5-byte delta", withTrack({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1}),
         "longer than 4 bytes"},
        {"delta cut off", withTrack({0x00, 0x90, 60, 1, 0x81}), "cut off"},
        {"delta without event", withTrack({0x00, 0x90, 60, 1, 0x00}), "without an event"},
        {"running status first", withTrack({0x00, 60, 100}), "running status"},
        {"data byte with high bit", withTrack({0x00, 0x90, 60, 0x90}), "not below 0x80"},
        {"channel message cut off", withTrack({0x00, 0x90, 60}), "cut off"},
        {"system common in a file", withTrack({0x00, 0xF2, 0, 0}), "not allowed"},
        {"meta length lies", withTrack({0x00, 0xFF, 0x01, 0x05, 'a'}), "runs past"},
        {"meta without type", withTrack({0x00, 0xFF}), "without a type"},
        {"SysEx length lies", withTrack({0x00, 0xF0, 0x7F, 0x01}), "runs past"},
        {"short tempo", withTrack({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}), "instead of 3"},
        {"zero tempo", withTrack({0x00, 0xFF, 0x51, 0x03, 0, 0, 0}), "tempo of 0"},
    };
    for (const Case& c : cases) {
        MidiFile file;
        file.events.resize(3); // must come back cleared
        std::string error;
        EXPECT_FALSE(Parse(c.bytes, file, error)) << c.name;
        EXPECT_NE(error.find(c.message), std::string::npos)
            << c.name << ": got \"" << error << "\"";
        EXPECT_TRUE(file.events.empty()) << c.name;
        EXPECT_TRUE(file.tempoMap.empty()) << c.name;
    }
}

TEST(SmfReader, EveryTruncationFailsAndNoMutationBreaksTheInvariants) {
    Track conductor;
    conductor.Tempo(0, 400000).At(0, {0xFF, 0x03, 0x02, 'h', 'i'}).Tempo(300, 700000).End();
    Track notes;
    notes.At(0, {0x90, 60, 100}).At(120, {62, 90}).At(0, {0xF0, 0x01, 0xF7});
    notes.At(0x3FFF, {0xB0, 1, 64}).At(5, {0xC0, 3}).End();
    const Bytes valid = File(1, 96, {conductor, notes});

    MidiFile file;
    std::string error;
    ASSERT_TRUE(Parse(valid, file, error)) << error;
    for (std::size_t size = 0; size < valid.size(); ++size) {
        const Bytes prefix(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(Parse(prefix, file, error)) << "prefix of " << size << " bytes";
        EXPECT_FALSE(error.empty());
    }
    // Whatever a single damaged byte does, the result is either a clean error or a
    // file whose events are ordered, timed and real channel messages.
    for (std::size_t at = 0; at < valid.size(); ++at) {
        for (int value = 0; value < 256; value += 3) {
            Bytes damaged = valid;
            damaged[at] = static_cast<uint8_t>(value);
            error.clear();
            if (!Parse(damaged, file, error)) {
                EXPECT_FALSE(error.empty());
                continue;
            }
            for (std::size_t i = 0; i < file.events.size(); ++i) {
                const MidiFileEvent& e = file.events[i];
                ASSERT_GE(e.status, 0x80);
                ASSERT_LT(e.status, 0xF0);
                ASSERT_LT(e.data1, 0x80);
                ASSERT_LT(e.data2, 0x80);
                ASSERT_TRUE(std::isfinite(e.seconds));
                ASSERT_LE(e.tick, file.endTick);
                if (i > 0) {
                    ASSERT_LE(file.events[i - 1].tick, e.tick);
                    ASSERT_LE(file.events[i - 1].seconds, e.seconds);
                }
            }
        }
    }
}

TEST(SmfReader, ReadsFilesAndNamesThePathInErrors) {
    const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "smf_reader";
    std::filesystem::create_directories(dir);
    const std::string good = (dir / "good.mid").string();
    const std::string bad = (dir / "bad.mid").string();
    const Bytes bytes = File(0, 480, {Track().At(480, {0x90, 60, 1}).End()});
    Bytes broken = bytes;
    broken[0] = 'X';
    for (const auto& [path, data] : {std::pair{good, bytes}, std::pair{bad, broken}}) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(data.data(), 1, data.size(), f), data.size());
        std::fclose(f);
    }

    MidiFile file;
    std::string error;
    ASSERT_TRUE(ReadMidiFile(good, file, error)) << error;
    ASSERT_EQ(file.events.size(), 1u);
    EXPECT_DOUBLE_EQ(file.events[0].seconds, 0.5);

    EXPECT_FALSE(ReadMidiFile(bad, file, error));
    EXPECT_EQ(error, bad + ": not a Standard MIDI File (no MThd header)");
    const std::string missing = (dir / "missing.mid").string();
    EXPECT_FALSE(ReadMidiFile(missing, file, error));
    EXPECT_EQ(error, missing + ": No such file or directory");
    EXPECT_FALSE(ReadMidiFile(dir.string(), file, error));
    EXPECT_EQ(error, dir.string() + ": is a directory");
}

TEST(SmfReader, SecondsToSamplesRoundsAndStaysInRange) {
    EXPECT_EQ(SecondsToSamples(1.0, 44100.0), 44100u);
    EXPECT_EQ(SecondsToSamples(0.5 / 44100.0, 44100.0), 1u);
    EXPECT_EQ(SecondsToSamples(0.49 / 44100.0, 44100.0), 0u);
    EXPECT_EQ(SecondsToSamples(-1.0, 44100.0), 0u);
    EXPECT_EQ(SecondsToSamples(std::nan(""), 44100.0), 0u);
    EXPECT_GT(SecondsToSamples(1e300, 44100.0), 0u);
    EXPECT_DOUBLE_EQ(MidiFile().TickToSeconds(1000), 0.0); // no tempo map: no crash
}

} // namespace halvane
