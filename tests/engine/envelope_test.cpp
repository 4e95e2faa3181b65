#include "engine/Envelope.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace halvane {

namespace {

constexpr double kLn10 = 2.302585092994046;
constexpr double kRate = 44100.0;

// Steps an exponential segment needs to shrink its distance to the target tenfold
// at coefficient c: the first n with (1 - c)^n <= 0.1.
double TenfoldSteps(double c) {
    return std::ceil(std::log(0.1) / std::log1p(-c));
}

// Steps until the envelope leaves its present stage (stops after limit steps).
long StepsInStage(Envelope& e, long limit = 100000000) {
    const int stage = e.Stage();
    long n = 0;
    while (e.Stage() == stage && n < limit) {
        e.Step();
        ++n;
    }
    return n;
}

// Fraction of the remaining distance to target that the next step covers.
double NextStepFraction(Envelope& e, double target) {
    const double before = e.Value();
    e.Step();
    return (e.Value() - before) / (target - before);
}

Envelope Make(double attack, double decay, double sustain, double release) {
    Envelope e;
    e.SetSampleRate(kRate);
    e.SetAttack(attack);
    e.SetDecay(decay);
    e.SetSustain(sustain);
    e.SetRelease(release);
    return e;
}

} // namespace

TEST(Envelope, TimeCurveCoversItsRangeFromMillisecondsToSeconds) {
    EXPECT_NEAR(Envelope::Rate(0.0), 202.63, 0.005);
    EXPECT_NEAR(Envelope::Rate(0.1), 60.64, 0.005);
    EXPECT_NEAR(Envelope::Rate(0.25), 9.959, 0.0005);
    EXPECT_NEAR(Envelope::Rate(0.5), 0.5347, 0.00005);
    EXPECT_NEAR(Envelope::Rate(0.75), 0.0737, 0.00005);
    EXPECT_NEAR(Envelope::Rate(1.0), 0.0512, 0.00005);
}

TEST(Envelope, AttackZeroReachesFullLevelIn220StepsAt44100) {
    Envelope e = Make(0.0, 0.5, 0.5, 0.5);
    e.Trigger();
    EXPECT_TRUE(e.Running());
    // The note-start curve for attack 0 is 10^2.3 = 199.53 per second.
    EXPECT_EQ(StepsInStage(e), 220);
    EXPECT_EQ(e.Value(), 1.0);
    EXPECT_EQ(e.Stage(), Envelope::kDecay);
}

TEST(Envelope, SegmentsCoverTheFullRangeInOneOverRateSeconds) {
    for (double x : {0.1, 0.25, 0.4}) {
        const double c = Envelope::Rate(x) * kLn10 / kRate;
        Envelope e = Make(x, 0.0, 1.0, x);
        e.Trigger();
        const long attack = StepsInStage(e);
        EXPECT_NEAR(attack, TenfoldSteps(c), 1.0) << x;
        // A sustain of 1 holds the peak, so the release starts from exactly 1.
        for (int i = 0; i < 1000; ++i)
            e.Step();
        EXPECT_EQ(e.Value(), 1.0);
        e.Release();
        ASSERT_EQ(e.Stage(), Envelope::kRelease);
        const long release = StepsInStage(e);
        EXPECT_NEAR(release, TenfoldSteps(c), 1.0) << x;
        EXPECT_EQ(e.Value(), 0.0);
        EXPECT_FALSE(e.Running());
        // Nearly 1 / rate seconds: -ln(1 - c) is just above c.
        EXPECT_NEAR(release / kRate, 1.0 / Envelope::Rate(x), 0.01 / Envelope::Rate(x)) << x;
    }
}

TEST(Envelope, ZeroSustainDecayRunsUntilTheValueLeavesTheNormalRange) {
    Envelope e = Make(0.0, 0.3, 0.0, 0.5);
    // A time base that makes the decay coefficient 0.01.
    e.SetTimeBase(0.01 / Envelope::Rate(0.3));
    e.Trigger();
    StepsInStage(e);
    ASSERT_EQ(e.Stage(), Envelope::kDecay);
    const double c = e.Coefficient();
    EXPECT_NEAR(c, 0.01, 1e-15);
    // (1 - c)^n falls below the smallest normal double after ln(DBL_MIN) / ln(0.99)
    // = 70485 steps; the envelope keeps running until then.
    const double expected = std::ceil(std::log(DBL_MIN) / std::log1p(-c));
    for (long i = 0; i < expected - 2; ++i)
        e.Step();
    EXPECT_TRUE(e.Running());
    EXPECT_GT(e.Value(), 0.0);
    EXPECT_NEAR(expected - 2 + StepsInStage(e, 10), expected, 1.0);
    EXPECT_EQ(e.Value(), 0.0);
    EXPECT_FALSE(e.Running());
}

TEST(Envelope, DecayHoldsAtTheSustainLevel) {
    Envelope e = Make(0.0, 0.1, 0.5, 0.5);
    e.Trigger();
    StepsInStage(e);
    EXPECT_NEAR(NextStepFraction(e, 0.5), Envelope::Rate(0.1) * kLn10 / kRate, 1e-9);
    for (int i = 0; i < 100000; ++i)
        e.Step();
    EXPECT_EQ(e.Stage(), Envelope::kDecay);
    EXPECT_NEAR(e.Value(), 0.5, 1e-12);
    // A new sustain level in the decay stage becomes the target at once.
    e.SetSustain(0.8);
    for (int i = 0; i < 100000; ++i)
        e.Step();
    EXPECT_NEAR(e.Value(), 0.8, 1e-12);
}

TEST(Envelope, ReleaseAtZeroEndsAtOnceAndRetriggerAttacksFromThePresentValue) {
    Envelope e = Make(0.0, 0.5, 1.0, 0.5);
    e.Trigger();
    e.Release(); // same sample: nothing has been stepped yet
    EXPECT_EQ(e.Stage(), Envelope::kIdle);

    e.Trigger();
    for (int i = 0; i < 50; ++i)
        e.Step();
    const double during = e.Value();
    e.Release(); // during the attack
    EXPECT_EQ(e.Stage(), Envelope::kRelease);
    e.Step();
    const double level = e.Value();
    EXPECT_LT(level, during);
    e.Trigger();
    EXPECT_EQ(e.Value(), level);
    EXPECT_NEAR(NextStepFraction(e, 10.0 / 9.0), 199.52623149688796 * kLn10 / kRate, 1e-9);
}

TEST(Envelope, TimeChangesActOnlyInTheStageTheyGovern) {
    const double tb = kLn10 / kRate;
    // Attack: a new time during the attack uses the time curve, even at 0 (202.63
    // per second, where a trigger with attack 0 uses 199.53).
    Envelope e = Make(0.5, 0.2, 0.5, 0.5);
    e.Trigger();
    e.Step();
    e.SetDecay(0.9); // not in the decay: the attack continues unchanged
    EXPECT_NEAR(NextStepFraction(e, 10.0 / 9.0), Envelope::Rate(0.5) * tb, 1e-9);
    e.SetAttack(0.0);
    EXPECT_NEAR(NextStepFraction(e, 10.0 / 9.0), Envelope::Rate(0.0) * tb, 1e-9);

    // Release: during the decay and sustain a new release time changes nothing
    // now...
    e = Make(0.0, 0.2, 0.5, 0.5);
    e.Trigger();
    StepsInStage(e);
    e.SetRelease(0.05);
    EXPECT_NEAR(NextStepFraction(e, 0.5), Envelope::Rate(0.2) * tb, 1e-9);
    for (int i = 0; i < 200000; ++i)
        e.Step();
    EXPECT_NEAR(e.Value(), 0.5, 1e-12);
    // ...and sets the speed of the next release.
    e.Release();
    EXPECT_NEAR(NextStepFraction(e, -1.0 / 9.0), Envelope::Rate(0.05) * tb, 1e-9);
    // During the release it acts from the next step on.
    e.SetRelease(0.6);
    EXPECT_NEAR(NextStepFraction(e, -1.0 / 9.0), Envelope::Rate(0.6) * tb, 1e-9);
    // A sustain change outside the decay stage leaves the release target alone.
    e.SetSustain(0.9);
    EXPECT_EQ(e.Target(), -1.0 / 9.0);
}

TEST(Envelope, NewEnvelopeStepsPerControlTickUntilGivenASampleRate) {
    Envelope e;
    EXPECT_EQ(e.Value(), 0.0);
    EXPECT_FALSE(e.Running());
    EXPECT_DOUBLE_EQ(e.TimeBase(), kLn10 / 1000.0);
    e.Trigger();
    // Stepped once per millisecond, attack 0 takes 5 steps.
    EXPECT_EQ(StepsInStage(e), TenfoldSteps(199.52623149688796 * kLn10 / 1000.0));
    e.SetSampleRate(96000.0);
    EXPECT_EQ(e.Stage(), Envelope::kIdle);
    EXPECT_EQ(e.Value(), 0.0);
    EXPECT_DOUBLE_EQ(e.TimeBase(), kLn10 / 96000.0);
}

TEST(Envelope, AbsurdSettingsNeitherProduceNaNNorRunAway) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double rate : {0.0, 1.0, nan, 1e7, -44100.0, inf}) {
        for (double x : {nan, -inf, -5.0, 0.0, 1.0, 7.0, inf}) {
            for (double sustain : {nan, -3.0, 0.0, 1e-310, 0.5, 5.0}) {
                Envelope e;
                e.SetSampleRate(rate);
                e.SetAttack(x);
                e.SetDecay(x);
                e.SetSustain(sustain);
                e.SetRelease(x);
                e.Trigger();
                ASSERT_GE(e.Coefficient(), 0.0);
                ASSERT_LE(e.Coefficient(), 1.0);
                for (int i = 0; i < 3000; ++i) {
                    e.Step();
                    ASSERT_GE(e.Value(), -1.0 / 9.0) << rate << " " << x << " " << sustain;
                    ASSERT_LE(e.Value(), 10.0 / 9.0) << rate << " " << x << " " << sustain;
                }
                e.Release();
                for (int i = 0; i < 3000; ++i) {
                    e.Step();
                    ASSERT_TRUE(std::isfinite(e.Value()));
                    ASSERT_GE(e.Value(), 0.0);
                }
            }
        }
    }
    // Unusable rates fall back to 44100 Hz; 1 Hz and 10 MHz are taken as they are.
    Envelope e;
    e.SetSampleRate(nan);
    EXPECT_DOUBLE_EQ(e.TimeBase(), kLn10 / 44100.0);
    e.SetSampleRate(1e7);
    EXPECT_DOUBLE_EQ(e.TimeBase(), kLn10 / 1e7);
    e.SetSampleRate(1.0);
    e.Trigger();
    EXPECT_EQ(e.Coefficient(), 1.0); // 199.53 per step would overshoot: one step
    e.Step();
    EXPECT_EQ(e.Value(), 1.0);
}

} // namespace halvane
