#include "engine/PhaseIncrementTable.h"
#include "engine/PitchToHz.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <thread>
#include <vector>

namespace halvane {

namespace {

constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

// Exact truncate(hz * 2^28 / rate) for a frequency in thousandths of a Hz.
int64_t ExactIncrement(int64_t milliHz, int64_t rate) {
    return (milliHz << 28) / (rate * 1000);
}

TEST(PitchToHz, TablesAreRoundedEqualTemperament) {
    for (int32_t s = 0; s < kPitchTableSize; ++s) {
        EXPECT_LE(std::fabs(NoteHz(s) - 440.0 * std::pow(2.0, (s - 69) / 12.0)), 0.0005 + 1e-9);
        EXPECT_NEAR(NoteHz(s) * 1000.0, std::round(NoteHz(s) * 1000.0), 1e-6) << s;
        EXPECT_LE(std::fabs(SubNoteHz(s) - 8.176 * std::pow(2.0, -s / 12.0)), 0.5e-10 + 1e-15);
        if (s < kPitchTableSize - 1) {
            EXPECT_EQ(PitchToHz(128 * s), NoteHz(s)) << s;
            EXPECT_EQ(PitchToHz(-128 * s), SubNoteHz(s)) << s;
        }
    }
    const double notes[][2] = {{0, 8.176},  {1, 8.662},       {2, 9.177},       {60, 261.626},
                               {69, 440.0}, {133, 17739.688}, {134, 18794.545}, {135, 19912.127}};
    for (const auto& note : notes)
        EXPECT_EQ(NoteHz(static_cast<int32_t>(note[0])), note[1]);
    EXPECT_EQ(SubNoteHz(0), 8.176);
    EXPECT_EQ(SubNoteHz(1), 7.7171163805);
    EXPECT_EQ(SubNoteHz(135), 0.0033570162);
}

TEST(PitchToHz, InterpolatesInHzAndHoldsAtBothEnds) {
    EXPECT_EQ(PitchToHz(8832), 440.0);
    EXPECT_EQ(PitchToHz(7680), 261.626);
    EXPECT_NEAR(PitchToHz(64), 8.419, 1e-12);
    EXPECT_NEAR(PitchToHz(17279), 18794.545 + (19912.127 - 18794.545) * 127.0 / 128.0, 1e-9);
    EXPECT_NEAR(PitchToHz(-64), 8.176 + (7.7171163805 - 8.176) * 0.5, 1e-12);
    EXPECT_NEAR(PitchToHz(-17279), 0.0035566347 + (0.0033570162 - 0.0035566347) * 127.0 / 128.0,
                1e-15);
    for (int32_t p : {kMaxPitch, kMaxPitch + 1, kIntMax})
        EXPECT_EQ(PitchToHz(p), 19912.127) << p;
    for (int32_t p : {-kMaxPitch, -kMaxPitch - 1, kIntMin})
        EXPECT_EQ(PitchToHz(p), 0.0033570162) << p;

    // Every unit of 1/128 semitone raises the frequency, by about that interval.
    const double unit = std::pow(2.0, 1.0 / (12.0 * 128.0)) - 1.0;
    for (int32_t p = -kMaxPitch + 1; p <= kMaxPitch; ++p) {
        const double ratio = PitchToHz(p) / PitchToHz(p - 1) - 1.0;
        ASSERT_GT(ratio, 0.0) << p;
        ASSERT_LT(ratio, unit * 1.1) << p;
    }
}

TEST(PhaseIncrementTable, EntriesAreTruncatedTwentyEightBitIncrements) {
    const auto table = PhaseIncrementTable::ForSampleRate(44100.0);
    EXPECT_EQ(table->SampleRate(), 44100.0);
    EXPECT_EQ((*table)[0], ExactIncrement(8176, 44100));
    EXPECT_EQ((*table)[7680], ExactIncrement(261626, 44100));
    EXPECT_EQ((*table)[8832], ExactIncrement(440000, 44100));
    EXPECT_EQ((*table)[8832 + 32], ExactIncrement(446541, 44100)); // a quarter to 466.164
    EXPECT_EQ((*table)[kMaxPitch], ExactIncrement(19912127, 44100));
    EXPECT_EQ((*table)[-1], (*table)[0]);
    EXPECT_EQ((*table)[kIntMin], (*table)[0]);
    EXPECT_EQ((*table)[kMaxPitch + 1], (*table)[kMaxPitch]);
    EXPECT_EQ((*table)[kIntMax], (*table)[kMaxPitch]);
}

TEST(PhaseIncrementTable, OneImmutableTablePerRateSharedAcrossThreads) {
    const auto a = PhaseIncrementTable::ForSampleRate(44100.0);
    EXPECT_EQ(a.get(), PhaseIncrementTable::ForSampleRate(44100.0).get());
    // Another instance moving to another rate never changes the table in use here.
    const auto b = PhaseIncrementTable::ForSampleRate(96000.0);
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ((*b)[8832], ExactIncrement(440000, 96000));
    EXPECT_EQ((*a)[8832], ExactIncrement(440000, 44100));

    const int64_t rates[] = {44100, 48000, 88200, 96000};
    std::vector<int> wrong(4, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < 4; ++t) {
        threads.emplace_back([t, &rates, &wrong] {
            for (std::size_t n = 0; n < 50; ++n) {
                const int64_t rate = rates[(t + n) % 4];
                const auto table = PhaseIncrementTable::ForSampleRate(static_cast<double>(rate));
                wrong[t] += (*table)[8832] != ExactIncrement(440000, rate);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

TEST(PhaseIncrementTable, AbsurdSampleRatesGiveValidIncrements) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double rate : {0.0, -44100.0, nan, inf}) { // not a rate: standing oscillators
        const auto table = PhaseIncrementTable::ForSampleRate(rate);
        EXPECT_EQ(table->SampleRate(), 0.0) << rate;
        EXPECT_EQ((*table)[0], 0);
        EXPECT_EQ((*table)[kMaxPitch], 0);
    }
    for (double rate : {1e-300, 1.0, 10e6, 1e300}) {
        const auto table = PhaseIncrementTable::ForSampleRate(rate);
        for (int32_t i = 1; i <= kMaxPitch; ++i)
            ASSERT_GE((*table)[i], (*table)[i - 1]) << rate << " " << i;
        ASSERT_GE((*table)[0], 0);
    }
    // 8.176 Hz * 2^28 at 1 Hz is beyond 2^31: held at the largest increment.
    EXPECT_EQ((*PhaseIncrementTable::ForSampleRate(1.0))[0], kIntMax);
    EXPECT_EQ((*PhaseIncrementTable::ForSampleRate(10e6))[kMaxPitch],
              ExactIncrement(19912127, 10000000));
}

} // namespace

} // namespace halvane
