#pragma once
// Command line of halvane-render:
//
//   halvane-render [options] input.mid -o out.wav
//   halvane-render --bench [options]
//   halvane-render [options] --save-fxp FILE | --save-fxb FILE
//
// The parser only checks the command line itself; whether the files exist and
// whether a program or parameter name is known is for the renderer to find out.

#include "tools/render/WavWriter.h"

#include <string>
#include <vector>

namespace halvane {

enum class OutputLayout {
    Total, // the plug-in's first stereo pair ("Total L/R" on Halvane)
    All    // every output of the plug-in
};

// One --set "Name=value": a plain value in the parameter's own range.
struct ParamSetting {
    std::string name;
    double value = 0.0;
};

struct RenderOptions {
    static constexpr int kDefaultSampleRate = 44100;
    static constexpr int kMinSampleRate = 8000;
    static constexpr int kMaxSampleRate = 384000;
    static constexpr int kDefaultBlockSize = 256;
    static constexpr int kMaxBlockSize = 8192;
    static constexpr double kDefaultTailSeconds = 5.0;
    static constexpr double kMaxTailSeconds = 3600.0;
    static constexpr double kDefaultBenchSeconds = 10.0;
    static constexpr double kMinBenchSeconds = 0.1;
    static constexpr double kMaxBenchSeconds = 600.0;

    bool help = false;    // --help / -h: print RenderUsage and exit 0
    bool version = false; // --version: print RenderVersion and exit 0
    bool bench = false;   // --bench: fixed workloads; input and output are optional
    bool verbose = false; // -v / --verbose: say what the setup did
    double benchSeconds = kDefaultBenchSeconds; // --bench-seconds: audio measured per workload

    std::string inputPath;  // the MIDI file
    std::string outputPath; // -o / --output; with --split the stem of the four files
    std::string pluginPath; // empty: the renderer's default plug-in

    // --program: an index into the plug-in's bank, or a program name.
    bool hasProgram = false;
    int programIndex = -1;   // >= 0 when given as a number
    std::string programName; // non-empty when given as a name

    std::string fxbPath; // bank file, loaded first
    std::string fxpPath; // program file, loaded into the current program after --program
    std::vector<ParamSetting> settings; // applied last, in command-line order

    // --save-fxp / --save-fxb: the plug-in's program or bank after the setup above,
    // written before anything is rendered. With one of them the MIDI file and the
    // output are optional.
    std::string saveFxpPath;
    std::string saveFxbPath;

    int sampleRate = kDefaultSampleRate;
    int blockSize = kDefaultBlockSize;
    double tailSeconds = kDefaultTailSeconds; // limit of the render after the last event

    OutputLayout outputs = OutputLayout::Total;
    bool split = false; // with OutputLayout::All: one stereo file per output pair
    // Float by default: it keeps the plug-in's single-precision output exactly, so
    // renders compare bit for bit, and a loud chord that goes over full scale stays
    // intact instead of clipping.
    SampleFormat format = SampleFormat::Float32;
};

// Parses argv[1..argc-1]. Options take their value as the next argument or after
// '=' (--rate=48000); "--" ends the options. With --help or --version nothing else
// is required. Returns false with a message naming the offending argument.
bool ParseRenderOptions(int argc, const char* const* argv, RenderOptions& out, std::string& error);
bool ParseRenderOptions(int argc, char** argv, RenderOptions& out, std::string& error);

// The --help text (ends with a newline).
std::string RenderUsage(const std::string& programName);
// "halvane-render <version>".
std::string RenderVersion();

// With --split: the file for one output pair, the pair's name put before the
// extension: ("out.wav", "Synth") gives "out-Synth.wav"; a path without an
// extension gets ".wav" appended.
std::string PairOutputPath(const std::string& outputPath, const std::string& pairName);

} // namespace halvane
