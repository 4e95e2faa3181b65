#include "sound/PitchModulation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace halvane {

namespace {

// The bend value a pitch-bend message carries.
double BendFrom(int lsb, int msb) {
    return (lsb + 128.0 * msb - 8192.0) / 8192.0;
}

// Rate of the delay envelope's time curve, per control tick (1000 per second).
double TickCoefficient(double rate) {
    return rate * std::log(10.0) / 1000.0;
}

} // namespace

TEST(PitchModulation, BendRangeAndTotalTuneGivePitchUnits) {
    struct Case {
        int lsb, msb;
        double range, tune;
        int32_t offset;
    } const cases[] = {
        {0, 64, 2.0, 0.0, 0},          // centred wheel
        {0, 0, 2.0, 0.0, -256},        // full down, two semitones
        {127, 127, 2.0, 0.0, 255},     // full up is one step short of +2
        {127, 127, -12.0, 0.0, -1535}, // a negative range turns the wheel around
        {0, 64, 2.0, 1.0, 128},        // one semitone of total tune
        {0, 64, 2.0, -0.5, -64},       {0, 0, 2.0, 1.0, -128},
    };
    for (const Case& c : cases) {
        PitchModulation pm;
        pm.SetBend(BendFrom(c.lsb, c.msb));
        pm.SetBendRange(c.range);
        pm.SetTotalTune(c.tune);
        pm.SetVibratoIncrement(0.011);
        pm.SetWheel(0.0);
        for (int tick = 0; tick < 3; ++tick)
            EXPECT_EQ(pm.StepVibratoAndOffset(), c.offset) << c.lsb << " " << c.msb;
    }
}

TEST(PitchModulation, TrillJumpsAnOctaveForHalfOfEachVibratoCycle) {
    PitchModulation pm;
    const int period = 101; // ticks per cycle; an odd count never lands on the edge
    pm.SetVibratoIncrement(2.0 / period);
    pm.SetWheelDepth(12.0);
    pm.SetWheel(1.0);
    pm.SetTrill(true);
    int up = 0, down = 0, rises = 0;
    int32_t last = 0;
    const int cycles = 20;
    for (int tick = 0; tick < cycles * period; ++tick) {
        const int32_t offset = pm.StepVibratoAndOffset();
        ASSERT_TRUE(offset == 0 || offset == 1536) << offset;
        (offset ? up : down)++;
        if (offset && !last)
            ++rises;
        last = offset;
    }
    EXPECT_EQ(rises, cycles);
    EXPECT_LE(std::abs(up - down), cycles); // at most one tick per cycle apart
}

TEST(PitchModulation, WheelVibratoFollowsTheTriangle) {
    PitchModulation pm;
    pm.SetVibratoIncrement(0.1);
    pm.SetWheelDepth(6.0);
    pm.SetWheel(0.5);
    // Phases 0, 0.1, ... : the triangle 2|phase| - 1 times 3 semitones.
    for (int tick = 0; tick < 10; ++tick) {
        const double bipolar = 2.0 * std::abs(pm.VibratoLfo().Phase()) - 1.0;
        EXPECT_EQ(pm.StepVibratoAndOffset(), static_cast<int32_t>(3.0 * bipolar * 128.0));
    }
    pm.SetWheel(0.0);
    EXPECT_EQ(pm.StepVibratoAndOffset(), 0);
}

TEST(PitchModulation, DelayedVibratoOnlyWithItsSwitch) {
    // The LFO stands at phase 0 (bipolar -1), so the offset shows the depth.
    PitchModulation pm;
    pm.SetVibratoDepth(2.0);
    pm.SetVibratoSwitch(false);
    pm.TriggerVibratoDelay();
    EXPECT_EQ(pm.StepVibratoAndOffset(), 0);
    EXPECT_EQ(pm.DelayEnvelope().Value(), 0.0); // not even stepped
    pm.SetVibratoDelayTime(1.0);
    for (int tick = 0; tick < 10; ++tick)
        pm.StepVibratoAndOffset();
    // Before any note the delay envelope is idle at 0: full depth.
    PitchModulation fresh;
    fresh.SetVibratoDepth(2.0);
    fresh.SetVibratoSwitch(true);
    EXPECT_EQ(fresh.StepVibratoAndOffset(), -256);
    // Switched on during a phrase, the envelope starts from where it stood.
    pm.SetVibratoSwitch(true);
    EXPECT_GT(pm.StepVibratoAndOffset(), -256 / 2);
}

TEST(PitchModulation, DelayedVibratoFadesInAsTheDelayEnvelopeDecays) {
    PitchModulation pm;
    pm.SetVibratoDepth(2.0);
    pm.SetVibratoSwitch(true);
    const double x = 0.3;
    pm.SetVibratoDelayTime(x);
    pm.TriggerVibratoDelay();

    // Attack 0 covers the way to 10/9 at 10^2.3 per second: level 1 in four ticks.
    const double a = TickCoefficient(std::pow(10.0, 2.3));
    EXPECT_EQ(pm.StepVibratoAndOffset(), static_cast<int32_t>(-256.0 * (1.0 - 10.0 / 9.0 * a)));
    for (int tick = 0; tick < 3; ++tick)
        pm.StepVibratoAndOffset();
    EXPECT_EQ(pm.DelayEnvelope().Value(), 1.0);

    const double k = TickCoefficient(std::pow(5.0, 3.3 - 7.5 * x) + 0.05);
    int32_t previous = 0;
    for (int tick = 1; tick <= 2000; ++tick) {
        const int32_t offset = pm.StepVibratoAndOffset();
        const double level = std::pow(1.0 - k, tick);
        ASSERT_NEAR(offset, -256.0 * (1.0 - level), 1.0) << tick;
        ASSERT_LE(offset, previous) << tick; // only grows
        previous = offset;
    }
    EXPECT_LT(previous, -250);

    // A sample-rate change leaves the envelope idle with its decay time.
    pm.SetBend(0.5);
    pm.SetWheel(0.5);
    pm.Reset();
    EXPECT_FALSE(pm.DelayEnvelope().Running());
    EXPECT_EQ(pm.DelayEnvelope().Decay(), x);
    EXPECT_EQ(pm.Bend(), 0.0);
    EXPECT_EQ(pm.Wheel(), 0.0);
}

TEST(PitchModulation, PwmSourceShowsTheUnipolarOutput) {
    PitchModulation pm;
    pm.SetPwmIncrement(0.25);
    const double* source = pm.PwmSource();
    const double expected[] = {0.0, 0.25, 0.5, 0.75, 1.0, 0.75, 0.5};
    for (double value : expected) {
        pm.StepPwm();
        EXPECT_EQ(*source, value);
    }
    EXPECT_EQ(pm.PwmSource(), source); // voices keep the pointer
}

TEST(PitchModulation, OffsetStaysDefinedWithExtremeValues) {
    const double inf = std::numeric_limits<double>::infinity();
    PitchModulation pm;
    pm.SetBendRange(1e9);
    pm.SetBend(-1.0);
    EXPECT_EQ(pm.StepVibratoAndOffset(), INT32_MIN);
    pm.SetBend(1.0);
    EXPECT_EQ(pm.StepVibratoAndOffset(), INT32_MIN);
    pm.SetBendRange(2.0);
    pm.SetTotalTune(inf);
    EXPECT_EQ(pm.StepVibratoAndOffset(), INT32_MIN);
    pm.SetTotalTune(std::nan(""));
    EXPECT_EQ(pm.StepVibratoAndOffset(), 0);
    pm.SetTotalTune(0.0);
    pm.SetBend(0.0);
    pm.SetVibratoSwitch(true);
    pm.SetVibratoDepth(std::nan(""));
    EXPECT_EQ(pm.StepVibratoAndOffset(), 0);
    pm.SetVibratoDepth(0.0);
    pm.SetVibratoIncrement(std::nan(""));
    pm.SetWheel(std::nan(""));
    pm.SetVibratoDelayTime(std::nan(""));
    pm.TriggerVibratoDelay();
    for (int tick = 0; tick < 100; ++tick)
        EXPECT_EQ(pm.StepVibratoAndOffset(), 0);
}

} // namespace halvane
