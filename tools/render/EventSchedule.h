#pragma once
// The events of a MIDI file at their sample positions, handed out block by block
// with offsets inside each block, the way a sequencer feeds an instrument.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/render/SmfReader.h"
#include "tools/vsthost/VstHost.h"

namespace halvane {

struct ScheduledEvent {
    uint64_t sample = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

class EventSchedule {
public:
    // Places every channel message of the file, all channels as they are. Notes
    // still sounding at the end of the file, and sustain pedals still down, are
    // released there, as a sequencer does when it stops: a forgotten note-off would
    // otherwise hold the render open until the tail limit.
    void Build(const MidiFile& file, double sampleRate);

    const std::vector<ScheduledEvent>& Events() const { return events_; }
    // The end of the file in samples: its End of Track or its last event, whichever
    // is later. The closing releases sit here.
    uint64_t EndSample() const { return endSample_; }
    int ReleasedAtEnd() const { return releasedAtEnd_; }

    // Tempo in quarter notes per minute at a sample position (120 when the file
    // gives none or counts in SMPTE frames).
    double TempoAt(uint64_t sample) const;

    // The events in [start, start + frames) with their offsets from start, in order,
    // replacing what `out` held. Blocks must be taken in ascending order without
    // gaps; events before `start` that were never taken are skipped.
    void TakeBlock(uint64_t start, int frames, std::vector<vsthost::MidiMessage>& out);
    std::size_t Remaining() const { return events_.size() - next_; }

private:
    struct TempoPoint {
        uint64_t sample;
        double bpm;
    };
    std::vector<ScheduledEvent> events_;
    std::vector<TempoPoint> tempo_;
    uint64_t endSample_ = 0;
    int releasedAtEnd_ = 0;
    std::size_t next_ = 0;
};

} // namespace halvane
