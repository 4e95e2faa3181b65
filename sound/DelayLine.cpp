#include "sound/DelayLine.h"

#include <cmath>
#include <initializer_list>

namespace halvane {

namespace {

constexpr double kTwoPi = 6.28318530717958647692;
constexpr double kMinStep = 0.125;
constexpr double kMaxStep = 1.0;

double Clip(double x, double limit) {
    if (x > limit)
        return limit;
    if (x < -limit)
        return -limit;
    return x;
}

} // namespace

DelayLine::DelayLine() {
    Prepare(kDefaultSampleRate, kDefaultLength);
}

void DelayLine::Prepare(double sampleRate, double lengthSeconds) {
    sampleRate_ = sampleRate;
    double stages = sampleRate * lengthSeconds;
    if (!(stages >= kMinStages)) // also a NaN rate or length
        stages = kMinStages;
    if (stages > kMaxStages)
        stages = kMaxStages;
    stages_ = static_cast<int>(stages);

    for (int c = 0; c < kChannels; ++c) {
        buffer_[c].assign(static_cast<std::size_t>(stages_), 0.0);
        writePosition_[c] = 0;
        clock_[c] = 0.0;
        step_[c] = 1.0;
        inverseStep_[c] = 1.0;
        for (LowPass* filter : {&inputFilter_[c], &outputFilter_[c]}) {
            filter->SetSampleRate(sampleRate);
            filter->SetQ(Filter::kDefaultQ);
            filter->ClearAll();
        }
    }
    ControlUpdate();
}

void DelayLine::SetFilterCutoff(double hz) {
    // Without a usable rate the filters open fully rather than divide by zero.
    const double w = sampleRate_ > 0.0 ? kTwoPi * hz / sampleRate_ : kTwoPi;
    for (int c = 0; c < kChannels; ++c) {
        for (LowPass* filter : {&inputFilter_[c], &outputFilter_[c]}) {
            filter->SetCutoff(w);
            filter->ComputeCoefficients();
        }
    }
}

double DelayLine::StepFor(double unipolar) const {
    const double step =
        ((std::pow(2.0, unipolar) - 1.0 - manual_) * intensity_ + manual_) * 0.875 + 0.125;
    // Manual and intensity beyond 0..1 would leave the clock range; a step of 0 or
    // less would never finish a sample, so the step stays within 0.125..1.
    if (std::isnan(step))
        return kMaxStep;
    if (step < kMinStep)
        return kMinStep;
    if (step > kMaxStep)
        return kMaxStep;
    return step;
}

void DelayLine::ControlUpdate() {
    lfo_.Step();
    step_[0] = StepFor(lfo_.Unipolar());
    inverseStep_[0] = 1.0 / step_[0];
    if (stereo_) {
        step_[1] = StepFor(lfo_.Unipolar2());
        inverseStep_[1] = 1.0 / step_[1];
    } else {
        step_[1] = step_[0];
        inverseStep_[1] = inverseStep_[0];
    }
}

void DelayLine::Transfer(int channel, int position, const Cubic& input, double t,
                         bool withFeedback) {
    double* stage = &buffer_[channel][static_cast<std::size_t>(position)];
    const double r = outputFilter_[channel].Process(*stage);
    Append(outputHistory_[channel], r);
    double value = input.At(t);
    if (withFeedback)
        value += feedback_ * Clip(r, kFeedbackLimit);
    *stage = value;
}

double DelayLine::Output(int channel, double t) const {
    const double y = Cubic(outputHistory_[channel]).At(t);
    return std::isfinite(y) ? y : 0.0; // only reachable with inputs near the double range
}

void DelayLine::RunChannel(int channel, bool withFeedback) {
    int& position = writePosition_[channel];
    double& clock = clock_[channel];
    const Cubic input(inputHistory_[channel]);
    while (clock < 1.0) {
        if (--position < 0)
            position = stages_ - 1;
        Transfer(channel, position, input, clock, withFeedback);
        clock += step_[channel];
    }
    clock -= 1.0;
}

double DelayLine::ProcessMono(double x) {
    Append(inputHistory_[0], inputFilter_[0].Process(x));
    RunChannel(0, false);
    return Output(0, 1.0 - clock_[0] * inverseStep_[0]);
}

void DelayLine::ProcessStereo(double& left, double& right) {
    Append(inputHistory_[0], inputFilter_[0].Process(left));
    Append(inputHistory_[1], inputFilter_[1].Process(right));
    if (stereo_) {
        RunChannel(0, true);
        RunChannel(1, true);
        left = Output(0, 1.0 - clock_[0] * inverseStep_[0]);
        right = Output(1, 1.0 - clock_[1] * inverseStep_[1]);
        return;
    }
    int& position = writePosition_[0];
    double& clock = clock_[0];
    const Cubic input0(inputHistory_[0]), input1(inputHistory_[1]);
    while (clock < 1.0) {
        if (--position < 0)
            position = stages_ - 1;
        Transfer(0, position, input0, clock, true);
        Transfer(1, position, input1, clock, true);
        clock += step_[0];
    }
    clock -= 1.0;
    const double t = 1.0 - clock * inverseStep_[0];
    left = Output(0, t);
    right = Output(1, t);
}

} // namespace halvane
