#include "plugin/MidiQueue.h"

#include <algorithm>
#include <new>

namespace halvane {

MidiQueue::MidiQueue() {
    events_.reset(new (std::nothrow) MidiEvent[kInitialCapacity]);
    capacity_ = events_ ? kInitialCapacity : 0;
}

void MidiQueue::Compact() {
    if (front_ == 0)
        return;
    std::copy(events_.get() + front_, events_.get() + length_, events_.get());
    length_ -= front_;
    front_ = 0;
}

bool MidiQueue::Grow() {
    const int64_t wanted = (static_cast<int64_t>(capacity_) / growth_ + 1) * growth_;
    if (wanted > (1 << 24)) // a runaway host: sixteen million waiting events is enough
        return false;
    std::unique_ptr<MidiEvent[]> bigger(new (std::nothrow) MidiEvent[wanted]);
    if (!bigger)
        return false;
    std::copy(events_.get() + front_, events_.get() + length_, bigger.get());
    length_ -= front_;
    front_ = 0;
    events_ = std::move(bigger);
    capacity_ = static_cast<int32_t>(wanted);
    return true;
}

bool MidiQueue::Add(const MidiEvent& event) {
    if (length_ >= capacity_) {
        if (front_ > 0)
            Compact();
        else if (!Grow())
            return false;
    }
    int32_t pos = length_;
    while (pos > front_ && events_[pos - 1].offset > event.offset) {
        events_[pos] = events_[pos - 1];
        --pos;
    }
    events_[pos] = event;
    ++length_;
    return true;
}

void MidiQueue::ShiftOffsets(int32_t frames) {
    for (int32_t i = front_; i < length_; ++i)
        events_[i].offset -= frames;
}

void MidiQueue::Resize(int32_t blockSize) {
    Compact();
    auto roundUp = [](int64_t n) {
        return std::max<int64_t>(kResizeGranule,
                                 (n + kResizeGranule - 1) / kResizeGranule * kResizeGranule);
    };
    // A block size of 0 would make the queue unable to grow again.
    const int64_t step = std::min<int64_t>(roundUp(std::max(blockSize, 0)), 1 << 20);
    const int64_t wanted = std::max(step, roundUp(length_));
    growth_ = static_cast<int32_t>(step);
    if (wanted == capacity_)
        return;
    std::unique_ptr<MidiEvent[]> resized(new (std::nothrow) MidiEvent[wanted]);
    if (!resized)
        return;
    std::copy(events_.get(), events_.get() + length_, resized.get());
    events_ = std::move(resized);
    capacity_ = static_cast<int32_t>(wanted);
}

} // namespace halvane
