#include "sound/ShelvingFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace halvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 44100.0;

ShelvingFilter Made(bool lowShelf, double corner, double dB) {
    ShelvingFilter f;
    f.SetSampleRate(kRate);
    f.SetLowShelf(lowShelf);
    f.SetCorner(corner);
    f.SetGain(dB);
    f.Compute();
    return f;
}

double Linear(double dB) {
    return std::pow(10.0, dB / 20.0);
}

// Steady-state RMS gain of a chain of filters for a cosine at hz.
template <class... F> double MeasuredGain(double hz, F&... filters) {
    const double w = 2.0 * kPi * hz / kRate;
    double in = 0.0;
    double out = 0.0;
    for (int n = 0; n < (1 << 17); ++n) {
        const double x = std::cos(w * n);
        double y = x;
        ((y = filters.Process(y)), ...);
        if (n >= (1 << 15)) {
            in += x * x;
            out += y * y;
        }
    }
    return std::sqrt(out / in);
}

TEST(ShelvingFilter, ZeroGainPassesTheSignalThrough) {
    ShelvingFilter fresh;
    EXPECT_EQ(fresh.Corner(), 600.0);
    EXPECT_EQ(fresh.Gain(), 0.0);
    EXPECT_EQ(fresh.SampleRate(), 44100.0);
    for (bool low : {false, true}) {
        ShelvingFilter f = Made(low, 1800.0, 0.0);
        EXPECT_EQ(f.B0(), 1.0);
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> noise(-1.0, 1.0);
        for (int n = 0; n < 1000; ++n) {
            const double x = noise(rng);
            // Only the alternating anti-denormal offset is added.
            EXPECT_NEAR(f.Process(x), x, 1.5e-13);
        }
    }
}

TEST(ShelvingFilter, BoostLiftsItsOwnSideByTheGainAndLeavesTheOther) {
    const double v = Linear(12.0);
    // At the corner the second-order shelf gives sqrt((1 + V^2) / 2).
    const double corner = std::sqrt((1.0 + v * v) / 2.0);
    struct Point {
        bool lowShelf;
        double hz, gain, tolerance;
    };
    const Point points[] = {{true, 0.0, v, 1e-6},          {true, kRate / 2.0, 1.0, 1e-6},
                            {true, 20.0, v, 0.01 * v},     {true, 15000.0, 1.0, 0.01},
                            {true, 600.0, corner, 2e-3},   {false, 0.0, 1.0, 1e-6},
                            {false, kRate / 2.0, v, 1e-6}, {false, 100.0, 1.0, 0.01},
                            {false, 1800.0, corner, 2e-3}};
    for (const Point& p : points) {
        ShelvingFilter f = Made(p.lowShelf, p.lowShelf ? 600.0 : 1800.0, 12.0);
        EXPECT_NEAR(MeasuredGain(p.hz, f), p.gain, p.tolerance)
            << (p.lowShelf ? "low shelf at " : "high shelf at ") << p.hz << " Hz";
    }
}

TEST(ShelvingFilter, CutIsTheInverseOfTheBoost) {
    for (bool lowShelf : {true, false}) {
        for (double dB : {3.0, 12.0, 18.0}) {
            SCOPED_TRACE(testing::Message() << (lowShelf ? "low " : "high ") << dB << " dB");
            const double corner = lowShelf ? 600.0 : 1800.0;
            ShelvingFilter cut = Made(lowShelf, corner, -dB);
            EXPECT_NEAR(MeasuredGain(lowShelf ? 0.0 : kRate / 2.0, cut), 1.0 / Linear(dB), 1e-6);
            for (double hz : {30.0, 600.0, 1800.0, 5000.0, 16000.0}) {
                ShelvingFilter boost = Made(lowShelf, corner, dB);
                ShelvingFilter inverse = Made(lowShelf, corner, -dB);
                ShelvingFilter alone = Made(lowShelf, corner, -dB);
                EXPECT_NEAR(MeasuredGain(hz, boost, inverse), 1.0, 1e-6) << hz;
                // ...while the cut alone is audibly not flat there.
                if (hz == corner) {
                    EXPECT_LT(MeasuredGain(hz, alone), 0.9);
                }
            }
        }
    }
}

TEST(ShelvingFilter, ExtremeInputAndSettingsStayFinite) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double big = std::numeric_limits<double>::max();

    ShelvingFilter f = Made(false, 1800.0, 18.0);
    for (double x : {nan, inf, -inf, big, -big, 1e300, inf, 1.0, nan, big, big})
        ASSERT_TRUE(std::isfinite(f.Process(x)));
    double y = 0.0;
    for (int n = 0; n < 10000; ++n)
        y = f.Process(1.0);
    EXPECT_NEAR(y, 1.0, 1e-6); // recovered: a high shelf passes DC

    // Sample rates with no usable Nyquist, corners at or beyond it, absurd gains.
    struct Case {
        double rate, corner, dB;
    };
    const Case cases[] = {{0.0, 600.0, 12.0},     {-44100.0, 600.0, 12.0}, {nan, 600.0, 12.0},
                          {3000.0, 1800.0, 12.0}, {kRate, 40000.0, 12.0},  {kRate, 0.0, 12.0},
                          {kRate, -600.0, -12.0}, {kRate, nan, 6.0},       {kRate, 600.0, nan},
                          {kRate, 600.0, inf},    {kRate, 600.0, 1e6},     {kRate, 600.0, -1e6}};
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (const Case& c : cases) {
        for (bool lowShelf : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.rate << " Hz, corner " << c.corner << ", " << c.dB
                                            << " dB, " << (lowShelf ? "low" : "high"));
            ShelvingFilter g;
            g.SetSampleRate(c.rate);
            g.SetLowShelf(lowShelf);
            g.SetCorner(c.corner);
            g.SetGain(c.dB);
            g.Compute();
            double peak = 0.0;
            for (int n = 0; n < 50000; ++n) {
                const double out = g.Process(noise(rng));
                ASSERT_TRUE(std::isfinite(out));
                peak = std::fmax(peak, std::fabs(out));
            }
            // A stable shelf of at most 12 dB keeps noise of unit peak within a
            // modest bound; a pole outside the unit circle would not.
            if (std::fabs(c.dB) <= 12.0) {
                EXPECT_LT(peak, 50.0);
            }
        }
    }
}

} // namespace

} // namespace halvane
