// halvane-render: renders a Standard MIDI File through Halvane (or any VST 2.4
// instrument) into WAV files, without a DAW. See RenderUsage() for the options.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/render/Bench.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/RenderSession.h"

namespace halvane {

#ifndef HALVANE_BUILT_PLUGIN
#define HALVANE_BUILT_PLUGIN ""
#endif
#ifndef HALVANE_INSTALLED_PLUGIN
#define HALVANE_INSTALLED_PLUGIN ""
#endif

namespace {

const char* kName = "halvane-render";

// The plug-in of this build when it is still there, else the installed one.
std::string DefaultPlugin(std::string& error) {
    std::error_code code;
    for (const char* candidate : {HALVANE_BUILT_PLUGIN, HALVANE_INSTALLED_PLUGIN})
        if (candidate[0] != '\0' && std::filesystem::is_regular_file(candidate, code))
            return candidate;
    error = std::string("no plug-in given and none found at ") + HALVANE_BUILT_PLUGIN + " or " +
            HALVANE_INSTALLED_PLUGIN + " (use --plugin PATH)";
    return std::string();
}

// Redraws at most ten times a second; the last call clears the line.
class ProgressBar {
public:
    explicit ProgressBar(double sampleRate) : rate_(sampleRate) {}

    void Show(const RenderProgress& p) {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(100))
            return;
        last_ = now;
        constexpr int kWidth = 30;
        const bool tail = p.frame >= p.endFrame;
        const double whole = static_cast<double>(tail ? p.limitFrame : p.endFrame);
        const double share = whole > 0.0 ? static_cast<double>(p.frame) / whole : 1.0;
        const int filled = static_cast<int>(share * kWidth);
        std::string bar(static_cast<std::size_t>(kWidth), ' ');
        for (int i = 0; i < filled && i < kWidth; ++i)
            bar[static_cast<std::size_t>(i)] = '=';
        std::fprintf(stderr, "\r[%s] %3d%%  %.1f / %.1f s%s", bar.c_str(),
                     static_cast<int>(share * 100.0), static_cast<double>(p.frame) / rate_,
                     static_cast<double>(p.endFrame) / rate_, tail ? "  tail" : "     ");
        drawn_ = true;
    }

    void Clear() {
        if (drawn_)
            std::fprintf(stderr, "\r\033[K");
        drawn_ = false;
    }

private:
    double rate_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_{};
};

int Report(RenderStatus status, const std::string& error) {
    if (status != RenderStatus::Ok)
        std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
    return ExitCode(status);
}

} // namespace

} // namespace halvane

using namespace halvane;

int main(int argc, char** argv) {
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(argc, argv, options, error))
        return Report(RenderStatus::Usage, error);
    if (options.help) {
        std::fputs(RenderUsage(kName).c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", RenderVersion().c_str());
        return 0;
    }
    if (options.pluginPath.empty()) {
        options.pluginPath = DefaultPlugin(error);
        if (options.pluginPath.empty())
            return Report(RenderStatus::PluginLoad, error);
    }

    if (options.bench) {
        std::string pluginName;
        std::vector<BenchResult> results;
        const RenderStatus status = RunBench(options, pluginName, results, error);
        if (status == RenderStatus::Ok) {
            std::fputs(FormatBenchTable(pluginName, options, results).c_str(), stdout);
            std::fflush(stdout);
        }
        return Report(status, error);
    }

    ProgressBar bar(static_cast<double>(options.sampleRate));
    RenderSession::ProgressFunction progress;
    if (isatty(STDERR_FILENO) && !options.verbose)
        progress = [&bar](const RenderProgress& p) { bar.Show(p); };
    RenderSession session;
    RenderReport report;
    const RenderStatus status = session.Run(options, report, error, progress);
    bar.Clear();
    if (options.verbose) {
        std::fprintf(stderr, "%s: plug-in %s (%s)\n", kName, report.pluginName.c_str(),
                     options.pluginPath.c_str());
        for (const std::string& note : report.setupNotes)
            std::fprintf(stderr, "%s: %s\n", kName, note.c_str());
        if (!report.programName.empty())
            std::fprintf(stderr, "%s: rendering on the program '%s'\n", kName,
                         report.programName.c_str());
        if (report.releasedAtEnd > 0)
            std::fprintf(stderr,
                         "%s: notes still held at the end of the file, released there: %d\n", kName,
                         report.releasedAtEnd);
    }
    if (status == RenderStatus::Ok && !report.files.empty()) {
        std::printf("%s\n", FormatSummary(report).c_str());
        std::fflush(stdout);
    }
    return Report(status, error);
}
