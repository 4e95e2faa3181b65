#pragma once
// Incoming MIDI short messages of the current block, ordered by sample offset.
// Filled by the host binding under the instance lock, drained by the render loop.

#include <cstdint>
#include <memory>

#include "engine/EngineEvent.h"

namespace halvane {

// The queue holds the events exactly as the engine takes them, so a block's
// events are handed over in place.
using MidiEvent = EngineEvent;

// A SysEx message as the host hands it over; the bytes belong to the host and
// are valid only during the call.
struct SysExEvent {
    int32_t offset = 0;
    int32_t size = 0;
    const uint8_t* data = nullptr;
};

class MidiQueue {
public:
    static constexpr int32_t kInitialCapacity = 1024;
    static constexpr int32_t kInitialGrowth = 1024;
    static constexpr int32_t kResizeGranule = 512; // 512 events of 8 bytes: 4096 bytes

    MidiQueue();

    // Inserts after every unconsumed event whose offset is not greater, so the
    // queue stays ordered and equal offsets keep their arrival order. Returns
    // false (the event is dropped) only when the queue could not grow.
    bool Add(const MidiEvent& event);

    // At every reset: compacts, then sizes the queue for the given block.
    void Resize(int32_t blockSize);

    bool Empty() const { return front_ >= length_; }
    int32_t Size() const { return length_ - front_; }
    const MidiEvent& Front() const { return events_[front_]; }
    const MidiEvent& At(int32_t i) const { return events_[front_ + i]; }
    void PopFront() {
        if (front_ < length_)
            ++front_;
        if (front_ >= length_)
            front_ = length_ = 0;
    }
    // The unconsumed events, in order, and how many of them fall before offset.
    const MidiEvent* Data() const { return events_.get() + front_; }
    int32_t CountBefore(int32_t offset) const {
        int32_t n = 0;
        while (front_ + n < length_ && events_[front_ + n].offset < offset)
            ++n;
        return n;
    }
    // After a block of frames was rendered: the first taken events are gone, the
    // others wait for the next block with their offsets moved back by frames.
    void Consume(int32_t taken, int32_t frames) {
        for (int32_t k = 0; k < taken; ++k)
            PopFront();
        ShiftOffsets(frames);
    }

    // Moves every waiting event's offset back by frames (the part of the block
    // that has been rendered).
    void ShiftOffsets(int32_t frames);
    void Clear() { front_ = length_ = 0; }

    int32_t Capacity() const { return capacity_; }
    int32_t GrowthStep() const { return growth_; }

private:
    void Compact();
    bool Grow();

    std::unique_ptr<MidiEvent[]> events_;
    int32_t capacity_ = 0;
    int32_t growth_ = kInitialGrowth;
    int32_t front_ = 0;
    int32_t length_ = 0;
};

} // namespace halvane
