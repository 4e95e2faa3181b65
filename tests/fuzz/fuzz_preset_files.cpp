// The program and bank file loaders. The first byte chooses the loader; the
// rest is the file. Afterwards the parameters must lie in their ranges and,
// after a load, the programs must still make a bank that reads back.
//
// With HALVANE_FUZZ_SEEDS set to a folder, the start-up writes seed inputs
// there: the files the instrument itself saves, and files of parameter values
// as other hosts and tools write them.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/Halvane.h"

namespace halvane {

namespace {

Halvane* gPlug = nullptr;
std::string gFolder;

vst::VstIntPtr VSTCALL Host(vst::AEffect*, vst::VstInt32, vst::VstInt32, vst::VstIntPtr, void*,
                            float) {
    return 0;
}

bool Write(const std::string& path, const std::string& bytes) {
    unlink(path.c_str()); // a new file: rewriting a truncated one makes the system flush it
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::string Read(const std::string& path) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
            bytes.append(buffer, got);
        std::fclose(file);
    }
    return bytes;
}

void Put(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

std::string ValueProgram(const char* name) {
    std::string p = "CcnK";
    Put(p, 48 + 4 * 93);
    p += "FxCk";
    Put(p, 1);
    Put(p, vst::FourCC('H', 'a', 'l', '3'));
    Put(p, 1);
    Put(p, 93);
    std::string field = name;
    field.resize(28, '\0');
    p += field;
    for (int i = 0; i < 93; ++i) {
        const float v = static_cast<float>(i) / 93.0f;
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Put(p, bits);
    }
    return p;
}

void WriteSeeds(const std::string& folder) {
    gPlug->SaveProgramFile(gFolder + "/seed.fxp");
    gPlug->SaveBankFile(gFolder + "/seed.fxb");
    Write(folder + "/program-file", std::string(1, '\0') + Read(gFolder + "/seed.fxp"));
    Write(folder + "/bank-file", std::string(1, '\1') + Read(gFolder + "/seed.fxb"));
    Write(folder + "/value-program-file", std::string(1, '\0') + ValueProgram("Values"));
    std::string bank = "CcnK";
    Put(bank, 0);
    bank += "FxBk";
    Put(bank, 2);
    Put(bank, vst::FourCC('H', 'a', 'l', '3'));
    Put(bank, 1);
    Put(bank, 2);
    Put(bank, 1);
    bank.append(124, '\0');
    bank += ValueProgram("One") + ValueProgram("Two");
    Write(folder + "/value-bank-file", std::string(1, '\1') + bank);
}

} // namespace

} // namespace halvane

using namespace halvane;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/halvane-fuzz-XXXXXX";
    const char* made = mkdtemp(folder);
    gFolder = made ? made : "/tmp";
    setenv("XDG_CONFIG_HOME", gFolder.c_str(), 1);
    setenv("HOME", gFolder.c_str(), 1);
    gPlug = new Halvane(Host);
    gPlug->FillEmptyPrograms();
    if (const char* seeds = std::getenv("HALVANE_FUZZ_SEEDS"))
        WriteSeeds(seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::string path = gFolder + "/input";
    if (!Write(path, std::string(reinterpret_cast<const char*>(data) + 1, size - 1)))
        return 0;
    const bool loaded = (data[0] & 1) ? gPlug->LoadBankFile(path) : gPlug->LoadProgramFile(path);

    for (int i = 0; i < gPlug->NParams(); ++i) {
        const PlugParam* p = gPlug->GetParam(i);
        if (!(p->Value() >= p->Min() && p->Value() <= p->Max()))
            std::abort();
    }
    if (!loaded)
        return 0; // a failed load puts everything back as it was
    ChunkBuffer bank;
    Halvane::WriteChunkHeader(bank);
    if (!gPlug->SerializePresets(bank) || gPlug->UnserializePresets(bank, 8) < 0)
        std::abort();
    return 0;
}
