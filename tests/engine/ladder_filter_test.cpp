#include "engine/LadderFilter.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <thread>
#include <vector>

namespace halvane {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kRate = 44100.0;
constexpr int32_t kA4 = 8832; // 440 Hz, below 500 Hz: resonance ceiling 4.1

LadderFilter Make(int32_t cutoff, double r, double rate = kRate) {
    LadderFilter f;
    f.SetSampleRate(rate);
    f.SetResonance(r);
    f.SetTargetCutoff(cutoff, false);
    return f;
}

double SettledDcGain(LadderFilter& f) {
    const double x = 0.01; // small: the feedback saturator stays linear
    double y = 0.0;
    for (int i = 0; i < 100000; ++i)
        y = f.Process(x, 0);
    return y / x;
}

// Linear response of the loop at angular frequency omega: four bilinear one-poles
// at cutoff w, feedback k around them, output gain in front.
double LadderMagnitude(double w, double k, double gain, double omega) {
    const std::complex<double> zi = std::polar(1.0, -omega);
    const double g = w / (w + 2.0), t = (w - 2.0) / (w + 2.0);
    const std::complex<double> stage = g * (1.0 + zi) / (1.0 + t * zi);
    const std::complex<double> h4 = stage * stage * stage * stage;
    return std::abs(gain * h4 / (1.0 + k * h4));
}

// Amplitude of the filter's steady response to a sine of hz (a whole number of
// cycles per second) and amplitude a.
double MeasuredMagnitude(LadderFilter& f, double hz, double a) {
    const double omega = 2.0 * kPi * hz / kRate;
    for (int n = 0; n < 88200; ++n)
        f.Process(a * std::sin(omega * n), 0);
    std::complex<double> sum = 0.0;
    for (int n = 0; n < 44100; ++n)
        sum += f.Process(a * std::sin(omega * n), 0) * std::polar(1.0, -omega * n);
    return 2.0 * std::abs(sum) / 44100.0 / a;
}

} // namespace

TEST(LadderTables, HoldAngularCutoffAndResonanceCeilingPerPitch) {
    const auto tables = LadderTables::ForSampleRate(kRate);
    EXPECT_DOUBLE_EQ(tables->W(kA4), 2.0 * kPi * 440.0 / kRate);
    EXPECT_DOUBLE_EQ(tables->W(0), 2.0 * kPi * 8.176 / kRate);
    EXPECT_DOUBLE_EQ(tables->W(kMaxPitch), 2.0 * kPi * 19912.127 / kRate);
    EXPECT_EQ(tables->W(-5), tables->W(0));
    EXPECT_EQ(tables->W(kMaxPitch + 5), tables->W(kMaxPitch));

    // Ceiling 4.1 below 500 Hz, 4.005 above 2000 Hz, linear in Hz between.
    auto nearest = [](double hz) {
        int32_t best = 0;
        for (int32_t i = 0; i <= kMaxPitch; ++i)
            if (std::abs(PitchToHz(i) - hz) < std::abs(PitchToHz(best) - hz))
                best = i;
        return best;
    };
    EXPECT_EQ(tables->Kmax(nearest(400.0)), 4.1);
    EXPECT_EQ(tables->Kmax(nearest(3000.0)), 4.005);
    const int32_t mid = nearest(1250.0);
    const double slope = 0.095 / 1500.0;
    EXPECT_NEAR(tables->Kmax(mid), 4.0525, slope * std::abs(PitchToHz(mid) - 1250.0) + 1e-12);
}

TEST(LadderTables, OneSharedImmutableSetPerRate) {
    const auto a = LadderTables::ForSampleRate(48000.0);
    EXPECT_EQ(LadderTables::ForSampleRate(48000.0), a);
    EXPECT_EQ(a->SampleRate(), 48000.0);
    EXPECT_NE(LadderTables::ForSampleRate(96000.0), a);
    EXPECT_DOUBLE_EQ(a->W(kA4), 2.0 * kPi * 440.0 / 48000.0);
    for (double bad : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), HUGE_VAL})
        EXPECT_EQ(LadderTables::ForSampleRate(bad)->SampleRate(), 44100.0);

    std::vector<std::shared_ptr<const LadderTables>> seen(4);
    std::vector<std::thread> threads;
    for (auto& slot : seen)
        threads.emplace_back([&slot] { slot = LadderTables::ForSampleRate(22050.0); });
    for (auto& t : threads)
        t.join();
    for (const auto& s : seen)
        EXPECT_EQ(s, seen[0]);
}

TEST(LadderFilter, DcGainFollowsFeedbackAndOutputGain) {
    // Linear loop at DC: each stage passes 1, so the gain is
    // (2 - (2|r - 0.5|)^2) / (1 + 4.1 r): resonance 0.5 doubles the level
    // of the feedback-reduced pass band, 0 and 1 leave it as it is.
    for (double r : {0.0, 0.25, 0.5, 0.75, 0.9}) {
        LadderFilter f = Make(kA4, r);
        const double d = 2.0 * std::abs(r - 0.5);
        EXPECT_NEAR(SettledDcGain(f), (2.0 - d * d) / (1.0 + 4.1 * r), 1e-6) << r;
    }
    // A resonance change takes effect even where the pitch sits at the -1 below the
    // table, the value that also marks stale coefficients.
    LadderFilter f = Make(0, 0.0);
    f.Process(0.0, -1);
    f.SetResonance(0.5);
    double y = 0.0;
    for (int i = 0; i < 100000; ++i)
        y = f.Process(0.01, -1);
    EXPECT_NEAR(y / 0.01, 2.0 / (1.0 + 0.5 * 4.1), 1e-6);
}

TEST(LadderFilter, SineResponseIsTheBilinearFourPoleLowPass) {
    const double w = 2.0 * kPi * 440.0 / kRate;
    for (double r : {0.0, 0.5}) {
        double previous = 2.0;
        for (double hz : {55.0, 220.0, 440.0, 880.0, 3520.0, 14080.0}) {
            LadderFilter f = Make(kA4, r);
            const double measured = MeasuredMagnitude(f, hz, 0.01);
            const double expected =
                LadderMagnitude(w, 4.1 * r, r == 0.0 ? 1.0 : 2.0, 2.0 * kPi * hz / kRate);
            EXPECT_NEAR(measured, expected, 1e-4 + 1e-3 * expected) << r << " " << hz;
            if (r == 0.0) {
                EXPECT_LT(measured, previous) << hz; // low-pass: falls with frequency
                previous = measured;
            }
        }
    }
    // At its cutoff each stage is 3 dB down: 12 dB for the four.
    LadderFilter f = Make(kA4, 0.0);
    EXPECT_NEAR(MeasuredMagnitude(f, 440.0, 0.01), 0.25, 0.002);
    // A tone far above a low cutoff is gone; below a high cutoff it passes.
    LadderFilter low = Make(kA4 - 2 * 1536, 0.0), high = Make(kA4 + 4 * 1536, 0.0);
    EXPECT_LT(MeasuredMagnitude(low, 1000.0, 0.01), 1e-3);
    EXPECT_GT(MeasuredMagnitude(high, 1000.0, 0.01), 0.95);
}

TEST(LadderFilter, FullResonanceSelfOscillatesAtTheCutoff) {
    // Feedback 4.1 exceeds the loop's oscillation threshold of 4; the bilinear
    // stages put the oscillation at 2 atan(w / 2) radians per sample.
    for (int32_t pitch : {4000, kA4, 14000}) {
        LadderFilter f = Make(pitch, 1.0);
        for (int i = 0; i < 44100; ++i)
            f.Process(0.0, 0);
        int upward = 0;
        double previous = f.Process(0.0, 0), peak = 0.0;
        for (int i = 0; i < 441000; ++i) {
            const double y = f.Process(0.0, 0);
            upward += previous < 0.0 && y >= 0.0;
            previous = y;
            peak = std::max(peak, std::abs(y));
        }
        const double w = 2.0 * kPi * PitchToHz(pitch) / kRate;
        EXPECT_NEAR(upward / 10.0, std::atan(w / 2.0) * kRate / kPi, 0.5) << pitch;
        EXPECT_GT(peak, 0.1);
        EXPECT_LT(peak, 5.0);
    }
}

TEST(LadderFilter, CutoffGlidesOneUnitPerSampleOnlyWhileTheGateRuns) {
    LadderFilter f = Make(1000, 0.0);
    EXPECT_EQ(f.CurrentCutoff(), 1000);
    f.SetTargetCutoff(1500, true);
    EXPECT_EQ(f.CurrentCutoff(), 1000);
    for (int i = 0; i < 200; ++i)
        f.Process(0.0, 0);
    EXPECT_EQ(f.CurrentCutoff(), 1200);
    for (int i = 0; i < 400; ++i)
        f.Process(0.0, 0);
    EXPECT_EQ(f.CurrentCutoff(), 1500);
    f.SetTargetCutoff(1400, true);
    for (int i = 0; i < 30; ++i)
        f.Process(0.0, 0);
    EXPECT_EQ(f.CurrentCutoff(), 1470);
    f.CompleteGlide();
    EXPECT_EQ(f.CurrentCutoff(), 1400);
    f.SetTargetCutoff(1401, true);
    f.Process(0.0, 0);
    EXPECT_EQ(f.CurrentCutoff(), 1401);
    f.SetTargetCutoff(17280, false);
    EXPECT_EQ(f.CurrentCutoff(), 17280);

    // A new rate clears the cutoff but keeps the target and the glide.
    f.SetTargetCutoff(0, false);
    f.SetTargetCutoff(300, true);
    for (int i = 0; i < 100; ++i)
        f.Process(0.0, 0);
    EXPECT_EQ(f.CurrentCutoff(), 100);
    f.SetSampleRate(48000.0);
    EXPECT_EQ(f.CurrentCutoff(), 0);
    EXPECT_EQ(f.TargetCutoff(), 300);
    f.Process(0.0, 0);
    EXPECT_EQ(f.CurrentCutoff(), 1);
}

TEST(LadderFilter, PitchesBeyondTheTableHoldItsEndEntries) {
    struct Case {
        int32_t cutoff, offset, equivalent;
    };
    const int32_t maxInt = std::numeric_limits<int32_t>::max();
    const int32_t minInt = std::numeric_limits<int32_t>::min();
    for (const Case& c :
         {Case{17280, 5000, 17280}, Case{17000, maxInt, 17280}, Case{maxInt, maxInt, 17280},
          Case{0, -500, 0}, Case{0, minInt, 0}, Case{minInt, minInt, 0}, Case{8000, 832, kA4}}) {
        LadderFilter shifted = Make(c.cutoff, 0.7), plain = Make(c.equivalent, 0.7);
        for (int n = 0; n < 2000; ++n) {
            const double x = std::sin(0.05 * n) + ((n / 37) % 2 ? 0.5 : -0.5);
            ASSERT_EQ(shifted.Process(x, c.offset), plain.Process(x, 0)) << c.cutoff;
        }
    }
}

TEST(LadderFilter, BadSamplesAreDroppedWithoutDisturbingTheState) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double bad : {nan, HUGE_VAL, -HUGE_VAL, DBL_MAX}) {
        LadderFilter hit = Make(kA4, 0.8), clean = Make(kA4, 0.8);
        for (int n = 0; n < 3000; ++n) {
            const double x = std::sin(0.03 * n);
            const double a = hit.Process(n == 1000 ? bad : x, 0);
            const double b = clean.Process(n == 1000 ? 0.0 : x, 0);
            ASSERT_TRUE(std::isfinite(a)) << n;
            ASSERT_NEAR(a, b, 1e-9) << n;
        }
    }
}

TEST(LadderFilter, ExtremeInputsAndSettingsStayFinite) {
    for (double rate : {1.0, 8000.0, kRate, 1e7, 0.0, std::numeric_limits<double>::quiet_NaN()}) {
        for (int32_t pitch : {0, kA4, kMaxPitch}) {
            for (double amplitude : {1.0, 1e6, 1e300}) {
                LadderFilter f = Make(pitch, 1.0, rate);
                for (int n = 0; n < 20000; ++n) {
                    const double y = f.Process((n / 7) % 2 ? amplitude : -amplitude, 0);
                    ASSERT_TRUE(std::isfinite(y)) << rate << " " << pitch << " " << amplitude;
                    // Saturated feedback: no growth beyond a few times the input.
                    ASSERT_LT(std::abs(y), 10.0 * amplitude);
                }
            }
        }
    }
    LadderFilter f = Make(kA4, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(f.Resonance(), 0.0);
    f.SetResonance(7.0);
    EXPECT_EQ(f.Resonance(), 1.0);
    // Usable before any rate is set: 44100 Hz tables.
    LadderFilter fresh;
    EXPECT_EQ(fresh.SampleRate(), 44100.0);
    fresh.SetTargetCutoff(kA4, false);
    EXPECT_NEAR(SettledDcGain(fresh), 1.0, 1e-6);
}

} // namespace halvane
