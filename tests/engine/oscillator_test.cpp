#include "engine/Oscillator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

namespace halvane {

namespace {

constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr double kRate = 44100.0;

std::shared_ptr<const PhaseIncrementTable> Table(double rate = kRate) {
    return PhaseIncrementTable::ForSampleRate(rate);
}

// Average period in samples of one footage's saw, from its falling zero crossings
// (one per period, halfway down the ramp), placed between samples by interpolation.
double MeasuredSawPeriod(Oscillator& osc, int footage) {
    double previous = osc.Saw(footage), first = -1.0, last = -1.0;
    int crossings = 0;
    for (int n = 1; n < 44100; ++n) {
        osc.Advance();
        const double value = osc.Saw(footage);
        if (previous > 0.0 && value <= 0.0) {
            last = n - 1 + previous / (previous - value);
            first = first < 0.0 ? last : first;
            ++crossings;
        }
        previous = value;
    }
    return crossings > 1 ? (last - first) / (crossings - 1) : 0.0;
}

// Share of one second of the pulse at 16' that is above zero.
double PositiveShare(Oscillator& osc) {
    int positive = 0;
    for (int n = 0; n < 44100; ++n, osc.Advance())
        positive += osc.Pulse(kFootage16) > 0.0;
    return positive / 44100.0;
}

TEST(OscillatorLevel, StepsChooseTablesWithinTheBandLimit) {
    // Step 0 or 1 reads the richest table; 2 lands on level 3, because 2 times
    // 1/sqrt(2) squared rounds to just above 1.
    EXPECT_EQ(Oscillator::LevelForStep(0), 0);
    EXPECT_EQ(Oscillator::LevelForStep(1), 0);
    EXPECT_EQ(Oscillator::LevelForStep(2), 3);
    EXPECT_EQ(Oscillator::LevelForStep(kIntMax), 21);
    // Away from powers of two: 2 * log2(step) half-octaves, rounded up, at most 21.
    for (int32_t step = 3; step < 5000; ++step) {
        const int expected = static_cast<int>(std::ceil(2.0 * std::log2(step)));
        if ((step & (step - 1)) != 0) {
            ASSERT_EQ(Oscillator::LevelForStep(step), expected < 21 ? expected : 21) << step;
        }
    }

    // Every step gets the level of the repeated multiplication by 1/sqrt(2),
    // whatever shortcut finds it: all small steps, and those around every level
    // change and power of two.
    const auto byProducts = [](int32_t step) {
        double t = step;
        int level = 0;
        for (; t > 1.0 && level < 21; ++level)
            t *= 0.7071067811865476;
        return level;
    };
    for (int32_t step = -3; step < 70000; ++step)
        ASSERT_EQ(Oscillator::LevelForStep(step), byProducts(step)) << step;
    for (int shift = 16; shift < 31; ++shift)
        for (int32_t d = -300; d <= 300; ++d)
            for (double scale : {1.0, 1.4142135623730951}) {
                const auto step = static_cast<int32_t>((1 << shift) * scale) + d;
                ASSERT_EQ(Oscillator::LevelForStep(step), byProducts(step)) << step;
            }

    const auto table = Table();
    Oscillator osc;
    osc.Update(1536, *table); // entry 0, 8.176 Hz: steps 0, 1 and 3
    ASSERT_EQ(osc.Increment(), 49767);
    EXPECT_EQ(osc.Level(kFootage16), 0);
    EXPECT_EQ(osc.Level(kFootage8), 0);
    EXPECT_EQ(osc.Level(kFootage4), 4);

    // Over the keyboard every footage's top harmonic stays near or below half the
    // sample rate (the step is truncated), and the next richer table would not.
    for (int32_t p = 0; p <= kMaxPitch; p += 61) {
        osc.Update(p, *table);
        for (int footage = kFootage16; footage <= kFootage4; ++footage) {
            const double hz = osc.Increment() * kRate / 268435456.0 * (1 << footage);
            const double step = std::floor(hz * SawTables::kSize / kRate);
            const int level = osc.Level(footage);
            if (step < 16 || level == SawTables::kLevels - 1)
                continue;
            EXPECT_LE(SawTables::Harmonics(level) * hz, 0.5 * kRate * (1 + 1 / step) + hz) << p;
            EXPECT_GT(SawTables::Harmonics(level - 1) * hz, 0.5 * kRate * (1 - 1 / step) - hz) << p;
        }
    }
}

TEST(Oscillator, FootagesSoundAtTheirOctaves) {
    // Note 69 at 8' is 440 Hz, 44100 / 440 = 100.227 samples; 16' an octave below,
    // 4' an octave above; a detune of 12 semitones an octave above too.
    const double period = kRate / 440.0;
    for (int footage = kFootage16; footage <= kFootage4; ++footage) {
        Oscillator osc;
        osc.Update(69 * 128, *Table());
        const double expected = period * 2.0 / (1 << footage);
        EXPECT_NEAR(MeasuredSawPeriod(osc, footage), expected, 1e-4 * expected) << footage;
    }
    Oscillator detuned;
    detuned.SetDetune(12 * 128);
    detuned.Update(69 * 128, *Table());
    EXPECT_NEAR(MeasuredSawPeriod(detuned, kFootage8), period / 2, 1e-4 * period);
}

TEST(Oscillator, PhaseWrapsAtTwentyEightBitsAndIsNeverReset) {
    Oscillator osc;
    osc.Update(100 * 128, *Table());
    const uint64_t increment = static_cast<uint64_t>(osc.Increment());
    for (uint64_t n = 1; n <= 5000; ++n) {
        osc.Advance();
        ASSERT_EQ(osc.Phase(), (n * increment) % (1u << 28)) << n;
    }
    const uint32_t phase = osc.Phase();
    osc.Update(30 * 128, *Table(96000.0));
    osc.Update(90 * 128, *Table());
    EXPECT_EQ(osc.Phase(), phase);
}

TEST(OscillatorPulse, WidthSetsTheDutyCycle) {
    // A ramp minus itself shifted by w half-periods is positive for 1 - w/2 of the
    // period: w = 1 is a square wave with mean 0, w = 0 is silence.
    for (double width : {0.25, 0.5, 1.0}) {
        Oscillator osc;
        osc.SetWidth(width);
        osc.Update(45 * 128, *Table());
        EXPECT_EQ(osc.WidthOffset(), static_cast<int32_t>(width * (1 << 27)));
        EXPECT_NEAR(PositiveShare(osc), 1.0 - width / 2, 0.01) << width;
    }
    Oscillator square;
    square.Update(57 * 128, *Table());
    double sum = 0.0;
    for (int n = 0; n < 44100; ++n, square.Advance())
        sum += square.Pulse(kFootage8);
    EXPECT_NEAR(sum / 44100, 0.0, 0.01);

    Oscillator silent;
    silent.SetWidth(0.0);
    silent.Update(60 * 128, *Table());
    for (int n = 0; n < 1000; ++n, silent.Advance())
        for (int footage = kFootage16; footage <= kFootage4; ++footage)
            ASSERT_EQ(silent.Pulse(footage), 0.0);
}

TEST(OscillatorPulse, ModulationFollowsTheSourceAtUpdateOnly) {
    const auto table = Table();
    double lfo = 1.0;
    Oscillator osc;
    osc.SetWidth(0.25);
    osc.SetPwmSource(&lfo);
    osc.Update(6000, *table);
    EXPECT_EQ(osc.WidthOffset(), 1 << 25); // switch off: the source is ignored

    // d = (1 - L) * width + L: the width at L = 0, a square at L = 1.
    osc.SetPwm(true);
    osc.Update(6000, *table);
    EXPECT_EQ(osc.WidthOffset(), 1 << 27);
    lfo = 0.5;
    EXPECT_EQ(osc.WidthOffset(), 1 << 27); // until the next control update
    osc.Update(6000, *table);
    EXPECT_EQ(osc.WidthOffset(), static_cast<int32_t>(0.625 * (1 << 27)));
    EXPECT_NEAR(PositiveShare(osc), 1.0 - 0.625 / 2, 0.01);

    // Out of range or not a number: silence. No source: the plain width.
    osc.SetWidth(1.5);
    osc.Update(6000, *table);
    EXPECT_EQ(osc.WidthOffset(), 0);
    osc.SetWidth(0.25);
    lfo = std::numeric_limits<double>::quiet_NaN();
    osc.Update(6000, *table);
    EXPECT_EQ(osc.WidthOffset(), 0);
    osc.SetPwmSource(nullptr);
    osc.Update(6000, *table);
    EXPECT_EQ(osc.WidthOffset(), 1 << 25);
}

TEST(Oscillator, ExtremePitchesHoldAtTheTableEnds) {
    const auto table = Table();
    Oscillator osc;
    const int32_t low[] = {1536, 1535, kIntMin};
    const int32_t high[] = {kMaxPitch + 1536, kMaxPitch + 1537, kIntMax};
    for (int32_t p : low) {
        osc.Update(p, *table);
        EXPECT_EQ(osc.Increment(), (*table)[0]) << p;
    }
    for (int32_t p : high) {
        osc.Update(p, *table);
        EXPECT_EQ(osc.Increment(), (*table)[kMaxPitch]) << p;
    }
    osc.SetDetune(kIntMax); // pitch + detune saturates instead of wrapping
    osc.Update(kIntMax, *table);
    EXPECT_EQ(osc.Increment(), (*table)[kMaxPitch]);
    osc.SetDetune(kIntMin);
    osc.Update(kIntMin, *table);
    EXPECT_EQ(osc.Increment(), (*table)[0]);
}

TEST(Oscillator, OutputStaysFiniteAndBoundedForAnySetting) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    double lfo = 0.0;
    for (double rate : {44100.0, 1.0, 10e6, 0.0}) {
        for (int32_t pitch : {kIntMin, -20000, 0, 8832, 17280, kIntMax}) {
            for (double width : {0.0, 1.0, -1.0, 1e300, nan, inf}) {
                for (double l : {0.0, 1.0, -inf, nan}) {
                    Oscillator osc;
                    osc.SetDetune(pitch > 0 ? 5000 : -5000);
                    osc.SetWidth(width);
                    osc.SetPwm(l != 0.0);
                    osc.SetPwmSource(&lfo);
                    lfo = l;
                    osc.Update(pitch, *Table(rate));
                    ASSERT_GE(osc.WidthOffset(), 0);
                    ASSERT_LE(osc.WidthOffset(), 1 << 27);
                    for (int n = 0; n < 64; ++n, osc.Advance()) {
                        for (int footage = kFootage16; footage <= kFootage4; ++footage) {
                            ASSERT_LT(std::fabs(osc.Saw(footage)), 1.0);
                            ASSERT_LT(std::fabs(osc.Pulse(footage)), 2.0);
                        }
                    }
                }
            }
        }
    }
}

} // namespace

} // namespace halvane
