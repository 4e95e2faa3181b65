// Program (.fxp) and bank (.fxb) files. Header fields are big-endian 32-bit
// values; the chunk inside is the same as the host's state chunks. Files are
// built whole in memory and written in one piece, and read whole; every size
// and count a file states is checked against the bytes really there.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/UserFolders.h"
#include "plugin/IPlugBase.h"

namespace halvane {

namespace {

// Both kinds of file: "CcnK", byte size, file kind, format version, unique ID,
// plug-in version, count (parameters or programs).
constexpr std::size_t kFormatVersionOffset = 12;
constexpr std::size_t kUniqueIdOffset = 16;
constexpr std::size_t kCountOffset = 24;

// Program files: the 28-byte name, then the chunk size and the chunk, or the
// parameter values.
constexpr std::size_t kNameOffset = 28;
constexpr std::size_t kNameBytes = 28;
constexpr std::size_t kProgramValuesOffset = 56;
constexpr std::size_t kProgramChunkSizeOffset = 56;
constexpr std::size_t kProgramHeaderBytes = 60;
constexpr int32_t kProgramFormatVersion = 1;

// Bank files: the current program, reserved bytes, then the chunk size and the
// chunk, or the program records.
constexpr std::size_t kBankCurrentOffset = 28;
constexpr std::size_t kBankReservedBytes = 124;
constexpr std::size_t kBankRecordsOffset = 156;
constexpr std::size_t kBankChunkSizeOffset = 156;
constexpr std::size_t kBankHeaderBytes = 160;
constexpr int32_t kBankFormatVersion = 2;

// The header fields after the byte size field, less the chunk itself.
constexpr int32_t kProgramSizeExtra = 52;
constexpr int32_t kBankSizeExtra = 152;

// Program and bank files are a few kilobytes; nothing far larger is one.
constexpr std::size_t kMaxFileBytes = 16u * 1024u * 1024u;

void PutBigEndian(std::string& out, uint32_t value) {
    out += static_cast<char>((value >> 24) & 0xFF);
    out += static_cast<char>((value >> 16) & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void PutMagic(std::string& out, const char* magic) {
    out.append(magic, 4);
}

// Names longer than the field allows are cut; the field always ends in zeros.
void PutName(std::string& out, const char* name) {
    char field[kNameBytes] = {};
    for (std::size_t i = 0; i + 1 < kNameBytes && name && name[i] != '\0'; ++i)
        field[i] = name[i];
    out.append(field, kNameBytes);
}

// The caller has checked that four bytes are there.
uint32_t GetBigEndian(const std::vector<uint8_t>& file, std::size_t at) {
    return (uint32_t{file[at]} << 24) | (uint32_t{file[at + 1]} << 16) |
           (uint32_t{file[at + 2]} << 8) | uint32_t{file[at + 3]};
}

int32_t GetSigned(const std::vector<uint8_t>& file, std::size_t at) {
    return static_cast<int32_t>(GetBigEndian(file, at));
}

float GetFloat(const std::vector<uint8_t>& file, std::size_t at) {
    const uint32_t bits = GetBigEndian(file, at);
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

bool HasMagic(const std::vector<uint8_t>& file, std::size_t at, const char* magic) {
    return at + 4 <= file.size() && std::memcmp(file.data() + at, magic, 4) == 0;
}

// The name field up to its first zero; a field without one gives all 28 bytes.
std::string GetName(const std::vector<uint8_t>& file, std::size_t at) {
    std::size_t n = 0;
    while (n < kNameBytes && file[at + n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(file.data() + at), n);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    if (path.empty())
        return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    uint8_t buffer[16384];
    bool ok = true;
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof(buffer), file);
        out.insert(out.end(), buffer, buffer + got);
        if (out.size() > kMaxFileBytes) {
            ok = false;
            break;
        }
        if (got < sizeof(buffer)) {
            ok = std::ferror(file) == 0; // a folder opens but cannot be read
            break;
        }
    }
    std::fclose(file);
    return ok && !out.empty();
}

// The chunk of a program or bank file, after checking that the stated size fits
// into what the file holds.
bool GetChunk(const std::vector<uint8_t>& file, std::size_t sizeOffset, ChunkBuffer& chunk) {
    const std::size_t start = sizeOffset + 4;
    if (file.size() < start)
        return false;
    const int32_t size = GetSigned(file, sizeOffset);
    if (size < 0 || static_cast<std::size_t>(size) > file.size() - start)
        return false;
    return chunk.PutBytes(file.data() + start, size);
}

} // namespace

bool IPlugBase::SaveProgramFile(const std::string& path) {
    if (path.empty())
        return false;
    ChunkBuffer chunk;
    WriteChunkHeader(chunk);
    if (!WriteState(chunk))
        return false;
    std::string file;
    file.reserve(kProgramHeaderBytes + static_cast<std::size_t>(chunk.Size()));
    PutMagic(file, "CcnK");
    PutBigEndian(file, static_cast<uint32_t>(chunk.Size() + kProgramSizeExtra));
    PutMagic(file, "FPCh");
    PutBigEndian(file, kProgramFormatVersion);
    PutBigEndian(file, static_cast<uint32_t>(UniqueId()));
    PutBigEndian(file, static_cast<uint32_t>(DecimalVersion()));
    PutBigEndian(file, static_cast<uint32_t>(NParams()));
    PutName(file, ProgramName(CurrentProgram()));
    PutBigEndian(file, static_cast<uint32_t>(chunk.Size()));
    file.append(reinterpret_cast<const char*>(chunk.Data()),
                static_cast<std::size_t>(chunk.Size()));
    return WriteFileAtomically(path, file);
}

bool IPlugBase::SaveBankFile(const std::string& path) {
    if (path.empty())
        return false;
    ChunkBuffer chunk;
    WriteChunkHeader(chunk);
    if (!SerializePresets(chunk))
        return false;
    std::string file;
    file.reserve(kBankHeaderBytes + static_cast<std::size_t>(chunk.Size()));
    PutMagic(file, "CcnK");
    PutBigEndian(file, static_cast<uint32_t>(chunk.Size() + kBankSizeExtra));
    PutMagic(file, "FBCh");
    PutBigEndian(file, kBankFormatVersion);
    PutBigEndian(file, static_cast<uint32_t>(UniqueId()));
    PutBigEndian(file, static_cast<uint32_t>(DecimalVersion()));
    PutBigEndian(file, static_cast<uint32_t>(NPrograms()));
    PutBigEndian(file, static_cast<uint32_t>(CurrentProgram()));
    file.append(kBankReservedBytes, '\0');
    PutBigEndian(file, static_cast<uint32_t>(chunk.Size()));
    file.append(reinterpret_cast<const char*>(chunk.Data()),
                static_cast<std::size_t>(chunk.Size()));
    return WriteFileAtomically(path, file);
}

bool IPlugBase::LoadProgramFile(const std::string& path) {
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, file) || file.size() < kProgramHeaderBytes)
        return false;
    if (!HasMagic(file, 0, "CcnK") ||
        GetSigned(file, kFormatVersionOffset) != kProgramFormatVersion ||
        GetSigned(file, kUniqueIdOffset) != UniqueId())
        return false;
    const std::string name = GetName(file, kNameOffset);

    if (HasMagic(file, 8, "FPCh")) {
        ChunkBuffer chunk;
        if (!GetChunk(file, kProgramChunkSizeOffset, chunk))
            return false;
        // A state that ends early has already set the values before its end; a
        // failed load puts back what was there, so the sound the user had and
        // the current program's record stay as they were.
        std::vector<double> values(params_.size());
        for (std::size_t i = 0; i < params_.size(); ++i)
            values[i] = params_[i].Value();
        if (ReadState(chunk, ReadChunkHeader(chunk, nullptr)) < 0) {
            for (std::size_t i = 0; i < params_.size(); ++i)
                params_[i].Set(values[i]);
            for (int i = 0; i < NParams(); ++i)
                ParamChanged(i);
            RefreshEditorParams();
            return false;
        }
    } else if (HasMagic(file, 8, "FxCk")) {
        if (file.size() < kProgramValuesOffset + 4 * params_.size())
            return false;
        for (std::size_t i = 0; i < params_.size(); ++i)
            params_[i].SetFromNormalized(
                static_cast<double>(GetFloat(file, kProgramValuesOffset + 4 * i)));
    } else {
        return false;
    }
    ModifyCurrentPreset(name.c_str());
    RestoreProgram(currentProgram_);
    ProgramsChanged();
    return true;
}

bool IPlugBase::LoadBankFile(const std::string& path) {
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, file) || file.size() < kBankRecordsOffset)
        return false;
    if (!HasMagic(file, 0, "CcnK") || GetSigned(file, kUniqueIdOffset) != UniqueId())
        return false;

    if (HasMagic(file, 8, "FBCh")) {
        ChunkBuffer chunk;
        if (!GetChunk(file, kBankChunkSizeOffset, chunk))
            return false;
        // A bank that ends early must not leave half of it in the programs.
        const std::vector<Program> programs = programs_;
        const int current = currentProgram_;
        std::vector<double> values(params_.size());
        for (std::size_t i = 0; i < params_.size(); ++i)
            values[i] = params_[i].Value();
        if (UnserializePresets(chunk, ReadChunkHeader(chunk, nullptr)) < 0) {
            programs_ = programs;
            currentProgram_ = current;
            for (std::size_t i = 0; i < params_.size(); ++i)
                params_[i].Set(values[i]);
            for (int i = 0; i < NParams(); ++i)
                ParamChanged(i);
            ProgramSelected();
            RefreshEditorParams();
            return false;
        }
    } else if (HasMagic(file, 8, "FxBk")) {
        const int32_t count = GetSigned(file, kCountOffset);
        if (count < 0)
            return false;
        const int32_t fileCurrent = GetSigned(file, kBankCurrentOffset);
        const int previous = currentProgram_;
        // Records past our last program would all land on it; they are not read.
        const std::size_t records =
            std::min<std::size_t>(static_cast<std::size_t>(count), programs_.size());
        const std::size_t recordBytes = kProgramValuesOffset + 4 * params_.size();
        // Every record is checked before the first one is applied.
        for (std::size_t r = 0; r < records; ++r) {
            const std::size_t at = kBankRecordsOffset + r * recordBytes;
            if (file.size() < at + recordBytes || !HasMagic(file, at, "CcnK") ||
                !HasMagic(file, at + 8, "FxCk") ||
                GetSigned(file, at + kCountOffset) != static_cast<int32_t>(params_.size()))
                return false;
        }
        for (std::size_t r = 0; r < records; ++r) {
            const std::size_t at = kBankRecordsOffset + r * recordBytes;
            RestoreProgram(static_cast<int>(r));
            for (std::size_t i = 0; i < params_.size(); ++i)
                params_[i].SetFromNormalized(
                    static_cast<double>(GetFloat(file, at + kProgramValuesOffset + 4 * i)));
            ModifyCurrentPreset(GetName(file, at + kNameOffset).c_str());
        }
        if (!RestoreProgram(fileCurrent))
            RestoreProgram(previous);
    } else {
        return false;
    }
    ProgramsChanged();
    return true;
}

} // namespace halvane
