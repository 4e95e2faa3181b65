#include "sound/Ensemble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace halvane {

namespace {

// Control block at 44.1 kHz: whole-part(44100) / 1000 samples.
constexpr int kBlock = 44;

struct Frame {
    double left, right;
};

// One control update, then one block of samples from next().
template <class Source> void RunBlock(Ensemble& e, Source next, std::vector<Frame>* out) {
    e.ControlUpdate();
    for (int n = 0; n < kBlock; ++n) {
        double left = 0.0;
        double right = 0.0;
        e.Process(next(), left, right);
        if (out)
            out->push_back({left, right});
    }
}

double Sum(const std::vector<Frame>& f, int from, int to, bool left) {
    double s = 0.0;
    for (int n = from; n < to; ++n)
        s += left ? f[n].left : f[n].right;
    return s;
}

TEST(Ensemble, LinesHoldTwentyMillisecondsAndKeepTheLfosAcrossPrepare) {
    Ensemble e;
    EXPECT_EQ(e.Length(), 883);
    for (int k = 0; k < Ensemble::kLines; ++k) {
        EXPECT_EQ(e.Delay(k), 0.0);
        EXPECT_EQ(e.Depth(k), 0.0);
    }
    e.SetLfo1Increment(0.01);
    e.SetLfo2Increment(0.02);
    e.SetDepth(0, 0.015);
    for (int n = 0; n < 10; ++n)
        e.ControlUpdate();
    const double phase1 = e.Lfo1().Phase();
    const double phase2 = e.Lfo2().Phase();
    e.Prepare(48000.0);
    EXPECT_EQ(e.Length(), 961);
    EXPECT_EQ(e.Depth(0), 0.0);
    EXPECT_EQ(e.Delay(0), 0.0);
    EXPECT_EQ(e.Lfo1().Phase(), phase1);
    EXPECT_EQ(e.Lfo2().Phase(), phase2);
}

TEST(Ensemble, WithoutDepthTheDelaysSettleAtOneMillisecond) {
    Ensemble e;
    e.SetLfo1Increment(0.00056);
    e.SetLfo2Increment(0.00056);
    const double slope = 1e-3;
    int n = 0;
    auto ramp = [&n, slope] { return slope * n++; };
    for (int block = 0; block < 30; ++block)
        RunBlock(e, ramp, nullptr);
    for (int k = 0; k < Ensemble::kLines; ++k)
        EXPECT_NEAR(e.Delay(k), 44.1, 1e-6);

    // On a ramp the linear interpolation is exact: each tap lies (delay - 1) samples
    // back, and the mono mix is (x + 3 tap) / 2 on both sides.
    for (int block = 0; block < 5; ++block) {
        e.ControlUpdate();
        for (int i = 0; i < kBlock; ++i) {
            const double x = ramp();
            const double tap = x - (e.Delay(0) - 1.0) * slope;
            double left = 0.0;
            double right = 0.0;
            e.Process(x, left, right);
            EXPECT_NEAR(left, (x + 3.0 * tap) * 0.5, 1e-9);
            EXPECT_EQ(left, right);
        }
    }
}

TEST(Ensemble, StereoMixWeighsTheInputAQuarterAndSharesLineThree) {
    for (bool stereo : {false, true}) {
        SCOPED_TRACE(stereo ? "stereo" : "mono");
        Ensemble e;
        // Standing LFOs; only line 2 is pushed away from 1 ms.
        e.SetDepth(1, 0.02);
        e.SetStereo(stereo);
        for (int block = 0; block < 30; ++block)
            RunBlock(
                e, [] { return 0.0; }, nullptr);
        EXPECT_NEAR(e.Delay(0), 44.1, 1e-6);
        EXPECT_NEAR(e.Delay(2), 44.1, 1e-6);
        const int far = static_cast<int>(e.Delay(1));
        ASSERT_GT(far, 100);
        ASSERT_LT(far, e.Length() - 20);

        int n = 0;
        std::vector<Frame> out;
        for (int block = 0; block < 25; ++block)
            RunBlock(
                e, [&n] { return n++ == 0 ? 1.0 : 0.0; }, &out);
        const double direct = stereo ? 0.25 : 0.5;
        EXPECT_NEAR(out[0].left, direct, 1e-12);
        EXPECT_NEAR(out[0].right, direct, 1e-12);
        // Around 1 ms: lines 1 and 3 on the left, lines 2 and 3 on the right in mono.
        EXPECT_NEAR(Sum(out, 30, 60, true), stereo ? 0.75 : 1.0, 1e-9);
        EXPECT_NEAR(Sum(out, 30, 60, false), stereo ? 0.25 : 1.0, 1e-9);
        // Line 2 alone, later: right side only in stereo.
        EXPECT_NEAR(Sum(out, far - 15, far + 15, true), stereo ? 0.0 : 0.5, 1e-9);
        EXPECT_NEAR(Sum(out, far - 15, far + 15, false), 0.5, 1e-9);
    }
}

TEST(Ensemble, DefaultDepthSwingsLineOneBetweenOneAndFourPointNineMilliseconds) {
    Ensemble e;
    e.SetLfo1Increment(0.00056);
    e.SetLfo2Increment(0.00056);
    for (int k = 0; k < Ensemble::kLines; ++k)
        e.SetDepth(k, 0.015);
    const double shortest = 0.001 * 44100.0;
    const double longest = (13.0 * 0.015 * 0.02 + 0.001) * 44100.0;
    double low[Ensemble::kLines] = {1e9, 1e9, 1e9};
    double high[Ensemble::kLines] = {0.0, 0.0, 0.0};
    // A little over one LFO cycle of 2 / 0.00056 ticks, after the first glide.
    for (int block = 0; block < 3800; ++block) {
        RunBlock(
            e, [] { return 0.0; }, nullptr);
        if (block < 10)
            continue;
        for (int k = 0; k < Ensemble::kLines; ++k) {
            low[k] = std::fmin(low[k], e.Delay(k));
            high[k] = std::fmax(high[k], e.Delay(k));
        }
    }
    EXPECT_NEAR(low[0], shortest, 0.5);
    EXPECT_NEAR(high[0], longest, 0.5);
    for (int k = 1; k < Ensemble::kLines; ++k) {
        EXPECT_GE(low[k], shortest - 0.5);
        EXPECT_LE(high[k], longest + 0.5);
    }
}

TEST(Ensemble, LinesFollowTheLfosAtSpreadPhases) {
    // One LFO moving, the other standing (phases 0, 2/3, -2/3: outputs 0, 2/3, 2/3).
    // Line 1 then traces the moving triangle, and lines 2 and 3 trace it a third or
    // two thirds of a cycle ahead, lifted by 12 x 2/3 or 2/3 of the depth when the
    // standing LFO is the second or the first.
    const int period = 300;
    const double depth = 0.03;
    const double samplesPerUnit = depth * 0.02 * 44100.0; // delay per unit of LFO sum
    for (bool secondMoves : {true, false}) {
        SCOPED_TRACE(secondMoves ? "second LFO moving" : "first LFO moving");
        Ensemble e;
        if (secondMoves)
            e.SetLfo2Increment(2.0 / period);
        else
            e.SetLfo1Increment(2.0 / period);
        for (int k = 0; k < Ensemble::kLines; ++k)
            e.SetDepth(k, depth);
        std::vector<double> delay[Ensemble::kLines];
        for (int block = 0; block < 50 + 2 * period; ++block) {
            RunBlock(
                e, [] { return 0.0; }, nullptr);
            if (block >= 50)
                for (int k = 0; k < Ensemble::kLines; ++k)
                    delay[k].push_back(e.Delay(k));
        }
        const double weight = secondMoves ? 12.0 : 1.0;
        const double lift = (secondMoves ? 1.0 : 12.0) * (2.0 / 3.0) * samplesPerUnit;
        const int ahead2 = secondMoves ? 2 * period / 3 : period / 3;
        const int ahead3 = secondMoves ? period / 3 : 2 * period / 3;
        double high = 0.0;
        for (int n = 0; n < period; ++n) {
            EXPECT_NEAR(delay[1][n], delay[0][n + ahead2] + lift, 1e-6) << n;
            EXPECT_NEAR(delay[2][n], delay[0][n + ahead3] + lift, 1e-6) << n;
            high = std::fmax(high, delay[0][n]);
        }
        EXPECT_NEAR(high, 44.1 + weight * samplesPerUnit, 0.05);
    }
}

TEST(Ensemble, AbsurdRatesDepthsAndInputsStayInsideTheLinesAndFinite) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double rates[] = {0.0, 1.0, 10.0, -5.0, nan, inf, 1e9, 44100.0};
    const double depths[] = {1e6, nan, -1.0, 0.05};
    for (double rate : rates) {
        for (double depth : depths) {
            SCOPED_TRACE(testing::Message() << "rate " << rate << " depth " << depth);
            Ensemble e;
            e.Prepare(rate);
            ASSERT_GE(e.Length(), 1);
            e.SetLfo1Increment(0.3);
            e.SetLfo2Increment(0.7);
            for (int k = 0; k < Ensemble::kLines; ++k)
                e.SetDepth(k, depth);
            e.SetStereo(depth < 0.0);
            const double inputs[] = {1.0, nan, inf, -inf, 1e300, -1e300, 0.5};
            int n = 0;
            // Samples before any control update first, with every delay still 0.
            for (int i = 0; i < 2 * e.Length() + 3 && i < 5000; ++i) {
                double left = 0.0;
                double right = 0.0;
                e.Process(std::sin(0.01 * i), left, right);
                ASSERT_TRUE(std::isfinite(left) && std::isfinite(right));
            }
            for (int block = 0; block < 100; ++block) {
                e.ControlUpdate();
                for (int i = 0; i < kBlock; ++i) {
                    double left = 0.0;
                    double right = 0.0;
                    e.Process(inputs[n++ % 7], left, right);
                    ASSERT_TRUE(std::isfinite(left) && std::isfinite(right));
                }
            }
        }
    }
}

} // namespace

} // namespace halvane
