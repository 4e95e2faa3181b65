#include "sound/TuningClient.h"

#include "engine/PitchToHz.h"
#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

namespace halvane {

namespace {

const char* const kMissingLibrary = "/nonexistent/folder/libMTS.so";

double EqualTemperedHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// The test's own handle on a fake tuning library: same state as the one the
// client binds, reached through the fake's control functions.
class FakeMts {
public:
    explicit FakeMts(const char* path) {
        EXPECT_TRUE(mLibrary.Open(path)) << path;
        mReset = Bind<void (*)()>("fake_mts_reset");
        mSetTable = Bind<void (*)(const double*)>("fake_mts_set_table");
        mSetMaster = Bind<void (*)(bool)>("fake_mts_set_master");
        mSetNullTable = Bind<void (*)(bool)>("fake_mts_set_null_table");
        mSetFilter = Bind<void (*)(int, bool)>("fake_mts_set_filter");
        mCounts = Bind<void (*)(int*, int*, int*)>("fake_mts_counts");
        mLastFilter = Bind<void (*)(int*, int*)>("fake_mts_last_filter");
        mReset();
    }

    void SetTable(const std::vector<double>& hz) { mSetTable(hz.data()); }
    void SetMaster(bool present) { mSetMaster(present); }
    void SetNullTable(bool null) { mSetNullTable(null); }
    void SetFilter(int note, bool filtered) { mSetFilter(note, filtered); }
    int Registered() const { return Count(0); }
    int Deregistered() const { return Count(1); }
    int Unexpected() const { return Count(2); }
    int LastFilterChannel() const {
        int note = 0, channel = 0;
        mLastFilter(&note, &channel);
        return channel;
    }
    int LastFilterNote() const {
        int note = 0, channel = 0;
        mLastFilter(&note, &channel);
        return note;
    }

private:
    template <typename Fn> Fn Bind(const char* name) {
        void* symbol = mLibrary.Symbol(name);
        EXPECT_NE(symbol, nullptr) << name;
        return reinterpret_cast<Fn>(symbol);
    }
    int Count(int which) const {
        int counts[3] = {};
        mCounts(&counts[0], &counts[1], &counts[2]);
        return counts[which];
    }

    DynamicLibrary mLibrary;
    void (*mReset)() = nullptr;
    void (*mSetTable)(const double*) = nullptr;
    void (*mSetMaster)(bool) = nullptr;
    void (*mSetNullTable)(bool) = nullptr;
    void (*mSetFilter)(int, bool) = nullptr;
    void (*mCounts)(int*, int*, int*) = nullptr;
    void (*mLastFilter)(int*, int*) = nullptr;
};

std::vector<double> EqualTemperedTable() {
    std::vector<double> table(128);
    for (int n = 0; n < 128; ++n)
        table[n] = EqualTemperedHz(n);
    return table;
}

// The reachable pitch whose frequency lies closest to f, by exhaustive scan.
int32_t ClosestPitch(double f) {
    int32_t best = 4;
    for (int32_t p = 4; p <= 17276; ++p) {
        if (std::fabs(PitchToHz(p) - f) < std::fabs(PitchToHz(best) - f))
            best = p;
    }
    return best;
}

// The halving steps are truncated (135 is followed by 67 + 33 + ... + 1 = 131),
// so the search can end up to 4 units away from the closest pitch, never more.
constexpr int32_t kSearchSlack = 4;

// The search lands near the closest pitch, and that pitch's frequency lies
// within the slack's width of f.
void ExpectMatches(int32_t pitch, double f) {
    EXPECT_LE(std::abs(pitch - ClosestPitch(f)), kSearchSlack) << "f = " << f;
    const double unit = PitchToHz(pitch + 1) - PitchToHz(pitch);
    EXPECT_LE(std::fabs(PitchToHz(pitch) - f), (kSearchSlack + 1) * unit) << "f = " << f;
}

class TuningClientTest : public ::testing::Test {
protected:
    void Load(const char* path) { ASSERT_TRUE(global.Load({path})); }
    mtsclientglobal global;
};

} // namespace

TEST(DynamicLibraryTest, OpensBindsAndCloses) {
    DynamicLibrary library;
    EXPECT_FALSE(library.IsOpen());
    EXPECT_EQ(library.Symbol("MTS_HasMaster"), nullptr);
    EXPECT_FALSE(library.Open(kMissingLibrary));
    EXPECT_FALSE(library.Open(""));
    EXPECT_FALSE(library.IsOpen());

    ASSERT_TRUE(library.Open(FAKE_MTS_PARTIAL_LIBRARY));
    EXPECT_NE(library.Symbol("MTS_HasMaster"), nullptr);
    EXPECT_EQ(library.Symbol("MTS_RegisterClient"), nullptr);
    EXPECT_EQ(library.Symbol(nullptr), nullptr);
    // Opening another library replaces the first.
    ASSERT_TRUE(library.Open(FAKE_MTS_LIBRARY));
    EXPECT_NE(library.Symbol("MTS_RegisterClient"), nullptr);
    library.Close();
    EXPECT_FALSE(library.IsOpen());
    EXPECT_EQ(library.Symbol("MTS_RegisterClient"), nullptr);
}

TEST_F(TuningClientTest, EqualTemperedMasterMatchesTheNoteGrid) {
    FakeMts fake(FAKE_MTS_LIBRARY);
    Load(FAKE_MTS_LIBRARY);
    TuningClient client(global);
    ASSERT_TRUE(client.HasMaster());
    EXPECT_STREQ(client.ScaleName(), "12-TET");

    EXPECT_EQ(client.NoteToPitch(69), 8832);
    EXPECT_EQ(client.NoteToPitch(60), 7680);
    EXPECT_EQ(client.NoteToPitch(127), 16256);
    // 8.1758 Hz lies just under the lowest table frequency and the search
    // cannot go below 4.
    EXPECT_EQ(client.NoteToPitch(0), 4);
    for (int n = 1; n < 128; ++n)
        EXPECT_NEAR(client.NoteToPitch(n), n * 128, kSearchSlack) << "note " << n;
}

TEST_F(TuningClientTest, RetunedTableIsFoundOnThePitchScale) {
    FakeMts fake(FAKE_MTS_LIBRARY);
    std::vector<double> table(128);
    for (int n = 0; n < 128; ++n) // quarter tones around A = 432 Hz
        table[n] = 432.0 * std::pow(2.0, (n - 69) / 24.0);
    fake.SetTable(table);
    Load(FAKE_MTS_LIBRARY);
    TuningClient client(global);

    // 432 Hz between 415.305 (note 68) and 440 Hz (note 69), linearly in Hz.
    const double expected = 68 * 128 + (432.0 - 415.305) / (440.0 - 415.305) * 128.0;
    EXPECT_NEAR(client.NoteToPitch(69), expected, kSearchSlack);
    for (int n : {0, 5, 30, 45, 60, 69, 70, 90, 110, 127})
        ExpectMatches(client.NoteToPitch(n), table[n]);

    // The library updates its table in place; the client sees it at once.
    table[69] = 880.0;
    fake.SetTable(table);
    EXPECT_NEAR(client.NoteToPitch(69), 81 * 128, kSearchSlack);
}

TEST_F(TuningClientTest, NotesOutsideTheMidiRangeFoldIntoIt) {
    FakeMts fake(FAKE_MTS_LIBRARY);
    Load(FAKE_MTS_LIBRARY);
    TuningClient client(global);
    EXPECT_EQ(client.NoteToPitch(69 + 128), 8832);
    EXPECT_EQ(client.NoteToPitch(69 - 128), 8832);
    EXPECT_EQ(client.NoteToPitch(INT_MAX), client.NoteToPitch(127));
    EXPECT_EQ(client.NoteToPitch(INT_MIN), client.NoteToPitch(0));

    fake.SetMaster(false);
    EXPECT_EQ(client.NoteToPitch(-1), 127 * 128);
    EXPECT_EQ(client.NoteToPitch(INT_MAX), 127 * 128);
    EXPECT_EQ(client.NoteToPitch(INT_MIN), 0);
}

TEST_F(TuningClientTest, SearchIsMonotonicAndBoundedOverAnyFrequency) {
    FakeMts fake(FAKE_MTS_LIBRARY);
    Load(FAKE_MTS_LIBRARY);
    TuningClient client(global);
    std::vector<double> table = EqualTemperedTable();
    int32_t previous = 0;
    for (int i = 0; i <= 300; ++i) {
        table[0] = std::pow(10.0, -3.0 + 9.0 * i / 300.0); // 1 mHz .. 1 MHz
        fake.SetTable(table);
        const int32_t pitch = client.NoteToPitch(0);
        EXPECT_GE(pitch, 4);
        EXPECT_LE(pitch, 17276);
        EXPECT_GE(pitch, previous) << "f = " << table[0];
        previous = pitch;
    }
    EXPECT_EQ(previous, 17276);
}

TEST_F(TuningClientTest, BrokenTableEntriesStillGiveAPlayablePitch) {
    FakeMts fake(FAKE_MTS_LIBRARY);
    std::vector<double> table = EqualTemperedTable();
    const double inf = std::numeric_limits<double>::infinity();
    table[60] = std::numeric_limits<double>::quiet_NaN();
    table[61] = 0.0;
    table[62] = -440.0;
    table[63] = inf;
    table[64] = -inf;
    table[65] = 1e30;
    table[66] = 1e-30;
    table[67] = std::numeric_limits<double>::denorm_min();
    table[68] = -std::numeric_limits<double>::quiet_NaN();
    fake.SetTable(table);
    Load(FAKE_MTS_LIBRARY);
    TuningClient client(global);

    for (int n : {60, 61, 62, 63, 64, 68})
        EXPECT_EQ(client.NoteToPitch(n), n * 128) << "note " << n;
    EXPECT_EQ(client.NoteToPitch(65), 17276);
    EXPECT_EQ(client.NoteToPitch(66), 4);
    EXPECT_EQ(client.NoteToPitch(67), 4);
    EXPECT_EQ(client.NoteToPitch(69), 8832); // neighbours unaffected
}

TEST_F(TuningClientTest, FilteredNotesAreReportedOnlyWhileAMasterIsThere) {
    FakeMts fake(FAKE_MTS_LIBRARY);
    fake.SetFilter(61, true);
    Load(FAKE_MTS_LIBRARY);
    TuningClient client(global);

    EXPECT_TRUE(client.ShouldFilterNote(61));
    EXPECT_EQ(fake.LastFilterNote(), 61);
    EXPECT_EQ(fake.LastFilterChannel(), -1); // every channel
    EXPECT_FALSE(client.ShouldFilterNote(60));
    EXPECT_FALSE(client.ShouldFilterNote(62));
    EXPECT_TRUE(client.ShouldFilterNote(61 + 128));
    EXPECT_TRUE(client.ShouldFilterNote(61 - 128));
    EXPECT_FALSE(client.ShouldFilterNote(INT_MIN));
    EXPECT_EQ(fake.LastFilterNote(), 0);

    fake.SetMaster(false);
    EXPECT_FALSE(client.ShouldFilterNote(61));
    fake.SetMaster(true);
    EXPECT_TRUE(client.ShouldFilterNote(61));
}

TEST_F(TuningClientTest, MasterGoingAwayReturnsToEqualTemperament) {
    FakeMts fake(FAKE_MTS_LIBRARY);
    std::vector<double> table(128, 1000.0);
    fake.SetTable(table);
    Load(FAKE_MTS_LIBRARY);
    TuningClient client(global);
    ASSERT_TRUE(client.HasMaster());
    const int32_t retuned = client.NoteToPitch(69);
    ASSERT_NE(retuned, 8832);

    fake.SetMaster(false);
    EXPECT_FALSE(client.HasMaster());
    for (int n : {0, 1, 60, 69, 127})
        EXPECT_EQ(client.NoteToPitch(n), n * 128);

    fake.SetMaster(true);
    EXPECT_EQ(client.NoteToPitch(69), retuned);

    global.Release();
    EXPECT_FALSE(client.HasMaster());
    EXPECT_EQ(client.NoteToPitch(69), 8832);
}

TEST_F(TuningClientTest, NullTableMeansNoMaster) {
    FakeMts fake(FAKE_MTS_LIBRARY);
    fake.SetNullTable(true);
    fake.SetFilter(60, true);
    Load(FAKE_MTS_LIBRARY);
    TuningClient client(global);
    EXPECT_FALSE(client.HasMaster());
    EXPECT_EQ(client.NoteToPitch(0), 0);
    EXPECT_EQ(client.NoteToPitch(69), 8832);
    EXPECT_FALSE(client.ShouldFilterNote(60));
}

TEST_F(TuningClientTest, MissingLibraryPlaysEqualTemperament) {
    EXPECT_FALSE(global.Load({kMissingLibrary}));
    EXPECT_FALSE(global.Load({}));
    EXPECT_FALSE(global.IsLoaded());
    TuningClient client(global);
    EXPECT_FALSE(client.HasMaster());
    EXPECT_FALSE(client.ShouldFilterNote(60));
    EXPECT_EQ(client.NoteToPitch(0), 0);
    EXPECT_EQ(client.NoteToPitch(69), 8832);
    EXPECT_EQ(client.NoteToPitch(127), 16256);
    EXPECT_STREQ(client.ScaleName(), "12-TET");
    EXPECT_NEAR(client.LocalFrequency(69), 440.0, 1e-12);
    EXPECT_NEAR(client.LocalFrequency(57), 220.0, 1e-12);
    for (int channel = 0; channel < kTuningChannels; ++channel)
        EXPECT_EQ(global.ChannelTable(channel), nullptr);
}

TEST_F(TuningClientTest, LaterPathsAreTriedWhenEarlierOnesFail) {
    FakeMts fake(FAKE_MTS_LIBRARY);
    ASSERT_TRUE(global.Load({kMissingLibrary, FAKE_MTS_LIBRARY, FAKE_MTS_PARTIAL_LIBRARY}));
    TuningClient client(global);
    EXPECT_EQ(fake.Registered(), 1); // bound to the complete library, the first that loads
    for (int channel = 0; channel < kTuningChannels; ++channel)
        EXPECT_NE(global.ChannelTable(channel), nullptr);
}

TEST_F(TuningClientTest, LibraryWithOnlyMasterAndTableIsUsedForPitch) {
    FakeMts fake(FAKE_MTS_PARTIAL_LIBRARY);
    std::vector<double> table = EqualTemperedTable();
    table[69] = 432.0;
    fake.SetTable(table);
    Load(FAKE_MTS_PARTIAL_LIBRARY);
    {
        TuningClient client(global); // nothing to register with: no crash
        EXPECT_TRUE(client.HasMaster());
        EXPECT_NE(client.NoteToPitch(69), 8832);
        ExpectMatches(client.NoteToPitch(69), 432.0);
        EXPECT_FALSE(client.ShouldFilterNote(69));
    }
    EXPECT_EQ(global.ChannelTable(0), nullptr);
}

TEST_F(TuningClientTest, LibraryWithoutHasMasterHasNoMaster) {
    FakeMts fake(FAKE_MTS_NO_MASTER_LIBRARY);
    fake.SetTable(std::vector<double>(128, 1000.0));
    fake.SetFilter(60, true);
    Load(FAKE_MTS_NO_MASTER_LIBRARY);
    TuningClient client(global);
    EXPECT_FALSE(client.HasMaster());
    EXPECT_EQ(client.NoteToPitch(69), 8832);
    EXPECT_FALSE(client.ShouldFilterNote(60));
    EXPECT_EQ(fake.Registered(), 1);
}

TEST_F(TuningClientTest, LibraryWithoutEntryPointsHasNoMaster) {
    FakeMts fake(FAKE_MTS_EMPTY_LIBRARY);
    Load(FAKE_MTS_EMPTY_LIBRARY);
    EXPECT_TRUE(global.IsLoaded());
    TuningClient client(global);
    EXPECT_FALSE(client.HasMaster());
    EXPECT_FALSE(client.ShouldFilterNote(60));
    EXPECT_EQ(client.NoteToPitch(60), 7680);
}

TEST_F(TuningClientTest, EveryInstanceRegistersForItsLifetime) {
    FakeMts fake(FAKE_MTS_LIBRARY);
    Load(FAKE_MTS_LIBRARY);
    {
        auto first = std::make_unique<TuningClient>(global);
        TuningClient second(global);
        TuningClient third(global);
        EXPECT_EQ(fake.Registered(), 3);
        EXPECT_EQ(fake.Deregistered(), 0);
        first.reset();
        EXPECT_EQ(fake.Deregistered(), 1);

        // Playing never touches the entry points the instrument only binds.
        second.NoteToPitch(60);
        second.ShouldFilterNote(60);
        second.ScaleName();
        EXPECT_EQ(fake.Unexpected(), 0);
    }
    EXPECT_EQ(fake.Registered(), 3);
    EXPECT_EQ(fake.Deregistered(), 3);
}

TEST(TuningLibraryPathTest, EnvironmentVariableReplacesTheDefault) {
    unsetenv("HALVANE_MTS_LIBRARY");
    EXPECT_EQ(mtsclientglobal::LibraryPaths(),
              std::vector<std::string>{"/usr/local/lib/libMTS.so"});
    setenv("HALVANE_MTS_LIBRARY", "", 1);
    EXPECT_EQ(mtsclientglobal::LibraryPaths(),
              std::vector<std::string>{"/usr/local/lib/libMTS.so"});
    setenv("HALVANE_MTS_LIBRARY", "/opt/tuning/libMTS.so", 1);
    EXPECT_EQ(mtsclientglobal::LibraryPaths(), std::vector<std::string>{"/opt/tuning/libMTS.so"});
    unsetenv("HALVANE_MTS_LIBRARY");
}

// The only test that touches the process-wide binding: it loads once per
// process, from the variable as it is set here.
TEST(TuningProcessWideTest, FirstInstanceLoadsTheLibraryTheVariableNames) {
    FakeMts fake(FAKE_MTS_LIBRARY);
    setenv("HALVANE_MTS_LIBRARY", FAKE_MTS_LIBRARY, 1);
    {
        TuningClient client;
        EXPECT_TRUE(client.HasMaster());
        EXPECT_EQ(fake.Registered(), 1);
        EXPECT_EQ(&mtsclientglobal::Instance(), &mtsclientglobal::Instance());
        TuningClient another;
        EXPECT_EQ(fake.Registered(), 2);
    }
    EXPECT_EQ(fake.Deregistered(), 2);
    unsetenv("HALVANE_MTS_LIBRARY");
}

} // namespace halvane
