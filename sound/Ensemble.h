#pragma once
// Three-line chorus that thickens the strings. Each line's delay (1 ms plus up to
// 20 ms) follows two LFOs, the second weighing twelve times the first, at phases
// spread over the three lines; the taps are mixed to mono or to a stereo pair.
// Delays glide linearly to each new target within about one control block.

#include "sound/LFO.h"

#include <cmath>
#include <vector>

namespace halvane {

class Ensemble {
public:
    static constexpr int kLines = 3;
    static constexpr double kDefaultSampleRate = 44100.0;
    // Sample rates are taken within this range so a line always holds at least one
    // sample and its length cannot overflow.
    static constexpr double kMinSampleRate = 1.0;
    static constexpr double kMaxSampleRate = 10.0e6;

    // New LFOs, then Prepare(44100).
    Ensemble();

    // Three zeroed lines of whole-part(rate x 0.02 + 1) samples; write positions,
    // delays, increments and depths 0. The LFOs keep their phases and increments.
    void Prepare(double sampleRate);

    void SetLfo1Increment(double increment) { lfo1_.SetIncrement(increment); }
    void SetLfo2Increment(double increment) { lfo2_.SetIncrement(increment); }
    // line 0..2; the depth scales the LFO sum (0..13) into the 0..1 modulation value.
    void SetDepth(int line, double depth) { depth_[line] = depth; }
    void SetStereo(bool stereo) { stereo_ = stereo; }

    // Once per control tick: steps both LFOs and aims each line at its new delay.
    void ControlUpdate();

    void Process(double x, double& left, double& right) {
        // A NaN stored in a line would poison its taps for a whole line length.
        if (!std::isfinite(x))
            x = 0.0;
        double tap[kLines];
        for (int k = 0; k < kLines; ++k) {
            std::vector<double>& line = line_[k];
            line[static_cast<std::size_t>(position_[k])] = x;
            tap[k] = Tap(k);
        }
        if (stereo_) {
            const double shared = (tap[2] + x) * 0.25;
            left = 0.5 * tap[0] + shared;
            right = 0.5 * tap[1] + shared;
        } else {
            left = right = (tap[0] + x + tap[1] + tap[2]) * 0.5;
        }
        for (int k = 0; k < kLines; ++k) {
            if (++position_[k] >= length_)
                position_[k] = 0;
            delay_[k] += increment_[k];
        }
    }

    // Current delay of a line in samples; the tap reads one sample less than this.
    double Delay(int line) const { return delay_[line]; }
    double Increment(int line) const { return increment_[line]; }
    double Depth(int line) const { return depth_[line]; }
    int Length() const { return length_; }
    int WritePosition(int line) const { return position_[line]; }
    double SampleRate() const { return sampleRate_; }
    bool Stereo() const { return stereo_; }
    const LFO& Lfo1() const { return lfo1_; }
    const LFO& Lfo2() const { return lfo2_; }

private:
    // Linear interpolation between the samples floor(d) and floor(d) - 1 back. The
    // delay is held within 0..length - 1 for the read, so neither index can leave
    // the line whatever the rate, depth or glide did to it.
    double Tap(int k) const {
        double d = delay_[k];
        if (!(d >= 0.0))
            d = 0.0;
        else if (d > maxDelay_)
            d = maxDelay_;
        const double whole = std::floor(d);
        int i = position_[k] - static_cast<int>(whole);
        if (i < 0)
            i += length_;
        int j = i + 1;
        if (j >= length_)
            j -= length_;
        const std::vector<double>& line = line_[k];
        const double bi = line[static_cast<std::size_t>(i)];
        const double bj = line[static_cast<std::size_t>(j)];
        return bj + (d - whole) * (bi - bj);
    }

    LFO lfo1_;
    LFO lfo2_;
    double sampleRate_ = kDefaultSampleRate;
    double inverseSampleRate_ = 1.0 / kDefaultSampleRate;
    double glide_ = 999.0 / kDefaultSampleRate;
    int length_ = 1;
    double maxDelay_ = 0.0;
    std::vector<double> line_[kLines];
    int position_[kLines] = {};
    double delay_[kLines] = {};
    double increment_[kLines] = {};
    double depth_[kLines] = {};
    bool stereo_ = false;
};

} // namespace halvane
