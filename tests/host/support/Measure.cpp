#include "support/Measure.h"

#include <cmath>

namespace halvane {

namespace hosttest {

double NoteHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

double PitchHz(int pitch) {
    const int s = pitch / 128;
    return NoteHz(s) + (NoteHz(s + 1) - NoteHz(s)) * (pitch % 128) / 128.0;
}

std::size_t At(double seconds, double rate) {
    return static_cast<std::size_t>(seconds * rate);
}

double Rms(const Signal& x, std::size_t from, std::size_t to) {
    double sum = 0.0;
    for (std::size_t n = from; n < to; ++n)
        sum += x[n] * x[n];
    return std::sqrt(sum / static_cast<double>(to - from));
}

double Rms(const Signal& x, std::size_t from) {
    return x.size() > from ? Rms(x, from, x.size()) : 0.0;
}

double Peak(const Signal& x, std::size_t from, std::size_t to) {
    double peak = 0.0;
    for (std::size_t n = from; n < to; ++n)
        peak = std::fmax(peak, std::fabs(x[n]));
    return peak;
}

double Peak(const Signal& x, std::size_t from) {
    return Peak(x, from, x.size());
}

Signal Difference(const Signal& a, const Signal& b) {
    Signal d(a.size());
    for (std::size_t n = 0; n < a.size(); ++n)
        d[n] = a[n] - b[n];
    return d;
}

Signal Wet(const Streams& s, int side, double gain) {
    Signal wet(s[0].size());
    for (std::size_t n = 0; n < wet.size(); ++n)
        wet[n] = s[kTotalL + side][n] -
                 (s[kSynthL + side][n] + s[kBrassL + side][n] + s[kStringsL + side][n]) * gain;
    return wet;
}

std::vector<double> RisingCrossings(const Signal& x, std::size_t from, std::size_t to) {
    std::vector<double> t;
    for (std::size_t n = from + 1; n < to; ++n)
        if (x[n - 1] <= 0.0 && x[n] > 0.0)
            t.push_back(static_cast<double>(n - 1) + x[n - 1] / (x[n - 1] - x[n]));
    return t;
}

std::vector<Cycle> Cycles(const Signal& x, std::size_t from, std::size_t to, double rate) {
    const std::vector<double> t = RisingCrossings(x, from, to);
    std::vector<Cycle> cycles;
    for (std::size_t k = 1; k < t.size(); ++k)
        cycles.push_back({t[k - 1] / rate, rate / (t[k] - t[k - 1])});
    return cycles;
}

double Frequency(const Signal& x, std::size_t from, std::size_t to, double rate) {
    const std::vector<double> t = RisingCrossings(x, from, to);
    if (t.size() < 2)
        return 0.0;
    return rate * static_cast<double>(t.size() - 1) / (t.back() - t.front());
}

} // namespace hosttest

} // namespace halvane
