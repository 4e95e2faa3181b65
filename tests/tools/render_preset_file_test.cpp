#include "tools/render/PresetFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace halvane {

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutText(Bytes& out, const char* text, std::size_t field) {
    const std::size_t length = std::strlen(text);
    out.insert(out.end(), text, text + length);
    out.insert(out.end(), field - length, 0);
}

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

constexpr uint32_t kHal3 = 0x48616C33; // 'Hal3'

// A program record laid out field by field from the published format.
Bytes ValueProgram(const char* name, const std::vector<float>& values) {
    Bytes out;
    PutText(out, "CcnK", 4);
    Put32(out, static_cast<uint32_t>(48 + 4 * values.size()));
    PutText(out, "FxCk", 4);
    Put32(out, 1);
    Put32(out, kHal3);
    Put32(out, 10104);
    Put32(out, static_cast<uint32_t>(values.size()));
    PutText(out, name, 28);
    for (float v : values)
        Put32(out, Bits(v));
    return out;
}

Bytes ChunkBank(const Bytes& chunk, uint32_t current) {
    Bytes out;
    PutText(out, "CcnK", 4);
    Put32(out, static_cast<uint32_t>(152 + chunk.size()));
    PutText(out, "FBCh", 4);
    Put32(out, 2);
    Put32(out, kHal3);
    Put32(out, 10104);
    Put32(out, 64);
    Put32(out, current);
    out.insert(out.end(), 124, 0);
    Put32(out, static_cast<uint32_t>(chunk.size()));
    out.insert(out.end(), chunk.begin(), chunk.end());
    return out;
}

Bytes Patch(Bytes bytes, std::size_t at, std::initializer_list<uint8_t> values) {
    for (uint8_t value : values)
        bytes.at(at++) = value;
    return bytes;
}

bool Parse(const Bytes& bytes, PresetFile& file, std::string& error) {
    return ParsePresetFile(bytes.data(), bytes.size(), file, error);
}

} // namespace

TEST(PresetFile, ReadsEveryKindFromItsPublishedLayout) {
    PresetFile file;
    std::string error;
    ASSERT_TRUE(Parse(ValueProgram("Lead", {0.0f, 0.25f, 1.0f}), file, error)) << error;
    EXPECT_EQ(file.kind, PresetFile::Kind::Program);
    EXPECT_FALSE(file.opaque);
    EXPECT_EQ(FourCharText(file.pluginId), "Hal3");
    EXPECT_EQ(file.pluginVersion, 10104);
    EXPECT_EQ(file.program.name, "Lead");
    EXPECT_EQ(file.program.values, (std::vector<float>{0.0f, 0.25f, 1.0f}));

    const Bytes chunk = {'t', 'f', 'f', 'p', 0, 0, 1, 0, 42};
    ASSERT_TRUE(Parse(ChunkBank(chunk, 5), file, error)) << error;
    EXPECT_EQ(file.kind, PresetFile::Kind::Bank);
    EXPECT_TRUE(file.opaque);
    EXPECT_EQ(file.currentProgram, 5);
    EXPECT_EQ(file.chunkCount, 64);
    EXPECT_EQ(file.chunk, chunk);

    Bytes bank;
    PutText(bank, "CcnK", 4);
    Put32(bank, 0); // a wrong byte size is tolerated: real lengths are checked instead
    PutText(bank, "FxBk", 4);
    Put32(bank, 1);
    Put32(bank, kHal3);
    Put32(bank, 1);
    Put32(bank, 2);
    bank.insert(bank.end(), 128, 0);
    for (const Bytes& program : {ValueProgram("One", {0.5f}), ValueProgram("Two", {0.75f})})
        bank.insert(bank.end(), program.begin(), program.end());
    ASSERT_TRUE(Parse(bank, file, error)) << error;
    ASSERT_EQ(file.programs.size(), 2u);
    EXPECT_EQ(file.programs[1].name, "Two");
    EXPECT_EQ(file.programs[1].values, std::vector<float>{0.75f});
    EXPECT_EQ(file.currentProgram, -1); // format version 1 has no current program
}

TEST(PresetFile, WritesTheLayoutItReads) {
    PresetFile file;
    file.kind = PresetFile::Kind::Program;
    file.opaque = true;
    file.pluginId = static_cast<int32_t>(kHal3);
    file.pluginVersion = 10104;
    file.chunkCount = 93;
    file.chunkProgramName = "A name far longer than the field allows";
    file.chunk = {1, 2, 3};
    const Bytes bytes = SerializePresetFile(file);
    ASSERT_EQ(bytes.size(), 63u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "CcnK");
    EXPECT_EQ(bytes[7], 55); // byte size: everything after the field
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FPCh");
    EXPECT_EQ(bytes[15], 1);
    EXPECT_EQ(std::string(bytes.begin() + 16, bytes.begin() + 20), "Hal3");
    EXPECT_EQ(bytes[27], 93);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[28])),
              "A name far longer than the "); // 27 characters and the terminator
    EXPECT_EQ(bytes[59], 3);
    EXPECT_EQ(Bytes(bytes.end() - 3, bytes.end()), file.chunk);

    // A bank of values survives writing and reading, including the current program.
    PresetFile bank;
    bank.kind = PresetFile::Kind::Bank;
    bank.pluginId = 0x616D7379; // 'amsy'
    bank.currentProgram = 1;
    bank.programs = {{"A", {0.1f, 0.2f}}, {"B", {0.3f, 0.4f}}};
    PresetFile back;
    std::string error;
    const Bytes bankBytes = SerializePresetFile(bank);
    ASSERT_TRUE(Parse(bankBytes, back, error)) << error;
    EXPECT_EQ(back.currentProgram, 1);
    ASSERT_EQ(back.programs.size(), 2u);
    EXPECT_EQ(back.programs[0].name, "A");
    EXPECT_EQ(back.programs[1].values, (std::vector<float>{0.3f, 0.4f}));
    EXPECT_EQ(bankBytes.size(), 156u + 2 * (56u + 8u));
}

TEST(PresetFile, BrokenFilesAreRefusedWithoutReadingPastThem) {
    const Bytes good = ValueProgram("Lead", {0.5f, 0.5f});
    std::vector<std::pair<Bytes, const char*>> cases;
    cases.push_back({Bytes(), "no CcnK"});
    cases.push_back({Bytes(good.begin(), good.begin() + 40), "cut short"});
    cases.push_back({Bytes(good.begin(), good.end() - 1), "more than the file holds"});
    cases.push_back({Patch(good, 24, {0x7F}), "more than the file holds"}); // 2^31 values
    cases.push_back({Patch(good, 24, {0xFF}), "more than the file holds"}); // negative
    cases.push_back({Patch(good, 8, {'X', 'x', 'X', 'x'}), "unknown file kind 'XxXx'"});
    cases.push_back({Patch(ChunkBank({1, 2, 3}, 0), 159, {200}), "runs past the end"});
    Bytes lyingBank = Patch(ChunkBank({}, 0), 8, {'F', 'x', 'B', 'k'});
    lyingBank.resize(156);
    cases.push_back({Patch(lyingBank, 27, {1}), "more than the file holds"}); // no record

    for (const auto& [bytes, message] : cases) {
        PresetFile file;
        file.programs.resize(3);
        std::string error;
        EXPECT_FALSE(Parse(bytes, file, error)) << message;
        EXPECT_NE(error.find(message), std::string::npos) << error;
        EXPECT_TRUE(file.programs.empty() && file.chunk.empty()) << "left cleared";
    }
    PresetFile file;
    std::string error;
    EXPECT_FALSE(ReadPresetFile("/no/such/file.fxp", file, error));
    EXPECT_NE(error.find("no such file"), std::string::npos) << error;
}

} // namespace halvane
