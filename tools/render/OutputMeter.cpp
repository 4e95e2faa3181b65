#include "tools/render/OutputMeter.h"

#include <algorithm>
#include <cmath>

namespace halvane {

void OutputMeter::Reset(int channels, double sampleRate, double silenceDbfs, double quietSeconds) {
    const std::size_t count = static_cast<std::size_t>(std::max(channels, 0));
    peak_.assign(count, 0.0);
    sumSquares_.assign(count, 0.0);
    frames_ = 0;
    nonFinite_ = 0;
    threshold_ = std::pow(10.0, silenceDbfs / 20.0);
    quietFrames_ = static_cast<uint64_t>(std::max(std::ceil(quietSeconds * sampleRate), 1.0));
    quietRun_ = 0;
}

int OutputMeter::Add(const float* const* channels, int frames, bool stopWhenQuiet) {
    const std::size_t count = peak_.size();
    int frame = 0;
    for (; frame < frames; ++frame) {
        if (stopWhenQuiet && IsQuiet())
            break;
        bool loud = false;
        for (std::size_t c = 0; c < count; ++c) {
            const double x = static_cast<double>(channels[c][frame]);
            if (!std::isfinite(x)) {
                ++nonFinite_;
                loud = true;
                continue;
            }
            const double level = std::fabs(x);
            peak_[c] = std::max(peak_[c], level);
            sumSquares_[c] += x * x;
            loud = loud || level >= threshold_;
        }
        quietRun_ = loud ? 0 : quietRun_ + 1;
    }
    frames_ += static_cast<uint64_t>(frame);
    return frame;
}

double OutputMeter::Rms(int channel) const {
    if (frames_ == 0)
        return 0.0;
    return std::sqrt(sumSquares_[static_cast<std::size_t>(channel)] / static_cast<double>(frames_));
}

double OutputMeter::ToDbfs(double level) {
    if (!(level > 0.0))
        return kFloorDbfs;
    return std::max(20.0 * std::log10(level), kFloorDbfs);
}

} // namespace halvane
