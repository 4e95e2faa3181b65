#include "engine/SawTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

namespace halvane {

namespace {

constexpr int kN = SawTables::kSize;
const double kPi = std::acos(-1.0);

// The defining sum of sines, term by term. j * k is reduced modulo the period
// before the sine: the same value in exact arithmetic, and it keeps the reference
// itself accurate to about 1e-15.
class DirectSaw {
public:
    DirectSaw() : sine_(kN) {
        for (int n = 0; n < kN; ++n)
            sine_[static_cast<std::size_t>(n)] = std::sin(2.0 * kPi * n / kN);
    }
    double Value(int harmonics, int k) const {
        double sum = 0.5 * Sine(k);
        for (int j = 2; j <= harmonics; ++j)
            sum += (0.54 + 0.46 * std::cos((j - 1) * (kPi / 2) / (harmonics - 1))) * 0.5 / j *
                   Sine(j * k);
        return sum;
    }

private:
    double Sine(int n) const { return sine_[static_cast<std::size_t>(n % kN)]; }
    std::vector<double> sine_;
};

TEST(SawTables, HalfAnOctaveFewerHarmonicsPerLevelInOneBlock) {
    const int expected[SawTables::kLevels] = {2048, 1448, 1024, 724, 512, 362, 256, 181,
                                              128,  91,   64,   45,  32,  23,  16,  11,
                                              8,    6,    4,    3,   2,   1};
    const SawTables& tables = SawTables::Instance();
    for (int i = 0; i < SawTables::kLevels; ++i) {
        EXPECT_EQ(SawTables::Harmonics(i), expected[i]) << i;
        EXPECT_EQ(tables.Level(i), tables.Level(0) + static_cast<std::ptrdiff_t>(i) * kN);
    }
}

TEST(SawTables, EveryLevelIsTheTaperedSumOfSines) {
    const SawTables& tables = SawTables::Instance();
    const DirectSaw direct;
    for (int level = 0; level < SawTables::kLevels; ++level) {
        const double* table = tables.Level(level);
        const int harmonics = SawTables::Harmonics(level);
        // Whole periods of a few levels, a spread of entries of all the others.
        const bool whole = level == 0 || level == 3 || level == 10 || level == 21;
        for (int k = 0; k < kN; k += whole ? 1 : 37)
            ASSERT_NEAR(table[k], direct.Value(harmonics, k), 1e-12) << level << " " << k;
        for (int k : {1, 2, kN / 2 - 1, kN / 2 + 1, kN - 1})
            ASSERT_NEAR(table[k], direct.Value(harmonics, k), 1e-12) << level << " " << k;
    }
}

TEST(SawTables, RichestLevelIsAFallingRamp) {
    const double* table = SawTables::Instance().Level(0);
    // Away from the jump it follows (pi - theta) / 4 closely.
    for (int k = 256; k <= kN - 256; ++k)
        ASSERT_NEAR(table[k], (kPi - 2.0 * kPi * k / kN) / 4.0, 1e-3) << k;
    // Odd about the jump, silent at the jump and at half period, highest just
    // after the start; falling throughout apart from the band limit's small ripple.
    EXPECT_NEAR(table[0], 0.0, 1e-12);
    EXPECT_NEAR(table[kN / 2], 0.0, 1e-12);
    for (int k = 1; k < kN / 2; ++k)
        ASSERT_NEAR(table[k], -table[kN - k], 1e-12) << k;
    EXPECT_GT(table[1], 0.75);
    for (int k = 16; k < kN - 32; ++k)
        ASSERT_LT(table[k + 16], table[k]) << k;
}

} // namespace

} // namespace halvane
