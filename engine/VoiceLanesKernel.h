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
// a : b), Abs, Neg, Floor (for values within 32 bits) and Bits (one bit per
// lane).

#include <emmintrin.h>

#include <cfloat>
#include <cstdint>

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
template <class V> inline int Bits(Pair<V> mask) {
    return Bits(mask.lo) | (Bits(mask.hi) << V::kLanes);
}

inline double SawAt(const VoiceLanesState& s, int osc, int footage, int lane) {
    const uint32_t q = (s.phase[osc][lane] << static_cast<uint32_t>(footage)) & kPhaseMask;
    return s.table[osc][footage][lane][q >> 16];
}

// Every oscillator of every lane one sample on (by 0 where it stands still).
inline void AdvanceAll(VoiceLanesState& s) {
    const __m128i mask = _mm_set1_epi32(static_cast<int>(kPhaseMask));
    for (int o = 0; o < 4; ++o) {
        for (int l = 0; l < VoiceLanesState::kMaxLanes; l += 4) {
            __m128i* phase = reinterpret_cast<__m128i*>(s.phase[o] + l);
            const __m128i step = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.step[o] + l));
            _mm_storeu_si128(phase,
                             _mm_and_si128(_mm_add_epi32(_mm_loadu_si128(phase), step), mask));
        }
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

template <class V> inline void StepEnvelope(VoiceLanesState& s, int e, V stepMask) {
    const V stage = V::Load(s.envStage[e]);
    const V run = And(Gt(stage, V::Zero()), stepMask);
    if (!Bits(run))
        return;
    const V v = V::Load(s.envValue[e]);
    const V next = v + (V::Load(s.envTarget[e]) - v) * V::Load(s.envCoefficient[e]);
    V::Store(s.envPrevious[e], Select(run, v, V::Load(s.envPrevious[e])));
    const V value = Select(run, next, v);
    V::Store(s.envValue[e], value);
    const V attack = Eq(stage, V::Set(Envelope::kAttack));
    const V ends = And(
        run, Or(And(attack, Ge(value, V::Set(1.0))), AndNot(attack, Lt(value, V::Set(DBL_MIN)))));
    int bits = Bits(ends);
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
    int bits = Bits(AndNot(Eq(index, V::Load(s.cachedPitch)), syntheMask));
    if (!bits)
        return;
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

// LadderFilter::Process after its cutoff bookkeeping, on the lanes of mask.
template <class V> inline V Ladder(VoiceLanesState& s, V input, V mask) {
    const V offset = V::Load(s.ladderOffset);
    const V zero = V::Zero();
    const V x = Select(Le(Abs(input), V::Set(1e300)), input + offset, zero);
    const V s1Old = V::Load(s.s1), s2Old = V::Load(s.s2);
    const V s3Old = V::Load(s.s3), s4Old = V::Load(s.s4);
    const V s1 = Select(IsFinite(s1Old), s1Old + offset, zero);
    const V s2 = Select(IsFinite(s2Old), s2Old + offset, zero);
    const V s3 = Select(IsFinite(s3Old), s3Old + offset, zero);
    const V s4 = Select(IsFinite(s4Old), s4Old + offset, zero);
    V::Store(s.ladderOffset, Select(mask, Neg(offset), offset));

    const V g = V::Load(s.g), t = V::Load(s.t);
    const V y = (V::Load(s.g3) * s1 + V::Load(s.g2) * s2 + g * s3 + s4 + V::Load(s.g4) * x) *
                V::Load(s.normaliser);

    const V m = V::Set(0.2) * y;
    const V curve = V::Set(5.0) * m * (V::Set(27.0) + m * m) / (V::Set(27.0) + V::Set(9.0) * m * m);
    const V sat =
        Select(Lt(m, V::Set(-3.0)), V::Set(-5.0), Select(Gt(m, V::Set(3.0)), V::Set(5.0), curve));

    const V u = (x - V::Load(s.k) * sat) * g;
    const V y1 = u + s1;
    V::Store(s.s1, Select(mask, u - t * y1, s1Old));
    const V y2 = g * y1 + s2;
    V::Store(s.s2, Select(mask, g * y1 - t * y2, s2Old));
    const V y3 = g * y2 + s3;
    V::Store(s.s3, Select(mask, g * y2 - t * y3, s3Old));
    const V v = g * y3;
    V::Store(s.s4, Select(mask, v - t * (s4 + v), s4Old));

    return y * V::Load(s.outputGain);
}

// Filter::Process (the strings low-pass) on the lanes of mask.
template <class V> inline V LowPass(VoiceLanesState& s, V input, V mask) {
    const V offset = V::Load(s.biquadOffset);
    const V zero = V::Zero();
    const V x1Old = V::Load(s.x1), x2Old = V::Load(s.x2);
    const V y1Old = V::Load(s.y1), y2Old = V::Load(s.y2);
    const V x = Select(IsFinite(input), input + offset, zero);
    const V x1 = Select(IsFinite(x1Old), x1Old + offset, zero);
    const V x2 = Select(IsFinite(x2Old), x2Old + offset, zero);
    const V y1 = Select(IsFinite(y1Old), y1Old + offset, zero);
    const V y2 = Select(IsFinite(y2Old), y2Old + offset, zero);
    V::Store(s.biquadOffset, Select(mask, Neg(offset), offset));
    V y = V::Load(s.b0) * (x + x2) + V::Load(s.b1) * x1 + V::Load(s.a1) * y1 + V::Load(s.a2) * y2;
    y = Select(IsFinite(y), y, zero);
    V::Store(s.x2, Select(mask, x1, x2Old));
    V::Store(s.x1, Select(mask, x, x1Old));
    V::Store(s.y2, Select(mask, y1, y2Old));
    V::Store(s.y1, Select(mask, y, y1Old));
    return y;
}

template <class V>
void RenderLanes(VoiceLanesState& s, int from, int length, bool beginsControlBlock,
                 double* syntheSum, double* brassSum, double* stringsSum) {
    using S = VoiceLanesState;
    constexpr int W = V::kLanes;
    const V stepMask = V::Load(s.stepMask);
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
    const V zero = V::Zero();
    bool syntheOn[S::kMaxLanes];
    bool gliding = false;
    for (int l = 0; l < W; ++l) {
        syntheOn[l] = s.active[l] && s.synthe[l];
        gliding = gliding || (syntheOn[l] && s.currentCutoff[l] != s.targetCutoff[l]);
    }

    // Lanes outside a section read 0.
    alignas(32) double x[S::kMaxLanes] = {}, b[S::kMaxLanes] = {}, str[S::kMaxLanes] = {};
    // Every lane's section outputs of the stretch, sample by sample, added up
    // at the end.
    alignas(32) double outSynthe[S::kMaxRun][S::kMaxLanes];
    alignas(32) double outBrass[S::kMaxRun][S::kMaxLanes];
    alignas(32) double outStrings[S::kMaxRun][S::kMaxLanes];
    for (int k = 0; k < length; ++k) {
        // The control update stepped the envelopes of a control block's first
        // sample; every other sample takes its own step here.
        if (!beginsControlBlock || from + k > 0)
            for (int e = 0; e < S::kEnvelopes; ++e)
                StepEnvelope(s, e, stepMask);

        V synthe = zero;
        if (anySynthe) {
            LadderCutoff(s, syntheMask, gliding);
            ReadSynthe<W>(s, syntheOn, x);
            const V y = Ladder(s, V::Load(x), syntheMask);
            const V damp = Select(dampMask, V::Load(s.envValue[S::kDampGate]), V::Set(1.0));
            synthe = Select(syntheMask,
                            syntheLevel * damp * V::Load(s.envValue[S::kVcaEnvelope]) * y, zero);
        }
        V brass = zero;
        if (anyBrass) {
            ReadBrass<W>(s, b);
            brass = Select(brassMask,
                           V::Load(b) * (brassLevel * V::Load(s.envValue[S::kBrassGate])), zero);
        }
        V strings = zero;
        if (anyStrings) {
            ReadStrings<W>(s, str);
            const V in = V::Load(str) * stringsLevel * V::Load(s.envValue[S::kStringsEnvelope]);
            strings = Select(stringsMask, LowPass(s, in, stringsMask), zero);
        }
        AdvanceAll(s);
        V::Store(outSynthe[k], synthe);
        V::Store(outBrass[k], brass);
        V::Store(outStrings[k], strings);
    }
    // Voice order within the group, as the scalar loop adds them; every
    // sounding voice adds all three, 0 where it is not in the section.
    for (int l = 0; l < W; ++l) {
        if (!s.active[l])
            continue;
        for (int k = 0; k < length; ++k) {
            syntheSum[k] += outSynthe[k][l];
            brassSum[k] += outBrass[k][l];
            stringsSum[k] += outStrings[k][l];
        }
    }
}

} // namespace

} // namespace halvane
