#include "engine/Filter.h"

namespace halvane {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Cutoffs are kept strictly between 0 and Nyquist: at w = 0 the low-pass has a
// double pole at DC, at w = pi one at Nyquist, and beyond pi sin w turns
// negative, which pushes a pole outside the unit circle.
constexpr double kMinCutoff = 1e-6;
constexpr double kMaxCutoff = kPi - 1e-3;
constexpr double kMinQ = 1e-3;
constexpr double kMaxQ = 1e3;

} // namespace

Filter::~Filter() = default;

void Filter::ComputeCoefficients() {}

void Filter::Clear() {
    state_.Clear();
}

void Filter::ClearAll() {
    Clear();
    a1_ = 0.0;
    a2_ = 0.0;
    b0_ = 0.0;
    b1_ = 0.0;
}

double Filter::SafeCutoff() const {
    if (!(w_ <= kMaxCutoff))
        return kMaxCutoff; // above Nyquist (a sample rate too low for the cutoff) or NaN
    if (w_ < kMinCutoff)
        return kMinCutoff;
    return w_;
}

double Filter::SafeQ() const {
    if (std::isnan(q_))
        return kDefaultQ;
    if (q_ < kMinQ)
        return kMinQ;
    if (q_ > kMaxQ)
        return kMaxQ;
    return q_;
}

void LowPass::ComputeCoefficients() {
    const double w = SafeCutoff();
    const double q = SafeQ();
    const double c = std::cos(w);
    const double alpha = std::sin(w) / (2.0 * q);
    const double d = 1.0 / (1.0 + alpha);
    b1_ = (1.0 - c) * d;
    b0_ = b1_ / 2.0;
    a1_ = 2.0 * c * d;
    a2_ = (alpha - 1.0) * d;
}

void BandPass::ComputeCoefficients() {
    const double w = SafeCutoff();
    const double q = SafeQ();
    const double alpha = std::sin(w) / (2.0 * q);
    const double d = 1.0 / (1.0 + alpha);
    b1_ = 0.0;
    b0_ = q * 0.5 * alpha * d;
    a1_ = 2.0 * std::cos(w) * d;
    a2_ = (alpha - 1.0) * d;
}

} // namespace halvane
