#include "tools/render/OutputMeter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace halvane {

namespace {

constexpr double kRate = 44100.0;
const double kPi = std::acos(-1.0);

// Counts two channels block by block; returns the frames counted.
uint64_t Feed(OutputMeter& meter, const std::vector<float>& left, const std::vector<float>& right,
              int block, bool stopWhenQuiet) {
    uint64_t counted = 0;
    for (std::size_t start = 0; start < left.size(); start += static_cast<std::size_t>(block)) {
        const int frames = static_cast<int>(
            std::min<std::size_t>(static_cast<std::size_t>(block), left.size() - start));
        const float* channels[] = {left.data() + start, right.data() + start};
        const int kept = meter.Add(channels, frames, stopWhenQuiet);
        counted += static_cast<uint64_t>(kept);
        if (kept < frames)
            break;
    }
    return counted;
}

} // namespace

TEST(OutputMeter, PeakAndRmsOfASineMatchItsAmplitude) {
    // 441 Hz at 44100 Hz: 100 samples a period, one of them on the crest.
    std::vector<float> sine(44100), silence(44100, 0.0f);
    for (std::size_t i = 0; i < sine.size(); ++i)
        sine[i] =
            static_cast<float>(0.5 * std::sin(2.0 * kPi * 441.0 * static_cast<double>(i) / kRate));
    OutputMeter meter;
    meter.Reset(2, kRate);
    EXPECT_EQ(Feed(meter, sine, silence, 256, false), 44100u);
    EXPECT_EQ(meter.Frames(), 44100u);
    EXPECT_NEAR(meter.Peak(0), 0.5, 1e-7);
    EXPECT_NEAR(meter.Rms(0), 0.5 / std::sqrt(2.0), 1e-6);
    EXPECT_EQ(meter.Peak(1), 0.0);
    EXPECT_EQ(meter.Rms(1), 0.0);
    EXPECT_NEAR(OutputMeter::ToDbfs(meter.Peak(0)), -6.0206, 1e-4);
    EXPECT_EQ(OutputMeter::ToDbfs(0.0), OutputMeter::kFloorDbfs);
    EXPECT_EQ(OutputMeter::ToDbfs(std::nan("")), OutputMeter::kFloorDbfs);
}

TEST(OutputMeter, TheTailEndsOneQuietTimeAfterTheLastLoudSample) {
    // -89 dBFS counts as sound, -91 dBFS as silence.
    const float loud = static_cast<float>(std::pow(10.0, -89.0 / 20.0));
    const float quiet = static_cast<float>(std::pow(10.0, -91.0 / 20.0));
    std::vector<float> left(20000, quiet), right(20000, 0.0f);
    for (std::size_t i = 0; i < 1000; ++i)
        left[i] = (i % 2 == 0) ? 0.8f : -0.8f;
    right[2999] = -loud; // the last sound, on the other channel
    for (int block : {1, 256, 4096}) {
        OutputMeter meter;
        meter.Reset(2, kRate);
        // 0.1 s at 44100 Hz is 4410 frames after the last loud one.
        EXPECT_EQ(Feed(meter, left, right, block, true), 3000u + 4410u) << "block " << block;
        EXPECT_TRUE(meter.IsQuiet());
        EXPECT_EQ(meter.Frames(), 7410u);
    }
    OutputMeter meter;
    meter.Reset(2, kRate);
    EXPECT_EQ(Feed(meter, left, right, 256, false), 20000u); // without the watch, all of it
}

TEST(OutputMeter, NonFiniteSamplesAreCountedAsSoundAndKeptOutOfTheLevels) {
    std::vector<float> left(10000, 0.0f), right(10000, 0.0f);
    left[10] = 0.25f;
    left[20] = std::numeric_limits<float>::quiet_NaN();
    right[9000] = std::numeric_limits<float>::infinity();
    OutputMeter meter;
    meter.Reset(2, kRate);
    // The NaN at frame 20 is the last sound the watch sees before a quiet time.
    EXPECT_EQ(Feed(meter, left, right, 64, true), 20u + 1u + 4410u);
    meter.Reset(2, kRate);
    EXPECT_EQ(Feed(meter, left, right, 64, false), 10000u);
    EXPECT_EQ(meter.NonFinite(), 2u);
    EXPECT_EQ(meter.Peak(0), 0.25);
    EXPECT_EQ(meter.Peak(1), 0.0);
    EXPECT_TRUE(std::isfinite(meter.Rms(0)) && std::isfinite(meter.Rms(1)));
    EXPECT_FALSE(meter.IsQuiet());
}

} // namespace halvane
