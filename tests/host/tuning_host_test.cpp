// Microtuning through the plug-in: the instrument bound to a stand-in for the
// tuning library (the path in HALVANE_MTS_LIBRARY, set before any instance
// exists), played through its entry point, its pitch measured at the output.
// The library variants that lack entry points, or that hand out no table, are
// each tried in a process of their own, since the binding is made once per
// process.

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "support/Instrument.h"
#include "support/Measure.h"
#include "support/PluginFixture.h"
#include "support/TestLibrary.h"

namespace halvane {

using namespace hosttest;

namespace {

// Before main, so before the first instance makes the process-wide binding.
const bool kLibraryChosen = [] {
    hosttest::SetEnvironment("HALVANE_MTS_LIBRARY", FAKE_MTS_LIBRARY);
    return true;
}();

// The fake library's control functions, reached through a handle of our own on
// the same loaded library (so they act on the state the plug-in sees).
class FakeMts {
public:
    // alreadyLoaded: the plug-in must have loaded it; null handle otherwise.
    FakeMts(const char* path, bool alreadyLoaded)
        : handle_(hosttest::OpenTestLibrary(path, alreadyLoaded)) {
        if (!handle_)
            return;
        reset_ = Bind<void (*)()>("fake_mts_reset");
        setTable_ = Bind<void (*)(const double*)>("fake_mts_set_table");
        setMaster_ = Bind<void (*)(bool)>("fake_mts_set_master");
        setNullTable_ = Bind<void (*)(bool)>("fake_mts_set_null_table");
        setFilter_ = Bind<void (*)(int, bool)>("fake_mts_set_filter");
        counts_ = Bind<void (*)(int*, int*, int*)>("fake_mts_counts");
        lastFilter_ = Bind<void (*)(int*, int*)>("fake_mts_last_filter");
    }
    ~FakeMts() { hosttest::CloseTestLibrary(handle_); }
    FakeMts(const FakeMts&) = delete;
    FakeMts& operator=(const FakeMts&) = delete;

    bool Loaded() const { return handle_ && reset_ && setTable_ && counts_; }
    void Reset() { reset_(); }
    void Retune(int note, double hz) {
        std::vector<double> table(128);
        for (int n = 0; n < 128; ++n)
            table[static_cast<std::size_t>(n)] = NoteHz(n);
        table[static_cast<std::size_t>(note)] = hz;
        setTable_(table.data());
    }
    void SetTable(const std::vector<double>& table) { setTable_(table.data()); }
    void SetMaster(bool present) { setMaster_(present); }
    void SetNullTable(bool null) { setNullTable_(null); }
    void SetFilter(int note, bool filtered) { setFilter_(note, filtered); }
    int Registered() const { return Count(0); }
    int Deregistered() const { return Count(1); }
    int Unexpected() const { return Count(2); }
    void LastFilter(int& note, int& channel) const { lastFilter_(&note, &channel); }

private:
    template <typename Fn> Fn Bind(const char* name) {
        return reinterpret_cast<Fn>(hosttest::TestLibrarySymbol(handle_, name));
    }
    int Count(int which) const {
        int counts[3] = {};
        counts_(&counts[0], &counts[1], &counts[2]);
        return counts[which];
    }

    void* handle_;
    void (*reset_)() = nullptr;
    void (*setTable_)(const double*) = nullptr;
    void (*setMaster_)(bool) = nullptr;
    void (*setNullTable_)(bool) = nullptr;
    void (*setFilter_)(int, bool) = nullptr;
    void (*counts_)(int*, int*, int*) = nullptr;
    void (*lastFilter_)(int*, int*) = nullptr;
};

// One key from the start of a render of the given length; the key is let go at
// its end and its release (0 s) fades within the next 0.2 s.
Streams PlayKey(Instrument& instrument, int note, double seconds) {
    instrument.Key(note, true);
    const Streams out = instrument.Play({}, seconds);
    instrument.Key(note, false);
    instrument.Play({}, 0.2);
    return out;
}

// Average frequency of a saw after the first tenth of a second (from the
// crossing that ends on its first sample).
double Frequency(const Signal& x) {
    return hosttest::Frequency(x, At(0.1) - 1, x.size());
}

double Peak(const Streams& s) {
    double peak = 0.0;
    for (const auto& c : s)
        for (double v : c)
            peak = std::isfinite(peak) && std::isfinite(v)
                       ? std::fmax(peak, std::fabs(v))
                       : std::numeric_limits<double>::infinity();
    return peak;
}

class TuningHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        hosttest::IsolateSettings();
        instrument = std::make_unique<Instrument>();
        fake = std::make_unique<FakeMts>(FAKE_MTS_LIBRARY, true);
        ASSERT_TRUE(fake->Loaded()) << "the plug-in did not load " << FAKE_MTS_LIBRARY;
        fake->Reset();
    }
    void TearDown() override {
        instrument.reset();
        fake.reset();
    }
    std::unique_ptr<Instrument> instrument;
    std::unique_ptr<FakeMts> fake;
};

// A master in equal temperament: the search lands on note 69's own pitch.
TEST_F(TuningHostTest, EqualTemperedMasterPlaysA440) {
    EXPECT_NEAR(Frequency(PlayKey(*instrument, 69, 0.5)[kSynthL]), 440.0, 0.02);
    EXPECT_NEAR(Frequency(PlayKey(*instrument, 57, 0.5)[kSynthL]), 220.0, 0.02);
    EXPECT_EQ(fake->Unexpected(), 0) << "multi-channel or scale-name calls";
}

TEST_F(TuningHostTest, InstancesRegisterWithTheMasterForTheirLifetime) {
    auto second = std::make_unique<Instrument>();
    EXPECT_EQ(fake->Registered(), 1);
    EXPECT_EQ(fake->Deregistered(), 0);
    second.reset();
    EXPECT_EQ(fake->Deregistered(), 1);
}

// The master's table is read at every note-on: a retuned note follows at its
// next key, and only that note moves. 432 Hz lies between notes 68 and 69; the
// search ends within 4 units (0.8 Hz) of it.
TEST_F(TuningHostTest, ARetunedNoteSoundsAtTheMastersFrequency) {
    fake->Retune(69, 432.0);
    EXPECT_NEAR(Frequency(PlayKey(*instrument, 69, 0.5)[kSynthL]), 432.0, 1.0);
    EXPECT_NEAR(Frequency(PlayKey(*instrument, 57, 0.5)[kSynthL]), 220.0, 0.02);
    fake->Retune(69, 466.1638);
    EXPECT_NEAR(Frequency(PlayKey(*instrument, 69, 0.5)[kSynthL]), 466.1638, 1.0);
}

TEST_F(TuningHostTest, AFilteredNoteMakesNoSoundAtAll) {
    instrument->Set("Output Brass", "On");
    instrument->Set("Output Strings", "On");
    instrument->Set("Strings Attack", "0");
    fake->SetFilter(60, true);
    const Streams filtered = PlayKey(*instrument, 60, 0.3);
    // Only the strings filters' anti-denormal offsets, far below any sound.
    EXPECT_LT(Peak(filtered), 1e-9);
    int note = 0, channel = 0;
    fake->LastFilter(note, channel);
    EXPECT_EQ(note, 60);
    EXPECT_EQ(channel, -1) << "asked for every channel";

    const Streams played = PlayKey(*instrument, 62, 0.3);
    for (int c : {kSynthL, kBrassL, kStringsL, kTotalL})
        EXPECT_GT(Peak(Streams{played[static_cast<std::size_t>(c)]}), 0.01) << "channel " << c;
}

// A filtered key never sounded and never counted as held, so letting it go must
// not end the brass swell of a key that is still down.
TEST_F(TuningHostTest, LettingGoOfAFilteredKeyLeavesTheHeldKeysSounding) {
    instrument->Set("Output Synthe", "Off");
    instrument->Set("Output Brass", "On");
    fake->SetFilter(60, true);
    instrument->Key(62, true);
    const Streams before = instrument->Play({}, 0.3);
    instrument->Key(60, true);
    instrument->Play({}, 0.1);
    instrument->Key(60, false);
    const Streams after = instrument->Play({}, 0.3);
    const double brass = Rms(before[kBrassL]);
    ASSERT_GT(brass, 0.01);
    EXPECT_NEAR(Rms(after[kBrassL]) / brass, 1.0, 0.01) << "the brass envelope was released";

    // Nor does a key the master stops filtering while it is down leave anything
    // stuck: its note-off is dropped with it, the next round plays normally.
    instrument->Key(60, true);
    fake->SetFilter(60, false);
    instrument->Key(60, false);
    instrument->Key(62, false);
    instrument->Play({}, 0.3);
    EXPECT_LT(Peak(instrument->Play({}, 0.1)), 1e-9) << "all keys up";
    EXPECT_GT(Peak(PlayKey(*instrument, 60, 0.2)), 0.01);
    EXPECT_LT(Peak(instrument->Play({}, 0.1)), 1e-9) << "60 released";

    // A key struck again while filtered, then let go once: the press that
    // sounded ends.
    instrument->Key(60, true);
    instrument->Play({}, 0.1);
    fake->SetFilter(60, true);
    instrument->Key(60, true);
    instrument->Key(60, false);
    instrument->Play({}, 0.3);
    EXPECT_LT(Peak(instrument->Play({}, 0.1)), 1e-9) << "nothing hangs";
}

TEST_F(TuningHostTest, WhenTheMasterGoesTheInstrumentPlaysInEqualTemperament) {
    fake->Retune(69, 432.0);
    fake->SetFilter(69, false);
    fake->SetMaster(false);
    EXPECT_NEAR(Frequency(PlayKey(*instrument, 69, 0.5)[kSynthL]), 440.0, 0.02);
    fake->SetFilter(62, true);
    EXPECT_GT(Peak(PlayKey(*instrument, 62, 0.3)), 0.01) << "no master filters nothing";
    fake->SetMaster(true);
    EXPECT_NEAR(Frequency(PlayKey(*instrument, 69, 0.5)[kSynthL]), 432.0, 1.0);
}

// Entries that are no usable frequency leave their notes in equal temperament;
// an absurdly high one lands on the top of the pitch scale (pitch 17276, its 8'
// phase an octave lower). Everything stays finite.
TEST_F(TuningHostTest, ABrokenTablePlaysAtSanePitches) {
    std::vector<double> table(128);
    for (int n = 0; n < 128; ++n)
        table[static_cast<std::size_t>(n)] = NoteHz(n);
    table[60] = std::numeric_limits<double>::quiet_NaN();
    table[61] = 0.0;
    table[62] = -440.0;
    table[63] = std::numeric_limits<double>::infinity();
    table[64] = 1e30;
    fake->SetTable(table);
    for (int note : {60, 61, 62, 63}) {
        const Streams s = PlayKey(*instrument, note, 0.4);
        EXPECT_LT(Peak(s), 4.0) << "note " << note;
        EXPECT_NEAR(Frequency(s[kSynthL]), NoteHz(note), 0.02) << "note " << note;
    }
    const Streams top = PlayKey(*instrument, 64, 0.4);
    EXPECT_LT(Peak(top), 4.0);
    EXPECT_NEAR(Frequency(top[kSynthL]) / (2.0 * PitchHz(17276 - 1536)), 1.0, 1e-3);
}

// ---------------------------------------------------------------------------
// Incomplete libraries, each in a fresh process. The child's exit code tells
// what note 69 sounded at when the master's table said 432 Hz: 0 for 440 Hz,
// 1 for 432 Hz, 2 for anything else.

int Note69With(const char* library, bool nullTable) {
    hosttest::SetEnvironment("HALVANE_MTS_LIBRARY", library);
    hosttest::IsolateSettings();
    {
        // Prepared before the plug-in binds the library (a null table is fetched
        // once, at binding).
        FakeMts fake(library, false);
        if (fake.Loaded()) {
            fake.Reset();
            fake.Retune(69, 432.0);
            fake.SetFilter(69, true); // heeded only where the note filter exists
            if (nullTable)
                fake.SetNullTable(true);
        }
        Instrument instrument;
        const double hz = Frequency(PlayKey(instrument, 69, 0.5)[kSynthL]);
        std::fprintf(stderr, "note 69 at %.3f Hz\n", hz);
        if (std::fabs(hz - 440.0) < 0.02)
            return 0;
        if (std::fabs(hz - 432.0) < 1.0)
            return 1;
    }
    return 2;
}

class TuningLibraryVariants : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(TuningLibraryVariants, WithoutHasMasterTheTableIsNotUsed) {
    EXPECT_EXIT(std::exit(Note69With(FAKE_MTS_NO_MASTER_LIBRARY, false)),
                ::testing::ExitedWithCode(0), "");
}

TEST_F(TuningLibraryVariants, ALibraryWithoutEntryPointsGivesEqualTemperament) {
    EXPECT_EXIT(std::exit(Note69With(FAKE_MTS_EMPTY_LIBRARY, false)), ::testing::ExitedWithCode(0),
                "");
}

TEST_F(TuningLibraryVariants, ANullTableGivesEqualTemperament) {
    EXPECT_EXIT(std::exit(Note69With(FAKE_MTS_LIBRARY, true)), ::testing::ExitedWithCode(0), "");
}

TEST_F(TuningLibraryVariants, NoLibraryAtAllGivesEqualTemperament) {
    EXPECT_EXIT(std::exit(Note69With("/nonexistent/folder/libMTS.so", false)),
                ::testing::ExitedWithCode(0), "");
}

// A master and its table are all tuning needs; without the note filter every
// note plays.
TEST_F(TuningLibraryVariants, WithoutTheNoteFilterTheTableStillTunes) {
    EXPECT_EXIT(std::exit(Note69With(FAKE_MTS_PARTIAL_LIBRARY, false)),
                ::testing::ExitedWithCode(1), "");
}

} // namespace

} // namespace halvane
