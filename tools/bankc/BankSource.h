#pragma once
// The built-in bank's text source and the bank file made from it.
//
// The source lists the programs in order, one block each:
//
//   # a comment line
//   [Program Name]
//   VCF Cutoff = 0.42
//   VCO 1 Wave = Pulse
//
// A block holds only the parameters that differ from their defaults, named as
// the instrument names them, with plain values in the parameter's own range;
// list parameters are given by their display text. Everything else in the
// program keeps its default. Unknown names, values outside the range, whole-
// number parameters given fractions and unknown list texts are errors.

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/PlugParam.h"

namespace halvane {

struct BankProgram {
    std::string name;
    std::vector<double> values; // one per parameter, plain
};

// Parses source against the initialised parameter records. On failure returns
// false with a message naming the line ("line 12: ...").
bool ParseBankSource(const std::string& source, const PlugParam* params, int paramCount,
                     std::vector<BankProgram>& programs, std::string& error);

// What a bank file states about the instrument.
struct BankIdentity {
    int32_t uniqueId = 0;
    int32_t version = 0; // as a decimal number, 10104 for 1.1.4
    std::string stateKey;
};

// The bank file in its chunk form: the 160-byte header (big-endian fields,
// current program 0) and the chunk: the chunk header, then per program its name,
// the initialised byte and an instrument state (key, current program index,
// current program's name, the values) - the bytes the instrument itself writes
// when it saves a bank with program 0 current.
std::vector<uint8_t> BuildBankFile(const std::vector<BankProgram>& programs,
                                   const BankIdentity& identity);

} // namespace halvane
