#include "tools/render/RenderSession.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "tools/render/EventSchedule.h"
#include "tools/render/OutputFiles.h"
#include "tools/render/OutputMeter.h"
#include "tools/render/PluginSetup.h"
#include "tools/render/SmfReader.h"

namespace halvane {

namespace {

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

RenderStatus Fail(RenderStatus status, const std::string& what, std::string& error) {
    error = what;
    return status;
}

// The MIDI file: missing or unreadable is one failure, a broken file another.
RenderStatus ReadInput(const std::string& path, double sampleRate, MidiFile& midi,
                       std::string& error) {
    std::error_code code;
    if (!std::filesystem::exists(path, code))
        return Fail(RenderStatus::MidiMissing, path + ": no such MIDI file", error);
    if (!std::filesystem::is_regular_file(path, code))
        return Fail(RenderStatus::MidiMissing, path + ": not a file", error);
    if (FILE* probe = std::fopen(path.c_str(), "rb"))
        std::fclose(probe);
    else
        return Fail(RenderStatus::MidiMissing, path + ": cannot be read", error);
    std::string why;
    if (!ReadMidiFile(path, midi, why))
        return Fail(RenderStatus::MidiBad, why, error);
    double last = midi.duration;
    if (!midi.events.empty())
        last = std::max(last, midi.events.back().seconds);
    if (!(last <= kMaxRenderSeconds) || SecondsToSamples(last, sampleRate) >= UINT64_C(1) << 50)
        return Fail(RenderStatus::MidiBad,
                    path + ": the file lasts " + std::to_string(last / 3600.0) +
                        " hours; longer than a piece can plausibly be",
                    error);
    return RenderStatus::Ok;
}

} // namespace

RenderStatus RenderSession::Run(const RenderOptions& options, RenderReport& report,
                                std::string& error, const ProgressFunction& progress) {
    report = RenderReport();
    report.sampleRate = options.sampleRate;
    const double rate = static_cast<double>(options.sampleRate);
    const bool rendering = !options.inputPath.empty();

    MidiFile midi;
    if (rendering) {
        const RenderStatus status = ReadInput(options.inputPath, rate, midi, error);
        if (status != RenderStatus::Ok)
            return status;
    }

    LoadedPlugin plugin;
    RenderStatus status = LoadPlugin(options.pluginPath, rate, options.blockSize, plugin, error);
    if (status != RenderStatus::Ok)
        return status;
    vsthost::Host& host = *plugin.host;
    report.pluginName = host.EffectName();
    status = ApplySetup(host, options, report.setupNotes, error);
    if (status == RenderStatus::Ok)
        status = SavePresets(host, options, report.setupNotes, error);
    if (status != RenderStatus::Ok || !rendering)
        return status;
    report.programName = host.ProgramName();

    EventSchedule schedule;
    schedule.Build(midi, rate);
    report.releasedAtEnd = schedule.ReleasedAtEnd();
    const uint64_t endFrame = schedule.EndSample();
    const uint64_t limitFrame = endFrame + SecondsToSamples(options.tailSeconds, rate);

    OutputFiles outputs;
    status = outputs.Open(options, host, report.channelNames, limitFrame, error);
    if (status != RenderStatus::Ok)
        return status;
    const std::vector<int>& written = outputs.Written();

    OutputMeter meter;
    meter.Reset(static_cast<int>(written.size()), rate);
    std::vector<const float*> meterInput(written.size(), nullptr);
    std::vector<vsthost::MidiMessage> messages;
    vst::VstTimeInfo& time = host.TimeInfo();
    time.flags |= vst::kVstTransportPlaying | vst::kVstTransportChanged;

    const double cpuStart = ProcessCpuSeconds();
    uint64_t position = 0;
    for (;;) {
        const bool inTail = position >= endFrame;
        if (inTail && (position >= limitFrame || meter.IsQuiet()))
            break;
        // Blocks stop at the end of the file so the tail watch starts exactly there.
        const uint64_t stop = inTail ? limitFrame : endFrame;
        const int frames = static_cast<int>(
            std::min<uint64_t>(static_cast<uint64_t>(options.blockSize), stop - position));
        schedule.TakeBlock(position, frames, messages);
        if (!messages.empty()) {
            host.SendMidi(messages);
            report.events += static_cast<int>(messages.size());
        }
        time.samplePos = static_cast<double>(position);
        time.tempo = schedule.TempoAt(position);
        host.Process(frames);
        time.flags &= ~vst::kVstTransportChanged;
        host.ClearCalls(); // the host records every call; a long render would pile them up
        const auto& buffers = host.Outputs();
        for (std::size_t k = 0; k < written.size(); ++k)
            meterInput[k] = buffers[static_cast<std::size_t>(written[k])].data();
        const int kept = meter.Add(meterInput.data(), frames, inTail);
        if (!outputs.Write(buffers, kept, error))
            return RenderStatus::Output;
        position += static_cast<uint64_t>(kept);
        if (progress)
            progress({position, endFrame, limitFrame});
        if (kept < frames)
            break;
    }
    report.cpuSeconds = ProcessCpuSeconds() - cpuStart;
    report.tailLimited = options.tailSeconds > 0.0 && !meter.IsQuiet();
    report.frames = meter.Frames();
    report.audioSeconds = static_cast<double>(report.frames) / rate;
    report.nonFinite = meter.NonFinite();
    for (int c = 0; c < meter.Channels(); ++c) {
        report.peak.push_back(meter.Peak(c));
        report.rms.push_back(meter.Rms(c));
    }
    return outputs.Finish(report.files, error);
}

std::string FormatSummary(const RenderReport& report) {
    char text[256];
    std::string line;
    for (std::size_t i = 0; i < report.files.size(); ++i)
        line += (i > 0 ? ", " : "") + report.files[i];
    std::snprintf(text, sizeof text, ": %.2f s at %d Hz |", report.audioSeconds, report.sampleRate);
    line += text;
    for (std::size_t c = 0; c < report.channelNames.size(); ++c) {
        if (report.peak[c] > 0.0)
            std::snprintf(text, sizeof text, "%s %s peak %.1f RMS %.1f dBFS", c > 0 ? "," : "",
                          report.channelNames[c].c_str(), OutputMeter::ToDbfs(report.peak[c]),
                          OutputMeter::ToDbfs(report.rms[c]));
        else
            std::snprintf(text, sizeof text, "%s %s silent", c > 0 ? "," : "",
                          report.channelNames[c].c_str());
        line += text;
    }
    const double factor = report.cpuSeconds > 0.0 ? report.audioSeconds / report.cpuSeconds : 0.0;
    std::snprintf(text, sizeof text, " | CPU %.2f s, %.1fx real time", report.cpuSeconds, factor);
    line += text;
    if (report.tailLimited)
        line += " | still sounding at the tail limit";
    if (report.nonFinite > 0)
        line += " | " + std::to_string(report.nonFinite) + " samples were NaN or infinite";
    return line;
}

} // namespace halvane
