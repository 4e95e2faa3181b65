#include "engine/Bowing.h"

#include <cmath>
#include <initializer_list>

namespace halvane {

namespace {

constexpr double kTwoPi = 6.28318530717958647692;
constexpr double kQ = 0.82;
constexpr double kDefaultSampleRate = 44100.0;
constexpr double kDefaultTone = 0.5;

double Finite(double x) {
    return std::isfinite(x) ? x : 0.0;
}

} // namespace

Bowing::Bowing() {
    envelope_.SetAttack(0.35);
    envelope_.SetDecay(0.44);
    envelope_.SetSustain(0.0);
    envelope_.SetRelease(0.44);
    SetSampleRate(kDefaultSampleRate);
    SetTone(kDefaultTone);
}

void Bowing::SetSampleRate(double sampleRate) {
    if (!(std::isfinite(sampleRate) && sampleRate >= 1.0))
        sampleRate = kDefaultSampleRate;
    // The angular centre is kept as it is: the tone is set again in Hz by whoever
    // re-applies the parameters.
    for (BandPass* filter : {&left_, &right_}) {
        filter->SetSampleRate(sampleRate);
        filter->SetQ(kQ);
        filter->Clear();
        filter->ComputeCoefficients();
    }
    envelope_.SetSampleRate(sampleRate);
}

void Bowing::SetTone(double x) {
    if (std::isnan(x))
        x = 0.0;
    const double hz = 600.0 + 2400.0 * x * x;
    for (BandPass* filter : {&left_, &right_}) {
        filter->SetCutoff(kTwoPi * hz / filter->SampleRate());
        filter->ComputeCoefficients();
    }
}

double Bowing::CentreHz() const {
    return left_.Cutoff() * left_.SampleRate() / kTwoPi;
}

void Bowing::Process(double& left, double& right, bool stereo, int i) {
    if (i > 0)
        envelope_.Step();
    const double g = Finite(level_ * envelope_.Value());
    left = Finite(left);
    left = Finite(left + left_.Process(left) * g);
    if (stereo) {
        right = Finite(right);
        right = Finite(right + right_.Process(right) * g);
    } else {
        right = left;
    }
}

} // namespace halvane
