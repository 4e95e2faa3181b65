#include "engine/BrassSection.h"

#include <cmath>

namespace halvane {

namespace {

constexpr double kMaxCutoffPitch = 17280.0;

// Pitch units toward zero, held within the 32-bit range; a depth that is not a
// number moves nothing.
int32_t TruncateToPitch(double units) {
    if (std::isnan(units))
        return 0;
    if (units >= 2147483647.0)
        return INT32_MAX;
    if (units <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(units);
}

double Finite(double x) {
    return std::isfinite(x) ? x : 0.0;
}

} // namespace

void BrassSection::SetSampleRate(double sampleRate) {
    filter_.SetSampleRate(sampleRate);
    envelope_.SetSampleRate(sampleRate);
}

void BrassSection::SetCutoff(double v) {
    // The knob's range is 0..1; anything else (or no number) would send the
    // target beyond the pitch tables or wrap the integer.
    if (!(v > 0.0))
        v = 0.0;
    else if (v > 1.0)
        v = 1.0;
    filter_.SetTargetCutoff(static_cast<int32_t>(kMaxCutoffPitch * v), envelope_.Running());
}

void BrassSection::ControlTick() {
    envelope_.Step();
    depth_ = velocityFactor_ * egIntensity_;
}

void BrassSection::Process(double brassSum, int i, double& left, double& right) {
    if (i > 0)
        envelope_.Step();
    // Once the section has fallen silent a cutoff move may land at once: nothing
    // sounds that could click.
    if (!envelope_.Running())
        filter_.CompleteGlide();
    const double level = envelope_.Value();
    const int32_t sweep = TruncateToPitch(depth_ * level);
    const double y = filter_.Process(brassSum, sweep) * level;
    left = Finite(y * gainLeft_);
    right = Finite(y * gainRight_);
}

} // namespace halvane
