#include "engine/SawTables.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace halvane {

namespace {

constexpr std::size_t kN = SawTables::kSize;
constexpr double kPi = 3.14159265358979323846;

// Radix-2 transform of one period in place, with the positive exponent:
// x[k] = sum over j of X[j] * e^(+2 pi i j k / N). Rounding errors stay near
// 1e-15 for these tables, where summing thousands of sines per sample directly
// would cost a noticeable part of an instance's start-up.
void InverseTransform(std::vector<double>& re, std::vector<double>& im,
                      const std::vector<double>& cosine, const std::vector<double>& sine) {
    for (std::size_t i = 1, j = 0; i < kN; ++i) {
        std::size_t bit = kN >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    for (std::size_t length = 2; length <= kN; length <<= 1) {
        const std::size_t half = length >> 1;
        const std::size_t stride = kN / length;
        for (std::size_t start = 0; start < kN; start += length) {
            for (std::size_t m = 0; m < half; ++m) {
                const double wr = cosine[m * stride];
                const double wi = sine[m * stride];
                const std::size_t a = start + m;
                const std::size_t b = a + half;
                const double tr = re[b] * wr - im[b] * wi;
                const double ti = re[b] * wi + im[b] * wr;
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] += tr;
                im[a] += ti;
            }
        }
    }
}

} // namespace

const SawTables& SawTables::Instance() {
    static const SawTables tables;
    return tables;
}

SawTables::SawTables() : data_(static_cast<std::size_t>(kLevels) * kN) {
    std::vector<double> cosine(kN / 2), sine(kN / 2);
    for (std::size_t m = 0; m < kN / 2; ++m) {
        const double angle = 2.0 * kPi * static_cast<double>(m) / static_cast<double>(kN);
        cosine[m] = std::cos(angle);
        sine[m] = std::sin(angle);
    }

    std::vector<double> re(kN), im(kN);
    for (int level = 0; level < kLevels; ++level) {
        const int harmonics = Harmonics(level);
        std::fill(re.begin(), re.end(), 0.0);
        std::fill(im.begin(), im.end(), 0.0);
        // Amplitudes of the plain 1/j series (halved), tapered by a half cosine from
        // 1 at the fundamental to 0.54 at the top harmonic, which softens the
        // ringing of the truncated series.
        re[1] = 0.5;
        for (int j = 2; j <= harmonics; ++j) {
            re[static_cast<std::size_t>(j)] =
                (0.54 + 0.46 * std::cos((j - 1) * (kPi / 2) / (harmonics - 1))) * 0.5 / j;
        }
        // The sine series is the imaginary part of the transform of these real
        // amplitudes. The harmonic at N/2 falls on the zeros of its sine and
        // contributes nothing, as it should.
        InverseTransform(re, im, cosine, sine);
        double* out = data_.data() + static_cast<std::size_t>(level) * kN;
        for (std::size_t k = 0; k < kN; ++k)
            out[k] = im[k];
    }
}

} // namespace halvane
