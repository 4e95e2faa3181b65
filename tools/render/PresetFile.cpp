#include "tools/render/PresetFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace halvane {

namespace {

constexpr std::size_t kNameBytes = 28;
constexpr std::size_t kProgramHeaderBytes = 56; // up to the values or the chunk size
constexpr std::size_t kBankHeaderBytes = 156;   // up to the programs or the chunk size

uint32_t Get32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

bool IsTag(const uint8_t* p, const char* tag) {
    return std::memcmp(p, tag, 4) == 0;
}

float FloatFromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t BitsFromFloat(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::string NameField(const uint8_t* p) {
    std::size_t length = 0;
    while (length < kNameBytes && p[length] != 0)
        ++length;
    return std::string(reinterpret_cast<const char*>(p), length);
}

void PutName(std::vector<uint8_t>& out, const std::string& name) {
    const std::size_t length = std::min(name.size(), kNameBytes - 1);
    out.insert(out.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(length));
    out.insert(out.end(), kNameBytes - length, 0);
}

// The header fields shared by program and bank files, after the byte size.
void PutHeader(std::vector<uint8_t>& out, const char* magic, int32_t version, int32_t id,
               int32_t pluginVersion, int32_t count) {
    PutTag(out, "CcnK");
    Put32(out, 0); // byte size, patched when the record is complete
    PutTag(out, magic);
    Put32(out, static_cast<uint32_t>(version));
    Put32(out, static_cast<uint32_t>(id));
    Put32(out, static_cast<uint32_t>(pluginVersion));
    Put32(out, static_cast<uint32_t>(count));
}

void PatchByteSize(std::vector<uint8_t>& out, std::size_t recordStart) {
    const uint32_t size = static_cast<uint32_t>(out.size() - recordStart - 8);
    for (int i = 0; i < 4; ++i)
        out[recordStart + 4 + static_cast<std::size_t>(i)] =
            static_cast<uint8_t>(size >> (24 - 8 * i));
}

// A value count read from a file: non-negative, and its values must be there.
bool ValuesFit(uint32_t count, std::size_t available) {
    return count <= 0x7FFFFFFFu && static_cast<uint64_t>(count) * 4u <= available;
}

// One "CcnK"/"FxCk" record at `pos`; advances `pos` past it.
bool ParseProgramRecord(const uint8_t* data, std::size_t size, std::size_t& pos, PresetProgram& out,
                        std::string& error) {
    if (size - pos < kProgramHeaderBytes) {
        error = "program record at byte " + std::to_string(pos) + " is cut short";
        return false;
    }
    const uint8_t* p = data + pos;
    if (!IsTag(p, "CcnK") || !IsTag(p + 8, "FxCk")) {
        error = "program record at byte " + std::to_string(pos) + " is not a parameter program";
        return false;
    }
    const uint32_t count = Get32(p + 24);
    if (!ValuesFit(count, size - pos - kProgramHeaderBytes)) {
        error = "program record at byte " + std::to_string(pos) + " claims " +
                std::to_string(count) + " values, more than the file holds";
        return false;
    }
    out.name = NameField(p + 28);
    out.values.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        out.values[i] = FloatFromBits(Get32(p + kProgramHeaderBytes + 4 * i));
    pos += kProgramHeaderBytes + 4 * static_cast<std::size_t>(count);
    return true;
}

// The opaque chunk of a file: a 32-bit size at `at`, the bytes after it.
bool ParseChunk(const uint8_t* data, std::size_t size, std::size_t at, PresetFile& out,
                std::string& error) {
    if (size < at + 4) {
        error = "the file ends before its chunk size";
        return false;
    }
    const uint32_t length = Get32(data + at);
    if (length > size - at - 4) {
        error = "the chunk size " + std::to_string(length) + " runs past the end of the file";
        return false;
    }
    out.chunk.assign(data + at + 4, data + at + 4 + length);
    return true;
}

} // namespace

std::string FourCharText(int32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<uint32_t>(code) >> shift) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

bool ParsePresetFile(const uint8_t* data, std::size_t size, PresetFile& out, std::string& error) {
    out = PresetFile();
    if (data == nullptr || size < 28 || !IsTag(data, "CcnK")) {
        error = "not a VST program or bank file (no CcnK header)";
        return false;
    }
    // The byte size field is not trusted: writers disagree about it, and every
    // length below is checked against the real size instead.
    PresetFile file;
    const uint8_t* magic = data + 8;
    file.formatVersion = static_cast<int32_t>(Get32(data + 12));
    file.pluginId = static_cast<int32_t>(Get32(data + 16));
    file.pluginVersion = static_cast<int32_t>(Get32(data + 20));
    const uint32_t count = Get32(data + 24);
    bool ok = false;
    if (IsTag(magic, "FxCk") || IsTag(magic, "FPCh")) {
        file.kind = PresetFile::Kind::Program;
        if (size < kProgramHeaderBytes) {
            error = "program file header is cut short";
            return false;
        }
        if (IsTag(magic, "FxCk")) {
            std::size_t pos = 0;
            ok = ParseProgramRecord(data, size, pos, file.program, error);
        } else {
            file.opaque = true;
            file.chunkProgramName = NameField(data + 28);
            file.chunkCount = static_cast<int32_t>(count);
            ok = ParseChunk(data, size, kProgramHeaderBytes, file, error);
        }
    } else if (IsTag(magic, "FxBk") || IsTag(magic, "FBCh")) {
        file.kind = PresetFile::Kind::Bank;
        if (size < kBankHeaderBytes) {
            error = "bank file header is cut short";
            return false;
        }
        if (file.formatVersion >= 2)
            file.currentProgram = static_cast<int32_t>(Get32(data + 28));
        if (IsTag(magic, "FxBk")) {
            // Each record is at least a header long: a count beyond that is a lie.
            if (count > (size - kBankHeaderBytes) / kProgramHeaderBytes) {
                error = "the bank claims " + std::to_string(count) +
                        " programs, more than the file holds";
                return false;
            }
            file.programs.resize(count);
            std::size_t pos = kBankHeaderBytes;
            ok = true;
            for (uint32_t i = 0; ok && i < count; ++i)
                ok = ParseProgramRecord(data, size, pos, file.programs[i], error);
        } else {
            file.opaque = true;
            file.chunkCount = static_cast<int32_t>(count);
            ok = ParseChunk(data, size, kBankHeaderBytes, file, error);
        }
    } else {
        error = "unknown file kind '" + FourCharText(static_cast<int32_t>(Get32(magic))) +
                "' (expected FxCk, FPCh, FxBk or FBCh)";
        return false;
    }
    if (!ok)
        return false;
    out = std::move(file);
    return true;
}

bool ReadPresetFile(const std::string& path, PresetFile& out, std::string& error) {
    out = PresetFile();
    std::error_code code;
    if (!std::filesystem::is_regular_file(path, code)) {
        error = path + ": " + (std::filesystem::exists(path, code) ? "not a file" : "no such file");
        return false;
    }
    const auto size = std::filesystem::file_size(path, code);
    if (code || size > kMaxPresetFileBytes) {
        error = path + ": " + (code ? code.message() : "too large for a program or bank file");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in ||
        !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        error = path + ": cannot read: " + std::strerror(errno);
        return false;
    }
    std::string why;
    if (!ParsePresetFile(bytes.data(), bytes.size(), out, why)) {
        error = path + ": " + why;
        return false;
    }
    return true;
}

std::vector<uint8_t> SerializePresetFile(const PresetFile& file) {
    std::vector<uint8_t> out;
    auto putProgram = [&out, &file](const PresetProgram& program) {
        const std::size_t start = out.size();
        PutHeader(out, "FxCk", 1, file.pluginId, file.pluginVersion,
                  static_cast<int32_t>(program.values.size()));
        PutName(out, program.name);
        for (float value : program.values)
            Put32(out, BitsFromFloat(value));
        PatchByteSize(out, start);
    };
    if (file.kind == PresetFile::Kind::Program) {
        if (!file.opaque) {
            putProgram(file.program);
            return out;
        }
        PutHeader(out, "FPCh", 1, file.pluginId, file.pluginVersion, file.chunkCount);
        PutName(out, file.chunkProgramName);
    } else {
        const int32_t count =
            file.opaque ? file.chunkCount : static_cast<int32_t>(file.programs.size());
        PutHeader(out, file.opaque ? "FBCh" : "FxBk", 2, file.pluginId, file.pluginVersion, count);
        Put32(out, static_cast<uint32_t>(file.currentProgram < 0 ? 0 : file.currentProgram));
        out.insert(out.end(), 124, 0);
        if (!file.opaque) {
            for (const PresetProgram& program : file.programs)
                putProgram(program);
            PatchByteSize(out, 0);
            return out;
        }
    }
    Put32(out, static_cast<uint32_t>(file.chunk.size()));
    out.insert(out.end(), file.chunk.begin(), file.chunk.end());
    PatchByteSize(out, 0);
    return out;
}

bool WritePresetFile(const std::string& path, const PresetFile& file, std::string& error) {
    const std::vector<uint8_t> bytes = SerializePresetFile(file);
    std::ofstream outFile(path, std::ios::binary | std::ios::trunc);
    if (outFile)
        outFile.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
    outFile.close();
    if (!outFile) {
        error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace halvane
