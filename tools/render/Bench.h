#pragma once
// halvane-render --bench: fixed workloads of held notes rendered through the same
// host code as a normal render, timed by the CPU time of the rendering thread.
// Halvane gets its own three workloads; any other instrument is measured with held
// notes on whatever program the command line's setup leaves it in.

#include <string>
#include <vector>

#include "tools/render/RenderOptions.h"
#include "tools/render/RenderStatus.h"

namespace halvane {

struct BenchWorkload {
    std::string id; // one word, first column of the table
    std::string description;
    int notes = 0;
    // Start from the program of this name when the plug-in has one ("" = keep the
    // program the setup chose).
    std::string program;
    std::vector<ParamSetting> settings; // applied before the command line's --set
};

struct BenchResult {
    std::string id;
    std::string description;
    int notes = 0;
    double audioSeconds = 0.0;
    double threadCpuSeconds = 0.0;  // the rendering thread, process calls only
    double processCpuSeconds = 0.0; // every thread of the process meanwhile
    double peakDbfs = 0.0;          // of the first two outputs: shows the notes sound

    double CpuPerAudioSecond() const;
    double NanosecondsPerVoiceSample(double sampleRate) const;
    double RealTimeFactor() const;
};

// The workloads for a plug-in by its effect name.
std::vector<BenchWorkload> BenchWorkloads(const std::string& effectName);

// The keys held by a workload of n notes: spread over five octaves from C2 up.
std::vector<int> BenchKeys(int notes);

// Runs every workload on a fresh instance (options.pluginPath must be set).
RenderStatus RunBench(const RenderOptions& options, std::string& pluginName,
                      std::vector<BenchResult>& results, std::string& error);

// The table --bench prints, with a header naming the plug-in and the settings.
std::string FormatBenchTable(const std::string& pluginName, const RenderOptions& options,
                             const std::vector<BenchResult>& results);

} // namespace halvane
