#pragma once
// One render of a MIDI file through a VST 2.4 instrument: load and set up the
// plug-in, feed the file's events block by block at their exact sample offsets,
// stream the outputs to WAV files, render on after the end until the sound has died
// away (or the tail limit), and report levels and CPU time.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/render/RenderOptions.h"
#include "tools/render/RenderStatus.h"

namespace halvane {

struct RenderProgress {
    uint64_t frame = 0;      // rendered so far
    uint64_t endFrame = 0;   // end of the MIDI file
    uint64_t limitFrame = 0; // end of the file plus the tail limit
};

struct RenderReport {
    std::string pluginName;
    std::string programName; // the current program when rendering began
    std::vector<std::string> setupNotes;
    std::vector<std::string> files;        // written, in output order
    std::vector<std::string> channelNames; // of the channels written
    std::vector<double> peak;              // linear, per channel written
    std::vector<double> rms;
    uint64_t frames = 0;
    int sampleRate = 0;
    double audioSeconds = 0.0;
    double cpuSeconds = 0.0;  // process CPU time of the render loop
    int events = 0;           // MIDI events sent
    int releasedAtEnd = 0;    // notes and pedals the file left held
    bool tailLimited = false; // still sounding when the tail limit was reached
    uint64_t nonFinite = 0;
};

// Longest piece rendered; a file claiming more is taken for a broken one.
constexpr double kMaxRenderSeconds = 12.0 * 3600.0;

class RenderSession {
public:
    using ProgressFunction = std::function<void(const RenderProgress&)>;

    // Runs the command line's render (or only its --save-fxp/--save-fxb when no MIDI
    // file is given). options.pluginPath must name the plug-in. Output files appear
    // only when everything succeeded; nothing is left half-written.
    RenderStatus Run(const RenderOptions& options, RenderReport& report, std::string& error,
                     const ProgressFunction& progress = {});
};

// The one-line summary: files, duration, peak and RMS per channel, CPU time and
// real-time factor.
std::string FormatSummary(const RenderReport& report);

} // namespace halvane
