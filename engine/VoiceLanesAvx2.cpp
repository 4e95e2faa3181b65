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
inline int Bits(Avx2 mask) {
    return _mm256_movemask_pd(mask.v);
}
inline Avx2 Floor(Avx2 a) {
    return {_mm256_floor_pd(a.v)};
}

} // namespace

void RenderVoiceLanesAvx2(VoiceLanesState& s, int from, int length, bool beginsControlBlock,
                          double* synthe, double* brass, double* strings) {
    RenderLanes<Pair<Avx2>>(s, from, length, beginsControlBlock, synthe, brass, strings);
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
void RenderVoiceLanesAvx2(VoiceLanesState&, int, int, bool, double*, double*, double*) {}

} // namespace halvane

#endif
