#pragma once
// Per-pitch values of the ladder filter at one sample rate, so that a cutoff change
// costs table reads and one division, never a transcendental function.

#include "engine/PitchToHz.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace halvane {

struct LadderTables {
    static constexpr int32_t kSize = kMaxPitch + 1;

    // The values one coefficient update needs, side by side so that it touches a
    // single cache line.
    struct Entry {
        double w;    // angular cutoff, radians per sample: 2 pi PitchToHz(i) / rate
        double kmax; // resonance ceiling: feedback gain at full resonance
        double g;    // one-pole gain of the bilinear stage: w / (w + 2)
        double t;    // one-pole state feedback: (w - 2) / (w + 2)
    };

    // One immutable set per sample rate, shared by every filter running at that rate:
    // filters of two instances at different rates each read their own, and a rate
    // change of one never alters what another reads. Built on first request
    // (allocates and locks: never call from the audio path); thread-safe. A rate
    // that is not a finite number of at least 1 Hz gives the tables of 44100 Hz.
    static std::shared_ptr<const LadderTables> ForSampleRate(double sampleRate);

    // Rate the tables were built for (after the substitution above).
    double SampleRate() const { return sampleRate_; }

    // Entry for pitch index i; i is clamped to 0..kMaxPitch, so cutoffs beyond the
    // range hold the end entries.
    const Entry& At(int32_t i) const {
        return entries_[static_cast<std::size_t>(i < 0 ? 0 : (i > kMaxPitch ? kMaxPitch : i))];
    }

    double W(int32_t i) const { return At(i).w; }
    // 4.1 below 500 Hz, 4.005 above 2000 Hz, linear in Hz between: full resonance
    // drives the loop a little past its self-oscillation point of 4, less so at high
    // cutoffs.
    double Kmax(int32_t i) const { return At(i).kmax; }
    double G(int32_t i) const { return At(i).g; }
    double T(int32_t i) const { return At(i).t; }

    // Rate substituted for unusable ones by ForSampleRate.
    static double UsableRate(double sampleRate);

private:
    template <typename> friend class RateCache;
    explicit LadderTables(double sampleRate);

    double sampleRate_;
    std::array<Entry, kSize> entries_;
};

} // namespace halvane
