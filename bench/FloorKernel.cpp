#include "FloorKernel.h"

#include <cfloat>
#include <cstdint>
#include <vector>

#include "engine/SawTables.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define HALVANE_FLOOR_AVX2 1
#endif

namespace halvane {

namespace bench {

namespace {

constexpr int kOscillators = 4;
constexpr int kEnvelopes = 5;

} // namespace

// Structure of arrays: one entry per voice in every array.
struct FloorKernel::State {
    int voices = 0;
    const double* table = nullptr;
    std::vector<int32_t> phase[kOscillators], increment[kOscillators];
    std::vector<double> value[kEnvelopes], target[kEnvelopes], coefficient[kEnvelopes];
    std::vector<double> s1, s2, s3, s4, g, g2, g3, g4, t, k, normaliser, gain;
    std::vector<double> b0, b1, b2, a1, a2, x1, x2, y1, y2;
    std::vector<double> sum; // four lanes per sample
    double offset = 1e-13;
};

FloorKernel::FloorKernel(int voices) : state_(new State) {
    State& s = *state_;
    s.voices = voices / 4 * 4;
    const std::size_t n = static_cast<std::size_t>(s.voices);
    s.table = SawTables::Instance().Level(3);
    for (int o = 0; o < kOscillators; ++o) {
        s.phase[o].resize(n);
        s.increment[o].resize(n);
        for (std::size_t v = 0; v < n; ++v) {
            s.phase[o][v] = static_cast<int32_t>((v * 7919u + static_cast<unsigned>(o) * 104729u) &
                                                 ((1u << 28) - 1));
            s.increment[o][v] =
                static_cast<int32_t>(40000 + v * 1237 + static_cast<unsigned>(o) * 31);
        }
    }
    for (int e = 0; e < kEnvelopes; ++e) {
        s.value[e].assign(n, 0.0);
        s.target[e].assign(n, 1.1111111111111112);
        s.coefficient[e].assign(n, 1e-4 * (e + 1));
    }
    for (auto* a : {&s.s1, &s.s3})
        a->assign(n, 0.0);
    s.s2.assign(n, 1.0);
    s.s4.assign(n, -1.0);
    s.g.assign(n, 0.3);
    s.g2.assign(n, 0.09);
    s.g3.assign(n, 0.027);
    s.g4.assign(n, 0.0081);
    s.t.assign(n, 0.4);
    s.k.assign(n, 2.5);
    s.normaliser.assign(n, 1.0 / (1.0 + 2.5 * 0.0081));
    s.gain.assign(n, 1.5);
    s.b0.assign(n, 0.2);
    s.b1.assign(n, 0.4);
    s.b2.assign(n, 0.2);
    s.a1.assign(n, -0.5);
    s.a2.assign(n, 0.3);
    for (auto* a : {&s.x1, &s.x2, &s.y1, &s.y2})
        a->assign(n, 0.0);
}

FloorKernel::~FloorKernel() = default;

bool FloorKernel::Supported() {
#if HALVANE_FLOOR_AVX2
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

#if HALVANE_FLOOR_AVX2

namespace {

__attribute__((target("avx2"))) void RenderGroups(FloorKernel* /*self*/, void* statePointer,
                                                  double* out, int frames) {
    auto& s = *static_cast<FloorKernel::State*>(statePointer);
    s.sum.assign(static_cast<std::size_t>(frames) * 4, 0.0);
    const __m128i mask = _mm_set1_epi32((1 << 28) - 1);
    const __m256d signBit = _mm256_set1_pd(-0.0);
    const __m256d maxInput = _mm256_set1_pd(1e300);
    const __m256d maxFinite = _mm256_set1_pd(DBL_MAX);
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    const __m256d fifth = _mm256_set1_pd(0.2), three = _mm256_set1_pd(3.0);
    const __m256d minusThree = _mm256_set1_pd(-3.0), five = _mm256_set1_pd(5.0);
    const __m256d twentySeven = _mm256_set1_pd(27.0), nine = _mm256_set1_pd(9.0);
    const double startOffset = s.offset;

    for (int v = 0; v < s.voices; v += 4) {
        __m128i phase[kOscillators], increment[kOscillators];
        for (int o = 0; o < kOscillators; ++o) {
            phase[o] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&s.phase[o][v]));
            increment[o] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&s.increment[o][v]));
        }
        __m256d value[kEnvelopes], target[kEnvelopes], coefficient[kEnvelopes];
        for (int e = 0; e < kEnvelopes; ++e) {
            value[e] = _mm256_loadu_pd(&s.value[e][v]);
            target[e] = _mm256_loadu_pd(&s.target[e][v]);
            coefficient[e] = _mm256_loadu_pd(&s.coefficient[e][v]);
        }
        __m256d s1 = _mm256_loadu_pd(&s.s1[v]), s2 = _mm256_loadu_pd(&s.s2[v]);
        __m256d s3 = _mm256_loadu_pd(&s.s3[v]), s4 = _mm256_loadu_pd(&s.s4[v]);
        const __m256d g = _mm256_loadu_pd(&s.g[v]), g2 = _mm256_loadu_pd(&s.g2[v]);
        const __m256d g3 = _mm256_loadu_pd(&s.g3[v]), g4 = _mm256_loadu_pd(&s.g4[v]);
        const __m256d t = _mm256_loadu_pd(&s.t[v]), k = _mm256_loadu_pd(&s.k[v]);
        const __m256d normaliser = _mm256_loadu_pd(&s.normaliser[v]);
        const __m256d gain = _mm256_loadu_pd(&s.gain[v]);
        const __m256d b0 = _mm256_loadu_pd(&s.b0[v]), b1 = _mm256_loadu_pd(&s.b1[v]);
        const __m256d b2 = _mm256_loadu_pd(&s.b2[v]), a1 = _mm256_loadu_pd(&s.a1[v]);
        const __m256d a2 = _mm256_loadu_pd(&s.a2[v]);
        __m256d x1 = _mm256_loadu_pd(&s.x1[v]), x2 = _mm256_loadu_pd(&s.x2[v]);
        __m256d y1 = _mm256_loadu_pd(&s.y1[v]), y2 = _mm256_loadu_pd(&s.y2[v]);
        double offsetValue = startOffset;

        for (int i = 0; i < frames; ++i) {
            __m256d w[kOscillators];
            for (int o = 0; o < kOscillators; ++o) {
                w[o] = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), s.table,
                                                _mm_srli_epi32(phase[o], 16), all, 8);
                phase[o] = _mm_and_si128(_mm_add_epi32(phase[o], increment[o]), mask);
            }
            for (int e = 0; e < kEnvelopes; ++e)
                value[e] = _mm256_add_pd(
                    value[e], _mm256_mul_pd(_mm256_sub_pd(target[e], value[e]), coefficient[e]));

            // Synthe: two oscillators through the ladder, VCF and VCA envelopes.
            __m256d x = _mm256_mul_pd(_mm256_add_pd(w[0], w[1]), value[0]);
            const __m256d offset = _mm256_set1_pd(offsetValue);
            offsetValue = -offsetValue;
            x = _mm256_and_pd(_mm256_add_pd(x, offset),
                              _mm256_cmp_pd(_mm256_andnot_pd(signBit, x), maxInput, _CMP_LE_OQ));
            // Non-finite states become 0, finite ones take the offset.
#define HALVANE_CLEAN(state)                                                                       \
    _mm256_and_pd(_mm256_add_pd(state, offset),                                                    \
                  _mm256_cmp_pd(_mm256_andnot_pd(signBit, state), maxFinite, _CMP_LE_OQ))
            const __m256d c1 = HALVANE_CLEAN(s1), c2 = HALVANE_CLEAN(s2);
            const __m256d c3 = HALVANE_CLEAN(s3), c4 = HALVANE_CLEAN(s4);
#undef HALVANE_CLEAN
            const __m256d y = _mm256_mul_pd(
                _mm256_add_pd(_mm256_add_pd(_mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(g3, c1),
                                                                        _mm256_mul_pd(g2, c2)),
                                                          _mm256_mul_pd(g, c3)),
                                            c4),
                              _mm256_mul_pd(g4, x)),
                normaliser);
            const __m256d m =
                _mm256_min_pd(_mm256_max_pd(_mm256_mul_pd(fifth, y), minusThree), three);
            const __m256d mm = _mm256_mul_pd(m, m);
            const __m256d sat =
                _mm256_div_pd(_mm256_mul_pd(_mm256_mul_pd(five, m), _mm256_add_pd(twentySeven, mm)),
                              _mm256_add_pd(twentySeven, _mm256_mul_pd(nine, mm)));
            const __m256d u = _mm256_mul_pd(_mm256_sub_pd(x, _mm256_mul_pd(k, sat)), g);
            const __m256d o1 = _mm256_add_pd(u, c1);
            s1 = _mm256_sub_pd(u, _mm256_mul_pd(t, o1));
            const __m256d o2 = _mm256_add_pd(_mm256_mul_pd(g, o1), c2);
            s2 = _mm256_sub_pd(_mm256_mul_pd(g, o1), _mm256_mul_pd(t, o2));
            const __m256d o3 = _mm256_add_pd(_mm256_mul_pd(g, o2), c3);
            s3 = _mm256_sub_pd(_mm256_mul_pd(g, o2), _mm256_mul_pd(t, o3));
            const __m256d o4 = _mm256_mul_pd(g, o3);
            s4 = _mm256_sub_pd(o4, _mm256_mul_pd(t, _mm256_add_pd(c4, o4)));
            const __m256d synthe = _mm256_mul_pd(_mm256_mul_pd(y, gain), value[1]);

            // Brass and strings: oscillator sums through a gate and a biquad.
            const __m256d z = _mm256_add_pd(_mm256_mul_pd(w[2], value[2]),
                                            _mm256_mul_pd(w[3], _mm256_mul_pd(value[3], value[4])));
            const __m256d b = _mm256_sub_pd(
                _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(b0, z), _mm256_mul_pd(b1, x1)),
                              _mm256_mul_pd(b2, x2)),
                _mm256_add_pd(_mm256_mul_pd(a1, y1), _mm256_mul_pd(a2, y2)));
            x2 = x1;
            x1 = z;
            y2 = y1;
            y1 = b;

            double* lane = &s.sum[static_cast<std::size_t>(i) * 4];
            _mm256_storeu_pd(lane, _mm256_add_pd(_mm256_loadu_pd(lane), _mm256_add_pd(synthe, b)));
        }

        for (int o = 0; o < kOscillators; ++o)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(&s.phase[o][v]), phase[o]);
        for (int e = 0; e < kEnvelopes; ++e)
            _mm256_storeu_pd(&s.value[e][v], value[e]);
        _mm256_storeu_pd(&s.s1[v], s1);
        _mm256_storeu_pd(&s.s2[v], s2);
        _mm256_storeu_pd(&s.s3[v], s3);
        _mm256_storeu_pd(&s.s4[v], s4);
        _mm256_storeu_pd(&s.x1[v], x1);
        _mm256_storeu_pd(&s.x2[v], x2);
        _mm256_storeu_pd(&s.y1[v], y1);
        _mm256_storeu_pd(&s.y2[v], y2);
    }
    if (frames % 2)
        s.offset = -s.offset;
    for (int i = 0; i < frames; ++i) {
        const double* lane = &s.sum[static_cast<std::size_t>(i) * 4];
        out[i] = (lane[0] + lane[1]) + (lane[2] + lane[3]);
    }
}

} // namespace

void FloorKernel::Render(double* out, int frames) {
    if (Supported())
        RenderGroups(this, state_.get(), out, frames);
}

#else

void FloorKernel::Render(double* /*out*/, int /*frames*/) {}

#endif

} // namespace bench

} // namespace halvane
