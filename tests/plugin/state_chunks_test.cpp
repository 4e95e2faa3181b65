// State chunks through the dispatcher: layouts, every fallback of effSetChunk,
// the host-vendor rule and the program list's own rules.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "shell/support/ShellTestSupport.h"

namespace halvane {

using namespace shelltest;

namespace {

// Little-endian writer for chunks built by hand.
struct Bytes {
    std::vector<uint8_t> data;
    Bytes& Raw(const void* p, std::size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        data.insert(data.end(), b, b + n);
        return *this;
    }
    Bytes& I32(int32_t v) { return Raw(&v, 4); }
    Bytes& F64(double v) { return Raw(&v, 8); }
    Bytes& Text(const std::string& t) {
        return I32(static_cast<int32_t>(t.size())).Raw(t.data(), t.size());
    }
    Bytes& Header(int32_t version = 0x00010000) { return Raw("tffp", 4).I32(version); }
    Bytes& State(int32_t index, const std::string& name, const std::vector<double>& values) {
        Raw("Halvane_1.1.3", 13).I32(index).Text(name);
        for (double v : values)
            F64(v);
        return *this;
    }
};

class Chunks : public ::testing::Test {
protected:
    void SetUp() override {
        FreshSettings();
        Log().calls.clear();
        Log().vendor = "Kelpmoor Music";
        plug = MakeHalvane();
        effect = plug->GetAEffect();
    }
    std::vector<uint8_t> Get(bool bank) {
        void* data = nullptr;
        const auto size = effect->dispatcher(effect, vst::effGetChunk, bank ? 0 : 1, 0, &data, 0);
        if (size <= 0 || !data)
            return {};
        const auto* b = static_cast<const uint8_t*>(data);
        return std::vector<uint8_t>(b, b + size);
    }
    vst::VstIntPtr Set(std::vector<uint8_t> bytes, bool bank) {
        return effect->dispatcher(effect, vst::effSetChunk, bank ? 0 : 1,
                                  static_cast<vst::VstIntPtr>(bytes.size()), bytes.data(), 0);
    }
    std::vector<double> Midpoints() {
        std::vector<double> values;
        for (int i = 0; i < kNumParams; ++i)
            values.push_back((Param(*plug, i).Min() + Param(*plug, i).Max()) / 2);
        return values;
    }

    std::unique_ptr<Halvane> plug;
    vst::AEffect* effect = nullptr;
};

TEST_F(Chunks, ProgramChunkLayout) {
    plug->SelectProgram(4);
    const std::vector<uint8_t> got = Get(false);
    Bytes expected;
    expected.Header().State(4, "Insidious Bass", Values(*plug)).Text("Insidious Bass");
    EXPECT_EQ(got, expected.data);
    EXPECT_EQ(Set(got, false), 1);
}

TEST_F(Chunks, ProgramChunkEndingsAndFallbacks) {
    plug->SelectProgram(2);
    const std::string name = plug->ProgramName(2);
    const std::vector<double> mid = Midpoints();

    EXPECT_EQ(Set(Bytes().Header().State(7, "x", mid).data, false), 1);
    EXPECT_EQ(Values(*plug), mid);
    EXPECT_EQ(plug->CurrentProgram(), 2) << "the stored index is not used";
    EXPECT_EQ(plug->ProgramName(2), name) << "no name after the state keeps the name";

    EXPECT_EQ(Set(Bytes().Header().State(0, "", mid).Text("Renamed").data, false), 1);
    EXPECT_EQ(std::string(plug->ProgramName(2)), "Renamed");
    EXPECT_EQ(Set(Bytes().Header().State(0, "", mid).Text("").data, false), 1);
    EXPECT_EQ(std::string(plug->ProgramName(2)), "Renamed") << "an empty name keeps the old one";

    // A name whose length runs past the data: the state is kept, the request fails.
    std::vector<double> other = mid;
    other[ParamId::kVcfCutoff] = 0.125;
    EXPECT_EQ(Set(Bytes().Header().State(0, "", other).I32(1000).Raw("ab", 2).data, false), 0);
    EXPECT_EQ(std::string(plug->ProgramName(2)), "Renamed");
    plug->SelectProgram(0);
    plug->SelectProgram(2);
    EXPECT_EQ(Param(*plug, ParamId::kVcfCutoff).Value(), 0.125)
        << "stored into the current program";

    // The plain frame layout of 92 values: the last one is 0 held to its range.
    Bytes short92;
    short92.Header();
    for (int i = 0; i < 92; ++i)
        short92.F64(Param(*plug, i).Max() + 5);
    EXPECT_EQ(Set(short92.data, false), 0);
    for (int i = 0; i < 92; ++i)
        EXPECT_EQ(Param(*plug, i).Value(), Param(*plug, i).Max()) << i;
    EXPECT_EQ(Param(*plug, ParamId::kEns3Amount).Value(), 0.0);

    EXPECT_EQ(Set({}, false), 0);
    EXPECT_EQ(effect->dispatcher(effect, vst::effSetChunk, 1, 4, nullptr, 0), 0);
    EXPECT_EQ(effect->dispatcher(effect, vst::effGetChunk, 1, 0, nullptr, 0), 0);
}

TEST_F(Chunks, BankChunksAndWhatIsNotOne) {
    const std::vector<uint8_t> bank = Get(true);
    ASSERT_FALSE(bank.empty());
    plug->SelectProgram(9);
    plug->ModifyCurrentPreset("Changed");
    EXPECT_EQ(Set(bank, true), 1);
    EXPECT_EQ(std::string(plug->ProgramName(9)), "Resonator");
    EXPECT_EQ(plug->CurrentProgram(), 9);

    // Without the magic, a bank is one program state from position 0: its
    // bytes become values and no program is renamed.
    std::vector<uint8_t> bare(bank.begin() + 8, bank.end());
    Set(bare, true);
    EXPECT_EQ(std::string(plug->ProgramName(0)), "Fat Monster");
    double first;
    std::memcpy(&first, bare.data(), 8);
    EXPECT_EQ(Param(*plug, 0).Value(), std::fmin(std::fmax(first, 0.0), 1.0));
    std::vector<uint8_t> old = bank;
    old[6] = 0; // header version 0x00000000: read as a program too
    Set(old, true);
    EXPECT_EQ(std::string(plug->ProgramName(0)), "Fat Monster");
    EXPECT_EQ(plug->CurrentProgram(), 9);

    // Cut anywhere, a bank fails without breaking the program list.
    for (std::size_t n = 0; n < bank.size(); n += 97) {
        EXPECT_EQ(
            Set(std::vector<uint8_t>(bank.begin(), bank.begin() + static_cast<long>(n)), true), 0)
            << n;
    }
    const std::vector<uint8_t> after = Get(true);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(Set(after, true), 1) << "every initialised program still holds a state";
    // Restored with program 0 current, as when it was taken, the bank is the same.
    effect->dispatcher(effect, vst::effSetProgram, 0, 0, nullptr, 0);
    EXPECT_EQ(Set(bank, true), 1);
    EXPECT_EQ(Get(true), bank);

    // The host may hand back the buffer it was given.
    void* data = nullptr;
    const auto size = effect->dispatcher(effect, vst::effGetChunk, 0, 0, &data, 0);
    EXPECT_EQ(effect->dispatcher(effect, vst::effSetChunk, 0, size, data, 0), 1);
    EXPECT_EQ(Get(true), bank);
}

TEST_F(Chunks, ProgramsNeverInitialisedAreNamedUserPresets) {
    Bytes empty;
    empty.Header();
    for (int p = 0; p < 64; ++p)
        empty.Text(p == 3 ? "my user preset" : "blank").Raw("\0", 1);
    EXPECT_EQ(Set(empty.data, true), 1);
    EXPECT_EQ(std::string(plug->ProgramName(0)), "user preset 2")
        << "one other name holds \"user preset\"";
    effect->dispatcher(effect, vst::effSetProgram, 0, 5, nullptr, 0);
    EXPECT_EQ(std::string(plug->ProgramName(5)), "user preset 3");
    EXPECT_EQ(plug->CurrentProgram(), 5);

    // Initialised in the chunk but without a readable state: a program that
    // never had one (as before the first bank loads) is not left claiming one,
    // which would corrupt every bank written afterwards.
    IPlugBase fresh(3, "0-2", 2, "x", "", "", 1, 1, true, true, true);
    ChunkBuffer broken;
    broken.PutString("A");
    broken.Put(uint8_t{0});
    broken.PutString("B");
    broken.Put(uint8_t{1});
    broken.Put(0.5);
    EXPECT_LT(fresh.UnserializePresets(broken, 0), 0);
    EXPECT_EQ(fresh.ProgramName(1), std::string("B"));
    for (int p = 0; p < 2; ++p)
        EXPECT_FALSE(ProgramAt(fresh, p).initialised && ProgramAt(fresh, p).state.Empty()) << p;
    ChunkBuffer written;
    fresh.FillEmptyPrograms();
    ASSERT_TRUE(fresh.SerializePresets(written));
    EXPECT_GE(fresh.UnserializePresets(written, 0), 0);
}

TEST_F(Chunks, ChosenHostVendorsAlwaysGetProgramChunks) {
    const std::vector<uint8_t> bank = Get(true); // this host's vendor is asked here, once
    for (const char* vendor : {"native instruments", "NATIVE INSTRUMENTS", "Juce VST Host"}) {
        Log().vendor = vendor;
        auto ni = MakeHalvane();
        vst::AEffect* e = ni->GetAEffect();
        void* data = nullptr;
        const auto size = e->dispatcher(e, vst::effGetChunk, 0, 0, &data, 0);
        Bytes program;
        program.Header().State(0, "Fat Monster", Values(*ni)).Text("Fat Monster");
        ASSERT_EQ(size, static_cast<vst::VstIntPtr>(program.data.size())) << vendor;
        EXPECT_EQ(std::memcmp(data, program.data.data(), program.data.size()), 0);

        // A bank handed through the program path is read as a bank after all.
        std::vector<uint8_t> copy = bank;
        ni->ModifyCurrentPreset("Changed");
        EXPECT_EQ(e->dispatcher(e, vst::effSetChunk, 0, static_cast<vst::VstIntPtr>(copy.size()),
                                copy.data(), 0),
                  1);
        EXPECT_EQ(std::string(ni->ProgramName(0)), "Fat Monster");
        std::vector<uint8_t> junk(300, 0x5A);
        EXPECT_EQ(e->dispatcher(e, vst::effSetChunk, 1, 300, junk.data(), 0), 0)
            << "neither a program nor a bank";
    }
    Log().vendor = "Native Instruments GmbH";
    auto other = MakeHalvane();
    vst::AEffect* e = other->GetAEffect();
    void* data = nullptr;
    EXPECT_EQ(e->dispatcher(e, vst::effGetChunk, 0, 0, &data, 0),
              static_cast<vst::VstIntPtr>(bank.size()));
}

} // namespace

} // namespace halvane
