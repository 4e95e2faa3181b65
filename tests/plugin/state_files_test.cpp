// Program and bank files: their byte layout, files of other hosts and tools,
// and files that are short, lying, damaged or foreign.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "shell/support/ShellTestSupport.h"

namespace halvane {

using namespace shelltest;

namespace {

uint32_t BigEndian(const std::vector<uint8_t>& b, std::size_t at) {
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
           b[at + 3];
}

std::string Text(const std::vector<uint8_t>& b, std::size_t at, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(b.data()) + at, n);
}

// The start every file of ours shares: "CcnK" and the size of what follows, the
// kind of file and its version, our id and version, and a count (parameters in
// a program file, programs in a bank).
void ExpectFileHeader(const std::vector<uint8_t>& file, const char* kind, uint32_t version,
                      uint32_t count) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(Text(file, 0, 4), "CcnK");
    EXPECT_EQ(BigEndian(file, 4), file.size() - 8);
    EXPECT_EQ(Text(file, 8, 4), kind);
    EXPECT_EQ(BigEndian(file, 12), version);
    EXPECT_EQ(Text(file, 16, 4), "Hal3");
    EXPECT_EQ(BigEndian(file, 20), 10104u);
    EXPECT_EQ(BigEndian(file, 24), count);
}

// Files in the layout of parameter values, as other hosts and tools write them.
struct ValueFile {
    std::string bytes;
    ValueFile& U32(uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += static_cast<char>((v >> shift) & 0xFF);
        return *this;
    }
    ValueFile& Magic(const char* m) {
        bytes.append(m, 4);
        return *this;
    }
    ValueFile& Program(const std::string& name, float value, uint32_t count = kNumParams) {
        Magic("CcnK").U32(48 + 4 * count).Magic("FxCk").U32(1).U32(vst::FourCC('H', 'a', 'l', '3'));
        U32(1).U32(count);
        std::string field = name;
        field.resize(28, '\0');
        bytes += field;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t bits;
            std::memcpy(&bits, &value, 4);
            U32(bits);
        }
        return *this;
    }
    ValueFile& BankHeader(uint32_t programs, uint32_t current) {
        Magic("CcnK").U32(0).Magic("FxBk").U32(2).U32(vst::FourCC('H', 'a', 'l', '3')).U32(1);
        U32(programs).U32(current);
        bytes.append(124, '\0');
        return *this;
    }
};

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        home = FreshSettings();
        plug = MakeHalvane();
    }
    std::string Path(const std::string& name) { return home + "/" + name; }
    std::vector<uint8_t> Saved(bool bank) {
        const std::string path = Path(bank ? "saved.fxb" : "saved.fxp");
        EXPECT_TRUE(bank ? plug->SaveBankFile(path) : plug->SaveProgramFile(path));
        return ReadBytes(path);
    }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (int p = 0; p < plug->NPrograms(); ++p)
            names.push_back(plug->ProgramName(p));
        return names;
    }
    // Loading the bytes fails and leaves values and programs as they were.
    void ExpectRejected(const std::vector<uint8_t>& bytes, bool bank, const std::string& why) {
        const std::vector<double> values = Values(*plug);
        const std::vector<std::string> names = Names();
        const int current = plug->CurrentProgram();
        WriteBytes(Path("bad"), bytes);
        EXPECT_FALSE(bank ? plug->LoadBankFile(Path("bad")) : plug->LoadProgramFile(Path("bad")))
            << why;
        EXPECT_EQ(Values(*plug), values) << why;
        EXPECT_EQ(Names(), names) << why;
        EXPECT_EQ(plug->CurrentProgram(), current) << why;
    }

    std::string home;
    std::unique_ptr<Halvane> plug;
};

TEST_F(Files, ProgramFileLayoutAndRoundTrip) {
    plug->SelectProgram(6);
    plug->SetParamFromEditor(ParamId::kVcfCutoff, 0.3);
    plug->ModifyCurrentPreset("A name far longer than the twenty-seven of the field");
    const std::vector<uint8_t> file = Saved(false);
    ASSERT_GE(file.size(), 60u);
    ExpectFileHeader(file, "FPCh", 1, 93);
    EXPECT_EQ(Text(file, 28, 28), std::string("A name far longer than the ") + '\0');
    EXPECT_EQ(BigEndian(file, 56), file.size() - 60);
    ChunkBuffer state;
    Halvane::WriteChunkHeader(state);
    plug->WriteState(state);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 60, file.end()),
              std::vector<uint8_t>(state.Data(), state.Data() + state.Size()));

    auto other = MakeHalvane();
    other->SelectProgram(40);
    ASSERT_TRUE(other->LoadProgramFile(Path("saved.fxp")));
    EXPECT_EQ(Values(*other), Values(*plug));
    EXPECT_EQ(std::string(other->ProgramName(40)), "A name far longer than the ");
    EXPECT_EQ(other->CurrentProgram(), 40);
}

TEST_F(Files, BankFileLayoutAndRoundTrip) {
    plug->SelectProgram(5);
    plug->SetParamFromEditor(ParamId::kVcfResonance, 0.6);
    plug->ModifyCurrentPreset("Edited");
    // The host's bank chunk first stores the live edits, as the save command does.
    void* data = nullptr;
    vst::AEffect* e = plug->GetAEffect();
    const auto size = e->dispatcher(e, vst::effGetChunk, 0, 0, &data, 0);
    const std::vector<uint8_t> file = Saved(true);
    ASSERT_GE(file.size(), 160u);
    ExpectFileHeader(file, "FBCh", 2, 64);
    EXPECT_EQ(BigEndian(file, 28), 5u);
    EXPECT_EQ(Text(file, 32, 124), std::string(124, '\0'));
    EXPECT_EQ(BigEndian(file, 156), file.size() - 160);
    ASSERT_EQ(static_cast<std::size_t>(size), file.size() - 160);
    EXPECT_EQ(std::memcmp(data, file.data() + 160, file.size() - 160), 0);

    auto other = MakeHalvane();
    other->SelectProgram(2);
    ASSERT_TRUE(other->LoadBankFile(Path("saved.fxb")));
    EXPECT_EQ(other->CurrentProgram(), 2) << "the file's current program is not used";
    for (int p = 0; p < 64; ++p) {
        EXPECT_EQ(std::string(other->ProgramName(p)), plug->ProgramName(p));
        other->SelectProgram(p);
        plug->SelectProgram(p);
        EXPECT_EQ(Values(*other), Values(*plug)) << p;
    }
}

TEST_F(Files, ValueFilesOfOtherHostsAndTools) {
    ValueFile program;
    program.Program("Tool Made", 0.5f);
    WriteText(Path("values.fxp"), program.bytes);
    plug->SelectProgram(3);
    ASSERT_TRUE(plug->LoadProgramFile(Path("values.fxp")));
    EXPECT_EQ(std::string(plug->ProgramName(3)), "Tool Made");
    EXPECT_DOUBLE_EQ(Param(*plug, ParamId::kVcfResonance).Value(), 0.5);
    EXPECT_EQ(Param(*plug, ParamId::kSplitKey).Value(), 64.0) << "rounded to the step";
    EXPECT_DOUBLE_EQ(Param(*plug, ParamId::kVcfCutoff).Value(), std::sqrt(0.5))
        << "through the shape";

    // More records than programs: the extra ones are not read. The file's
    // current program is selected afterwards.
    ValueFile bank;
    bank.BankHeader(70, 2);
    for (int p = 0; p < 70; ++p)
        bank.Program("V" + std::to_string(p), p / 100.0f);
    WriteText(Path("values.fxb"), bank.bytes);
    ASSERT_TRUE(plug->LoadBankFile(Path("values.fxb")));
    EXPECT_EQ(std::string(plug->ProgramName(63)), "V63");
    EXPECT_EQ(plug->CurrentProgram(), 2);
    EXPECT_FLOAT_EQ(static_cast<float>(Param(*plug, ParamId::kVcfResonance).Value()), 0.02f);

    ValueFile badCurrent;
    badCurrent.BankHeader(1, 99).Program("Only", 0.1f);
    WriteText(Path("current.fxb"), badCurrent.bytes);
    ASSERT_TRUE(plug->LoadBankFile(Path("current.fxb")));
    EXPECT_EQ(plug->CurrentProgram(), 2) << "an unknown current program keeps ours";
    EXPECT_EQ(std::string(plug->ProgramName(0)), "Only");

    ValueFile mismatch;
    mismatch.BankHeader(2, 0).Program("Good", 0.3f).Program("Short", 0.3f, 92);
    ExpectRejected(std::vector<uint8_t>(mismatch.bytes.begin(), mismatch.bytes.end()), true,
                   "a record with another parameter count");
}

TEST_F(Files, DamagedForeignAndMissingFilesChangeNothing) {
    const std::vector<uint8_t> fxp = Saved(false);
    const std::vector<uint8_t> fxb = Saved(true);
    // Live edits, differing from the files everywhere, that a failed load must keep.
    for (int i = 0; i < plug->NParams(); ++i)
        plug->SetParamFromEditor(i, Param(*plug, i).GetNormalized() < 0.5 ? 0.9 : 0.1);
    plug->ModifyCurrentPreset("Live");
    plug->SetParamFromEditor(ParamId::kVcfCutoff, 0.3);

    for (std::size_t n = 0; n < fxp.size(); ++n)
        ExpectRejected(std::vector<uint8_t>(fxp.begin(), fxp.begin() + static_cast<long>(n)), false,
                       "program file cut at " + std::to_string(n));
    for (std::size_t n = 0; n < fxb.size(); n += 331)
        ExpectRejected(std::vector<uint8_t>(fxb.begin(), fxb.begin() + static_cast<long>(n)), true,
                       "bank file cut at " + std::to_string(n));

    auto patched = [](std::vector<uint8_t> b, std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
        return b;
    };
    ExpectRejected(patched(fxp, 56, 0x7FFFFFFF), false, "chunk size past the end");
    ExpectRejected(patched(fxp, 56, 0xFFFFFFF0), false, "negative chunk size");
    ExpectRejected(patched(fxp, 56, 100), false, "chunk size cutting the state");
    ExpectRejected(patched(fxb, 156, 0x7FFFFFFF), true, "bank chunk size past the end");
    ExpectRejected(patched(fxb, 156, 5000), true, "bank chunk size cutting a program");
    ExpectRejected(patched(fxp, 16, vst::FourCC('O', 't', 'h', 'r')), false, "another plug-in");
    ExpectRejected(patched(fxb, 16, vst::FourCC('O', 't', 'h', 'r')), true, "another plug-in");
    ExpectRejected(patched(fxp, 12, 2), false, "another format version");
    ExpectRejected(patched(fxp, 8, vst::FourCC('F', 'B', 'C', 'h')), false, "a bank's kind");
    ExpectRejected(patched(fxb, 8, vst::FourCC('F', 'P', 'C', 'h')), true, "a program's kind");
    ExpectRejected(patched(fxp, 0, vst::FourCC('R', 'I', 'F', 'F')), false, "not a preset file");
    ValueFile hugeCount;
    hugeCount.BankHeader(0x7FFFFFFF, 0).Program("One", 0.5f);
    ExpectRejected(std::vector<uint8_t>(hugeCount.bytes.begin(), hugeCount.bytes.end()), true,
                   "a count the file cannot hold");
    ExpectRejected(patched(std::vector<uint8_t>(hugeCount.bytes.begin(), hugeCount.bytes.end()), 24,
                           0xFFFFFFFF),
                   true, "a negative count");

    const std::vector<double> values = Values(*plug);
    EXPECT_FALSE(plug->LoadProgramFile(Path("missing.fxp")));
    EXPECT_FALSE(plug->LoadBankFile(home));
    EXPECT_FALSE(plug->LoadBankFile(""));
    EXPECT_FALSE(plug->SaveBankFile(""));
    EXPECT_FALSE(plug->SaveProgramFile(Path("no/such/folder/x.fxp")));
    EXPECT_FALSE(plug->SaveProgramFile(home)) << "a folder is never replaced";
    EXPECT_EQ(Values(*plug), values);

    // Damaged anywhere, a file may load or fail, but never breaks the instance.
    std::mt19937 random(1234);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> damaged = round % 2 ? fxb : fxp;
        for (int flips = 0; flips < 4; ++flips) {
            const std::size_t at = random() % damaged.size();
            damaged[at] = static_cast<uint8_t>(damaged[at] ^ (1u << (random() % 8)));
        }
        WriteBytes(Path("damaged"), damaged);
        if (round % 2)
            plug->LoadBankFile(Path("damaged"));
        else
            plug->LoadProgramFile(Path("damaged"));
        for (int p = 0; p < plug->NParams(); ++p) {
            const double v = Param(*plug, p).Value();
            ASSERT_TRUE(v >= Param(*plug, p).Min() && v <= Param(*plug, p).Max());
        }
    }
    EXPECT_TRUE(plug->SaveBankFile(Path("after.fxb")));
    EXPECT_TRUE(plug->LoadBankFile(Path("after.fxb")));
}

} // namespace

} // namespace halvane
