#pragma once
// Engines set up for measuring: every parameter at its default, then a load of
// sections and held voices.

#include <memory>

#include "engine/Engine.h"

namespace halvane {

namespace bench {

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;
// One second of audio in whole blocks.
constexpr int kBlocksPerSecond = 173;
constexpr int kSamplesPerSecond = kBlocksPerSecond * kBlock;

enum class Load {
    kSynthe,  // VCO 1 pulse + VCO 2, resonance, a moving filter envelope
    kBrass,   // both footages, detuned (own oscillator), filter sweep
    kStrings, // three footages, detuned, vibrato, ensemble, bowing
    kAll      // all three sections, plus the flanger on every send
};

// "scalar", "sse2", "avx2" or anything else for the automatic choice.
VoicePath PathNamed(const char* name);
const char* PathName(VoicePath path);

class Rig {
public:
    // voices keys held (8 or fewer leave Trident on only when voices <= 8 and
    // trident is asked for), rendered by the voice path asked for.
    Rig(Load load, int voices, bool trident = false, VoicePath path = VoicePath::kAuto);

    void RenderBlocks(int blocks);
    Engine& Get() { return *engine_; }

private:
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<double[]> buffer_;
    double* out_[Engine::kOutputs];
};

} // namespace bench

} // namespace halvane
