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
        x = std::isfinite(x) ? x + offset_ : 0.0;
        x1_ = std::isfinite(x1_) ? x1_ + offset_ : 0.0;
        x2_ = std::isfinite(x2_) ? x2_ + offset_ : 0.0;
        y1_ = std::isfinite(y1_) ? y1_ + offset_ : 0.0;
        y2_ = std::isfinite(y2_) ? y2_ + offset_ : 0.0;
        offset_ = -offset_;
        double y = b0_ * (x + x2_) + b1_ * x1_ + a1_ * y1_ + a2_ * y2_;
        if (!std::isfinite(y))
            y = 0.0;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

    double A1() const { return a1_; }
    double A2() const { return a2_; }
    double B0() const { return b0_; }
    double B1() const { return b1_; }
    double X1() const { return x1_; }
    double X2() const { return x2_; }
    double Y1() const { return y1_; }
    double Y2() const { return y2_; }

protected:
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
    double x1_ = 0.0;
    double x2_ = 0.0;
    double y1_ = 0.0;
    double y2_ = 0.0;
    double offset_ = kOffset;
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
