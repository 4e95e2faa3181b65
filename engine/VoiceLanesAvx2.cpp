// The lane kernel on AVX2: four voices per vector, two vectors per group. Only
// this file's own functions are built for AVX2 (the target pragmas below come
// after every shared header; GCC and clang spell them differently), and they
// run only on processors that report it.

#include "engine/VoiceLanes.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cfloat>
#include <cstdint>

#include "engine/Envelope.h"
#include "engine/LadderTables.h"
#include "engine/Oscillator.h"
#include "engine/Voice.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "engine/VoiceLanesKernel.h"

namespace halvane {

namespace {

// Unaligned loads and stores: the lanes live on the stack, and not every
// target's calling convention keeps it aligned to 32 bytes.
struct Avx2 {
    static constexpr int kLanes = 4;
    __m256d v;

    static Avx2 Load(const double* p) { return {_mm256_loadu_pd(p)}; }
    static void Store(double* p, Avx2 a) { _mm256_storeu_pd(p, a.v); }
    static Avx2 Set(double d) { return {_mm256_set1_pd(d)}; }
    static Avx2 Zero() { return {_mm256_setzero_pd()}; }
};

inline Avx2 operator+(Avx2 a, Avx2 b) {
    return {_mm256_add_pd(a.v, b.v)};
}
inline Avx2 operator-(Avx2 a, Avx2 b) {
    return {_mm256_sub_pd(a.v, b.v)};
}
inline Avx2 operator*(Avx2 a, Avx2 b) {
    return {_mm256_mul_pd(a.v, b.v)};
}
inline Avx2 operator/(Avx2 a, Avx2 b) {
    return {_mm256_div_pd(a.v, b.v)};
}
// Ordered, non-signalling comparisons: false wherever a NaN is involved, as
// the scalar comparisons are.
inline Avx2 Lt(Avx2 a, Avx2 b) {
    return {_mm256_cmp_pd(a.v, b.v, _CMP_LT_OQ)};
}
inline Avx2 Le(Avx2 a, Avx2 b) {
    return {_mm256_cmp_pd(a.v, b.v, _CMP_LE_OQ)};
}
inline Avx2 Gt(Avx2 a, Avx2 b) {
    return {_mm256_cmp_pd(a.v, b.v, _CMP_GT_OQ)};
}
inline Avx2 Ge(Avx2 a, Avx2 b) {
    return {_mm256_cmp_pd(a.v, b.v, _CMP_GE_OQ)};
}
inline Avx2 Eq(Avx2 a, Avx2 b) {
    return {_mm256_cmp_pd(a.v, b.v, _CMP_EQ_OQ)};
}
inline Avx2 And(Avx2 a, Avx2 b) {
    return {_mm256_and_pd(a.v, b.v)};
}
inline Avx2 Or(Avx2 a, Avx2 b) {
    return {_mm256_or_pd(a.v, b.v)};
}
inline Avx2 AndNot(Avx2 a, Avx2 b) {
    return {_mm256_andnot_pd(a.v, b.v)};
}
inline Avx2 Select(Avx2 mask, Avx2 a, Avx2 b) {
    return {_mm256_blendv_pd(b.v, a.v, mask.v)};
}
inline Avx2 Abs(Avx2 a) {
    return {_mm256_andnot_pd(_mm256_set1_pd(-0.0), a.v)};
}
inline Avx2 Neg(Avx2 a) {
    return {_mm256_xor_pd(_mm256_set1_pd(-0.0), a.v)};
}
inline uint32_t Bits(Avx2 mask) {
    return static_cast<uint32_t>(_mm256_movemask_pd(mask.v));
}
inline bool Any(Avx2 mask) {
    return !_mm256_testz_pd(mask.v, mask.v);
}
inline Avx2 Floor(Avx2 a) {
    return {_mm256_floor_pd(a.v)};
}

inline __m128i Lanes32(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

// Four table reads of one vector: table offsets plus phase >> 16, from the
// block of saw tables; lanes outside mask read nothing and give 0.
inline Avx2 Gather(const double* tables, __m128i table, __m128i q, Avx2 mask) {
    return {_mm256_mask_i32gather_pd(_mm256_setzero_pd(), tables,
                                     _mm_add_epi32(table, _mm_srli_epi32(q, 16)), mask.v, 8)};
}

// A group's vector built from its four-lane quarters, quarter(o) giving lanes
// o .. o + 3.
template <class P> struct Quarters {
    template <class F> static P Make(const F& quarter, int o) {
        using Half = decltype(P::lo);
        return {Quarters<Half>::Make(quarter, o), Quarters<Half>::Make(quarter, o + Half::kLanes)};
    }
};
template <> struct Quarters<Avx2> {
    template <class F> static Avx2 Make(const F& quarter, int o) { return quarter(o); }
};

// The oscillator reads with gathers, four lanes a vector, exactly the lane by
// lane reads' values and sums.
template <class P> struct GatherReads {
    using S = VoiceLanesState;

    static Avx2 SyntheQuarter(const S& s, int o) {
        const __m128i mask = _mm_set1_epi32(static_cast<int>(kPhaseMask));
        const Avx2 on = Avx2::Load(s.syntheMask + o);
        const Avx2 pulse = Avx2::Load(s.pulseMask + o);
        const Avx2 vco2 = Avx2::Load(s.vco2Mask + o);
        const __m128i table = Lanes32(s.vco1Table + o);
        const __m128i q = _mm_and_si128(
            _mm_sllv_epi32(Lanes32(s.phase[S::kMaster] + o), Lanes32(s.vco1Footage + o)), mask);
        const Avx2 t1 = Gather(s.tables, table, q, on);
        const __m128i shifted = _mm_and_si128(_mm_add_epi32(q, Lanes32(s.widthOffset + o)), mask);
        const Avx2 a = Select(pulse, t1 - Gather(s.tables, table, shifted, pulse), t1);
        const __m128i q2 = _mm_and_si128(
            _mm_sllv_epi32(Lanes32(s.phase[S::kVco2] + o), Lanes32(s.vco2Shift + o)), mask);
        return Select(vco2, a + Gather(s.tables, Lanes32(s.vco2Table + o), q2, vco2), a);
    }

    // The section's footages added to 0 in order, each from the voice's own
    // oscillator or the master.
    template <int Footages>
    static Avx2 SectionQuarter(const S& s, int own, const int32_t (*table)[S::kMaxLanes],
                               const double (*read)[S::kMaxLanes], const int32_t* ownLane, int o) {
        const __m128i mask = _mm_set1_epi32(static_cast<int>(kPhaseMask));
        const __m128i phase = _mm_blendv_epi8(Lanes32(s.phase[S::kMaster] + o),
                                              Lanes32(s.phase[own] + o), Lanes32(ownLane + o));
        Avx2 sum = Avx2::Zero();
        for (int f = 0; f < Footages; ++f) {
            const __m128i q = _mm_and_si128(_mm_slli_epi32(phase, f), mask);
            sum = sum + Gather(s.tables, Lanes32(table[f] + o), q, Avx2::Load(read[f] + o));
        }
        return sum;
    }

    static P Synthe(const S& s, const bool*, double*) {
        return Quarters<P>::Make([&](int o) { return SyntheQuarter(s, o); }, 0);
    }
    static P Brass(const S& s, double*) {
        return Quarters<P>::Make(
            [&](int o) {
                return SectionQuarter<2>(s, S::kBrassOscillator, s.brassTable, s.brassRead,
                                         s.brassOwnLane, o);
            },
            0);
    }
    static P Strings(const S& s, double*) {
        return Quarters<P>::Make(
            [&](int o) {
                return SectionQuarter<3>(s, S::kStringsOscillator, s.stringsTable, s.stringsRead,
                                         s.stringsOwnLane, o);
            },
            0);
    }
};

// Four samples at a time: the lanes' outputs turned from a vector per sample
// into a vector per lane, then added lane after lane, so each sample's sum
// still takes the voices one by one in order. Lanes without a sounding voice
// hold +0, and adding +0 changes no sum: a sum that starts at +0 never
// becomes -0.
template <class P> struct TransposedSum {
    using S = VoiceLanesState;
    static constexpr int kLanes = P::kLanes;

    static void Add(const S&, const double (*out)[S::kMaxLanes], int length, double* sum) {
        int k = 0;
        for (; k + 4 <= length; k += 4) {
            __m256d acc = _mm256_loadu_pd(sum + k);
            for (int quarter = 0; quarter < kLanes; quarter += 4) {
                const __m256d r0 = _mm256_loadu_pd(out[k] + quarter);
                const __m256d r1 = _mm256_loadu_pd(out[k + 1] + quarter);
                const __m256d r2 = _mm256_loadu_pd(out[k + 2] + quarter);
                const __m256d r3 = _mm256_loadu_pd(out[k + 3] + quarter);
                const __m256d t0 = _mm256_unpacklo_pd(r0, r1); // 0 of k, k+1; 2 of k, k+1
                const __m256d t1 = _mm256_unpackhi_pd(r0, r1); // 1 ..; 3 ..
                const __m256d t2 = _mm256_unpacklo_pd(r2, r3);
                const __m256d t3 = _mm256_unpackhi_pd(r2, r3);
                const __m256d lane[4] = {
                    _mm256_permute2f128_pd(t0, t2, 0x20), _mm256_permute2f128_pd(t1, t3, 0x20),
                    _mm256_permute2f128_pd(t0, t2, 0x31), _mm256_permute2f128_pd(t1, t3, 0x31)};
                for (int l = 0; l < 4; ++l)
                    acc = _mm256_add_pd(acc, lane[l]);
            }
            _mm256_storeu_pd(sum + k, acc);
        }
        for (; k < length; ++k)
            for (int l = 0; l < kLanes; ++l)
                sum[k] += out[k][l];
    }
};

using Group8 = Pair<Avx2>;
using Group16 = Pair<Group8>;
template <> struct OscillatorReads<Group8> : GatherReads<Group8> {};
template <> struct OscillatorReads<Group16> : GatherReads<Group16> {};
template <> struct VoiceOrderSum<Group8> : TransposedSum<Group8> {};
template <> struct VoiceOrderSum<Group16> : TransposedSum<Group16> {};

} // namespace

void RenderVoiceLanesAvx2(VoiceLanesState& s, int lanes, int from, int length,
                          bool beginsControlBlock, double* synthe, double* brass, double* strings) {
    if (lanes <= Group8::kLanes)
        RenderLanes<Group8>(s, from, length, beginsControlBlock, synthe, brass, strings);
    else
        RenderLanes<Group16>(s, from, length, beginsControlBlock, synthe, brass, strings);
}

} // namespace halvane

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#else

namespace halvane {

// Not an x86 build: VoiceLanes::Resolve never picks this path.
void RenderVoiceLanesAvx2(VoiceLanesState&, int, int, int, bool, double*, double*, double*) {}

} // namespace halvane

#endif
