#pragma once
// Second-order (biquad) filters: the per-voice strings low-pass, the bowing
// band-pass pair and the band-limiting filters of the clocked delay lines.
//
// One process step serves every derived filter:
//   y = b0 * (x[n] + x[n-2]) + b1 * x[n-1] + a1 * y[n-1] + a2 * y[n-2]
// so a1 and a2 carry the feedback signs, and the two outer feed-forward taps
// always share b0. The owner sets the angular cutoff and Q, then calls
// ComputeCoefficients().

#include <cmath>

#include "engine/BiquadState.h"

namespace halvane {

class Filter {
public:
    static constexpr double kDefaultQ = 0.5;
    static constexpr double kDefaultSampleRate = 44100.0;
    // Added to input and states with alternating sign so that a decaying filter
    // never runs on subnormal numbers.
    static constexpr double kOffset = 1e-13;

    virtual ~Filter();

    // Empty here: the plain biquad keeps whatever coefficients it holds.
    virtual void ComputeCoefficients();

    // Angular cutoff in radians per sample (2 pi f / sample rate).
    void SetCutoff(double w) { w_ = w; }
    void SetQ(double q) { q_ = q; }
    // Stored for the owner's cutoff arithmetic; coefficients are not recomputed.
    void SetSampleRate(double sampleRate) { sampleRate_ = sampleRate; }

    double Cutoff() const { return w_; }
    double Q() const { return q_; }
    double SampleRate() const { return sampleRate_; }

    // Forgets the signal history; the coefficients stay.
    void Clear();
    // Forgets the signal history and zeroes the coefficients (silent until the
    // next ComputeCoefficients()).
    void ClearAll();

    // One sample. Input, states and result that are not finite numbers are
    // replaced by 0, so one bad sample cannot lock the filter up.
    double Process(double x) {
        x = state_.Begin(x);
        const BiquadState& s = state_;
        return state_.End(x, b0_ * (x + s.x2) + b1_ * s.x1 + a1_ * s.y1 + a2_ * s.y2);
    }

    double A1() const { return a1_; }
    double A2() const { return a2_; }
    double B0() const { return b0_; }
    double B1() const { return b1_; }
    double X1() const { return state_.x1; }
    double X2() const { return state_.x2; }
    double Y1() const { return state_.y1; }
    double Y2() const { return state_.y2; }

protected:
    friend class VoiceLanes;
    // The cutoff and Q the coefficient formulas may use: a cutoff at or above
    // Nyquist, or at or below 0, and a Q that is not positive would place a pole
    // outside the unit circle, so they are held just inside the usable range.
    double SafeCutoff() const;
    double SafeQ() const;

    double w_ = 0.0;
    double q_ = kDefaultQ;
    double sampleRate_ = kDefaultSampleRate;
    double a1_ = 0.0;
    double a2_ = 0.0;
    double b0_ = 0.0;
    double b1_ = 0.0;
    BiquadState state_;
};

// The normalised cookbook low-pass: unity gain at DC, gain Q at the cutoff.
class LowPass : public Filter {
public:
    void ComputeCoefficients() override;
};

// Poles at the cutoff, feed-forward b0 * (x[n] + x[n-2]): the zeros sit at a
// quarter of the sample rate rather than at DC and Nyquist, so besides the
// resonance the filter passes low frequencies (gain sin w / (4 (1 - cos w)) at
// DC). At low Q the response therefore peaks below the cutoff.
class BandPass : public Filter {
public:
    void ComputeCoefficients() override;
};

} // namespace halvane
