#include "sound/LFO.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace halvane {

namespace {

struct Outputs {
    double bipolar, unipolar, unipolar2, unipolar3;
};

std::vector<Outputs> Collect(LFO& lfo, int steps) {
    std::vector<Outputs> out;
    for (int n = 0; n < steps; ++n) {
        lfo.Step();
        out.push_back({lfo.Bipolar(), lfo.Unipolar(), lfo.Unipolar2(), lfo.Unipolar3()});
    }
    return out;
}

TEST(LFO, FirstStepReportsTheStartingPhases) {
    LFO lfo;
    EXPECT_EQ(lfo.Phase(), 0.0);
    EXPECT_DOUBLE_EQ(lfo.Phase2(), 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(lfo.Phase3(), 4.0 / 3.0);
    EXPECT_EQ(lfo.Unipolar(), 0.0);

    lfo.SetIncrement(0.1);
    lfo.Step();
    // Outputs come from the phases before the step, the third one still unwrapped.
    EXPECT_EQ(lfo.Bipolar(), -1.0);
    EXPECT_EQ(lfo.Unipolar(), 0.0);
    EXPECT_DOUBLE_EQ(lfo.Unipolar2(), 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(lfo.Unipolar3(), 4.0 / 3.0);
    EXPECT_DOUBLE_EQ(lfo.Phase(), 0.1);
    EXPECT_DOUBLE_EQ(lfo.Phase2(), 0.1 + 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(lfo.Phase3(), 0.1 + 4.0 / 3.0 - 2.0);
}

TEST(LFO, PhaseReachingOneWrapsToMinusOne) {
    LFO lfo;
    lfo.SetIncrement(0.5);
    const double expected[] = {0.5, -1.0, -0.5, 0.0, 0.5, -1.0};
    for (double phase : expected) {
        lfo.Step();
        EXPECT_DOUBLE_EQ(lfo.Phase(), phase);
    }
}

TEST(LFO, TrianglesOverOneCycleWithThirdCycleOffsets) {
    // 2 / increment steps per cycle.
    const int period = 300;
    LFO lfo;
    lfo.SetIncrement(2.0 / period);
    lfo.Step(); // past the unwrapped starting third phase
    const std::vector<Outputs> out = Collect(lfo, 3 * period);

    for (int n = 0; n + period < static_cast<int>(out.size()); ++n) {
        ASSERT_NEAR(out[n + period].unipolar, out[n].unipolar, 1e-9) << n;
        EXPECT_NEAR(out[n].bipolar, 2.0 * out[n].unipolar - 1.0, 1e-12);
        // A triangle: every step moves by the increment, up or down.
        EXPECT_NEAR(std::fabs(out[n + 1].unipolar - out[n].unipolar), 2.0 / period, 1e-9) << n;
        // 120 and 240 degrees ahead: a third and two thirds of a cycle earlier.
        EXPECT_NEAR(out[n + period / 3].unipolar, out[n].unipolar2, 1e-9) << n;
        EXPECT_NEAR(out[n + 2 * period / 3].unipolar, out[n].unipolar3, 1e-9) << n;
    }
    double low = 2.0;
    double high = -2.0;
    for (int n = 0; n < period; ++n) {
        low = std::fmin(low, out[n].bipolar);
        high = std::fmax(high, out[n].bipolar);
    }
    EXPECT_NEAR(low, -1.0, 1e-9);
    EXPECT_NEAR(high, 1.0, 1e-9);
}

TEST(LFO, AbsurdIncrementsKeepPhasesBoundedAndOutputsFinite) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double increment : {nan, inf, -inf, 2.0, 3.7, 1e9, 1e300, -0.01, -5.3, -1e300}) {
        SCOPED_TRACE(increment);
        LFO lfo;
        lfo.SetIncrement(increment);
        for (int n = 0; n < 1000; ++n) {
            lfo.Step();
            ASSERT_TRUE(lfo.Phase() >= -1.0 && lfo.Phase() < 1.0) << lfo.Phase();
            ASSERT_TRUE(lfo.Phase2() >= -1.0 && lfo.Phase2() < 1.0) << lfo.Phase2();
            ASSERT_TRUE(lfo.Phase3() >= -1.0 && lfo.Phase3() < 1.0) << lfo.Phase3();
            if (n > 0) {
                ASSERT_TRUE(lfo.Bipolar() >= -1.0 && lfo.Bipolar() <= 1.0);
                ASSERT_TRUE(lfo.Unipolar3() >= 0.0 && lfo.Unipolar3() <= 1.0);
            }
        }
    }
    // A non-finite increment leaves the oscillator standing rather than lost.
    LFO lfo;
    lfo.SetIncrement(nan);
    EXPECT_EQ(lfo.Increment(), 0.0);
}

} // namespace

} // namespace halvane
