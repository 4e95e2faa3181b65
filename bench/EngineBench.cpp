// Rendering speed: one second of audio per iteration at 44100 Hz in blocks of
// 256, with 1, 8 and 64 voices held, per section and with everything on.
// Reported per voice-sample and as the real-time factor, both from the CPU time
// of the rendering thread (the machine is shared; wall time says more about the
// neighbours than about the engine).

#include <benchmark/benchmark.h>

#include <vector>

#include "BenchSetup.h"
#include "FloorKernel.h"

namespace halvane {

namespace {

// range(0): voices.
void Run(benchmark::State& state, bench::Load load, bool trident,
         VoicePath asked = VoicePath::kAuto) {
    const int voices = static_cast<int>(state.range(0));
    if (asked != VoicePath::kAuto && VoiceLanes::Resolve(asked) != asked) {
        state.SkipWithError("voice path not available on this processor");
        return;
    }
    bench::Rig rig(load, voices, trident, asked);
    state.SetLabel(bench::PathName(rig.Get().ActiveVoicePath()));
    for (auto _ : state)
        rig.RenderBlocks(bench::kBlocksPerSecond);
    const double iterations = static_cast<double>(state.iterations());
    // Seconds per voice-sample, shown in ns by the "n" prefix of the report.
    state.counters["per_voice_sample"] =
        benchmark::Counter(iterations * bench::kSamplesPerSecond * voices,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // Seconds of audio rendered per second of time.
    state.counters["realtime_x"] = benchmark::Counter(
        iterations * bench::kSamplesPerSecond / bench::kRate, benchmark::Counter::kIsRate);
}

void BM_Synthe(benchmark::State& state) {
    Run(state, bench::Load::kSynthe, state.range(0) == 1);
}
// range(1): the voice path (1 scalar, 2 SSE2, 3 AVX2).
void BM_SyntheOnPath(benchmark::State& state) {
    Run(state, bench::Load::kSynthe, false, static_cast<VoicePath>(state.range(1)));
}
void BM_AllSectionsOnPath(benchmark::State& state) {
    Run(state, bench::Load::kAll, false, static_cast<VoicePath>(state.range(1)));
}
void BM_Brass(benchmark::State& state) {
    Run(state, bench::Load::kBrass, false);
}
void BM_Strings(benchmark::State& state) {
    Run(state, bench::Load::kStrings, false);
}
void BM_AllSections(benchmark::State& state) {
    Run(state, bench::Load::kAll, false);
}

// The hand-written AVX2 floor of the same per-voice operation mix, in the same
// run, so the engine's figures can be read against it.
void BM_FloorKernel(benchmark::State& state) {
    const int voices = static_cast<int>(state.range(0));
    if (!bench::FloorKernel::Supported()) {
        state.SkipWithError("no AVX2 on this processor");
        return;
    }
    bench::FloorKernel kernel(voices);
    std::vector<double> out(bench::kBlock);
    for (auto _ : state) {
        for (int b = 0; b < bench::kBlocksPerSecond; ++b)
            kernel.Render(out.data(), bench::kBlock);
        benchmark::DoNotOptimize(out.data());
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["per_voice_sample"] =
        benchmark::Counter(iterations * bench::kSamplesPerSecond * voices,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_FloorKernel)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Synthe)->Arg(1)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond);
// The three voice paths side by side (1 scalar, 2 SSE2, 3 AVX2).
BENCHMARK(BM_SyntheOnPath)
    ->Args({64, 1})
    ->Args({64, 2})
    ->Args({64, 3})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllSectionsOnPath)
    ->Args({64, 1})
    ->Args({64, 2})
    ->Args({64, 3})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Brass)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Strings)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllSections)->Arg(64)->Unit(benchmark::kMillisecond);

} // namespace halvane

BENCHMARK_MAIN();
