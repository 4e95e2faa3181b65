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
// a : b), Abs, Neg and Bits (one bit per lane).

#include <cfloat>
#include <cstdint>

#include "engine/Envelope.h"
#include "engine/LadderTables.h"
#include "engine/Oscillator.h"
#include "engine/Voice.h"
#include "engine/VoiceLanes.h"

namespace {

constexpr uint32_t kPhaseMask = Oscillator::kPhaseMask;

inline double SawAt(const VoiceLanesState& s, int osc, int footage, int lane) {
    const uint32_t q = (s.phase[osc][lane] << static_cast<uint32_t>(footage)) & kPhaseMask;
    return s.table[osc][footage][lane][q >> 16];
}

inline void Advance(VoiceLanesState& s, int osc, int lane) {
    s.phase[osc][lane] = (s.phase[osc][lane] + s.increment[osc][lane]) & kPhaseMask;
}

template <class V>
inline V IsFinite(V x) {
    return Le(Abs(x), V::Set(DBL_MAX));
}

template <class V>
inline void StepEnvelope(VoiceLanesState& s, int e, V stepMask) {
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
    const V ends = And(run, Or(And(attack, Ge(value, V::Set(1.0))),
                               AndNot(attack, Lt(value, V::Set(DBL_MIN)))));
    int bits = Bits(ends);
    for (int lane = 0; bits; ++lane, bits >>= 1)
        if (bits & 1)
            VoiceLanes::EndEnvelopeStage(s, e, lane);
}

// The oscillator reads of one sample and the ladder's cutoff bookkeeping, lane
// by lane: table reads from different tables, integer phases and the rare
// coefficient update.
template <int W>
inline void ReadOscillators(VoiceLanesState& s, double* x, double* b, double* str) {
    using S = VoiceLanesState;
    for (int l = 0; l < W; ++l) {
        x[l] = b[l] = str[l] = 0.0;
        if (!s.active[l])
            continue;
        if (s.synthe[l]) {
            const int f = s.vco1Footage[l];
            const uint32_t q = (s.phase[S::kMaster][l] << static_cast<uint32_t>(f)) & kPhaseMask;
            const double* table = s.table[S::kMaster][f][l];
            double a;
            if (s.sawtooth[l]) {
                a = table[q >> 16];
            } else {
                const uint32_t shifted = (q + s.widthOffset[l]) & kPhaseMask;
                a = table[q >> 16] - table[shifted >> 16];
            }
            if (s.vco2On[l]) {
                a += SawAt(s, S::kVco2, s.vco2Footage[l] - 1, l);
                Advance(s, S::kVco2, l);
            }
            x[l] = a;

            const int32_t offset = Voice::CutoffOffset(
                s.egAmount[l] * s.envValue[S::kVcfEnvelope][l] + s.keyOffset[l]);
            if (s.currentCutoff[l] != s.targetCutoff[l]) {
                int64_t next = static_cast<int64_t>(s.currentCutoff[l]) + s.glideStep[l];
                if (s.glideStep[l] >= 0) {
                    if (next > s.targetCutoff[l])
                        next = s.targetCutoff[l];
                } else if (next < s.targetCutoff[l]) {
                    next = s.targetCutoff[l];
                }
                s.currentCutoff[l] = static_cast<int32_t>(next);
            }
            const int64_t p = static_cast<int64_t>(s.currentCutoff[l]) + offset;
            const int32_t index =
                p < 0 ? 0 : (p > kMaxPitch ? kMaxPitch : static_cast<int32_t>(p));
            if (index != s.cachedIndex[l])
                VoiceLanes::UpdateLadder(s, l, index);
        }
        if (s.brass[l]) {
            const int osc = s.brassOwn[l] ? S::kBrassOscillator : S::kMaster;
            double sum = 0.0;
            if (s.brassFootage[0][l])
                sum += SawAt(s, osc, kFootage16, l);
            if (s.brassFootage[1][l])
                sum += SawAt(s, osc, kFootage8, l);
            b[l] = sum;
            if (s.brassOwn[l] && s.brassSounds[l])
                Advance(s, S::kBrassOscillator, l);
        }
        if (s.strings[l]) {
            const int osc = s.stringsOwn[l] ? S::kStringsOscillator : S::kMaster;
            double sum = 0.0;
            if (s.stringsFootage[0][l])
                sum += SawAt(s, osc, kFootage16, l);
            if (s.stringsFootage[1][l])
                sum += SawAt(s, osc, kFootage8, l);
            if (s.stringsFootage[2][l])
                sum += SawAt(s, osc, kFootage4, l);
            str[l] = sum;
            if (s.stringsOwn[l] && s.stringsSounds[l])
                Advance(s, S::kStringsOscillator, l);
        }
        Advance(s, S::kMaster, l);
    }
}

// LadderFilter::Process after its cutoff bookkeeping, on the lanes of mask.
template <class V>
inline V Ladder(VoiceLanesState& s, V input, V mask) {
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
    const V curve = V::Set(5.0) * m * (V::Set(27.0) + m * m) /
                    (V::Set(27.0) + V::Set(9.0) * m * m);
    const V sat = Select(Lt(m, V::Set(-3.0)), V::Set(-5.0),
                         Select(Gt(m, V::Set(3.0)), V::Set(5.0), curve));

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
template <class V>
inline V LowPass(VoiceLanesState& s, V input, V mask) {
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
    V y = V::Load(s.b0) * (x + x2) + V::Load(s.b1) * x1 + V::Load(s.a1) * y1 +
          V::Load(s.a2) * y2;
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

    alignas(32) double x[S::kMaxLanes], b[S::kMaxLanes], str[S::kMaxLanes];
    alignas(32) double outSynthe[S::kMaxLanes], outBrass[S::kMaxLanes], outStrings[S::kMaxLanes];
    for (int k = 0; k < length; ++k) {
        // The control update stepped the envelopes of a control block's first
        // sample; every other sample takes its own step here.
        if (!beginsControlBlock || from + k > 0)
            for (int e = 0; e < S::kEnvelopes; ++e)
                StepEnvelope(s, e, stepMask);

        ReadOscillators<W>(s, x, b, str);

        V synthe = zero;
        if (anySynthe) {
            const V y = Ladder(s, V::Load(x), syntheMask);
            const V damp =
                Select(dampMask, V::Load(s.envValue[S::kDampGate]), V::Set(1.0));
            synthe = Select(syntheMask,
                            syntheLevel * damp * V::Load(s.envValue[S::kVcaEnvelope]) * y, zero);
        }
        V brass = zero;
        if (anyBrass)
            brass = Select(brassMask, V::Load(b) * (brassLevel * V::Load(s.envValue[S::kBrassGate])),
                           zero);
        V strings = zero;
        if (anyStrings) {
            const V in = V::Load(str) * stringsLevel * V::Load(s.envValue[S::kStringsEnvelope]);
            strings = Select(stringsMask, LowPass(s, in, stringsMask), zero);
        }
        V::Store(outSynthe, synthe);
        V::Store(outBrass, brass);
        V::Store(outStrings, strings);
        // Voice order within the group, as the scalar loop adds them.
        for (int l = 0; l < W; ++l) {
            if (!s.active[l])
                continue;
            syntheSum[k] += outSynthe[l];
            brassSum[k] += outBrass[l];
            stringsSum[k] += outStrings[l];
        }
    }
}

} // namespace
