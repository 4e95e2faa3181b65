#include "tools/render/Bench.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "tools/render/OutputMeter.h"
#include "tools/render/PluginSetup.h"
#include "tools/render/SmfReader.h"

namespace halvane {

namespace {

constexpr int kLowestKey = 36; // C2
constexpr int kKeySpan = 64;
constexpr uint8_t kVelocity = 100;
// Rendered before the clock starts, so attacks and first touches of memory are
// not part of the figure.
constexpr double kWarmUpSeconds = 0.25;

double Seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The Synthe voice with everything that costs per sample in use: pulse and second
// oscillator, a resonant filter swept by its envelope.
std::vector<ParamSetting> SyntheVoice() {
    return {{"Trident Mode", 0},    {"VCO 1 Wave", 1},          {"VCO 1 PW/PWM", 0.3},
            {"VCO 2 Octave", 2},    {"VCO 2 Detune", 0.1},      {"VCF Cutoff", 0.45},
            {"VCF Resonance", 0.6}, {"VCF EG Intensity", 4000}, {"VCF Attack", 0.2},
            {"VCF Decay", 0.6},     {"VCF Sustain", 0.4},       {"VCF Release", 0.3},
            {"VCA Release", 0.3},   {"Output Synthe", 1},       {"Output Brass", 0},
            {"Output Strings", 0},  {"Flanger Synthe", 0},      {"Flanger Brass", 0},
            {"Flanger Strings", 0}};
}

// Every section sounding, every footage and every effect on.
std::vector<ParamSetting> WholeInstrument() {
    std::vector<ParamSetting> settings = SyntheVoice();
    const std::vector<ParamSetting> more = {
        {"Output Brass", 1},      {"Output Strings", 1},
        {"Brass 16'", 1},         {"Brass 8'", 1},
        {"Brass Resonance", 0.5}, {"Brass EG Intensity", 3000},
        {"Brass Decay", 0.5},     {"Brass Sustain", 0.5},
        {"Strings 16'", 1},       {"Strings 8'", 1},
        {"Strings 4'", 1},        {"Strings Bowing", 0},
        {"Strings Vibrato", 0},   {"Strings Vibrato Intensity", 0.3},
        {"Strings Ensemble", 0},  {"Stereo Ensemble", 1},
        {"Strings EQ High", 3},   {"Strings EQ Low", -3},
        {"Flanger Synthe", 1},    {"Flanger Brass", 1},
        {"Flanger Strings", 1},   {"Stereo Flanger", 1}};
    settings.insert(settings.end(), more.begin(), more.end());
    return settings;
}

} // namespace

double BenchResult::CpuPerAudioSecond() const {
    return audioSeconds > 0.0 ? threadCpuSeconds / audioSeconds : 0.0;
}

double BenchResult::NanosecondsPerVoiceSample(double sampleRate) const {
    const double voiceSamples = audioSeconds * sampleRate * static_cast<double>(notes);
    return voiceSamples > 0.0 ? threadCpuSeconds * 1e9 / voiceSamples : 0.0;
}

double BenchResult::RealTimeFactor() const {
    return threadCpuSeconds > 0.0 ? audioSeconds / threadCpuSeconds : 0.0;
}

std::vector<int> BenchKeys(int notes) {
    std::vector<int> keys;
    for (int i = 0; i < notes && notes <= kKeySpan; ++i)
        keys.push_back(kLowestKey + i * kKeySpan / notes);
    return keys;
}

std::vector<BenchWorkload> BenchWorkloads(const std::string& effectName) {
    if (effectName == "Halvane") {
        std::vector<ParamSetting> trident = WholeInstrument();
        trident.push_back({"Trident Mode", 1});
        return {{"synthe-64",
                 "64 voices, Synthe only: pulse VCO 1, VCO 2, resonant VCF with envelope", 64,
                 "Init", SyntheVoice()},
                {"all-64", "64 voices, all sections, every footage, flanger and ensemble", 64,
                 "Init", WholeInstrument()},
                {"trident-8", "8 voices in Trident Mode, all sections and effects", 8, "Init",
                 trident}};
    }
    return {{"notes-64", "64 held notes on the current program", 64, "", {}},
            {"notes-8", "8 held notes on the current program", 8, "", {}}};
}

RenderStatus RunBench(const RenderOptions& options, std::string& pluginName,
                      std::vector<BenchResult>& results, std::string& error) {
    results.clear();
    const double rate = static_cast<double>(options.sampleRate);
    LoadedPlugin first;
    RenderStatus status = LoadPlugin(options.pluginPath, rate, options.blockSize, first, error);
    if (status != RenderStatus::Ok)
        return status;
    pluginName = first.host->EffectName();
    const std::shared_ptr<vsthost::PluginLibrary> library = first.library;
    first.host.reset();

    for (const BenchWorkload& workload : BenchWorkloads(pluginName)) {
        LoadedPlugin instance;
        status = CreateInstance(library, rate, options.blockSize, instance, error);
        if (status != RenderStatus::Ok)
            return status;
        vsthost::Host& host = *instance.host;
        if (!workload.program.empty()) {
            std::string ignored;
            const int index = FindProgramByName(host, workload.program, ignored);
            if (index >= 0)
                host.Dispatch(vst::effSetProgram, 0, index);
        }
        for (const ParamSetting& setting : workload.settings) {
            std::string shown;
            const int index = FindParameter(host, setting.name, error);
            if (index < 0 || !SetPlainValue(host, index, setting.value, shown, error))
                return RenderStatus::UnknownParameter;
        }
        std::vector<std::string> notes;
        status = ApplySetup(host, options, notes, error);
        if (status != RenderStatus::Ok)
            return status;

        std::vector<vsthost::MidiMessage> on;
        for (int key : BenchKeys(workload.notes))
            on.push_back({0, 0x90, static_cast<uint8_t>(key), kVelocity});
        host.SendMidi(on);
        host.TimeInfo().flags |= vst::kVstTransportPlaying;

        const auto block = static_cast<uint64_t>(options.blockSize);
        const uint64_t warmUp = SecondsToSamples(kWarmUpSeconds, rate);
        const uint64_t measured = SecondsToSamples(options.benchSeconds, rate);
        for (uint64_t done = 0; done < warmUp; done += block) {
            host.Process(static_cast<int>(std::min(block, warmUp - done)));
            host.ClearCalls();
        }
        double peak = 0.0;
        const double threadStart = Seconds(CLOCK_THREAD_CPUTIME_ID);
        const double processStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        for (uint64_t done = 0; done < measured; done += block) {
            const int frames = static_cast<int>(std::min(block, measured - done));
            host.Process(frames);
            host.ClearCalls();
            const auto& outputs = host.Outputs();
            for (std::size_t c = 0; c < outputs.size() && c < 2; ++c)
                for (int i = 0; i < frames; ++i)
                    peak = std::max(peak, static_cast<double>(
                                              std::fabs(outputs[c][static_cast<std::size_t>(i)])));
        }
        BenchResult result;
        result.threadCpuSeconds = Seconds(CLOCK_THREAD_CPUTIME_ID) - threadStart;
        result.processCpuSeconds = Seconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
        result.id = workload.id;
        result.description = workload.description;
        result.notes = workload.notes;
        result.audioSeconds = static_cast<double>(measured) / rate;
        result.peakDbfs = OutputMeter::ToDbfs(peak);
        results.push_back(result);
    }
    return RenderStatus::Ok;
}

std::string FormatBenchTable(const std::string& pluginName, const RenderOptions& options,
                             const std::vector<BenchResult>& results) {
    char line[512];
    std::string text;
    std::snprintf(line, sizeof line,
                  "%s (%s): %d Hz, block %d, %g s of audio per workload, CPU time of the "
                  "rendering thread\n",
                  pluginName.c_str(), options.pluginPath.c_str(), options.sampleRate,
                  options.blockSize, options.benchSeconds);
    text += line;
    std::snprintf(line, sizeof line, "%-12s %5s %14s %16s %10s %16s %9s\n", "workload", "notes",
                  "CPU s/audio s", "ns/voice-sample", "real-time", "all threads s/s", "peak dBFS");
    text += line;
    for (const BenchResult& r : results) {
        std::snprintf(line, sizeof line, "%-12s %5d %14.4f %16.2f %9.1fx %16.4f %9.1f\n",
                      r.id.c_str(), r.notes, r.CpuPerAudioSecond(),
                      r.NanosecondsPerVoiceSample(static_cast<double>(options.sampleRate)),
                      r.RealTimeFactor(),
                      r.audioSeconds > 0.0 ? r.processCpuSeconds / r.audioSeconds : 0.0,
                      r.peakDbfs);
        text += line;
    }
    for (const BenchResult& r : results)
        text += "  " + r.id + ": " + r.description + "\n";
    return text;
}

} // namespace halvane
