#include "sound/LFO.h"

#include <cmath>

namespace halvane {

namespace {

// One reduction by 2 is all an increment below one cycle ever needs. Anything
// still outside [-1, 1) afterwards comes from an increment of a cycle or more
// (or a negative one) and is folded back in full, so the phase stays bounded.
double Wrap(double p) {
    if (p >= 1.0)
        p -= 2.0;
    if (p >= -1.0 && p < 1.0)
        return p;
    if (!std::isfinite(p))
        return 0.0;
    double r = std::fmod(p + 1.0, 2.0);
    if (r < 0.0)
        r += 2.0;
    if (r >= 2.0) // a tiny negative remainder plus 2 can round up to 2
        r = 0.0;
    return r - 1.0;
}

} // namespace

void LFO::SetIncrement(double increment) {
    increment_ = std::isfinite(increment) ? increment : 0.0;
}

void LFO::Step() {
    bipolar_ = 2.0 * std::fabs(phase_) - 1.0;
    unipolar_ = std::fabs(phase_);
    unipolar2_ = std::fabs(phase2_);
    unipolar3_ = std::fabs(phase3_);

    phase_ += increment_;
    phase2_ = phase_ + 2.0 / 3.0;
    phase3_ = phase_ + 4.0 / 3.0;

    phase_ = Wrap(phase_);
    phase2_ = Wrap(phase2_);
    phase3_ = Wrap(phase3_);
}

} // namespace halvane
