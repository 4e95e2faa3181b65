#include "sound/DelayLine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace halvane {

namespace {

constexpr double kRate = 44100.0;

// A line as the instrument builds it: prepared, band-limited at 8 kHz, and the
// given manual and intensity applied by one control update.
void Build(DelayLine& line, double seconds, double manual, double intensity) {
    line.Prepare(kRate, seconds);
    line.SetFilterCutoff(8000.0);
    line.SetManual(manual);
    line.SetIntensity(intensity);
    line.ControlUpdate();
}

// Centre of gravity of the impulse response: the delay at low frequencies.
double MeasuredDelay(DelayLine& line, bool stereo) {
    double weighted = 0.0;
    double total = 0.0;
    for (int n = 0; n < 2000; ++n) {
        double y;
        if (stereo) {
            double left = n == 0 ? 1.0 : 0.0;
            double right = left;
            line.ProcessStereo(left, right);
            y = left;
        } else {
            y = line.ProcessMono(n == 0 ? 1.0 : 0.0);
        }
        weighted += n * y;
        total += y;
    }
    return weighted / total;
}

TEST(DelayLine, ClockStepFollowsManualAndIntensity) {
    DelayLine line;
    // New: 20 ms, manual and intensity 0, so the step is 0.125 from the start.
    EXPECT_EQ(line.Stages(), 882);
    EXPECT_DOUBLE_EQ(line.ClockStep(0), 0.125);
    EXPECT_DOUBLE_EQ(line.ClockStep(1), 0.125);
    Build(line, 0.004, 1.0, 0.0);
    EXPECT_DOUBLE_EQ(line.ClockStep(0), 1.0);
    EXPECT_DOUBLE_EQ(line.InverseClockStep(0), 1.0);
    Build(line, 0.004, 0.0, 0.0);
    EXPECT_DOUBLE_EQ(line.ClockStep(0), 0.125);
    EXPECT_DOUBLE_EQ(line.InverseClockStep(0), 8.0);
    Build(line, 0.004, 0.5, 0.0);
    EXPECT_DOUBLE_EQ(line.ClockStep(0), 0.125 + 0.875 * 0.5);

    // Full intensity sweeps the whole clock range once per LFO cycle, 2^u - 1 shaped;
    // in stereo the second channel runs a third of a cycle ahead.
    const int period = 600;
    line.SetLfoIncrement(2.0 / period);
    line.SetManual(0.0);
    line.SetIntensity(1.0);
    line.SetStereo(true);
    std::vector<double> first;
    std::vector<double> second;
    for (int n = 0; n < 2 * period; ++n) {
        line.ControlUpdate();
        first.push_back(line.ClockStep(0));
        second.push_back(line.ClockStep(1));
        ASSERT_NEAR(line.InverseClockStep(0) * line.ClockStep(0), 1.0, 1e-12);
    }
    double low = 2.0;
    double high = 0.0;
    for (int n = period / 2; n < period / 2 + period; ++n) {
        low = std::fmin(low, first[n]);
        high = std::fmax(high, first[n]);
        EXPECT_NEAR(second[n], first[n + period / 3], 1e-9) << n;
    }
    EXPECT_NEAR(low, 0.125, 1e-9);
    EXPECT_NEAR(high, 1.0, 1e-9);
    // Half way up the triangle 2^0.5 - 1 of the range: the exponential shape.
    bool sawMiddle = false;
    for (int n = period / 2; n < period / 2 + period; ++n) {
        if (std::fabs(first[n] - (0.125 + 0.875 * (std::sqrt(2.0) - 1.0))) < 0.875 * 2.0 / period)
            sawMiddle = true;
    }
    EXPECT_TRUE(sawMiddle);

    line.SetStereo(false);
    line.ControlUpdate();
    EXPECT_EQ(line.ClockStep(1), line.ClockStep(0));
}

TEST(DelayLine, DelayIsStagesTimesClockStep) {
    // Group delay at DC of the 8 kHz cookbook low-pass with Q 0.5, in its own
    // samples: the feed-forward centre (1) minus the centre of the denominator.
    const double w = 2.0 * 3.14159265358979323846 * 8000.0 / kRate;
    const double alpha = std::sin(w);
    const double a1 = 2.0 * std::cos(w) / (1.0 + alpha);
    const double a2 = -(1.0 - alpha) / (1.0 + alpha);
    const double filterDelay = 1.0 + (a1 + 2.0 * a2) / (1.0 - a1 - a2);
    // The input filter runs at the audio rate, the output filter once per clock
    // tick. Writing interpolates two samples back at the clock position, reading
    // two ticks back and one sample ahead, so a line of N stages at step s delays
    // by (N + 2 + filter) s + 1 + filter samples.
    auto expected = [filterDelay](int stages, double step) {
        return (stages + 2.0 + filterDelay) * step + 1.0 + filterDelay;
    };
    for (bool stereo : {false, true}) {
        SCOPED_TRACE(stereo ? "stereo" : "mono");
        DelayLine line;
        // 4 ms at 44.1 kHz: 176 stages; step 1 is one tick per sample, 0.125 eight.
        Build(line, 0.004, 1.0, 0.0);
        ASSERT_EQ(line.Stages(), 176);
        EXPECT_NEAR(MeasuredDelay(line, stereo), expected(176, 1.0), 0.02);
        Build(line, 0.004, 0.0, 0.0);
        EXPECT_NEAR(MeasuredDelay(line, stereo), expected(176, 0.125), 0.02);
    }
    // The strings vibrato line: 2 ms at the middle position.
    DelayLine vibrato;
    Build(vibrato, 0.002, 0.5, 0.0);
    ASSERT_EQ(vibrato.Stages(), 88);
    EXPECT_NEAR(MeasuredDelay(vibrato, false), expected(88, 0.5625), 0.1);
}

TEST(DelayLine, FeedbackStaysClippedUnderFullScaleInput) {
    DelayLine line;
    Build(line, 0.004, 1.0, 0.0);
    line.SetFeedback(1.0);
    line.SetStereo(true);
    // DC at full scale: unclipped, a loop gain of 1 would grow without end; clipped,
    // each stage settles at input + 3.
    double top = 0.0;
    for (int n = 0; n < 20000; ++n) {
        double left = 1.0;
        double right = -1.0;
        line.ProcessStereo(left, right);
        ASSERT_TRUE(std::isfinite(left) && std::isfinite(right));
    }
    for (int c = 0; c < DelayLine::kChannels; ++c)
        for (int s = 0; s < line.Stages(); ++s)
            top = std::fmax(top, std::fabs(line.Stored(c, s)));
    EXPECT_NEAR(top, 4.0, 1e-6);

    // Full-scale noise with a sweeping clock: the interpolated input can overshoot
    // a little, the fed-back part never exceeds 3.
    line.SetIntensity(1.0);
    line.SetManual(0.0);
    line.SetLfoIncrement(0.01);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    top = 0.0;
    for (int n = 0; n < 50000; ++n) {
        if (n % 44 == 0) {
            line.ControlUpdate();
            for (int c = 0; c < DelayLine::kChannels; ++c)
                for (int s = 0; s < line.Stages(); ++s)
                    top = std::fmax(top, std::fabs(line.Stored(c, s)));
        }
        double left = noise(rng) < 0.0 ? -1.0 : 1.0;
        double right = noise(rng);
        line.ProcessStereo(left, right);
        ASSERT_TRUE(std::isfinite(left) && std::isfinite(right));
    }
    EXPECT_LE(top, 3.0 + 1.5);
}

TEST(DelayLine, SharedClockGivesIdenticalChannels) {
    DelayLine line;
    Build(line, 0.004, 0.3, 0.8);
    line.SetLfoIncrement(0.004);
    line.SetFeedback(0.6);
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    // The same noise into both sides, the clock updated every control block.
    auto step = [&](int n, double& left, double& right) {
        if (n % 44 == 0)
            line.ControlUpdate();
        left = right = noise(rng);
        line.ProcessStereo(left, right);
    };
    for (int n = 0; n < 20000; ++n) {
        double left, right;
        step(n, left, right);
        ASSERT_EQ(left, right) << n;
    }
    // The stereo clock, 120 degrees apart, separates them.
    line.SetStereo(true);
    double difference = 0.0;
    for (int n = 0; n < 20000; ++n) {
        double left, right;
        step(n, left, right);
        difference = std::fmax(difference, std::fabs(left - right));
    }
    EXPECT_GT(difference, 0.05);
}

TEST(DelayLine, ExtremeInputRatesAndParametersStayFinite) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double big = std::numeric_limits<double>::max();
    // Rates and lengths that leave no usable line, and manual and intensity far
    // outside 0..1 (or NaN), which must neither stall the clock nor run it backwards.
    struct Case {
        double rate, seconds, manual, intensity, feedback;
    };
    const Case cases[] = {{kRate, 0.004, 0.5, 0.5, 1.0},  {1.0, 0.004, 0.0, 1.0, 1.0},
                          {0.0, 0.002, 0.0, 1.0, 1.0},    {-kRate, 0.004, 0.2, 1.0, 0.5},
                          {nan, 0.004, 0.0, 1.0, 1.0},    {kRate, nan, 0.0, 1.0, 1.0},
                          {kRate, -1.0, 0.0, 1.0, 1.0},   {1e12, 10.0, 0.0, 1.0, 1.0},
                          {kRate, 0.004, -5.0, 0.0, 1.0}, {kRate, 0.004, 3.0, 100.0, -2.0},
                          {kRate, 0.004, nan, nan, nan},  {kRate, 0.004, 0.0, -1e9, 1e9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz " << c.seconds << " s " << c.manual << " "
                                        << c.intensity << " " << c.feedback);
        DelayLine line;
        line.Prepare(c.rate, c.seconds);
        EXPECT_GE(line.Stages(), DelayLine::kMinStages);
        EXPECT_LE(line.Stages(), DelayLine::kMaxStages);
        line.SetFilterCutoff(8000.0);
        line.SetManual(c.manual);
        line.SetIntensity(c.intensity);
        line.SetFeedback(c.feedback);
        line.SetLfoIncrement(0.02);
        for (int n = 0; n < 3000; ++n) {
            if (n % 44 == 0)
                line.ControlUpdate();
            ASSERT_GE(line.ClockStep(0), 0.125);
            ASSERT_LE(line.ClockStep(0), 1.0);
            const double burst[] = {nan, inf, -inf, big, -big, 1e300, 1.0};
            double left = n < 700 ? burst[n % 7] : std::sin(0.1 * n);
            double right = n < 700 ? burst[(n + 3) % 7] : left;
            line.SetStereo(n % 2 == 0);
            line.ProcessStereo(left, right);
            ASSERT_TRUE(std::isfinite(left) && std::isfinite(right)) << n;
            ASSERT_TRUE(std::isfinite(line.ProcessMono(n < 700 ? burst[n % 7] : 0.5))) << n;
        }
    }
}

} // namespace

} // namespace halvane
