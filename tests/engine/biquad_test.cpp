#include "engine/Filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace halvane {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 44100.0;

double AngularOf(double hz) {
    return 2.0 * kPi * hz / kRate;
}

template <class F> F Made(double w, double q) {
    F f;
    f.SetCutoff(w);
    f.SetQ(q);
    f.ComputeCoefficients();
    return f;
}

// Steady-state gain for a cosine at w: RMS of the output over RMS of the input,
// after the transient has died away.
double MeasuredGain(Filter& f, double w) {
    const int settle = 1 << 14;
    const int window = 1 << 16;
    double in = 0.0;
    double out = 0.0;
    for (int n = 0; n < settle + window; ++n) {
        const double x = std::cos(w * n);
        const double y = f.Process(x);
        if (n >= settle) {
            in += x * x;
            out += y * y;
        }
    }
    return std::sqrt(out / in);
}

struct Setting {
    double w;
    double q;
};
const Setting kSettings[] = {{0.01, 0.5}, {AngularOf(1000.0), 0.707}, {1.3, 0.82}, {2.9, 4.0}};

TEST(BiquadCoefficients, MatchTheNormalisedCookbookForms) {
    for (const Setting& s : kSettings) {
        SCOPED_TRACE(testing::Message() << "w " << s.w << " Q " << s.q);
        const double cw = std::cos(s.w);
        const double alpha = std::sin(s.w) / (2.0 * s.q);
        const double a0 = 1.0 + alpha;

        // Low-pass: b = (1 - cos) / 2, 1 - cos, (1 - cos) / 2; a = 1 + alpha, -2 cos,
        // 1 - alpha. Feedback coefficients enter the process step with flipped sign.
        const LowPass lp = Made<LowPass>(s.w, s.q);
        EXPECT_NEAR(lp.B0(), (1.0 - cw) / 2.0 / a0, 1e-14);
        EXPECT_NEAR(lp.B1(), (1.0 - cw) / a0, 1e-14);
        EXPECT_NEAR(lp.A1(), 2.0 * cw / a0, 1e-14);
        EXPECT_NEAR(lp.A2(), -(1.0 - alpha) / a0, 1e-14);

        // Band-pass: the poles of the cookbook band-pass; the outer feed-forward
        // taps carry half the constant-skirt gain sin(w) / 2.
        const BandPass bp = Made<BandPass>(s.w, s.q);
        EXPECT_NEAR(bp.B0(), 0.5 * (std::sin(s.w) / 2.0) / a0, 1e-14);
        EXPECT_EQ(bp.B1(), 0.0);
        EXPECT_NEAR(bp.A1(), 2.0 * cw / a0, 1e-14);
        EXPECT_NEAR(bp.A2(), -(1.0 - alpha) / a0, 1e-14);
    }
}

TEST(LowPassResponse, UnityAtDcAndQAtTheCutoff) {
    const double w0 = AngularOf(1000.0);
    for (double q : {0.5, 0.707, 2.0}) {
        SCOPED_TRACE(testing::Message() << "Q " << q);
        LowPass dc = Made<LowPass>(w0, q);
        EXPECT_NEAR(MeasuredGain(dc, 0.0), 1.0, 1e-6);
        LowPass atCutoff = Made<LowPass>(w0, q);
        EXPECT_NEAR(MeasuredGain(atCutoff, w0), q, 2e-3 * q);
        // Bilinear low-pass: a double zero at Nyquist.
        LowPass nyquist = Made<LowPass>(w0, q);
        EXPECT_LT(MeasuredGain(nyquist, kPi), 1e-9);
    }
}

TEST(BandPassResponse, ResonatesAtTheCutoffWithZerosAtAQuarterOfTheRate) {
    // Same-sign outer taps: b0 (1 + z^-2) vanishes at fs/4 and is 2 b0 at DC.
    for (const Setting& s : kSettings) {
        SCOPED_TRACE(testing::Message() << "w " << s.w << " Q " << s.q);
        BandPass quarter = Made<BandPass>(s.w, s.q);
        EXPECT_LT(MeasuredGain(quarter, kPi / 2.0), 1e-9);
        BandPass dc = Made<BandPass>(s.w, s.q);
        EXPECT_NEAR(MeasuredGain(dc, 0.0), std::sin(s.w) / (4.0 * (1.0 - std::cos(s.w))), 1e-6);
        // At the pole frequency the cookbook denominator equals 2 sin(w) alpha / a0,
        // so the gain is (Q / 2) |cot w|.
        BandPass atCutoff = Made<BandPass>(s.w, s.q);
        EXPECT_NEAR(MeasuredGain(atCutoff, s.w), s.q / 2.0 / std::fabs(std::tan(s.w)),
                    5e-3 * s.q / std::fabs(std::tan(s.w)));
    }

    // With a clear resonance the peak lies at the cutoff.
    const double w0 = AngularOf(1000.0);
    double bestGain = 0.0;
    double bestHz = 0.0;
    for (double hz = 500.0; hz <= 2000.0; hz += 10.0) {
        BandPass f = Made<BandPass>(w0, 8.0);
        const double g = MeasuredGain(f, AngularOf(hz));
        if (g > bestGain) {
            bestGain = g;
            bestHz = hz;
        }
    }
    EXPECT_NEAR(bestHz, 1000.0, 20.0);
}

TEST(BiquadState, NanInputCostsOneSampleAndNothingElse) {
    LowPass clean = Made<LowPass>(AngularOf(2000.0), 0.55);
    LowPass hit = Made<LowPass>(AngularOf(2000.0), 0.55);
    for (int n = 0; n < 200; ++n) {
        const double x = std::sin(0.05 * n);
        const double a = clean.Process(n == 100 ? 0.0 : x);
        const double b = hit.Process(n == 100 ? std::numeric_limits<double>::quiet_NaN() : x);
        ASSERT_TRUE(std::isfinite(b));
        EXPECT_NEAR(a, b, 1e-9) << n;
    }
}

TEST(BiquadState, ClearForgetsHistoryAndClearAllSilences) {
    LowPass f = Made<LowPass>(AngularOf(500.0), 0.5);
    for (int n = 0; n < 1000; ++n)
        f.Process(1.0);
    f.Clear();
    // With the history gone, the first output of a unit step is b0 alone.
    EXPECT_NEAR(f.Process(1.0), f.B0(), 1e-12);
    f.ClearAll();
    EXPECT_EQ(f.B0(), 0.0);
    EXPECT_EQ(f.Process(1.0), 0.0);
    EXPECT_EQ(f.Process(-1.0), 0.0);
}

TEST(BiquadExtremes, OutputStaysFiniteAndRecovers) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double big = std::numeric_limits<double>::max();
    for (int kind = 0; kind < 2; ++kind) {
        LowPass lp = Made<LowPass>(AngularOf(3000.0), 0.7);
        BandPass bp = Made<BandPass>(AngularOf(3000.0), 0.82);
        Filter& f = kind == 0 ? static_cast<Filter&>(lp) : static_cast<Filter&>(bp);
        for (double x : {inf, -inf, nan, big, -big, 1e300, inf, 1.0, -inf, big, big, -big})
            ASSERT_TRUE(std::isfinite(f.Process(x)));
        // An infinity stuck in the feedback states would alternate with the NaN it
        // produces forever; the filter must return to normal operation instead.
        double y = 0.0;
        for (int n = 0; n < 20000; ++n)
            y = f.Process(1.0);
        const double dcGain =
            kind == 0 ? 1.0
                      : std::sin(AngularOf(3000.0)) / (4.0 * (1.0 - std::cos(AngularOf(3000.0))));
        EXPECT_NEAR(y, dcGain, 1e-6);
    }
}

TEST(BiquadExtremes, ParametersOutsideTheirRangeKeepTheFilterStable) {
    // Cutoffs at or beyond Nyquist (a low sample rate), at or below 0, NaN, and
    // degenerate Q values.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Setting bad[] = {{kPi, 0.5},  {4.0, 0.55}, {6.0, 0.82}, {100.0, 0.5},
                           {0.0, 0.5},  {-1.0, 0.5}, {nan, 0.5},  {1.0, 0.0},
                           {1.0, -2.0}, {1.0, nan},  {1.0, 1e9}};
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (const Setting& s : bad) {
        SCOPED_TRACE(testing::Message() << "w " << s.w << " Q " << s.q);
        LowPass lp = Made<LowPass>(s.w, s.q);
        BandPass bp = Made<BandPass>(s.w, s.q);
        double peakLp = 0.0;
        double peakBp = 0.0;
        for (int n = 0; n < 100000; ++n) {
            const double x = noise(rng);
            peakLp = std::fmax(peakLp, std::fabs(lp.Process(x)));
            peakBp = std::fmax(peakBp, std::fabs(bp.Process(x)));
        }
        EXPECT_LT(peakLp, 1e3);
        EXPECT_TRUE(std::isfinite(peakBp));
    }
    // The low-pass with its cutoff above Nyquist passes the whole band.
    LowPass open = Made<LowPass>(4.0, 0.55);
    EXPECT_NEAR(MeasuredGain(open, AngularOf(5000.0)), 1.0, 0.05);
}

} // namespace

} // namespace halvane
