#include "engine/Bowing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace halvane {

namespace {

constexpr double kRate = 44100.0;
constexpr double kPi = 3.141592653589793;
constexpr int kBlock = 44; // control block at 44100 Hz

// Envelope steps per sample while the strings sound with the bowing on: one per
// control tick, and two for every other sample of the block (render loop and
// stage).
constexpr double kStepsPerSample = (1.0 + 2.0 * (kBlock - 1)) / kBlock;

// One sample as the render loop runs it; returns the envelope value after it. The
// caller's step is the control tick's at i = 0 and the loop's own step after that;
// the stage adds its second step for i > 0.
double RunSample(Bowing& b, long n, double& left, double& right, bool stereo) {
    b.StepEnvelope();
    b.Process(left, right, stereo, static_cast<int>(n % kBlock));
    return b.Env().Value();
}

} // namespace

TEST(Bowing, CentreFollowsToneSquaredAtTheFiltersRate) {
    Bowing b;
    b.SetSampleRate(48000.0);
    const double tones[] = {0.0, 0.5, 1.0};
    const double hz[] = {600.0, 1200.0, 3000.0};
    for (int k = 0; k < 3; ++k) {
        b.SetTone(tones[k]);
        EXPECT_NEAR(b.LeftFilter().Cutoff(), 2.0 * kPi * hz[k] / 48000.0, 1e-15);
        EXPECT_EQ(b.RightFilter().Cutoff(), b.LeftFilter().Cutoff());
        EXPECT_NEAR(b.CentreHz(), hz[k], 1e-9);
        EXPECT_EQ(b.LeftFilter().Q(), 0.82);
    }
    // A new rate keeps the angular centre until the tone is set again.
    b.SetSampleRate(96000.0);
    EXPECT_NEAR(b.CentreHz(), 6000.0, 1e-9);
    EXPECT_EQ(b.LeftFilter().Q(), 0.82);
    EXPECT_FALSE(b.Env().Running());
    EXPECT_EQ(b.Env().TimeBase(), std::log(10.0) / 96000.0);
}

TEST(Bowing, AccentPeaksAndFadesWithTheFixedEnvelopeAtTwoStepsPerSample) {
    Bowing b;
    b.SetSampleRate(kRate);
    b.Trigger();
    const double ln10 = std::log(10.0);
    // Attack 0.35 aims at 10/9 and ends at 1 once its distance shrank tenfold;
    // decay 0.44 with sustain 0 falls to a tenth in the same number of steps.
    const double attack = (std::pow(5.0, 3.3 - 7.5 * 0.35) + 0.05) * ln10 / kRate;
    const double decay = (std::pow(5.0, 3.3 - 7.5 * 0.44) + 0.05) * ln10 / kRate;
    const double peakSeconds = -ln10 / std::log1p(-attack) / kStepsPerSample / kRate;
    const double fadeSeconds = -ln10 / std::log1p(-decay) / kStepsPerSample / kRate;
    EXPECT_NEAR(peakSeconds, 0.17, 0.005);
    EXPECT_NEAR(fadeSeconds, 0.48, 0.005);

    long peak = -1, tenth = -1;
    for (long n = 0; n < 2 * 44100 && tenth < 0; ++n) {
        double l = 0.0, r = 0.0;
        const double v = RunSample(b, n, l, r, false);
        if (peak < 0 && b.Env().Stage() == Envelope::kDecay)
            peak = n;
        if (peak >= 0 && v <= 0.1)
            tenth = n;
    }
    ASSERT_GE(peak, 0);
    ASSERT_GE(tenth, 0);
    EXPECT_NEAR(peak / kRate, peakSeconds, 0.001);
    EXPECT_NEAR((tenth - peak) / kRate, fadeSeconds, 0.001);
}

TEST(Bowing, AddsTheBandPassScaledByLevelTimesEnvelope) {
    const double w = 2.0 * kPi * 700.0 / kRate;
    for (bool stereo : {false, true}) {
        Bowing b;
        b.SetSampleRate(kRate);
        b.SetTone(0.5);
        b.SetLevel(0.8);
        b.Trigger();
        BandPass reference;
        reference.SetSampleRate(kRate);
        reference.SetQ(0.82);
        reference.SetCutoff(2.0 * kPi * 1200.0 / kRate);
        reference.ComputeCoefficients();
        for (long n = 0; n < 3000; ++n) {
            const double x = std::sin(w * n);
            double l = x, r = stereo ? -x : 0.7;
            const double env = RunSample(b, n, l, r, stereo);
            const double expected = x + reference.Process(x) * 0.8 * env;
            ASSERT_NEAR(l, expected, 1e-12) << n;
            if (stereo)
                ASSERT_NEAR(r, -expected, 1e-12) << n; // its own filter, same signal
            else
                ASSERT_EQ(r, l) << n; // the right input is dropped
        }
        EXPECT_GT(b.Env().Value(), 0.3);
        // The mono path never runs the right filter.
        EXPECT_EQ(b.RightFilter().Y1() != 0.0, stereo);
    }
}

TEST(Bowing, LevelZeroAddsNothing) {
    Bowing b;
    b.SetSampleRate(kRate);
    b.SetLevel(0.0);
    b.Trigger();
    for (long n = 0; n < 5000; ++n) {
        const double x = std::sin(0.1 * n);
        double l = x, r = 2.0 * x;
        RunSample(b, n, l, r, true);
        ASSERT_EQ(l, x);
        ASSERT_EQ(r, 2.0 * x);
    }
    EXPECT_TRUE(b.Env().Running());
}

TEST(Bowing, StaysFiniteUnderExtremeInput) {
    const double inf = std::numeric_limits<double>::infinity();
    const double inputs[] = {std::nan(""), inf, -inf, 1e308, -1e308, 1.0};
    for (bool stereo : {false, true}) {
        Bowing b;
        b.SetSampleRate(kRate);
        b.SetTone(std::nan(""));
        EXPECT_NEAR(b.CentreHz(), 600.0, 1e-9);
        b.SetTone(1e6); // far above Nyquist
        b.SetLevel(1e300);
        b.Trigger();
        for (long n = 0; n < 20000; ++n) {
            if (n == 10000)
                b.SetLevel(std::nan(""));
            double l = inputs[n % 6], r = inputs[(n + 3) % 6];
            RunSample(b, n, l, r, stereo);
            ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << n;
        }
    }
}

} // namespace halvane
