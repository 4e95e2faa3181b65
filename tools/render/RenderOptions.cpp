#include "tools/render/RenderOptions.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace halvane {

#ifndef HALVANE_RENDER_VERSION
#define HALVANE_RENDER_VERSION "unknown"
#endif

namespace {

constexpr int kMaxProgramIndex = 1000000;

enum class Option {
    Help,
    Version,
    Bench,
    Output,
    Plugin,
    Program,
    Fxp,
    Fxb,
    Set,
    Rate,
    Block,
    Tail,
    Outputs,
    Split,
    Format,
    Verbose,
    BenchSeconds,
    SaveFxp,
    SaveFxb
};

struct OptionSpec {
    const char* name;
    const char* alias; // nullptr when there is none
    Option option;
    bool takesValue;
};

constexpr OptionSpec kOptions[] = {
    {"--help", "-h", Option::Help, false},
    {"--version", nullptr, Option::Version, false},
    {"--bench", nullptr, Option::Bench, false},
    {"--output", "-o", Option::Output, true},
    {"--plugin", nullptr, Option::Plugin, true},
    {"--program", nullptr, Option::Program, true},
    {"--fxp", nullptr, Option::Fxp, true},
    {"--fxb", nullptr, Option::Fxb, true},
    {"--set", nullptr, Option::Set, true},
    {"--rate", nullptr, Option::Rate, true},
    {"--block", nullptr, Option::Block, true},
    {"--tail", nullptr, Option::Tail, true},
    {"--outputs", nullptr, Option::Outputs, true},
    {"--split", nullptr, Option::Split, false},
    {"--format", nullptr, Option::Format, true},
    {"--verbose", "-v", Option::Verbose, false},
    {"--bench-seconds", nullptr, Option::BenchSeconds, true},
    {"--save-fxp", nullptr, Option::SaveFxp, true},
    {"--save-fxb", nullptr, Option::SaveFxb, true},
};

const OptionSpec* FindOption(const std::string& name) {
    for (const OptionSpec& known : kOptions)
        if (name == known.name || (known.alias != nullptr && name == known.alias))
            return &known;
    return nullptr;
}

bool IsDigits(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::string Trim(const std::string& text) {
    const char* space = " \t";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// Whole text, decimal, no sign games: "48000" yes, "48k", "+48000", " 48000" no.
bool ParseInteger(const std::string& text, long long& value) {
    if (!IsDigits(text) || text.size() > 12)
        return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// Whole text, finite; independent of the C locale's decimal separator.
bool ParseNumber(const std::string& text, double& value) {
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    if (begin == end)
        return false;
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

std::string FormatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

class Parser {
public:
    Parser(RenderOptions& options, std::string& error) : o_(options), error_(error) {}

    bool Apply(const OptionSpec& known, const std::string& value) {
        const std::string option = known.name;
        switch (known.option) {
        case Option::Help:
            o_.help = true;
            return true;
        case Option::Version:
            o_.version = true;
            return true;
        case Option::Bench:
            o_.bench = true;
            return true;
        case Option::Split:
            o_.split = true;
            return true;
        case Option::Verbose:
            o_.verbose = true;
            return true;
        case Option::BenchSeconds:
            return SetSeconds(option, value, RenderOptions::kMinBenchSeconds,
                              RenderOptions::kMaxBenchSeconds, o_.benchSeconds);
        case Option::SaveFxp:
            o_.saveFxpPath = value;
            return true;
        case Option::SaveFxb:
            o_.saveFxbPath = value;
            return true;
        case Option::Output:
            o_.outputPath = value;
            return true;
        case Option::Plugin:
            o_.pluginPath = value;
            return true;
        case Option::Fxp:
            o_.fxpPath = value;
            return true;
        case Option::Fxb:
            o_.fxbPath = value;
            return true;
        case Option::Program:
            return SetProgram(value);
        case Option::Set:
            return AddSetting(value);
        case Option::Rate:
            return SetInteger(option, value, RenderOptions::kMinSampleRate,
                              RenderOptions::kMaxSampleRate, o_.sampleRate);
        case Option::Block:
            return SetInteger(option, value, 1, RenderOptions::kMaxBlockSize, o_.blockSize);
        case Option::Tail:
            return SetSeconds(option, value, 0.0, RenderOptions::kMaxTailSeconds, o_.tailSeconds);
        case Option::Outputs:
            if (value == "total")
                o_.outputs = OutputLayout::Total;
            else if (value == "all")
                o_.outputs = OutputLayout::All;
            else
                return Fail("--outputs '" + value + "': expected 'total' or 'all'");
            return true;
        case Option::Format:
            if (value == "f32")
                o_.format = SampleFormat::Float32;
            else if (value == "s16")
                o_.format = SampleFormat::Int16;
            else if (value == "s24")
                o_.format = SampleFormat::Int24;
            else
                return Fail("--format '" + value + "': expected 'f32', 's16' or 's24'");
            return true;
        }
        return Fail("unhandled option " + option);
    }

    bool Fail(const std::string& what) {
        error_ = what;
        return false;
    }

private:
    bool SetInteger(const std::string& option, const std::string& value, int low, int high,
                    int& target) {
        long long number = 0;
        if (!ParseInteger(value, number))
            return Fail(option + " '" + value + "': not a whole number");
        if (number < low || number > high)
            return Fail(option + " " + value + " is out of range (" + std::to_string(low) + " to " +
                        std::to_string(high) + ")");
        target = static_cast<int>(number);
        return true;
    }

    bool SetSeconds(const std::string& option, const std::string& value, double low, double high,
                    double& target) {
        double seconds = 0.0;
        if (!ParseNumber(value, seconds))
            return Fail(option + " '" + value + "': not a number of seconds");
        if (seconds < low || seconds > high)
            return Fail(option + " " + value + " is out of range (" + FormatSeconds(low) + " to " +
                        FormatSeconds(high) + " seconds)");
        target = seconds;
        return true;
    }

    bool SetProgram(const std::string& value) {
        long long index = 0;
        if (IsDigits(value)) {
            if (!ParseInteger(value, index) || index > kMaxProgramIndex)
                return Fail("--program " + value + ": index too large");
            o_.programIndex = static_cast<int>(index);
            o_.programName.clear();
        } else if (value.size() > 1 && value[0] == '-' && IsDigits(value.substr(1))) {
            return Fail("--program " + value + ": a program index cannot be negative");
        } else if (Trim(value).empty()) {
            return Fail("--program needs an index or a name");
        } else {
            o_.programIndex = -1;
            o_.programName = value;
        }
        o_.hasProgram = true;
        return true;
    }

    // The value is a number, so the last '=' separates it even from a name that
    // itself holds one.
    bool AddSetting(const std::string& value) {
        const std::size_t equals = value.rfind('=');
        if (equals == std::string::npos)
            return Fail("--set \"" + value + "\": expected \"Parameter Name=value\"");
        ParamSetting setting;
        setting.name = Trim(value.substr(0, equals));
        const std::string number = Trim(value.substr(equals + 1));
        if (setting.name.empty())
            return Fail("--set \"" + value + "\": the parameter name is missing");
        if (!ParseNumber(number, setting.value))
            return Fail("--set \"" + value + "\": '" + number + "' is not a number");
        o_.settings.push_back(setting);
        return true;
    }

    RenderOptions& o_;
    std::string& error_;
};

} // namespace

bool ParseRenderOptions(int argc, const char* const* argv, RenderOptions& out, std::string& error) {
    RenderOptions options;
    Parser parser(options, error);
    std::vector<std::string> inputs;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] != nullptr ? argv[i] : "";
        // "-" alone is a file name by tradition; so is everything after "--".
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        const std::size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            inlineValue = true;
        }
        const OptionSpec* known = FindOption(name);
        if (known == nullptr)
            return parser.Fail("unknown option '" + name + "' (see --help)");
        if (!known->takesValue && inlineValue)
            return parser.Fail("option '" + name + "' takes no value");
        if (known->takesValue && !inlineValue) {
            // A following option means the value was forgotten, not that a file is
            // called "--rate".
            if (i + 1 >= argc || argv[i + 1] == nullptr || std::strncmp(argv[i + 1], "--", 2) == 0)
                return parser.Fail("option '" + name + "' needs a value");
            value = argv[++i];
        }
        if (known->takesValue && value.empty())
            return parser.Fail("option '" + name + "' needs a value");
        if (!parser.Apply(*known, value))
            return false;
        if (options.help || options.version) {
            out = options;
            return true;
        }
    }

    if (inputs.size() > 1)
        return parser.Fail("more than one input file: '" + inputs[0] + "' and '" + inputs[1] + "'");
    if (!inputs.empty())
        options.inputPath = inputs[0];
    if (options.split && options.outputs != OutputLayout::All)
        return parser.Fail("--split needs --outputs all");
    const bool onlySaving = (!options.saveFxpPath.empty() || !options.saveFxbPath.empty()) &&
                            options.inputPath.empty() && options.outputPath.empty();
    if (!options.bench && !onlySaving) {
        if (options.inputPath.empty())
            return parser.Fail("no input MIDI file given (see --help)");
        if (options.outputPath.empty())
            return parser.Fail("no output file given (use -o FILE)");
    }
    if (!options.inputPath.empty() && options.inputPath == options.outputPath)
        return parser.Fail("the output file would overwrite the input file '" + options.inputPath +
                           "'");
    out = options;
    return true;
}

bool ParseRenderOptions(int argc, char** argv, RenderOptions& out, std::string& error) {
    const char* const* args = argv;
    return ParseRenderOptions(argc, args, out, error);
}

std::string RenderUsage(const std::string& programName) {
    return "Usage: " + programName + " [options] INPUT.mid -o OUTPUT.wav\n" + "       " +
           programName + " --bench [options]\n" + "       " + programName +
           " [options] --save-fxp FILE | --save-fxb FILE\n" +
           "Renders a Standard MIDI File (format 0 or 1, every channel) through a VST 2.4\n"
           "instrument into a WAV file, loading the plug-in as a host does.\n"
           "\n"
           "Options:\n"
           "  -o, --output FILE       the WAV file to write (required)\n"
           "  --plugin PATH           the VST 2.4 instrument to load (default: the built\n"
           "                          halvane64.so, else the installed one)\n"
           "  --fxb FILE              load a bank file first\n"
           "  --program N|NAME        select a program of the bank by index or by name\n"
           "  --fxp FILE              load a program file into the current program\n"
           "  --set \"NAME=VALUE\"      set a parameter, by the name the host sees, to a value\n"
           "                          in its own range (a switch or list: the index of its\n"
           "                          entry, from 0); repeatable, applied in order after\n"
           "                          --fxb, --program and --fxp\n"
           "  --rate HZ               sample rate, 8000 to 384000 (default 44100)\n"
           "  --block N               block size in samples, 1 to 8192 (default 256)\n"
           "  --tail SECONDS          keep rendering after the end of the file until the\n"
           "                          sound stays below -90 dBFS for 0.1 s, at most this\n"
           "                          long (default 5); notes the file leaves held are\n"
           "                          released at its end\n"
           "  --outputs total|all     the first stereo pair (default) or every output in\n"
           "                          one file\n"
           "  --split                 with --outputs all: one stereo file per output pair,\n"
           "                          named after OUTPUT with the pair's name added\n"
           "  --format f32|s16|s24    sample format (default f32: 32-bit float)\n"
           "  --save-fxp FILE         write the program after the setup to a program file\n"
           "  --save-fxb FILE         write the bank after the setup to a bank file\n"
           "  -v, --verbose           tell what the setup did (program, values as shown)\n"
           "  --bench                 render fixed workloads of held notes and report the\n"
           "                          CPU time per second of audio and per voice-sample\n"
           "  --bench-seconds S       audio measured per workload (default 10)\n"
           "  -h, --help              show this text\n"
           "  --version               show the version\n"
           "\n"
           "Options take their value as the next argument or after '=' (--rate=48000).\n"
           "A progress bar appears when standard error is a terminal; the summary line\n"
           "(duration, peak and RMS per channel, CPU time, real-time factor) goes to\n"
           "standard output.\n"
           "\n"
           "Exit status:\n"
           "  0  success                      5  the plug-in fails to load\n"
           "  1  other failure                6  unknown program name or index\n"
           "  2  bad command line             7  unknown parameter, or a value it cannot take\n"
           "  3  MIDI file missing/unreadable 8  fxp/fxb file missing, bad or not for the plug-in\n"
           "  4  not a valid MIDI file        9  an output file cannot be written\n";
}

std::string RenderVersion() {
    return std::string("halvane-render ") + HALVANE_RENDER_VERSION;
}

std::string PairOutputPath(const std::string& outputPath, const std::string& pairName) {
    // The name comes from the plug-in; only a harmless subset goes into a file name.
    std::string safe;
    for (char c : Trim(pairName)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        safe += plain ? c : '_';
    }
    if (safe.empty())
        safe = "pair";
    const std::size_t slash = outputPath.find_last_of('/');
    const std::size_t dot = outputPath.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    if (!hasExtension)
        return outputPath + "-" + safe + ".wav";
    return outputPath.substr(0, dot) + "-" + safe + outputPath.substr(dot);
}

} // namespace halvane
