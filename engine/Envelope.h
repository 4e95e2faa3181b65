#pragma once
// The exponential attack-decay-sustain-release generator behind every envelope and
// gate of the instrument. Attack and release aim one ninth of the full range beyond
// their end points (10/9 and -1/9), so each ends in finite time: covering the full
// range takes 1 / Rate(x) seconds, the time the remaining distance needs to shrink
// tenfold.

#include <cfloat>
#include <cstdint>

namespace halvane {

class Envelope {
public:
    enum { kIdle = 0, kAttack = 1, kDecay = 2, kRelease = 3 };

    // ln(10): with time base ln(10) / steps per second, a rate of r per second
    // shrinks the remaining distance tenfold in about 1 / r seconds.
    static constexpr double kLn10 = 2.302585092994046;
    // Time base of a new envelope and of envelopes stepped once per control tick.
    static constexpr double kControlTimeBase = kLn10 / 1000.0;
    static constexpr double kAttackTarget = 1.1111111111111112;   // 10/9
    static constexpr double kReleaseTarget = -0.1111111111111111; // -1/9

    // Time curve shared by every time parameter: 5^(3.3 - 7.5 x) + 0.05 per second,
    // from 202.63 at x = 0 (4.9 ms) down to 0.0512 at x = 1 (19.5 s).
    static double Rate(double x);

    // Time base ln(10) / sampleRate for an envelope stepped every sample; stops the
    // envelope at 0. A rate that is not a finite number of at least 1 Hz counts as
    // 44100 Hz.
    void SetSampleRate(double sampleRate);
    // Time base for envelopes stepped at another pace (kControlTimeBase for one step
    // per control tick); stops the envelope at 0. A time base that is not finite and
    // positive counts as kControlTimeBase.
    void SetTimeBase(double timeBase);

    // Times take effect at once when the envelope is in the stage they govern, else
    // when that stage is next entered. A NaN time counts as 0.
    void SetAttack(double x);
    void SetDecay(double x);
    void SetRelease(double x);
    // Level held after the decay, limited to 0..1 (NaN counts as 0); in the decay
    // stage it also becomes the present target.
    void SetSustain(double level);

    // Attack from the present value: a retriggered envelope does not restart at 0.
    void Trigger();
    // Release from the present value; an envelope already at 0 stops at once.
    void Release();

    // One step: one multiply-add and the end-of-stage tests.
    void Step() {
        if (stage_ <= kIdle)
            return;
        previousValue_ = value_;
        value_ = value_ + (target_ - value_) * coefficient_;
        if (stage_ == kAttack) {
            if (value_ >= 1.0)
                EnterDecay();
        } else if (value_ < DBL_MIN) {
            // With sustain 0 the decay only ends when the value underflows. Round to
            // nearest never takes it to 0 (it settles a few dozen subnormal steps
            // above), so leaving the normal range counts as reaching 0, exactly as it
            // does when denormals are flushed, and no step runs on subnormals.
            value_ = 0.0;
            stage_ = kIdle;
        }
    }

    double Value() const { return value_; }
    double PreviousValue() const { return previousValue_; }
    int Stage() const { return stage_; }
    bool Running() const { return stage_ != kIdle; }

    double Attack() const { return attack_; }
    double Decay() const { return decay_; }
    double Sustain() const { return sustain_; }
    double ReleaseTime() const { return release_; }
    double TimeBase() const { return timeBase_; }
    double Target() const { return target_; }
    // Fraction of the remaining distance covered per step, always within 0..1.
    double Coefficient() const { return coefficient_; }

private:
    friend class VoiceLanes;
    void EnterDecay();
    // rate x time base, limited to 0..1 so the value never overshoots its target.
    double SegmentCoefficient(double rate) const;

    double value_ = 0.0;
    double attack_ = 0.0;
    double decay_ = 0.0;
    double sustain_ = 0.0;
    double release_ = 0.0;
    int32_t stage_ = kIdle;
    double timeBase_ = kControlTimeBase;
    double target_ = 0.0;
    double previousValue_ = 0.0;
    double coefficient_ = 0.0;
};

} // namespace halvane
