// The lane kernel on SSE2: two voices per vector, two vectors per group. SSE2 is part of every
// x86-64 processor and the 32-bit build's baseline.

#include "engine/VoiceLanes.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include "engine/VoiceLanesKernel.h"

namespace halvane {

namespace {

struct Sse2 {
    static constexpr int kLanes = 2;
    __m128d v;

    static Sse2 Load(const double* p) { return {_mm_loadu_pd(p)}; }
    static void Store(double* p, Sse2 a) { _mm_storeu_pd(p, a.v); }
    static Sse2 Set(double d) { return {_mm_set1_pd(d)}; }
    static Sse2 Zero() { return {_mm_setzero_pd()}; }
};

inline Sse2 operator+(Sse2 a, Sse2 b) {
    return {_mm_add_pd(a.v, b.v)};
}
inline Sse2 operator-(Sse2 a, Sse2 b) {
    return {_mm_sub_pd(a.v, b.v)};
}
inline Sse2 operator*(Sse2 a, Sse2 b) {
    return {_mm_mul_pd(a.v, b.v)};
}
inline Sse2 operator/(Sse2 a, Sse2 b) {
    return {_mm_div_pd(a.v, b.v)};
}
inline Sse2 Lt(Sse2 a, Sse2 b) {
    return {_mm_cmplt_pd(a.v, b.v)};
}
inline Sse2 Le(Sse2 a, Sse2 b) {
    return {_mm_cmple_pd(a.v, b.v)};
}
inline Sse2 Gt(Sse2 a, Sse2 b) {
    return {_mm_cmpgt_pd(a.v, b.v)};
}
inline Sse2 Ge(Sse2 a, Sse2 b) {
    return {_mm_cmpge_pd(a.v, b.v)};
}
inline Sse2 Eq(Sse2 a, Sse2 b) {
    return {_mm_cmpeq_pd(a.v, b.v)};
}
inline Sse2 And(Sse2 a, Sse2 b) {
    return {_mm_and_pd(a.v, b.v)};
}
inline Sse2 Or(Sse2 a, Sse2 b) {
    return {_mm_or_pd(a.v, b.v)};
}
inline Sse2 AndNot(Sse2 a, Sse2 b) {
    return {_mm_andnot_pd(a.v, b.v)};
}
inline Sse2 Select(Sse2 mask, Sse2 a, Sse2 b) {
    return {_mm_or_pd(_mm_and_pd(mask.v, a.v), _mm_andnot_pd(mask.v, b.v))};
}
inline Sse2 Abs(Sse2 a) {
    return {_mm_andnot_pd(_mm_set1_pd(-0.0), a.v)};
}
inline Sse2 Neg(Sse2 a) {
    return {_mm_xor_pd(_mm_set1_pd(-0.0), a.v)};
}
inline uint32_t Bits(Sse2 mask) {
    return static_cast<uint32_t>(_mm_movemask_pd(mask.v));
}
inline bool Any(Sse2 mask) {
    return _mm_movemask_pd(mask.v) != 0;
}
// Rounding toward minus infinity, for values within the 32-bit range only (SSE2
// has no rounding instruction): the truncation, one lower where it rounded up.
inline Sse2 Floor(Sse2 a) {
    const __m128d whole = _mm_cvtepi32_pd(_mm_cvttpd_epi32(a.v));
    return {_mm_sub_pd(whole, _mm_and_pd(_mm_cmpgt_pd(whole, a.v), _mm_set1_pd(1.0)))};
}

} // namespace

void RenderVoiceLanesSse2(VoiceLanesState& s, int lanes, int from, int length,
                          bool beginsControlBlock, double* synthe, double* brass, double* strings) {
    using Group4 = Pair<Sse2>;
    using Group8 = Pair<Group4>;
    if (lanes <= Group4::kLanes)
        RenderLanes<Group4>(s, from, length, beginsControlBlock, synthe, brass, strings);
    else
        RenderLanes<Group8>(s, from, length, beginsControlBlock, synthe, brass, strings);
}

} // namespace halvane

#else

namespace halvane {

// Not an x86 build: VoiceLanes::Resolve never picks this path.
void RenderVoiceLanesSse2(VoiceLanesState&, int, int, int, bool, double*, double*, double*) {}

} // namespace halvane

#endif
