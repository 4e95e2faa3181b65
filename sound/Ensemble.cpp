#include "sound/Ensemble.h"

namespace halvane {

namespace {

constexpr double kLineSeconds = 0.02;
constexpr double kMinDelaySeconds = 0.001;
// Increments are aimed to cover 99.9 % of the way within one control block
// (sample rate / 1000 samples).
constexpr double kGlide = 999.0;

double Clamp01(double m) {
    if (!(m > 0.0)) // also NaN from a NaN depth
        return 0.0;
    return m > 1.0 ? 1.0 : m;
}

} // namespace

Ensemble::Ensemble() {
    Prepare(kDefaultSampleRate);
}

void Ensemble::Prepare(double sampleRate) {
    if (!(sampleRate >= kMinSampleRate))
        sampleRate = kMinSampleRate;
    if (sampleRate > kMaxSampleRate)
        sampleRate = kMaxSampleRate;
    sampleRate_ = sampleRate;
    inverseSampleRate_ = 1.0 / sampleRate;
    glide_ = kGlide / sampleRate;
    length_ = static_cast<int>(sampleRate * kLineSeconds + 1.0);
    maxDelay_ = static_cast<double>(length_ - 1);
    for (int k = 0; k < kLines; ++k) {
        line_[k].assign(static_cast<std::size_t>(length_), 0.0);
        position_[k] = 0;
        delay_[k] = 0.0;
        increment_[k] = 0.0;
        depth_[k] = 0.0;
    }
}

void Ensemble::ControlUpdate() {
    lfo1_.Step();
    lfo2_.Step();

    const double m[kLines] = {
        Clamp01((12.0 * lfo2_.Unipolar() + lfo1_.Unipolar()) * depth_[0]),
        Clamp01((12.0 * lfo2_.Unipolar3() + lfo1_.Unipolar2()) * depth_[1]),
        Clamp01((12.0 * lfo2_.Unipolar2() + lfo1_.Unipolar3()) * depth_[2]),
    };
    for (int k = 0; k < kLines; ++k) {
        const double target = (m[k] * kLineSeconds + kMinDelaySeconds) * sampleRate_;
        // A delay driven off by the glide of an absurd rate starts over at its target.
        if (!std::isfinite(delay_[k]))
            delay_[k] = target;
        increment_[k] = (target - delay_[k]) * glide_;
    }
}

} // namespace halvane
