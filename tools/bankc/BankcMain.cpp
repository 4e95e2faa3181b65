// halvane-bankc SOURCE OUTPUT: compiles the built-in bank's text source into
// the bank file that the build embeds in the plug-in. Any error in the source
// stops the build with the line it is on.

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sound/ParamIds.h"
#include "sound/ParamTable.h"
#include "tools/bankc/BankSource.h"

namespace halvane {

namespace {

constexpr int kPrograms = 64;
constexpr int32_t kUniqueId = ('H' << 24) | ('a' << 16) | ('l' << 8) | '3';
constexpr int32_t kDecimalVersion = 10104;
const char kStateKey[] = "Halvane_1.1.3";

int Fail(const std::string& message) {
    std::fprintf(stderr, "halvane-bankc: %s\n", message.c_str());
    return 1;
}

} // namespace

} // namespace halvane

using namespace halvane;

int main(int argc, char** argv) {
    if (argc != 3)
        return Fail("usage: halvane-bankc SOURCE OUTPUT");
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
        return Fail(std::string("cannot read ") + argv[1]);
    std::stringstream text;
    text << in.rdbuf();

    std::vector<PlugParam> params(kNumParams);
    InitHalvaneParams(params.data(), kNumParams);

    std::vector<BankProgram> programs;
    std::string error;
    if (!ParseBankSource(text.str(), params.data(), kNumParams, programs, error))
        return Fail(std::string(argv[1]) + ": " + error);
    if (static_cast<int>(programs.size()) != kPrograms)
        return Fail(std::string(argv[1]) + ": the bank holds " + std::to_string(programs.size()) +
                    " programs, not " + std::to_string(kPrograms));

    const std::vector<uint8_t> bytes =
        BuildBankFile(programs, BankIdentity{kUniqueId, kDecimalVersion, kStateKey});
    const std::string temporary = std::string(argv[2]) + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out)
            return Fail(std::string("cannot write ") + temporary);
    }
    if (std::rename(temporary.c_str(), argv[2]) != 0) {
        std::remove(temporary.c_str());
        return Fail(std::string("cannot write ") + argv[2]);
    }
    return 0;
}
