#pragma once
// Clocked delay line in the manner of a bucket-brigade chip: a fixed number of
// stages passed at a variable clock rate, so the delay is (stages x clock step)
// audio samples. The clock step (0.125..1 of a sample) follows the LFO, the
// manual position and the intensity. Low-pass filters band-limit the line on
// both sides, and cubic interpolation crosses between the audio and the clock
// rate. The flanger runs it in stereo with clipped feedback; the strings vibrato
// runs its first channel alone without feedback.

#include "engine/Filter.h"
#include "sound/LFO.h"

#include <vector>

namespace halvane {

class DelayLine {
public:
    static constexpr int kChannels = 2;
    static constexpr int kHistory = 4;
    // Fewest stages: a sample rate of a few Hz (or none) still leaves a working line.
    static constexpr int kMinStages = 4;
    // Most stages: 80 s at 44.1 kHz, far beyond any use, so rate x length can neither
    // overflow nor exhaust memory.
    static constexpr int kMaxStages = 1 << 22;
    // The value fed back into the line is clipped to this magnitude.
    static constexpr double kFeedbackLimit = 3.0;
    static constexpr double kDefaultSampleRate = 44100.0;
    static constexpr double kDefaultLength = 0.02;

    // Manual, feedback and intensity 0, stereo off, prepared for 44100 Hz and 20 ms.
    DelayLine();

    // Allocates two zeroed buffers of whole-part(sampleRate x lengthSeconds) stages
    // (limited to kMinStages..kMaxStages), resets the clocks and write positions,
    // gives the four filters the rate and Q 0.5 and zeroes their coefficients and
    // state, then runs ControlUpdate() once. The filters stay silent until
    // SetFilterCutoff(). The interpolation histories keep their contents.
    void Prepare(double sampleRate, double lengthSeconds);

    // Sets all four filters to hz at the prepared rate and recomputes them.
    void SetFilterCutoff(double hz);

    void SetLfoIncrement(double increment) { lfo_.SetIncrement(increment); }
    void SetManual(double manual) { manual_ = manual; }
    void SetFeedback(double feedback) { feedback_ = feedback; }
    void SetIntensity(double intensity) { intensity_ = intensity; }
    void SetStereo(bool stereo) { stereo_ = stereo; }

    // Once per control tick: steps the LFO and derives the clock steps.
    void ControlUpdate();

    // First channel only, no feedback. Returns the wet signal.
    double ProcessMono(double x);
    // Both channels with feedback; with stereo off they share channel 1's clock and
    // write position. Replaces the inputs by the wet signal.
    void ProcessStereo(double& left, double& right);

    const LFO& Lfo() const { return lfo_; }
    int Stages() const { return stages_; }
    double ClockStep(int channel) const { return step_[channel]; }
    double InverseClockStep(int channel) const { return inverseStep_[channel]; }
    double Clock(int channel) const { return clock_[channel]; }
    int WritePosition(int channel) const { return writePosition_[channel]; }
    double Stored(int channel, int stage) const { return buffer_[channel][stage]; }
    double SampleRate() const { return sampleRate_; }
    double Manual() const { return manual_; }
    double Feedback() const { return feedback_; }
    double Intensity() const { return intensity_; }
    bool Stereo() const { return stereo_; }
    const LowPass& InputFilter(int channel) const { return inputFilter_[channel]; }
    const LowPass& OutputFilter(int channel) const { return outputFilter_[channel]; }

private:
    // The cubic through four history points, between the middle two; its
    // coefficients are worked out once for all the clock ticks of a sample.
    struct Cubic {
        double a3, a2, a1, a0;

        explicit Cubic(const double* p)
            : a3((p[3] - p[0]) * 0.5 + (p[1] - p[2]) * 1.5),
              a2(p[0] - 2.5 * p[1] + 2.0 * p[2] - 0.5 * p[3]), a1((p[2] - p[0]) * 0.5), a0(p[1]) {}
        double At(double t) const { return a3 * t * t * t + a2 * t * t + a1 * t + a0; }
    };

    static void Append(double* history, double value) {
        history[0] = history[1];
        history[1] = history[2];
        history[2] = history[3];
        history[3] = value;
    }

    double StepFor(double unipolar) const;
    // Steps 2 and 3 of a clock tick for one channel at a given stage: read the value
    // stored a full line ago, then store the interpolated input at clock position t.
    void Transfer(int channel, int position, const Cubic& input, double t, bool withFeedback);
    // Interpolated line output at t = 1 - clock / step between the last two reads.
    double Output(int channel, double t) const;
    void RunChannel(int channel, bool withFeedback);

    LFO lfo_;
    LowPass inputFilter_[kChannels];
    LowPass outputFilter_[kChannels];
    double inputHistory_[kChannels][kHistory] = {};
    double outputHistory_[kChannels][kHistory] = {};
    std::vector<double> buffer_[kChannels];
    int stages_ = kMinStages;
    int writePosition_[kChannels] = {};
    double clock_[kChannels] = {};
    double step_[kChannels] = {1.0, 1.0};
    double inverseStep_[kChannels] = {1.0, 1.0};
    double sampleRate_ = kDefaultSampleRate;
    bool stereo_ = false;
    double manual_ = 0.0;
    double feedback_ = 0.0;
    double intensity_ = 0.0;
};

} // namespace halvane
