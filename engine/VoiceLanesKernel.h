#pragma once
// The lane kernel, written once over a vector type V of V::kLanes doubles and
// compiled once per instruction set (VoiceLanesSse2.cpp, VoiceLanesAvx2.cpp).
// Everything here has internal linkage, so the two builds of it can never be
// mixed up by the linker. Each step mirrors Voice::StepEnvelopes,
// Voice::RenderSample, LadderFilter::Process and Filter::Process operation for
// operation; keep them in step.
//
// V provides Load, Store, Set, Zero, + - * /, the comparisons Lt Le Gt Ge Eq
// (all-ones lanes where true), And, Or, AndNot (not a, and b), Select (mask ?
// a : b), Abs, Neg, Floor (for values within 32 bits), Bits (one bit per
// lane) and Any (some lane set).

#include <emmintrin.h>

#include <cfloat>
#include <cstdint>
#include <type_traits>

#include "engine/Envelope.h"
#include "engine/LadderTables.h"
#include "engine/Oscillator.h"
#include "engine/Voice.h"
#include "engine/VoiceLanes.h"

namespace halvane {

namespace {

constexpr uint32_t kPhaseMask = Oscillator::kPhaseMask;

// Two vectors side by side: a group of twice V's lanes, whose two halves'
// sample-to-sample dependency chains (the ladder's above all) the processor
// can overlap.
template <class V> struct Pair {
    static constexpr int kLanes = 2 * V::kLanes;
    V lo, hi;

    static Pair Load(const double* p) { return {V::Load(p), V::Load(p + V::kLanes)}; }
    static void Store(double* p, Pair a) {
        V::Store(p, a.lo);
        V::Store(p + V::kLanes, a.hi);
    }
    static Pair Set(double d) { return {V::Set(d), V::Set(d)}; }
    static Pair Zero() { return {V::Zero(), V::Zero()}; }
};

template <class V> inline Pair<V> operator+(Pair<V> a, Pair<V> b) {
    return {a.lo + b.lo, a.hi + b.hi};
}
template <class V> inline Pair<V> operator-(Pair<V> a, Pair<V> b) {
    return {a.lo - b.lo, a.hi - b.hi};
}
template <class V> inline Pair<V> operator*(Pair<V> a, Pair<V> b) {
    return {a.lo * b.lo, a.hi * b.hi};
}
template <class V> inline Pair<V> operator/(Pair<V> a, Pair<V> b) {
    return {a.lo / b.lo, a.hi / b.hi};
}
template <class V> inline Pair<V> Lt(Pair<V> a, Pair<V> b) {
    return {Lt(a.lo, b.lo), Lt(a.hi, b.hi)};
}
template <class V> inline Pair<V> Le(Pair<V> a, Pair<V> b) {
    return {Le(a.lo, b.lo), Le(a.hi, b.hi)};
}
template <class V> inline Pair<V> Gt(Pair<V> a, Pair<V> b) {
    return {Gt(a.lo, b.lo), Gt(a.hi, b.hi)};
}
template <class V> inline Pair<V> Ge(Pair<V> a, Pair<V> b) {
    return {Ge(a.lo, b.lo), Ge(a.hi, b.hi)};
}
template <class V> inline Pair<V> Eq(Pair<V> a, Pair<V> b) {
    return {Eq(a.lo, b.lo), Eq(a.hi, b.hi)};
}
template <class V> inline Pair<V> And(Pair<V> a, Pair<V> b) {
    return {And(a.lo, b.lo), And(a.hi, b.hi)};
}
template <class V> inline Pair<V> Or(Pair<V> a, Pair<V> b) {
    return {Or(a.lo, b.lo), Or(a.hi, b.hi)};
}
template <class V> inline Pair<V> AndNot(Pair<V> a, Pair<V> b) {
    return {AndNot(a.lo, b.lo), AndNot(a.hi, b.hi)};
}
template <class V> inline Pair<V> Select(Pair<V> mask, Pair<V> a, Pair<V> b) {
    return {Select(mask.lo, a.lo, b.lo), Select(mask.hi, a.hi, b.hi)};
}
template <class V> inline Pair<V> Abs(Pair<V> a) {
    return {Abs(a.lo), Abs(a.hi)};
}
template <class V> inline Pair<V> Neg(Pair<V> a) {
    return {Neg(a.lo), Neg(a.hi)};
}
template <class V> inline Pair<V> Floor(Pair<V> a) {
    return {Floor(a.lo), Floor(a.hi)};
}
template <class V> inline uint32_t Bits(Pair<V> mask) {
    return Bits(mask.lo) | (Bits(mask.hi) << V::kLanes);
}
// Whether any lane of a mask is set: what the sample loop mostly asks.
template <class V> inline bool Any(Pair<V> mask) {
    return Any(Or(mask.lo, mask.hi));
}

inline double SawAt(const VoiceLanesState& s, int osc, int footage, int lane) {
    const uint32_t q = (s.phase[osc][lane] << static_cast<uint32_t>(footage)) & kPhaseMask;
    return s.table[osc][footage][lane][q >> 16];
}

// Every oscillator of the group's lanes one sample on (by 0 where it stands
// still). Plain code: the compiler vectorises it for each file's instruction
// set.
template <int W> inline void AdvanceAll(VoiceLanesState& s) {
    for (int o = 0; o < 4; ++o) {
        if (!s.advances[o])
            continue;
        for (int l = 0; l < W; ++l)
            s.phase[o][l] = (s.phase[o][l] + s.step[o][l]) & kPhaseMask;
    }
}

// Voice::CutoffOffset on doubles: the envelope and key offset rounded toward
// minus infinity, held within 32 bits, NaN at the lowest.
template <class V> inline V CutoffOffsets(V c) {
    return Select(Gt(c, V::Set(-2147483648.0)),
                  Select(Ge(c, V::Set(2147483647.0)), V::Set(2147483647.0), Floor(c)),
                  V::Set(-2147483648.0));
}

template <class V> inline V IsFinite(V x) {
    return Le(Abs(x), V::Set(DBL_MAX));
}

// Envelope::Step on the lanes whose envelope runs. Mostly every lane runs
// and none is in its attack; the masks are applied only where that is not so.
template <class V> inline void StepEnvelope(VoiceLanesState& s, int e) {
    const int running = s.envRunning[e];
    if (!running)
        return;
    const V v = V::Load(s.envValue[e]);
    const V next = v + (V::Load(s.envTarget[e]) - v) * V::Load(s.envCoefficient[e]);
    V ends;
    if (running == V::kLanes) {
        V::Store(s.envPrevious[e], v);
        V::Store(s.envValue[e], next);
        ends = s.envAttacking[e] ? Select(V::Load(s.envAttack[e]), Ge(next, V::Set(1.0)),
                                          Lt(next, V::Set(DBL_MIN)))
                                 : Lt(next, V::Set(DBL_MIN));
    } else {
        const V run = V::Load(s.envRun[e]);
        V::Store(s.envPrevious[e], Select(run, v, V::Load(s.envPrevious[e])));
        const V value = Select(run, next, v);
        V::Store(s.envValue[e], value);
        ends = And(run, Select(V::Load(s.envAttack[e]), Ge(value, V::Set(1.0)),
                               Lt(value, V::Set(DBL_MIN))));
    }
    if (!Any(ends))
        return;
    uint32_t bits = Bits(ends);
    for (int lane = 0; bits; ++lane, bits >>= 1)
        if (bits & 1)
            VoiceLanes::EndEnvelopeStage(s, e, lane);
}

// The oscillator reads of one sample, lane by lane: table reads from
// different tables. The oscillators advance after every read of the sample.
template <int W> inline void ReadSynthe(const VoiceLanesState& s, const bool* on, double* x) {
    using S = VoiceLanesState;
    for (int l = 0; l < W; ++l) {
        if (!on[l])
            continue;
        const uint32_t q =
            (s.phase[S::kMaster][l] << static_cast<uint32_t>(s.vco1Footage[l])) & kPhaseMask;
        const double* table = s.table[S::kMaster][s.vco1Footage[l]][l];
        double a;
        if (s.sawtooth[l]) {
            a = table[q >> 16];
        } else {
            const uint32_t shifted = (q + s.widthOffset[l]) & kPhaseMask;
            a = table[q >> 16] - table[shifted >> 16];
        }
        if (s.vco2On[l])
            a += SawAt(s, S::kVco2, s.vco2Footage[l] - 1, l);
        x[l] = a;
    }
}

// The ladder's cutoff bookkeeping (LadderFilter::Process up to its
// coefficients) for the Synthe lanes: the glide, one pitch unit a sample, then
// the pitch index, whose rare changes fetch new coefficients lane by lane.
template <class V> inline void LadderCutoff(VoiceLanesState& s, V syntheMask, bool& gliding) {
    using S = VoiceLanesState;
    constexpr int W = V::kLanes;
    if (gliding) {
        gliding = false;
        for (int l = 0; l < W; ++l) {
            if (!(s.active[l] && s.synthe[l]) || s.currentCutoff[l] == s.targetCutoff[l])
                continue;
            int64_t next = static_cast<int64_t>(s.currentCutoff[l]) + s.glideStep[l];
            if (s.glideStep[l] >= 0) {
                if (next > s.targetCutoff[l])
                    next = s.targetCutoff[l];
            } else if (next < s.targetCutoff[l]) {
                next = s.targetCutoff[l];
            }
            s.currentCutoff[l] = static_cast<int32_t>(next);
            s.cutoff[l] = s.currentCutoff[l];
            gliding = gliding || s.currentCutoff[l] != s.targetCutoff[l];
        }
    }
    const V c = V::Load(s.egAmount) * V::Load(s.envValue[S::kVcfEnvelope]) + V::Load(s.keyOffset);
    // Exact: the sum of two 32-bit integers.
    const V p = V::Load(s.cutoff) + CutoffOffsets(c);
    const V index =
        Select(Lt(p, V::Zero()), V::Zero(), Select(Gt(p, V::Set(kMaxPitch)), V::Set(kMaxPitch), p));
    const V changed = AndNot(Eq(index, V::Load(s.cachedPitch)), syntheMask);
    if (!Any(changed))
        return;
    uint32_t bits = Bits(changed);
    alignas(32) double indexes[S::kMaxLanes] = {};
    V::Store(indexes, index);
    for (int l = 0; bits; ++l, bits >>= 1)
        if (bits & 1)
            VoiceLanes::UpdateLadder(s, l, static_cast<int32_t>(indexes[l]));
}

template <int W> inline void ReadBrass(VoiceLanesState& s, double* b) {
    using S = VoiceLanesState;
    for (int l = 0; l < W; ++l) {
        if (!(s.active[l] && s.brass[l]))
            continue;
        const int osc = s.brassOwn[l] ? S::kBrassOscillator : S::kMaster;
        double sum = 0.0;
        if (s.brassFootage[0][l])
            sum += SawAt(s, osc, kFootage16, l);
        if (s.brassFootage[1][l])
            sum += SawAt(s, osc, kFootage8, l);
        b[l] = sum;
    }
}

template <int W> inline void ReadStrings(VoiceLanesState& s, double* str) {
    using S = VoiceLanesState;
    for (int l = 0; l < W; ++l) {
        if (!(s.active[l] && s.strings[l]))
            continue;
        const int osc = s.stringsOwn[l] ? S::kStringsOscillator : S::kMaster;
        double sum = 0.0;
        if (s.stringsFootage[0][l])
            sum += SawAt(s, osc, kFootage16, l);
        if (s.stringsFootage[1][l])
            sum += SawAt(s, osc, kFootage8, l);
        if (s.stringsFootage[2][l])
            sum += SawAt(s, osc, kFootage4, l);
        str[l] = sum;
    }
}

// The oscillator reads of a sample for V's lanes, 0 in lanes outside the
// section: lane by lane here, through the scratch lanes (zero outside the
// section, never written there). An instruction set with gathers specialises
// it.
template <class V> struct OscillatorReads {
    static V Synthe(const VoiceLanesState& s, const bool* on, double* scratch) {
        ReadSynthe<V::kLanes>(s, on, scratch);
        return V::Load(scratch);
    }
    static V Brass(VoiceLanesState& s, double* scratch) {
        ReadBrass<V::kLanes>(s, scratch);
        return V::Load(scratch);
    }
    static V Strings(VoiceLanesState& s, double* scratch) {
        ReadStrings<V::kLanes>(s, scratch);
        return V::Load(scratch);
    }
};

// Select(mask, a, b), or a where the caller knows every lane is in mask.
template <bool All, class V> inline V Keep(V mask, V a, V b) {
    if constexpr (All)
        return a;
    else
        return Select(mask, a, b);
}

// LadderFilter::Process after its cutoff bookkeeping, on the lanes of mask
// (All: every lane).
template <bool All, class V>
[[gnu::always_inline]] inline V Ladder(VoiceLanesState& s, V input, V mask) {
    const V offset = V::Load(s.ladderOffset);
    const V zero = V::Zero();
    const V x = Select(Le(Abs(input), V::Set(1e300)), input + offset, zero);
    const V s1Old = V::Load(s.s1), s2Old = V::Load(s.s2);
    const V s3Old = V::Load(s.s3), s4Old = V::Load(s.s4);
    const V s1 = Select(IsFinite(s1Old), s1Old + offset, zero);
    const V s2 = Select(IsFinite(s2Old), s2Old + offset, zero);
    const V s3 = Select(IsFinite(s3Old), s3Old + offset, zero);
    const V s4 = Select(IsFinite(s4Old), s4Old + offset, zero);
    V::Store(s.ladderOffset, Keep<All>(mask, Neg(offset), offset));

    const V g = V::Load(s.g), t = V::Load(s.t);
    const V y = (V::Load(s.g3) * s1 + V::Load(s.g2) * s2 + g * s3 + s4 + V::Load(s.g4) * x) *
                V::Load(s.normaliser);

    const V m = V::Set(0.2) * y;
    const V curve = V::Set(5.0) * m * (V::Set(27.0) + m * m) / (V::Set(27.0) + V::Set(9.0) * m * m);
    const V sat =
        Select(Lt(m, V::Set(-3.0)), V::Set(-5.0), Select(Gt(m, V::Set(3.0)), V::Set(5.0), curve));

    const V u = (x - V::Load(s.k) * sat) * g;
    const V y1 = u + s1;
    V::Store(s.s1, Keep<All>(mask, u - t * y1, s1Old));
    const V y2 = g * y1 + s2;
    V::Store(s.s2, Keep<All>(mask, g * y1 - t * y2, s2Old));
    const V y3 = g * y2 + s3;
    V::Store(s.s3, Keep<All>(mask, g * y2 - t * y3, s3Old));
    const V v = g * y3;
    V::Store(s.s4, Keep<All>(mask, v - t * (s4 + v), s4Old));

    return y * V::Load(s.outputGain);
}

// Filter::Process (the strings low-pass) on the lanes of mask (All: every
// lane).
template <bool All, class V>
[[gnu::always_inline]] inline V LowPass(VoiceLanesState& s, V input, V mask) {
    const V offset = V::Load(s.biquadOffset);
    const V zero = V::Zero();
    const V x1Old = V::Load(s.x1), x2Old = V::Load(s.x2);
    const V y1Old = V::Load(s.y1), y2Old = V::Load(s.y2);
    // The states are finite (BiquadState): only the input needs cleaning.
    const V x = Select(IsFinite(input), input + offset, zero);
    const V x1 = x1Old + offset;
    const V x2 = x2Old + offset;
    const V y1 = y1Old + offset;
    const V y2 = y2Old + offset;
    V::Store(s.biquadOffset, Keep<All>(mask, Neg(offset), offset));
    V y = V::Load(s.b0) * (x + x2) + V::Load(s.b1) * x1 + V::Load(s.a1) * y1 + V::Load(s.a2) * y2;
    y = Select(IsFinite(y), y, zero);
    V::Store(s.x2, Keep<All>(mask, x1, x2Old));
    V::Store(s.x1, Keep<All>(mask, x, x1Old));
    V::Store(s.y2, Keep<All>(mask, y1, y2Old));
    V::Store(s.y1, Keep<All>(mask, y, y1Old));
    return y;
}

// Adds the lanes' outputs of a stretch to a section sum in voice order, as
// the scalar loop adds them: every sounding voice adds its output, 0 where it
// is not in the section. An instruction set may specialise it, keeping the
// order of the additions of every sample.
template <class V> struct VoiceOrderSum {
    static void Add(const VoiceLanesState& s, const double (*out)[VoiceLanesState::kMaxLanes],
                    int length, double* sum) {
        for (int l = 0; l < V::kLanes; ++l) {
            if (!s.active[l])
                continue;
            for (int k = 0; k < length; ++k)
                sum[k] += out[k][l];
        }
    }
};

// Samples of lane outputs held before they are added to the sums.
constexpr int kSumRows = 4;

template <class V>
void RenderLanes(VoiceLanesState& s, int from, int length, bool beginsControlBlock,
                 double* syntheSum, double* brassSum, double* stringsSum) {
    using S = VoiceLanesState;
    constexpr int W = V::kLanes;
    const V syntheMask = V::Load(s.syntheMask);
    const V brassMask = V::Load(s.brassMask);
    const V stringsMask = V::Load(s.stringsMask);
    const V dampMask = V::Load(s.dampMask);
    const V syntheLevel = V::Load(s.level[kSectionSynthe]);
    const V brassLevel = V::Load(s.level[kSectionBrass]);
    const V stringsLevel = V::Load(s.level[kSectionStrings]);
    const bool anySynthe = Bits(syntheMask) != 0;
    const bool anyBrass = Bits(brassMask) != 0;
    const bool anyStrings = Bits(stringsMask) != 0;
    // Groups are full but for the last, and mostly every voice plays every
    // section: then the masks need not be applied.
    constexpr uint32_t kFull = W >= 32 ? ~0u : (1u << W) - 1u;
    const bool allSynthe = Bits(syntheMask) == kFull;
    const bool allBrass = Bits(brassMask) == kFull;
    const bool allStrings = Bits(stringsMask) == kFull;
    const V zero = V::Zero();
    bool syntheOn[S::kMaxLanes];
    bool gliding = false;
    for (int l = 0; l < W; ++l) {
        syntheOn[l] = s.active[l] && s.synthe[l];
        gliding = gliding || (syntheOn[l] && s.currentCutoff[l] != s.targetCutoff[l]);
    }

    // Lanes outside a section read 0.
    alignas(32) double x[S::kMaxLanes] = {}, b[S::kMaxLanes] = {}, str[S::kMaxLanes] = {};
    // Every lane's section outputs of the last few samples, added to the sums
    // a few samples at a time, so the buffer stays small.
    alignas(32) double outSynthe[kSumRows][S::kMaxLanes];
    alignas(32) double outBrass[kSumRows][S::kMaxLanes];
    alignas(32) double outStrings[kSumRows][S::kMaxLanes];
    for (int k = 0; k < length; ++k) {
        // The control update stepped the envelopes of a control block's first
        // sample; every other sample takes its own step here.
        if (!beginsControlBlock || from + k > 0)
            for (int e = 0; e < S::kEnvelopes; ++e)
                StepEnvelope<V>(s, e);

        const auto syntheSample = [&](auto all) __attribute__((always_inline)) {
            constexpr bool All = decltype(all)::value;
            LadderCutoff(s, syntheMask, gliding);
            const V y = Ladder<All>(s, OscillatorReads<V>::Synthe(s, syntheOn, x), syntheMask);
            const V damp = Select(dampMask, V::Load(s.envValue[S::kDampGate]), V::Set(1.0));
            return Keep<All>(syntheMask,
                             syntheLevel * damp * V::Load(s.envValue[S::kVcaEnvelope]) * y, zero);
        };
        const auto brassSample = [&](auto all) __attribute__((always_inline)) {
            return Keep<decltype(all)::value>(brassMask,
                                              OscillatorReads<V>::Brass(s, b) *
                                                  (brassLevel * V::Load(s.envValue[S::kBrassGate])),
                                              zero);
        };
        const auto stringsSample = [&](auto all) __attribute__((always_inline)) {
            constexpr bool All = decltype(all)::value;
            const V in = OscillatorReads<V>::Strings(s, str) * stringsLevel *
                         V::Load(s.envValue[S::kStringsEnvelope]);
            return Keep<All>(stringsMask, LowPass<All>(s, in, stringsMask), zero);
        };
        V synthe = zero;
        if (allSynthe)
            synthe = syntheSample(std::true_type{});
        else if (anySynthe)
            synthe = syntheSample(std::false_type{});
        V brass = zero;
        if (allBrass)
            brass = brassSample(std::true_type{});
        else if (anyBrass)
            brass = brassSample(std::false_type{});
        V strings = zero;
        if (allStrings)
            strings = stringsSample(std::true_type{});
        else if (anyStrings)
            strings = stringsSample(std::false_type{});
        AdvanceAll<W>(s);
        const int row = k % kSumRows;
        V::Store(outSynthe[row], synthe);
        V::Store(outBrass[row], brass);
        V::Store(outStrings[row], strings);
        if (row == kSumRows - 1 || k == length - 1) {
            const int first = k - row;
            VoiceOrderSum<V>::Add(s, outSynthe, row + 1, syntheSum + first);
            VoiceOrderSum<V>::Add(s, outBrass, row + 1, brassSum + first);
            VoiceOrderSum<V>::Add(s, outStrings, row + 1, stringsSum + first);
        }
    }
}

} // namespace

} // namespace halvane
