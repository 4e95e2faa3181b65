#include "engine/Envelope.h"

#include <cmath>

namespace halvane {

namespace {

double TimeOrZero(double x) {
    return std::isnan(x) ? 0.0 : x;
}

} // namespace

double Envelope::Rate(double x) {
    return std::pow(5.0, 3.3 - 7.5 * x) + 0.05;
}

void Envelope::SetSampleRate(double sampleRate) {
    const double rate = std::isfinite(sampleRate) && sampleRate >= 1.0 ? sampleRate : 44100.0;
    SetTimeBase(kLn10 / rate);
}

void Envelope::SetTimeBase(double timeBase) {
    timeBase_ = std::isfinite(timeBase) && timeBase > 0.0 ? timeBase : kControlTimeBase;
    stage_ = kIdle;
    value_ = 0.0;
}

double Envelope::SegmentCoefficient(double rate) const {
    const double coefficient = rate * timeBase_;
    // Above 1 a step would overshoot the target (and above 2 diverge); the fastest
    // usable segment reaches its target in one step. NaN lands here too.
    if (!(coefficient <= 1.0))
        return 1.0;
    return coefficient > 0.0 ? coefficient : 0.0;
}

void Envelope::SetAttack(double x) {
    attack_ = TimeOrZero(x);
    if (stage_ == kAttack)
        coefficient_ = SegmentCoefficient(Rate(attack_));
}

void Envelope::SetDecay(double x) {
    decay_ = TimeOrZero(x);
    if (stage_ == kDecay)
        coefficient_ = SegmentCoefficient(Rate(decay_));
}

void Envelope::SetRelease(double x) {
    release_ = TimeOrZero(x);
    if (stage_ == kRelease)
        coefficient_ = SegmentCoefficient(Rate(release_));
}

void Envelope::SetSustain(double level) {
    // Levels below the normal range count as 0, so a decay towards them ends instead
    // of settling on a subnormal value.
    sustain_ = level >= DBL_MIN ? (level < 1.0 ? level : 1.0) : 0.0;
    if (stage_ == kDecay)
        target_ = sustain_;
}

void Envelope::Trigger() {
    stage_ = kAttack;
    target_ = kAttackTarget;
    // A zero attack at note start uses a slightly slower curve of its own (199.53 per
    // second) than the time curve gives for 0 (202.63).
    const double rate = attack_ > 0.0 ? Rate(attack_) : std::pow(10.0, 2.3 - 4.5 * attack_);
    coefficient_ = SegmentCoefficient(rate);
}

void Envelope::Release() {
    if (value_ > 0.0) {
        stage_ = kRelease;
        target_ = kReleaseTarget;
        coefficient_ = SegmentCoefficient(Rate(release_));
    } else {
        stage_ = kIdle;
    }
}

void Envelope::EnterDecay() {
    value_ = 1.0;
    stage_ = kDecay;
    target_ = sustain_;
    coefficient_ = SegmentCoefficient(Rate(decay_));
}

} // namespace halvane
