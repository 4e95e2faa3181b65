// effSetChunk through the real dispatcher of an instrument instance. The first
// byte chooses a program or bank request and a host whose vendor brings in the
// rule that always reads program chunks; the rest is the chunk. Afterwards the
// parameters must lie in their ranges and the instance must still hand out a
// chunk that it reads back.
//
// With HALVANE_FUZZ_SEEDS set to a folder, the start-up writes seed inputs
// there: the chunks the instrument itself hands out.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugin/Halvane.h"

namespace halvane {

namespace {

bool gVendorRule = false;
Halvane* gPlain = nullptr;
Halvane* gVendor = nullptr;

vst::VstIntPtr VSTCALL Host(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr,
                            void* ptr, float) {
    if (opcode == vst::audioMasterGetVendorString && ptr) {
        std::snprintf(static_cast<char*>(ptr), 64, "%s",
                      gVendorRule ? "Native Instruments" : "Kelpmoor Music");
        return 1;
    }
    return 0;
}

std::vector<uint8_t> GetChunk(Halvane* plug, bool bank) {
    vst::AEffect* e = plug->GetAEffect();
    void* data = nullptr;
    const auto size = e->dispatcher(e, vst::effGetChunk, bank ? 0 : 1, 0, &data, 0);
    if (size <= 0 || !data)
        return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

Halvane* MakeInstance(bool vendorRule) {
    gVendorRule = vendorRule;
    Halvane* plug = new Halvane(Host);
    plug->FillEmptyPrograms();
    GetChunk(plug, false); // the vendor is asked here and kept
    return plug;
}

void WriteSeed(const std::string& path, uint8_t selector, const std::vector<uint8_t>& chunk) {
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fputc(selector, file);
        std::fwrite(chunk.data(), 1, chunk.size(), file);
        std::fclose(file);
    }
}

void WriteSeeds(const std::string& folder) {
    const std::vector<uint8_t> program = GetChunk(gPlain, false);
    const std::vector<uint8_t> bank = GetChunk(gPlain, true);
    WriteSeed(folder + "/program", 0, program);
    WriteSeed(folder + "/bank", 1, bank);
    WriteSeed(folder + "/vendor-program", 2, program);
    WriteSeed(folder + "/vendor-bank", 3, bank);
    // The plain layout of 93 values, without header or key.
    std::vector<uint8_t> values;
    for (int i = 0; i < gPlain->NParams(); ++i) {
        const double v = gPlain->GetParam(i)->Value();
        const auto* b = reinterpret_cast<const uint8_t*>(&v);
        values.insert(values.end(), b, b + sizeof(v));
    }
    WriteSeed(folder + "/values", 0, values);
}

} // namespace

} // namespace halvane

using namespace halvane;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/halvane-fuzz-XXXXXX";
    if (const char* made = mkdtemp(folder)) {
        setenv("XDG_CONFIG_HOME", made, 1);
        setenv("HOME", made, 1);
    }
    gPlain = MakeInstance(false);
    gVendor = MakeInstance(true);
    if (const char* seeds = std::getenv("HALVANE_FUZZ_SEEDS"))
        WriteSeeds(seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    Halvane* plug = (data[0] & 2) ? gVendor : gPlain;
    const bool bank = (data[0] & 1) != 0;
    vst::AEffect* e = plug->GetAEffect();
    std::vector<uint8_t> chunk(data + 1, data + size);
    e->dispatcher(e, vst::effSetChunk, bank ? 0 : 1, static_cast<vst::VstIntPtr>(chunk.size()),
                  chunk.empty() ? nullptr : chunk.data(), 0);

    for (int i = 0; i < plug->NParams(); ++i) {
        const PlugParam* p = plug->GetParam(i);
        if (!(p->Value() >= p->Min() && p->Value() <= p->Max()))
            std::abort();
    }
    // What the instance hands out, it reads back.
    std::vector<uint8_t> out = GetChunk(plug, bank);
    if (out.empty() || e->dispatcher(e, vst::effSetChunk, bank ? 0 : 1,
                                     static_cast<vst::VstIntPtr>(out.size()), out.data(), 0) != 1)
        std::abort();
    return 0;
}
