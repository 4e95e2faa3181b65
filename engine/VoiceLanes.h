#pragma once
// Voices rendered side by side: a group's per-sample state laid out lane by
// lane, so one vector of doubles carries the same quantity of four (AVX2) or
// two (SSE2) voices. A group is several vectors, up to 16 voices: a sample's
// ladder filters and envelopes are chains of dependent operations, and only
// with many independent chains side by side does the processor keep busy
// while each waits for its previous step. A stretch of samples between two
// events is rendered by loading the sounding voices into lanes, running the
// stretch, and storing them back; note handling and the control updates keep
// working on the Voice objects themselves.
//
// Every lane does exactly the arithmetic of Voice::RenderSample and
// Voice::StepEnvelopes, in the same order and with the same table reads, and
// the files are built without fused multiply-adds, so the sound is the same
// bit for bit whichever path runs. Per-voice choices (waves, footages,
// sections, envelope stages, silent voices) are masks within the vector; the
// rare events inside a stretch (an envelope reaching the end of its stage, a
// filter pitch needing new coefficients) are served lane by lane from the
// Voice's own code.

#include <cstdint>

namespace halvane {

class Voice;

// Which voice renderer runs. Auto takes the widest the processor offers; a
// path the processor lacks falls back to the next narrower one.
enum class VoicePath { kAuto = 0, kScalar = 1, kSse2 = 2, kAvx2 = 3 };

// The lanes' copy of what a stretch of samples reads and changes.
struct VoiceLanesState {
    static constexpr int kMaxLanes = 16; // four AVX2 vectors
    static constexpr int kEnvelopes = 5; // damp gate, brass gate, VCF, VCA, strings
    enum {
        kDampGate = 0,
        kBrassGate = 1,
        kVcfEnvelope = 2,
        kVcaEnvelope = 3,
        kStringsEnvelope = 4
    };

    Voice* voice[kMaxLanes];

    // Held for the whole stretch. Masks are all-ones or all-zero doubles.
    bool active[kMaxLanes];
    bool synthe[kMaxLanes];
    bool brass[kMaxLanes];
    bool strings[kMaxLanes];
    bool sawtooth[kMaxLanes];
    bool vco2On[kMaxLanes];
    bool brassSounds[kMaxLanes];   // brass section with at least one footage
    bool stringsSounds[kMaxLanes]; // the same for strings
    bool brassOwn[kMaxLanes];
    bool stringsOwn[kMaxLanes];
    bool brassFootage[2][kMaxLanes];
    bool stringsFootage[3][kMaxLanes];
    int32_t vco1Footage[kMaxLanes];
    int32_t vco2Footage[kMaxLanes];
    alignas(32) double syntheMask[kMaxLanes];  // active and in the Synthe section
    alignas(32) double brassMask[kMaxLanes];   // active and in the Brass section
    alignas(32) double stringsMask[kMaxLanes]; // active and in the Strings section
    alignas(32) double dampMask[kMaxLanes];    // auto damp on
    alignas(32) double level[3][kMaxLanes];
    alignas(32) double egAmount[kMaxLanes];
    alignas(32) double keyOffset[kMaxLanes];

    // Oscillators: master, VCO 2, brass and strings.
    enum { kMaster = 0, kVco2 = 1, kBrassOscillator = 2, kStringsOscillator = 3 };
    uint32_t phase[4][kMaxLanes];
    // Added to the phase every sample: the increment where the voice advances
    // the oscillator, 0 where it does not.
    uint32_t step[4][kMaxLanes];
    bool advances[4]; // some lane's step is not 0
    const double* table[4][3][kMaxLanes];
    uint32_t widthOffset[kMaxLanes];
    // The same reads for gathers: each read's table as an offset into the one
    // block that holds every saw table, picked by footage and source for the
    // stretch, and masks of the reads that count (0 elsewhere, and no memory
    // touched there).
    const double* tables; // the block's start
    int32_t vco1Table[kMaxLanes];
    int32_t vco2Table[kMaxLanes];
    int32_t vco2Shift[kMaxLanes];
    int32_t brassTable[2][kMaxLanes];
    int32_t stringsTable[3][kMaxLanes];
    int32_t brassOwnLane[kMaxLanes];         // all ones where the brass has its own oscillator
    int32_t stringsOwnLane[kMaxLanes];       // the same for the strings
    alignas(32) double pulseMask[kMaxLanes]; // Synthe lanes on the pulse wave
    alignas(32) double vco2Mask[kMaxLanes];  // Synthe lanes with VCO 2 on
    alignas(32) double brassRead[2][kMaxLanes];
    alignas(32) double stringsRead[3][kMaxLanes];

    // Envelopes; stage as a double for the comparisons.
    alignas(32) double envValue[kEnvelopes][kMaxLanes];
    alignas(32) double envPrevious[kEnvelopes][kMaxLanes];
    alignas(32) double envTarget[kEnvelopes][kMaxLanes];
    alignas(32) double envCoefficient[kEnvelopes][kMaxLanes];
    alignas(32) double envStage[kEnvelopes][kMaxLanes];
    // Masks of the lanes whose envelope steps (not quiet, not idle) and of
    // those in the attack, and how many lanes step: they change only where a
    // stage ends.
    alignas(32) double envRun[kEnvelopes][kMaxLanes];
    alignas(32) double envAttack[kEnvelopes][kMaxLanes];
    int envRunning[kEnvelopes];
    int envAttacking[kEnvelopes]; // lanes in the attack

    // Ladder filter.
    int32_t currentCutoff[kMaxLanes];
    int32_t targetCutoff[kMaxLanes];
    int32_t glideStep[kMaxLanes];
    int32_t cachedIndex[kMaxLanes];
    // The same two as doubles, for the vector cutoff arithmetic (exact: both
    // are 32-bit integers).
    alignas(32) double cutoff[kMaxLanes];
    alignas(32) double cachedPitch[kMaxLanes];
    alignas(32) double g[kMaxLanes], g2[kMaxLanes], g3[kMaxLanes], g4[kMaxLanes];
    alignas(32) double t[kMaxLanes], k[kMaxLanes], outputGain[kMaxLanes], normaliser[kMaxLanes];
    alignas(32) double s1[kMaxLanes], s2[kMaxLanes], s3[kMaxLanes], s4[kMaxLanes];
    alignas(32) double ladderOffset[kMaxLanes];

    // Strings low-pass.
    alignas(32) double b0[kMaxLanes], b1[kMaxLanes], a1[kMaxLanes], a2[kMaxLanes];
    alignas(32) double x1[kMaxLanes], x2[kMaxLanes], y1[kMaxLanes], y2[kMaxLanes];
    alignas(32) double biquadOffset[kMaxLanes];
};

// The lanes' access to the voice's parts; friend of each.
class VoiceLanes {
public:
    // The path that runs for a request on this processor.
    static VoicePath Resolve(VoicePath requested);
    // Most voices per group on a path (1 for the scalar path).
    static int Width(VoicePath path);
    // Lanes of the narrowest group of the path that holds count voices.
    static int LanesFor(VoicePath path, int count);

    // Renders samples from .. from + length - 1 of a sub-block for count
    // voices (at most Width(path)) in s, adding each sounding voice's section
    // outputs to the sums in voice order. path is Sse2 or Avx2, resolved.
    static void RenderGroup(VoicePath path, VoiceLanesState& s, Voice* const* voices, int count,
                            int from, int length, bool beginsControlBlock, double* synthe,
                            double* brass, double* strings);

    // Lane loading and storing, and the rare per-lane events of a stretch.
    // gathers: the lanes read their tables by gathers (offsets), not pointers.
    static void Load(VoiceLanesState& s, int lane, Voice* voice, bool gathers);
    static void Store(const VoiceLanesState& s, int lane);
    // The gathers' view of a loaded lane's oscillator reads.
    static void LoadGathers(VoiceLanesState& s, int lane, const Voice& v);
    // The envelope's step left it at the end of its stage (attack at 1, or a
    // fall below the normal range): the stage change as Envelope::Step makes it.
    static void EndEnvelopeStage(VoiceLanesState& s, int envelope, int lane);
    // New ladder coefficients for a filter pitch index.
    static void UpdateLadder(VoiceLanesState& s, int lane, int32_t index);
};

// Kernels, one per instruction set (VoiceLanesSse2.cpp, VoiceLanesAvx2.cpp),
// for groups of the given lanes (a LanesFor value).
void RenderVoiceLanesSse2(VoiceLanesState& s, int lanes, int from, int length,
                          bool beginsControlBlock, double* synthe, double* brass, double* strings);
void RenderVoiceLanesAvx2(VoiceLanesState& s, int lanes, int from, int length,
                          bool beginsControlBlock, double* synthe, double* brass, double* strings);

} // namespace halvane
