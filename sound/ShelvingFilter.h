#pragma once
// Second-order shelving equaliser of the strings (Zoelzer's design): a low shelf
// lifts or cuts everything below the corner, a high shelf everything above it, by
// the gain in dB; the far side stays at unity. A cut is the exact inverse of the
// boost of the same size.

#include <cmath>

#include "engine/BiquadState.h"

namespace halvane {

class ShelvingFilter {
public:
    static constexpr double kDefaultSampleRate = 44100.0;
    static constexpr double kDefaultCorner = 600.0;
    // Corners are held below this fraction of the sample rate: at and beyond
    // Nyquist the bilinear design turns unstable.
    static constexpr double kMaxCornerRatio = 0.49;
    static constexpr double kOffset = 1e-13;

    // 44100 Hz, high shelf, corner 600 Hz, gain 0: computed as a pass-through.
    ShelvingFilter() { Compute(); }

    // The setters store only; Compute() applies them.
    void SetSampleRate(double sampleRate) { sampleRate_ = sampleRate; }
    void SetLowShelf(bool lowShelf) { lowShelf_ = lowShelf; }
    void SetCorner(double hz) { corner_ = hz; }
    void SetGain(double dB) { gain_ = dB; }

    // Coefficients from rate, type, corner and gain. A gain of 0, a non-positive
    // corner or anything that would give coefficients that are not finite makes a
    // pass-through.
    void Compute();

    // Forgets the signal history.
    void Clear() { state_.Clear(); }

    double Process(double x) {
        x = state_.Begin(x);
        const BiquadState& s = state_;
        return state_.End(x, b0_ * x + b1_ * s.x1 + b2_ * s.x2 - a1_ * s.y1 - a2_ * s.y2);
    }

    double SampleRate() const { return sampleRate_; }
    bool LowShelf() const { return lowShelf_; }
    double Corner() const { return corner_; }
    double Gain() const { return gain_; }
    double A1() const { return a1_; }
    double A2() const { return a2_; }
    double B0() const { return b0_; }
    double B1() const { return b1_; }
    double B2() const { return b2_; }

private:
    void PassThrough();

    double sampleRate_ = kDefaultSampleRate;
    bool lowShelf_ = false;
    double corner_ = kDefaultCorner;
    double gain_ = 0.0;
    double a1_ = 0.0;
    double a2_ = 0.0;
    double b0_ = 1.0;
    double b1_ = 0.0;
    double b2_ = 0.0;
    BiquadState state_;
};

} // namespace halvane
