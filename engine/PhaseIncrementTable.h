#pragma once
// Phase increments of the oscillators' 28-bit phase accumulators for every pitch
// index 0..kMaxPitch at one sample rate.

#include "engine/PitchToHz.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace halvane {

class PhaseIncrementTable {
public:
    static constexpr int32_t kSize = kMaxPitch + 1;

    // One immutable table per sample rate, shared by every instance running at that
    // rate: two instances at different rates each keep their own table, and one
    // instance changing its rate never alters the table another is reading. Builds
    // the table on first request (allocates and locks: never call from the audio
    // path). Thread-safe. Rates that are not a finite positive number give a table of
    // zero increments (the oscillators stand still) reported as rate 0.
    static std::shared_ptr<const PhaseIncrementTable> ForSampleRate(double sampleRate);

    // Entry i = truncate(PitchToHz(i) * 2^28 / sample rate), i clamped to 0..kMaxPitch.
    // An increment that would not fit a signed 32-bit integer (rates below about
    // 2.5 kHz) is held at INT32_MAX.
    int32_t operator[](int32_t i) const {
        return entries_[static_cast<std::size_t>(i < 0 ? 0 : (i > kMaxPitch ? kMaxPitch : i))];
    }

    double SampleRate() const { return sampleRate_; }

private:
    template <typename> friend class RateCache;
    explicit PhaseIncrementTable(double sampleRate);

    double sampleRate_;
    std::array<int32_t, kSize> entries_;
};

} // namespace halvane
