#include "sound/ShelvingFilter.h"

namespace halvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSqrt2 = 1.41421356237309504880;

} // namespace

void ShelvingFilter::PassThrough() {
    b0_ = 1.0;
    a1_ = a2_ = b1_ = b2_ = 0.0;
}

void ShelvingFilter::Compute() {
    double ratio = sampleRate_ > 0.0 ? corner_ / sampleRate_ : kMaxCornerRatio;
    if (!(ratio <= kMaxCornerRatio)) // also NaN
        ratio = kMaxCornerRatio;
    if (gain_ == 0.0 || !std::isfinite(gain_) || !(ratio > 0.0)) {
        PassThrough();
        return;
    }
    const double k = std::tan(kPi * ratio);
    const double k2 = k * k;
    const double v = std::pow(10.0, std::fabs(gain_) / 20.0);
    const double root2v = std::sqrt(2.0 * v);
    if (lowShelf_ && gain_ > 0.0) {
        const double d = 1.0 + kSqrt2 * k + k2;
        b0_ = (1.0 + root2v * k + v * k2) / d;
        b1_ = 2.0 * (v * k2 - 1.0) / d;
        b2_ = (1.0 - root2v * k + v * k2) / d;
        a1_ = 2.0 * (k2 - 1.0) / d;
        a2_ = (1.0 - kSqrt2 * k + k2) / d;
    } else if (lowShelf_) {
        const double d = 1.0 + root2v * k + v * k2;
        b0_ = (1.0 + kSqrt2 * k + k2) / d;
        b1_ = 2.0 * (k2 - 1.0) / d;
        b2_ = (1.0 - kSqrt2 * k + k2) / d;
        a1_ = 2.0 * (v * k2 - 1.0) / d;
        a2_ = (1.0 - root2v * k + v * k2) / d;
    } else if (gain_ > 0.0) {
        const double d = 1.0 + kSqrt2 * k + k2;
        b0_ = (v + root2v * k + k2) / d;
        b1_ = 2.0 * (k2 - v) / d;
        b2_ = (v - root2v * k + k2) / d;
        a1_ = 2.0 * (k2 - 1.0) / d;
        a2_ = (1.0 - kSqrt2 * k + k2) / d;
    } else {
        const double d = v + root2v * k + k2;
        const double e = 1.0 + std::sqrt(2.0 / v) * k + k2 / v;
        b0_ = (1.0 + kSqrt2 * k + k2) / d;
        b1_ = 2.0 * (k2 - 1.0) / d;
        b2_ = (1.0 - kSqrt2 * k + k2) / d;
        a1_ = 2.0 * (k2 / v - 1.0) / e;
        a2_ = (1.0 - std::sqrt(2.0 / v) * k + k2 / v) / e;
    }
    // A gain beyond a few hundred dB overflows V.
    if (!(std::isfinite(b0_) && std::isfinite(b1_) && std::isfinite(b2_) && std::isfinite(a1_) &&
          std::isfinite(a2_)))
        PassThrough();
}

} // namespace halvane
