#pragma once
// Four-pole resonant low-pass: four bilinear one-pole stages in a loop whose
// feedback passes a soft saturator. The loop is solved from an estimate of the
// output built from the stage states (zero-delay feedback), and that estimate is
// what the filter returns. The cutoff is a pitch index plus a per-sample offset, so
// the coefficients change only when the integer pitch does.

#include "engine/LadderTables.h"

#include <cmath>
#include <cstdint>
#include <memory>

namespace halvane {

class LadderFilter {
public:
    // Usable at once, with the tables of 44100 Hz and cleared as by SetSampleRate.
    LadderFilter();

    // Takes the shared tables of this rate (allocates on a rate no filter uses yet)
    // and clears the filter: current cutoff 0, coefficients recomputed at the next
    // sample, stage states 0, 1, 0, -1. The target cutoff, the resonance, the glide
    // step and the denormal offset stay.
    void SetSampleRate(double sampleRate);

    // r is limited to 0..1 (NaN counts as 0); takes effect at the next sample.
    void SetResonance(double r);

    // While the section's amplitude envelope runs the cutoff glides towards v one
    // pitch unit per sample, so a cutoff move never clicks in a sounding note;
    // otherwise it jumps.
    void SetTargetCutoff(int32_t v, bool gateRunning) {
        glideStep_ = 0;
        if (gateRunning) {
            if (currentCutoff_ < v)
                glideStep_ = 1;
            else if (currentCutoff_ > v)
                glideStep_ = -1;
        } else {
            currentCutoff_ = v;
        }
        targetCutoff_ = v;
    }

    // Ends a pending glide at once (when the gating envelope has gone idle).
    void CompleteGlide() { currentCutoff_ = targetCutoff_; }

    // One sample. cutoffOffset moves the cutoff for this sample only (envelope, key
    // tracking); pitches beyond 0..kMaxPitch hold the end entries of the tables.
    double Process(double x, int32_t cutoffOffset) {
        if (currentCutoff_ != targetCutoff_) {
            // 64-bit, so no combination of cutoff and step can overflow.
            int64_t next = static_cast<int64_t>(currentCutoff_) + glideStep_;
            if (glideStep_ >= 0) {
                if (next > targetCutoff_)
                    next = targetCutoff_;
            } else if (next < targetCutoff_) {
                next = targetCutoff_;
            }
            currentCutoff_ = static_cast<int32_t>(next);
        }

        // Only the clamped index reaches the coefficients, so it is what the cache
        // compares: a pitch beyond the table range costs no recomputation, and the
        // "recompute" mark -1 can never be mistaken for a real pitch.
        const int64_t p = static_cast<int64_t>(currentCutoff_) + cutoffOffset;
        const int32_t index = p < 0 ? 0 : (p > kMaxPitch ? kMaxPitch : static_cast<int32_t>(p));
        if (index != cachedIndex_)
            UpdateCoefficients(index);

        // A bad sample (NaN, infinite, or so large that the stages could overflow)
        // is dropped rather than allowed to lock the loop up, and the alternating
        // offset keeps decaying states out of the denormal range.
        const double offset = offset_;
        x = std::abs(x) <= kMaxInput ? x + offset : 0.0;
        const double s1 = std::isfinite(s1_) ? s1_ + offset : 0.0;
        const double s2 = std::isfinite(s2_) ? s2_ + offset : 0.0;
        const double s3 = std::isfinite(s3_) ? s3_ + offset : 0.0;
        const double s4 = std::isfinite(s4_) ? s4_ + offset : 0.0;
        offset_ = -offset;

        const double y = (g3_ * s1 + g2_ * s2 + g_ * s3 + s4 + g4_ * x) * normaliser_;

        // Soft clip of the feedback: a rational tanh-like curve reaching +-5 at
        // |m| = 3, so full resonance cannot run away.
        const double m = 0.2 * y;
        double sat;
        if (m < -3.0)
            sat = -5.0;
        else if (m > 3.0)
            sat = 5.0;
        else
            sat = 5.0 * m * (27.0 + m * m) / (27.0 + 9.0 * m * m);

        const double u = (x - k_ * sat) * g_;
        const double y1 = u + s1;
        s1_ = u - t_ * y1;
        const double y2 = g_ * y1 + s2;
        s2_ = g_ * y1 - t_ * y2;
        const double y3 = g_ * y2 + s3;
        s3_ = g_ * y2 - t_ * y3;
        const double v = g_ * y3;
        s4_ = v - t_ * (s4 + v);

        return y * outputGain_;
    }

    int32_t CurrentCutoff() const { return currentCutoff_; }
    int32_t TargetCutoff() const { return targetCutoff_; }
    int32_t GlideStep() const { return glideStep_; }
    double Resonance() const { return resonance_; }
    double SampleRate() const { return sampleRate_; }

private:
    friend class VoiceLanes;
    void UpdateCoefficients(int32_t index) {
        cachedIndex_ = index;
        const LadderTables::Entry& e = tables_->At(index);
        k_ = resonance_ * e.kmax;
        // The output level follows the resonance along a parabola: 1 at 0 and 1,
        // 2 at 0.5.
        const double d = 2.0 * std::abs(resonance_ - 0.5);
        outputGain_ = 2.0 - d * d;
        g_ = e.g;
        t_ = e.t;
        g2_ = g_ * g_;
        g3_ = g2_ * g_;
        g4_ = g3_ * g_;
        normaliser_ = 1.0 / (1.0 + k_ * g4_);
    }

    static constexpr int32_t kRecompute = -1;
    // Far above any real signal, far enough below the largest double that the loop's
    // gains (a few at most) cannot overflow.
    static constexpr double kMaxInput = 1e300;

    double sampleRate_ = 0.0;
    std::shared_ptr<const LadderTables> tables_;
    int32_t targetCutoff_ = 0;
    double resonance_ = 0.0;
    // Coefficients of the present pitch: powers of the stage gain, state feedback,
    // loop feedback, output gain and the loop's normaliser 1 / (1 + k G^4).
    double g4_ = 0.0, g_ = 0.0, t_ = 0.0, k_ = 0.0, outputGain_ = 0.0, normaliser_ = 0.0;
    double g2_ = 0.0, g3_ = 0.0;
    int32_t currentCutoff_ = 0;
    int32_t cachedIndex_ = kRecompute;
    int32_t glideStep_ = 0;
    double s1_ = 0.0, s2_ = 1.0, s3_ = 0.0, s4_ = -1.0;
    double offset_ = 1e-13;
};

} // namespace halvane
