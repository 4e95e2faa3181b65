#include "engine/BrassSection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace halvane {

namespace {

constexpr double kRate = 44100.0;
constexpr double kPi = 3.141592653589793;

BrassSection Make(double attack, double decay, double sustain, double release) {
    BrassSection b;
    b.SetSampleRate(kRate);
    b.Env().SetAttack(attack);
    b.Env().SetDecay(decay);
    b.Env().SetSustain(sustain);
    b.Env().SetRelease(release);
    b.SetGains(1.0, 1.0);
    return b;
}

double Left(BrassSection& b, double x, int i) {
    double l = 0.0, r = 0.0;
    b.Process(x, i, l, r);
    return l;
}

} // namespace

TEST(BrassSection, WithoutSweepTheEnvelopeIsTheSectionAmplifier) {
    BrassSection b = Make(0.0, 0.0, 0.6, 0.0);
    b.SetCutoff(1.0);
    b.SetEgIntensity(0.0);
    b.SetGains(0.25, 0.75);
    b.ControlTick();
    EXPECT_EQ(b.ModulationDepth(), 0.0);
    EXPECT_EQ(b.Filter().CurrentCutoff(), 17280);

    // The filter runs while the envelope is shut, so a DC input has settled at
    // unity gain by the time the note starts.
    for (int n = 0; n < 4000; ++n)
        EXPECT_EQ(Left(b, 1.0, 1), 0.0);
    b.Trigger();
    for (int n = 1; n < 44100; ++n) {
        double l = 0.0, r = 0.0;
        b.Process(1.0, n % 44 == 0 ? 0 : 1, l, r);
        const double env = b.Env().Value();
        ASSERT_NEAR(l, 0.25 * env, 1e-9) << n;
        ASSERT_NEAR(r, 0.75 * env, 1e-9) << n;
    }
    EXPECT_NEAR(b.Env().Value(), 0.6, 1e-12);
    EXPECT_EQ(b.Filter().CurrentCutoff(), 17280);
}

TEST(BrassSection, SweepAddsDepthTimesEnvelopeToTheCutoff) {
    BrassSection b = Make(0.0, 0.0, 1.0, 0.0);
    b.SetCutoff(0.0);
    b.SetEgIntensity(12288.0);
    b.SetVelocityFactor(0.5);
    b.Trigger();
    b.ControlTick();
    EXPECT_EQ(b.ModulationDepth(), 6144.0);

    // At full envelope the filter must behave as one set to 6144 units.
    LadderFilter reference;
    reference.SetSampleRate(kRate);
    reference.SetTargetCutoff(6144, false);
    const double w = 2.0 * kPi * 1000.0 / kRate;
    double maxDiff = 0.0;
    for (int n = 0; n < 20000; ++n) {
        const double x = 0.1 * std::sin(w * n);
        const double y = Left(b, x, 1);
        const double expected = reference.Process(x, 0);
        if (n > 19000)
            maxDiff = std::max(maxDiff, std::abs(y - expected));
    }
    EXPECT_EQ(b.Env().Value(), 1.0);
    EXPECT_LT(maxDiff, 1e-9);
}

TEST(BrassSection, EnvelopeStepsOncePerTickAndPerLaterSample) {
    BrassSection b = Make(0.0, 0.0, 1.0, 0.0);
    b.Trigger();
    Left(b, 0.0, 0);
    EXPECT_EQ(b.Env().Value(), 0.0); // the tick steps sample 0, not the stage
    b.ControlTick();
    const double c = std::pow(10.0, 2.3) * std::log(10.0) / kRate;
    EXPECT_NEAR(b.Env().Value(), 10.0 / 9.0 * c, 1e-15);
    Left(b, 0.0, 1);
    EXPECT_NEAR(b.Env().Value(), 10.0 / 9.0 * (1.0 - (1.0 - c) * (1.0 - c)), 1e-15);
}

TEST(BrassSection, CutoffGlidesWhileSoundingAndLandsWhenSilent) {
    BrassSection b = Make(0.0, 0.0, 1.0, 0.0);
    b.SetCutoff(1.0);
    EXPECT_EQ(b.Filter().CurrentCutoff(), 17280); // idle: a jump

    b.Trigger();
    b.SetCutoff(0.5);
    EXPECT_EQ(b.Filter().TargetCutoff(), 8640);
    for (int n = 0; n < 100; ++n)
        Left(b, 0.0, 1);
    EXPECT_EQ(b.Filter().CurrentCutoff(), 17280 - 100);

    // The release ends within a few hundred samples, long before the glide could.
    b.Release();
    int n = 0;
    while (b.EnvelopeRunning() && n < 5000) {
        ASSERT_GT(b.Filter().CurrentCutoff(), 16000);
        Left(b, 0.0, 1);
        ++n;
    }
    EXPECT_FALSE(b.EnvelopeRunning());
    EXPECT_EQ(b.Filter().CurrentCutoff(), 8640);
}

TEST(BrassSection, CutoffKnobMapsOntoPitchUnits) {
    BrassSection b = Make(0.0, 0.0, 1.0, 0.0);
    const double values[] = {0.0, 0.25, 0.001, 1.0, -3.0, 7.0, std::nan("")};
    const int32_t pitches[] = {0, 4320, 17, 17280, 0, 17280, 0};
    for (int k = 0; k < 7; ++k) {
        b.SetCutoff(values[k]);
        EXPECT_EQ(b.Filter().TargetCutoff(), pitches[k]) << values[k];
    }
}

TEST(BrassSection, NewRateSilencesEnvelopeAndClearsFilter) {
    BrassSection b = Make(0.0, 0.0, 1.0, 0.0);
    b.SetCutoff(0.5);
    b.Trigger();
    for (int n = 0; n < 1000; ++n)
        Left(b, 1.0, 1);
    b.SetSampleRate(48000.0);
    EXPECT_FALSE(b.EnvelopeRunning());
    EXPECT_EQ(b.Env().Value(), 0.0);
    EXPECT_EQ(b.Env().TimeBase(), std::log(10.0) / 48000.0);
    EXPECT_EQ(b.Filter().CurrentCutoff(), 0);
    EXPECT_EQ(b.Filter().SampleRate(), 48000.0);
}

TEST(BrassSection, StaysFiniteUnderExtremeInput) {
    const double inf = std::numeric_limits<double>::infinity();
    BrassSection b = Make(0.0, 0.0, 1.0, 0.0);
    b.SetResonance(1.0);
    b.SetCutoff(1.0);
    b.SetEgIntensity(1e300);
    b.SetVelocityFactor(-1e10);
    b.Trigger();
    const double inputs[] = {std::nan(""), inf, -inf, 1e300, -1e300, 1e12, 0.0};
    for (int n = 0; n < 20000; ++n) {
        if (n == 10000) {
            b.SetVelocityFactor(std::nan(""));
            b.SetGains(1e308, std::nan(""));
        }
        if (n % 44 == 0)
            b.ControlTick();
        double l = 0.0, r = 0.0;
        b.Process(inputs[n % 7], n % 44, l, r);
        ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << n;
    }
}

} // namespace halvane
