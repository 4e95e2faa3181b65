#include "tools/bankc/BankSource.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace halvane {

namespace {

std::string Trim(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t' || text[begin] == '\r'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r'))
        --end;
    return text.substr(begin, end - begin);
}

std::string At(int line) {
    return "line " + std::to_string(line) + ": ";
}

// The whole text as a decimal number, or false.
bool ParseNumber(const std::string& text, double& value) {
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

bool ParseValue(const PlugParam& param, const std::string& text, double& value, std::string& why) {
    if (param.GetKind() == PlugParam::kList) {
        if (param.FindDisplayText(text.c_str(), value))
            return true;
        why = "\"" + text + "\" is not one of";
        for (const PlugParam::DisplayText& entry : param.DisplayTexts())
            why += std::string(" \"") + entry.text + "\"";
        return false;
    }
    if (!ParseNumber(text, value)) {
        why = "\"" + text + "\" is not a number";
        return false;
    }
    if (value < param.Min() || value > param.Max()) {
        why = text + " is outside " + std::to_string(param.Min()) + " to " +
              std::to_string(param.Max());
        return false;
    }
    if (param.GetKind() == PlugParam::kInteger && value != std::floor(value)) {
        why = text + " is not a whole number";
        return false;
    }
    return true;
}

void PutLittle32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutBig32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutDouble(std::vector<uint8_t>& out, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

void PutText(std::vector<uint8_t>& out, const std::string& text) {
    PutLittle32(out, static_cast<uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

// Byte by byte, like the numbers: a four-byte range insert into a vector that
// may still be empty is something GCC's overflow analysis misreads at -O3.
void PutMagic(std::vector<uint8_t>& out, const char* magic) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(magic[i]));
}

} // namespace

bool ParseBankSource(const std::string& source, const PlugParam* params, int paramCount,
                     std::vector<BankProgram>& programs, std::string& error) {
    programs.clear();
    std::vector<bool> given;
    std::size_t pos = 0;
    int line = 0;
    while (pos < source.size()) {
        std::size_t end = source.find('\n', pos);
        if (end == std::string::npos)
            end = source.size();
        const std::string text = Trim(source.substr(pos, end - pos));
        pos = end + 1;
        ++line;
        if (text.empty() || text[0] == '#')
            continue;

        if (text[0] == '[') {
            const std::size_t close = text.rfind(']');
            if (close == std::string::npos || close != text.size() - 1) {
                error = At(line) + "a program header is [name]";
                return false;
            }
            BankProgram program;
            program.name = Trim(text.substr(1, close - 1));
            if (program.name.empty() || program.name.size() > 255) {
                error = At(line) + "a program name has 1 to 255 characters";
                return false;
            }
            for (const BankProgram& other : programs) {
                if (other.name == program.name) {
                    error = At(line) + "the program \"" + program.name + "\" is there twice";
                    return false;
                }
            }
            for (int i = 0; i < paramCount; ++i)
                program.values.push_back(params[i].Default());
            programs.push_back(program);
            given.assign(static_cast<std::size_t>(paramCount), false);
            continue;
        }

        const std::size_t equals = text.find('=');
        if (equals == std::string::npos) {
            error = At(line) + "expected \"parameter name = value\"";
            return false;
        }
        if (programs.empty()) {
            error = At(line) + "a parameter before the first [program]";
            return false;
        }
        const std::string name = Trim(text.substr(0, equals));
        const std::string valueText = Trim(text.substr(equals + 1));
        int index = -1;
        for (int i = 0; i < paramCount; ++i) {
            if (name == params[i].Name()) {
                index = i;
                break;
            }
        }
        if (index < 0) {
            error = At(line) + "no parameter is named \"" + name + "\"";
            return false;
        }
        if (given[static_cast<std::size_t>(index)]) {
            error =
                At(line) + "\"" + name + "\" is given twice in \"" + programs.back().name + "\"";
            return false;
        }
        double value = 0.0;
        std::string why;
        if (!ParseValue(params[index], valueText, value, why)) {
            error = At(line) + "\"" + name + "\": " + why;
            return false;
        }
        given[static_cast<std::size_t>(index)] = true;
        programs.back().values[static_cast<std::size_t>(index)] = value;
    }
    if (programs.empty()) {
        error = "the source holds no program";
        return false;
    }
    return true;
}

std::vector<uint8_t> BuildBankFile(const std::vector<BankProgram>& programs,
                                   const BankIdentity& identity) {
    std::vector<uint8_t> chunk;
    PutMagic(chunk, "tffp");
    PutLittle32(chunk, 0x00010000u);
    const std::string currentName = programs.empty() ? std::string() : programs.front().name;
    for (const BankProgram& program : programs) {
        PutText(chunk, program.name);
        chunk.push_back(1);
        chunk.insert(chunk.end(), identity.stateKey.begin(), identity.stateKey.end());
        PutLittle32(chunk, 0); // the current program when the bank is saved
        PutText(chunk, currentName);
        for (double value : program.values)
            PutDouble(chunk, value);
    }

    std::vector<uint8_t> file;
    PutMagic(file, "CcnK");
    PutBig32(file, static_cast<uint32_t>(chunk.size() + 152));
    PutMagic(file, "FBCh");
    PutBig32(file, 2);
    PutBig32(file, static_cast<uint32_t>(identity.uniqueId));
    PutBig32(file, static_cast<uint32_t>(identity.version));
    PutBig32(file, static_cast<uint32_t>(programs.size()));
    PutBig32(file, 0);
    file.insert(file.end(), 124, 0);
    PutBig32(file, static_cast<uint32_t>(chunk.size()));
    file.insert(file.end(), chunk.begin(), chunk.end());
    return file;
}

} // namespace halvane
