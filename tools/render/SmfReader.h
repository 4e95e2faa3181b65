#pragma once
// Standard MIDI File reader for the command-line renderer. It turns format 0 and
// format 1 files into one time-ordered list of short channel messages with their
// times, so the renderer can hand them to a plug-in block by block. Everything it
// reads is bounds-checked: a broken file is rejected with a message, never read past.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace halvane {

// One channel message of the file, at its absolute position.
struct MidiFileEvent {
    double seconds = 0.0; // from the start of the file, through the tempo map
    uint64_t tick = 0;    // absolute tick in the file's time base
    uint8_t status = 0;   // 0x80..0xEF, never running status
    uint8_t data1 = 0;
    uint8_t data2 = 0;  // 0 for program change and channel pressure
    uint16_t track = 0; // index of the MTrk chunk the event came from
};

// A stretch of constant tempo: from `tick` on, each tick lasts
// numerator / denominator seconds.
struct TempoSegment {
    uint64_t tick = 0;
    double seconds = 0.0; // time of `tick`
    double numerator = 0.0;
    double denominator = 1.0;
};

struct MidiFile {
    int format = 0;               // 0 or 1
    int trackCount = 0;           // MTrk chunks read
    int ticksPerQuarter = 0;      // 0 for SMPTE time code division
    int smpteFramesPerSecond = 0; // 24, 25, 29 (29.97 drop frame) or 30; 0 when metrical
    int ticksPerFrame = 0;        // SMPTE division only

    // Channel messages of all tracks, by tick; at one tick in track order, then file order.
    std::vector<MidiFileEvent> events;
    // Never empty after a successful read; starts at tick 0 with 120 BPM for metrical files.
    std::vector<TempoSegment> tempoMap;

    uint64_t endTick = 0;  // the latest End of Track (or last event) of any track
    double duration = 0.0; // endTick in seconds

    // Time of a tick through the tempo map; a tempo change applies from its own tick on.
    double TickToSeconds(uint64_t tick) const;
    // Sample position of a tick at the given rate, rounded to the nearest sample.
    uint64_t TickToSample(uint64_t tick, double sampleRate) const;
    uint64_t SampleOf(const MidiFileEvent& event, double sampleRate) const {
        return TickToSample(event.tick, sampleRate);
    }
};

// Rounds a time to the nearest sample at the given rate (negative times give 0).
uint64_t SecondsToSamples(double seconds, double sampleRate);

// Parses a complete file held in memory. On failure returns false, leaves a
// message in `error` and `out` cleared.
bool ParseMidi(const uint8_t* data, std::size_t size, MidiFile& out, std::string& error);

// Reads and parses a file; messages start with the path.
bool ReadMidiFile(const std::string& path, MidiFile& out, std::string& error);

// Files larger than this are refused before reading: no real piece comes near it,
// and every byte of a hostile file could otherwise turn into an event record.
constexpr std::size_t kMaxMidiFileBytes = 32u * 1024u * 1024u;

} // namespace halvane
