#pragma once
// Level statistics of a render (peak and RMS per channel) and the watch for the
// end of the tail: how long every channel has stayed below the silence threshold.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace halvane {

class OutputMeter {
public:
    static constexpr double kSilenceDbfs = -90.0;
    static constexpr double kQuietSeconds = 0.1;

    void Reset(int channels, double sampleRate, double silenceDbfs = kSilenceDbfs,
               double quietSeconds = kQuietSeconds);

    // Counts `frames` frames of the channels (one buffer per channel). With
    // stopWhenQuiet, counting ends with the frame at which every channel has been
    // below the threshold for the quiet time; returns the frames counted.
    int Add(const float* const* channels, int frames, bool stopWhenQuiet = false);

    // Whether the quiet time has been reached at the last frame counted.
    bool IsQuiet() const { return quietRun_ >= quietFrames_; }

    int Channels() const { return static_cast<int>(peak_.size()); }
    uint64_t Frames() const { return frames_; }
    double Peak(int channel) const { return peak_[static_cast<std::size_t>(channel)]; }
    double Rms(int channel) const;
    // Samples that were NaN or infinite (counted as loud, left out of peak and RMS).
    uint64_t NonFinite() const { return nonFinite_; }

    // 20 log10(level), with a floor for silence.
    static double ToDbfs(double level);
    static constexpr double kFloorDbfs = -200.0;

private:
    std::vector<double> peak_;
    std::vector<double> sumSquares_;
    uint64_t frames_ = 0;
    uint64_t nonFinite_ = 0;
    double threshold_ = 0.0;
    uint64_t quietFrames_ = 0;
    uint64_t quietRun_ = 0;
};

} // namespace halvane
