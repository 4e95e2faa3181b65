// Every one of the 93 parameters, set by a host, changes the sound the way its
// mapping says: one case per parameter, each a small setup in which the
// parameter matters, rendered with two values and measured on the output (a
// pitch ratio, a level ratio, a brightness, a modulation rate or depth, a
// delay).

#include <cctype>
#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "support/Instrument.h"
#include "support/Measure.h"

namespace halvane {

using namespace hosttest;
using vsthost::MidiMessage;

namespace {

// ---------------------------------------------------------------------------
// Measurements. All take the samples from..to of one channel.

// RMS of the first difference over the RMS: rises with the share of high
// frequencies (2 sin(pi f / rate) for a sine of f Hz).
double Brightness(const Signal& x, std::size_t from, std::size_t to) {
    double sum = 0.0;
    for (std::size_t n = from + 1; n < to; ++n)
        sum += (x[n] - x[n - 1]) * (x[n] - x[n - 1]);
    return std::sqrt(sum / static_cast<double>(to - from - 1)) / (Rms(x, from, to) + 1e-300);
}

// Four one-pole low-passes at cutoffHz from the first sample: what is left of a
// tone at or above the cutoff is close to its fundamental.
Signal LowPassed(const Signal& x, double cutoffHz) {
    const double a = 1.0 - std::exp(-2.0 * kPi * cutoffHz / kRate);
    double s[4] = {};
    Signal y(x.size());
    for (std::size_t n = 0; n < x.size(); ++n) {
        double v = x[n];
        for (double& stage : s)
            v = stage += a * (v - stage);
        y[n] = v;
    }
    return y;
}

// One frequency per cycle of the low-passed signal: the pitch as it moves.
std::vector<double> CycleFrequencies(const Signal& x, double cutoffHz, std::size_t from,
                                     std::size_t to) {
    std::vector<double> f;
    for (const Cycle& c : Cycles(LowPassed(x, cutoffHz), from, to))
        f.push_back(c.hz);
    return f;
}

double Mean(const std::vector<double>& v) {
    double sum = 0.0;
    for (double x : v)
        sum += x;
    return v.empty() ? 0.0 : sum / static_cast<double>(v.size());
}

// Standard deviation over the mean.
double Spread(const std::vector<double>& v) {
    const double m = Mean(v);
    double sum = 0.0;
    for (double x : v)
        sum += (x - m) * (x - m);
    return v.size() > 1 ? std::sqrt(sum / static_cast<double>(v.size())) / std::fabs(m) : 0.0;
}

// How often a series swings about its mean: crossings with a hysteresis of a
// quarter of its half range, halved (two crossings per swing).
double Swings(const std::vector<double>& v) {
    if (v.size() < 3)
        return 0.0;
    double low = v[0], high = v[0];
    for (double x : v) {
        low = std::fmin(low, x);
        high = std::fmax(high, x);
    }
    const double mid = 0.5 * (low + high), h = 0.125 * (high - low);
    int side = v[0] > mid ? 1 : -1, crossings = 0;
    for (double x : v) {
        if (side < 0 && x > mid + h) {
            side = 1;
            ++crossings;
        } else if (side > 0 && x < mid - h) {
            side = -1;
            ++crossings;
        }
    }
    return 0.5 * crossings;
}

// fn over consecutive windows of length w.
std::vector<double> Windows(std::size_t from, std::size_t to, std::size_t w,
                            const std::function<double(std::size_t, std::size_t)>& fn) {
    std::vector<double> v;
    for (std::size_t n = from; n + w <= to; n += w)
        v.push_back(fn(n, n + w));
    return v;
}

// Level of the fundamental, window by window (two periods of hz each).
std::vector<double> FundamentalLevels(const Signal& x, double hz, std::size_t from,
                                      std::size_t to) {
    const Signal y = LowPassed(x, hz);
    const auto w = static_cast<std::size_t>(std::lround(2.0 * kRate / hz));
    return Windows(from, to, w, [&](std::size_t a, std::size_t b) { return Rms(y, a, b); });
}

double Fluctuation(const std::vector<double>& levels) {
    double low = levels.at(0), high = levels.at(0);
    for (double l : levels) {
        low = std::fmin(low, l);
        high = std::fmax(high, l);
    }
    return (high - low) / (high + low + 1e-300);
}

// Mean |x| over RMS, window by window: 1 for a square wave, 0.87 for a saw, lower
// for a narrow pulse.
std::vector<double> Duty(const Signal& x, double hz, std::size_t from, std::size_t to) {
    const auto w = static_cast<std::size_t>(std::lround(2.0 * kRate / hz));
    return Windows(from, to, w, [&](std::size_t a, std::size_t b) {
        double sum = 0.0;
        for (std::size_t n = a; n < b; ++n)
            sum += std::fabs(x[n]);
        return sum / static_cast<double>(b - a) / (Rms(x, a, b) + 1e-300);
    });
}

// Seconds until the level (two periods of hz per window) first reaches half of
// its largest value.
double RiseTime(const Signal& x, double hz, std::size_t to) {
    const auto w = static_cast<std::size_t>(std::lround(2.0 * kRate / hz));
    const std::vector<double> levels =
        Windows(0, to, w, [&](std::size_t a, std::size_t b) { return Rms(x, a, b); });
    double high = 0.0;
    for (double l : levels)
        high = std::fmax(high, l);
    for (std::size_t k = 0; k < levels.size(); ++k)
        if (levels[k] >= 0.5 * high)
            return (static_cast<double>(k) + 0.5) * static_cast<double>(w) / kRate;
    return 0.0;
}

// Delay of the flanger's output behind the synthe (its only send), window by
// window: the lag of largest correlation, refined by a parabola through its
// neighbours.
std::vector<double> FlangerDelays(const Streams& s, std::size_t from, std::size_t to) {
    const Signal wet = Wet(s);
    const Signal& dry = s[kSynthL];
    constexpr int kMaxLag = 300;
    return Windows(from, to, 1024, [&](std::size_t a, std::size_t b) {
        double r[kMaxLag + 1];
        int best = 0;
        for (int lag = 0; lag <= kMaxLag; ++lag) {
            r[lag] = 0.0;
            for (std::size_t n = a; n < b; ++n)
                r[lag] += wet[n] * dry[n - static_cast<std::size_t>(lag)];
            if (r[lag] > r[best])
                best = lag;
        }
        if (best == 0 || best == kMaxLag)
            return static_cast<double>(best);
        const double d = r[best - 1] - 2.0 * r[best] + r[best + 1];
        return best + (d != 0.0 ? 0.5 * (r[best - 1] - r[best + 1]) / d : 0.0);
    });
}

// ---------------------------------------------------------------------------
// The cases.

enum Base { kSyn, kBrs, kStr };
enum PlayKind {
    kHold,     // the note from 0 on
    kRelease,  // the note from 0 to 0.3 s
    kLegato,   // the note from 0, a fifth above it from 0.5 s, both held
    kPair,     // the note and a third above it together
    kNine,     // nine keys from the note up, all but the first up after 0.05 s
    kReassign, // 60, 64, 60 up, 67, 67 up: with "Key Assign" "2" 67 takes 64's voice
    kDamp,     // the note at full velocity to 0.2 s, at 0.25 s an octave up at velocity 1
    kBend,     // full bend up, then the note
    kWheel,    // full modulation wheel, then the note
};
enum Metric {
    kLevel,         // RMS
    kBright,        // Brightness
    kFreq,          // average frequency
    kPitchSpread,   // spread of the cycle-by-cycle frequency
    kPitchRate,     // swings of the cycle-by-cycle frequency per second
    kFluct,         // fluctuation of the fundamental's level
    kFluctRate,     // swings of the fundamental's level per second
    kDuty,          // mean duty measure
    kDutyRate,      // swings of the duty measure per second
    kRise,          // rise time
    kWetLevel,      // RMS of what the flanger added
    kWetApart,      // RMS of the left flanger output minus the right one
    kStringsApart,  // RMS of "Strings L" minus "Strings R"
    kFlangerDelay,  // mean delay of the flanger output (samples)
    kFlangerSpread, // range of that delay (samples)
    kFlangerRate,   // swings of that delay per second
};
enum Relation {
    kMore,  // B > expected x A
    kLess,  // B < expected x A
    kRatio, // B / A within tol of expected
    kDiff,  // B - A within tol of expected
    kRates, // A and B (swings per second) within tol of the values set (Hz)
};

struct Case {
    const char* param;
    const char* a;
    const char* b;
    Base base;
    const char* setup;
    PlayKind play;
    int note;
    int velocity;
    Channel channel;
    Metric metric;
    double from, to; // seconds
    Relation relation;
    double expected;
    double tol;
};

// Ratio of the frequencies two pitch offsets give a note read at 8' (the
// oscillator runs an octave below and is read at twice its phase).
double OffsetRatio(int note, int offsetA, int offsetB) {
    return PitchHz(note * 128 + offsetB - 1536) / PitchHz(note * 128 + offsetA - 1536);
}

const std::vector<Case>& Cases() {
    // Bend fully up (8191/8192) by r semitones, in whole pitch units.
    auto bend = [](double r) { return static_cast<int>(8191.0 / 8192.0 * r * 128.0); };
    const double oneSemitone = OffsetRatio(57, 0, 128);
    // clang-format off
    static const std::vector<Case> cases = {
        // Keyboard and tuning.
        {"Trident Mode", "On", "Off", kSyn, "", kNine, 48, 100, kTotalL, kLevel, 0.2, 0.4, kMore, 10, 0},
        {"Key Assign", "1", "2", kSyn, "", kReassign, 60, 100, kTotalL, kLevel, 0.3, 0.4, kLess, 0.01, 0},
        {"Total Tune", "0", "1", kSyn, "", kHold, 57, 100, kSynthL, kFreq, 0.1, 0.6, kRatio, oneSemitone, 2e-4},
        {"Range Synthe", "Lower", "Upper", kSyn, "Split Key=60", kHold, 59, 100, kSynthL, kLevel, 0.1, 0.3, kLess, 0.01, 0},
        {"Range Brass", "Lower", "Upper", kBrs, "Split Key=60", kHold, 59, 100, kBrassL, kLevel, 0.1, 0.3, kLess, 0.01, 0},
        {"Range Strings", "Lower", "Upper", kStr, "Split Key=60", kHold, 59, 100, kStringsL, kLevel, 0.1, 0.3, kLess, 0.01, 0},
        {"Split Key", "60", "61", kSyn, "Range Synthe=Lower", kHold, 60, 100, kSynthL, kLevel, 0.1, 0.3, kMore, 100, 0},
        {"Pitch Bend", "2", "7", kSyn, "", kBend, 57, 100, kSynthL, kFreq, 0.1, 0.6, kRatio, OffsetRatio(57, bend(2), bend(7)), 2e-4},
        // Synthe.
        {"VCO 1 Octave", "8'", "16'", kSyn, "", kHold, 57, 100, kSynthL, kFreq, 0.1, 0.6, kRatio, 0.5, 2e-4},
        {"VCO 1 Wave", "Sawtooth", "Pulse", kSyn, "", kHold, 45, 100, kSynthL, kDuty, 0.1, 0.5, kMore, 1.05, 0},
        {"VCO 1 PW/PWM", "0", "0.9", kSyn, "VCO 1 Wave=Pulse", kHold, 45, 100, kSynthL, kDuty, 0.1, 0.5, kLess, 0.8, 0},
        {"VCO 1 PWM Speed", "1", "4", kSyn, "VCO 1 Wave=Pulse Width Mod|VCO 1 PW/PWM=1", kHold, 45, 100, kSynthL, kDutyRate, 0.05, 2.05, kRates, 0, 0.3},
        {"VCO 2 Octave", "Off", "16'", kSyn, "", kHold, 57, 100, kSynthL, kFreq, 0.1, 0.6, kRatio, 0.5, 2e-4},
        {"VCO 2 Detune", "0", "0.05", kSyn, "VCO 2 Octave=8'", kHold, 69, 100, kSynthL, kFluct, 0.1, 1.1, kMore, 20, 0},
        {"VCF Cutoff", "1", "0.4", kSyn, "", kHold, 45, 100, kSynthL, kBright, 0.1, 0.3, kLess, 0.5, 0},
        {"VCF Resonance", "0", "0.9", kSyn, "VCF Cutoff=0.6", kHold, 45, 100, kSynthL, kBright, 0.1, 0.3, kMore, 1.1, 0},
        {"VCF KBF Track", "0", "4", kSyn, "VCF Cutoff=0.5", kHold, 84, 100, kSynthL, kLevel, 0.1, 0.3, kMore, 10, 0},
        {"VCF EG Intensity", "0", "6000", kSyn, "VCF Cutoff=0.2|VCF Sustain=1", kHold, 45, 100, kSynthL, kLevel, 0.1, 0.3, kMore, 10, 0},
        {"VCF Attack", "0", "0.6", kSyn, "VCF Cutoff=0.2|VCF Sustain=1|VCF EG Intensity=6000", kHold, 45, 100, kSynthL, kLevel, 0.02, 0.2, kLess, 0.2, 0},
        {"VCF Decay", "0", "0.5", kSyn, "VCF Cutoff=0.2|VCF EG Intensity=6000", kHold, 45, 100, kSynthL, kLevel, 0.2, 0.4, kMore, 5, 0},
        {"VCF Sustain", "0", "1", kSyn, "VCF Cutoff=0.2|VCF EG Intensity=6000", kHold, 45, 100, kSynthL, kLevel, 0.2, 0.4, kMore, 10, 0},
        {"VCF Release", "0", "0.6", kSyn, "VCF Cutoff=0.2|VCF EG Intensity=6000|VCF Sustain=1|VCA Release=0.5", kRelease, 45, 100, kSynthL, kLevel, 0.35, 0.6, kMore, 3, 0},
        // Half of the level at 1.5 s: 10/9 (1 - exp(-r ln10 t)), r = 5^(3.3 - 3.75) + 0.05.
        {"VCA Attack", "0", "0.5", kSyn, "", kHold, 57, 100, kSynthL, kRise, 0, 1.5, kDiff, 0.444, 0.02},
        {"VCA Decay", "0", "0.4", kSyn, "VCA Sustain=0", kHold, 57, 100, kSynthL, kLevel, 0.1, 0.3, kMore, 100, 0},
        {"VCA Sustain", "1", "0.25", kSyn, "", kHold, 57, 100, kSynthL, kLevel, 0.1, 0.3, kRatio, 0.25, 1e-3},
        {"VCA Release", "0", "0.4", kSyn, "", kRelease, 57, 100, kSynthL, kLevel, 0.35, 0.5, kMore, 100, 0},
        {"VCA Attenuator", "0", "-10", kSyn, "", kHold, 57, 100, kSynthL, kLevel, 0.1, 0.3, kRatio, 0.31622777, 1e-6},
        {"VCA Auto Damp", "Off", "On", kSyn, "VCA Release=0.7|Velocity Synthe=1", kDamp, 48, 127, kSynthL, kLevel, 0.3, 0.5, kLess, 0.2, 0},
        {"Velocity Synthe", "0", "1", kSyn, "", kHold, 57, 64, kSynthL, kLevel, 0.1, 0.3, kRatio, 64.0 / 127.0, 1e-6},
        {"Velocity Synthe VCF", "0", "1", kSyn, "VCF Cutoff=0.2|VCF Sustain=1|VCF EG Intensity=6000", kHold, 45, 40, kSynthL, kLevel, 0.1, 0.3, kLess, 0.5, 0},
        {"Volume Synthe", "0.5", "0.25", kSyn, "", kHold, 57, 100, kSynthL, kLevel, 0.1, 0.3, kRatio, 0.5, 1e-6},
        {"Output Synthe", "On", "Off", kSyn, "", kHold, 57, 100, kSynthL, kLevel, 0.1, 0.3, kRatio, 0, 1e-9},
        {"Pan Synthe", "0.5", "0", kSyn, "", kHold, 57, 100, kSynthR, kLevel, 0.1, 0.3, kRatio, 0, 1e-9},
        // Brass.
        {"Brass Cutoff", "1", "0.4", kBrs, "", kHold, 57, 100, kBrassL, kBright, 0.1, 0.3, kLess, 0.7, 0},
        {"Brass Resonance", "0", "0.9", kBrs, "Brass Cutoff=0.6", kHold, 57, 100, kBrassL, kBright, 0.1, 0.3, kMore, 1.1, 0},
        {"Brass Silent Notes", "2", "4", kBrs, "Brass Trigger Select=On", kPair, 57, 100, kBrassL, kLevel, 0.1, 0.3, kRatio, 0, 1e-9},
        {"Brass EG Intensity", "0", "6000", kBrs, "Brass Cutoff=0.2", kHold, 57, 100, kBrassL, kLevel, 0.1, 0.3, kMore, 10, 0},
        {"Brass Attack", "0", "0.5", kBrs, "", kHold, 57, 100, kBrassL, kRise, 0, 1.5, kDiff, 0.444, 0.02},
        {"Brass Decay", "0", "0.4", kBrs, "Brass Sustain=0", kHold, 57, 100, kBrassL, kLevel, 0.1, 0.3, kMore, 100, 0},
        {"Brass Sustain", "1", "0.25", kBrs, "", kHold, 57, 100, kBrassL, kLevel, 0.1, 0.3, kRatio, 0.25, 1e-4},
        {"Brass Release", "0", "0.4", kBrs, "", kRelease, 57, 100, kBrassL, kLevel, 0.35, 0.5, kMore, 100, 0},
        {"Brass 16'", "Off", "On", kBrs, "Brass 8'=On", kHold, 57, 100, kBrassL, kFreq, 0.1, 0.6, kRatio, 0.5, 2e-4},
        {"Brass 8'", "Off", "On", kBrs, "Brass 16'=Off", kHold, 57, 100, kBrassL, kLevel, 0.1, 0.3, kMore, 100, 0},
        {"Brass Multi Trigger", "Off", "On", kBrs, "Brass Sustain=0|Brass Decay=0.3", kLegato, 57, 100, kBrassL, kLevel, 0.52, 0.7, kMore, 5, 0},
        {"Brass Trigger Select", "Off", "On", kBrs, "", kHold, 57, 100, kBrassL, kLevel, 0.1, 0.3, kRatio, 0, 1e-9},
        {"Velocity Brass", "0", "1", kBrs, "", kHold, 57, 64, kBrassL, kLevel, 0.1, 0.3, kRatio, 64.0 / 127.0, 1e-4},
        {"Velocity Brass VCF", "0", "1", kBrs, "Brass Cutoff=0.2|Brass EG Intensity=6000", kHold, 57, 40, kBrassL, kLevel, 0.1, 0.3, kLess, 0.5, 0},
        {"Volume Brass", "0.5", "0", kBrs, "", kHold, 57, 100, kBrassL, kLevel, 0.1, 0.3, kRatio, 0, 1e-9},
        {"Output Brass", "On", "Off", kBrs, "", kHold, 57, 100, kBrassL, kLevel, 0.1, 0.3, kRatio, 0, 1e-9},
        {"Pan Brass", "0.5", "1", kBrs, "", kHold, 57, 100, kBrassL, kLevel, 0.1, 0.3, kRatio, 0, 1e-9},
        // Brass 16' alone: the phase at the pitch plus 224 units, an octave down.
        {"Detune Brass", "0", "0.5", kBrs, "", kHold, 57, 100, kBrassL, kFreq, 0.1, 0.6, kRatio, OffsetRatio(57, 0, 224), 2e-4},
        // Strings.
        {"Strings Attack", "0", "0.5", kStr, "", kHold, 57, 100, kStringsL, kRise, 0, 1.5, kDiff, 0.444, 0.02},
        {"Strings Release", "0", "0.4", kStr, "", kRelease, 57, 100, kStringsL, kLevel, 0.35, 0.5, kMore, 100, 0},
        {"Strings EQ High", "-12", "12", kStr, "", kHold, 57, 100, kStringsL, kBright, 0.1, 0.3, kMore, 1.2, 0},
        {"Strings EQ Low", "-12", "12", kStr, "", kHold, 57, 100, kStringsL, kBright, 0.1, 0.3, kLess, 0.8, 0},
        {"Strings Bowing Level", "0", "1", kStr, "Strings Bowing=Off", kHold, 57, 100, kStringsL, kLevel, 0.1, 0.3, kMore, 1.2, 0},
        {"Strings Bowing Tone", "0", "1", kStr, "Strings Bowing=Off|Strings Bowing Level=1", kHold, 57, 100, kStringsL, kBright, 0.1, 0.3, kMore, 1.1, 0},
        {"Strings Vibrato Delay", "0", "0.8", kStr, "Strings Vibrato=On|Strings Vibrato Intensity=1", kHold, 57, 100, kStringsL, kPitchSpread, 0.1, 0.5, kLess, 0.5, 0},
        {"Strings Vibrato Speed", "2", "8", kStr, "Strings Vibrato=On|Strings Vibrato Intensity=1|Strings Vibrato Delay=0", kHold, 57, 100, kStringsL, kPitchRate, 0.1, 2.1, kRates, 0, 0.3},
        {"Strings Vibrato Intensity", "0", "1", kStr, "Strings Vibrato=On|Strings Vibrato Delay=0", kHold, 57, 100, kStringsL, kPitchSpread, 0.1, 0.5, kMore, 5, 0},
        {"Strings KBD Balance", "0", "1", kStr, "", kHold, 96, 100, kStringsL, kBright, 0.1, 0.3, kMore, 1.1, 0},
        {"Strings 16'", "Off", "On", kStr, "", kHold, 57, 100, kStringsL, kFreq, 0.1, 0.6, kRatio, 0.5, 2e-4},
        {"Strings 8'", "Off", "On", kStr, "Strings 4'=On", kHold, 57, 100, kStringsL, kFreq, 0.1, 0.6, kRatio, 0.5, 2e-4},
        {"Strings 4'", "Off", "On", kStr, "Strings 8'=Off", kHold, 57, 100, kStringsL, kLevel, 0.1, 0.3, kMore, 100, 0},
        {"Strings Bowing", "On", "Off", kStr, "Strings Bowing Level=1", kHold, 57, 100, kStringsL, kLevel, 0.1, 0.3, kMore, 1.2, 0},
        {"Strings Vibrato", "On", "Off", kStr, "Strings Vibrato Intensity=1|Strings Vibrato Delay=0", kHold, 57, 100, kStringsL, kPitchSpread, 0.1, 0.5, kLess, 0.2, 0},
        {"Strings Ensemble", "On", "Off", kStr, "", kHold, 57, 100, kStringsL, kFluct, 0.1, 1.0, kLess, 0.3, 0},
        {"Velocity Strings", "0", "1", kStr, "", kHold, 57, 64, kStringsL, kLevel, 0.1, 0.3, kRatio, 64.0 / 127.0, 1e-4},
        {"Volume Strings", "0.5", "0.25", kStr, "", kHold, 57, 100, kStringsL, kLevel, 0.1, 0.3, kRatio, 0.5, 1e-4},
        {"Output Strings", "On", "Off", kStr, "", kHold, 57, 100, kStringsL, kLevel, 0.1, 0.3, kRatio, 0, 1e-9},
        {"Pan Strings", "0.5", "0.2", kStr, "", kHold, 57, 100, kStringsL, kLevel, 0.1, 0.3, kRatio, 1.6, 1e-6},
        {"Detune Strings", "0", "-0.5", kStr, "", kHold, 57, 100, kStringsL, kFreq, 0.1, 0.6, kRatio, OffsetRatio(57, 0, -224), 2e-4},
        {"Stereo Ensemble", "Off", "On", kStr, "Strings Ensemble=On", kHold, 57, 100, kStringsL, kStringsApart, 0.1, 0.3, kMore, 100, 0},
        {"Ens. LFO1 Speed", "1", "4", kStr, "Strings Ensemble=On|Ens.1 Amount=0.1|Ens.2 Amount=0|Ens.3 Amount=0|Ens. LFO2 Speed=0.001", kHold, 36, 100, kStringsL, kFluctRate, 0.1, 2.1, kRates, 0, 0.3},
        {"Ens. LFO2 Speed", "1", "4", kStr, "Strings Ensemble=On|Ens.1 Amount=0.01|Ens.2 Amount=0|Ens.3 Amount=0|Ens. LFO1 Speed=0.001", kHold, 36, 100, kStringsL, kFluctRate, 0.1, 2.1, kRates, 0, 0.3},
        {"Ens.1 Amount", "0", "0.02", kStr, "Strings Ensemble=On|Ens.2 Amount=0|Ens.3 Amount=0", kHold, 36, 100, kStringsL, kFluct, 0.1, 1.1, kMore, 20, 0},
        {"Ens.2 Amount", "0", "0.02", kStr, "Strings Ensemble=On|Ens.1 Amount=0|Ens.3 Amount=0", kHold, 36, 100, kStringsL, kFluct, 0.1, 1.1, kMore, 20, 0},
        {"Ens.3 Amount", "0", "0.02", kStr, "Strings Ensemble=On|Ens.1 Amount=0|Ens.2 Amount=0", kHold, 36, 100, kStringsL, kFluct, 0.1, 1.1, kMore, 20, 0},
        // Modulation.
        {"Vib. Intensity", "0", "0.5", kSyn, "Vib. Delay=1|Vib. Delay Time=0", kHold, 57, 100, kSynthL, kPitchSpread, 0.1, 0.5, kMore, 5, 0},
        {"Vib. Delay", "0", "1", kSyn, "Vib. Intensity=0.5|Vib. Delay Time=0", kHold, 57, 100, kSynthL, kPitchSpread, 0.1, 0.5, kMore, 5, 0},
        {"Vib. Delay Time", "0", "0.8", kSyn, "Vib. Delay=1|Vib. Intensity=0.5", kHold, 57, 100, kSynthL, kPitchSpread, 0.1, 0.5, kLess, 0.5, 0},
        {"Wheel Vib. Intensity", "0", "0.2", kSyn, "", kWheel, 57, 100, kSynthL, kPitchSpread, 0.1, 0.5, kMore, 5, 0},
        {"Wheel Vib. Speed", "2", "8", kSyn, "", kWheel, 57, 100, kSynthL, kPitchRate, 0.1, 2.1, kRates, 0, 0.3},
        // Trill raises the pitch for half of the time; vibrato swings about it.
        {"Wheel Mode", "Trill", "Vibrato", kSyn, "", kWheel, 57, 100, kSynthL, kFreq, 0.1, 1.1, kLess, 0.99, 0},
        // Effects and output (the flanger on a low synthe note, its period
        // longer than any flanger delay).
        {"Flanger Speed", "1", "4", kSyn, "Flanger Synthe=On|Flanger Feedback=0|Flanger Intensity=1|Flanger Manual=0", kHold, 36, 100, kTotalL, kFlangerRate, 0.1, 2.1, kRates, 0, 0.3},
        {"Flanger Feedback", "0", "0.9", kSyn, "Flanger Synthe=On", kHold, 36, 100, kTotalL, kWetLevel, 0.1, 0.5, kMore, 1.2, 0},
        {"Flanger Intensity", "0", "1", kSyn, "Flanger Synthe=On|Flanger Feedback=0|Flanger Manual=0", kHold, 36, 100, kTotalL, kFlangerSpread, 0.1, 1.1, kMore, 10, 0},
        // Clock steps 0.125 and 1 sample: 176 stages, the two ticks by which the
        // interpolation trails, and the output filter's delay of 1.75 ticks
        // (8 kHz, Q 0.5).
        {"Flanger Manual", "0", "1", kSyn, "Flanger Synthe=On|Flanger Feedback=0|Flanger Intensity=0", kHold, 36, 100, kTotalL, kFlangerDelay, 0.1, 0.5, kDiff, (176 + 2 + 1.75) * 0.875, 1},
        {"Flanger Synthe", "Off", "On", kSyn, "", kHold, 48, 100, kTotalL, kWetLevel, 0.1, 0.3, kMore, 100, 0},
        {"Flanger Brass", "Off", "On", kBrs, "", kHold, 48, 100, kTotalL, kWetLevel, 0.1, 0.3, kMore, 100, 0},
        {"Flanger Strings", "Off", "On", kStr, "", kHold, 48, 100, kTotalL, kWetLevel, 0.1, 0.3, kMore, 100, 0},
        {"Stereo Flanger", "Off", "On", kSyn, "Flanger Synthe=On", kHold, 48, 100, kTotalL, kWetApart, 0.1, 0.3, kMore, 100, 0},
        {"Total Volume", "0.5", "0.25", kSyn, "", kHold, 57, 100, kTotalL, kLevel, 0.1, 0.3, kRatio, 0.5, 1e-9},
    };
    // clang-format on
    return cases;
}

// Sections switched on for a case: the synthe alone, or one other section alone
// with its strings stages off unless the case asks for them.
const char* BaseSetup(Base base) {
    switch (base) {
    case kBrs:
        return "Output Synthe=Off|Output Brass=On";
    case kStr:
        return "Output Synthe=Off|Output Strings=On|Strings Attack=0|Strings Vibrato=Off|"
               "Strings Ensemble=Off";
    default:
        return "";
    }
}

std::vector<Timed> Script(const Case& c) {
    const int n = c.note;
    const int v = c.velocity;
    switch (c.play) {
    case kRelease:
        return {{0.0, NoteOn(n, v)}, {0.3, NoteOff(n)}};
    case kLegato:
        return {{0.0, NoteOn(n, v)}, {0.5, NoteOn(n + 7, v)}};
    case kPair:
        return {{0.0, NoteOn(n, v)}, {0.0, NoteOn(n + 4, v)}};
    case kNine: {
        std::vector<Timed> s;
        for (int k = 0; k < 9; ++k)
            s.push_back({0.0, NoteOn(n + k, v)});
        for (int k = 1; k < 9; ++k)
            s.push_back({0.05, NoteOff(n + k)});
        return s;
    }
    case kReassign:
        return {{0.0, NoteOn(60, v)},
                {0.05, NoteOn(64, v)},
                {0.1, NoteOff(60)},
                {0.15, NoteOn(67, v)},
                {0.2, NoteOff(67)}};
    case kDamp:
        return {{0.0, NoteOn(n, v)}, {0.2, NoteOff(n)}, {0.25, NoteOn(n + 12, 1)}};
    case kBend:
        return {{0.0, MidiMessage{0, 0xE0, 127, 127}}, {0.0, NoteOn(n, v)}};
    case kWheel:
        return {{0.0, MidiMessage{0, 0xB0, 1, 127}}, {0.0, NoteOn(n, v)}};
    default:
        return {{0.0, NoteOn(n, v)}};
    }
}

double Measure(const Case& c, const Streams& s) {
    const Signal& x = s[c.channel];
    const std::size_t from = At(c.from), to = At(c.to);
    const double seconds = c.to - c.from;
    const double hz = NoteHz(c.note);
    // Low enough for the octave below the note (16'), which some cases add.
    const double fundamental = hz / 2.0;
    switch (c.metric) {
    case kLevel:
        return Rms(x, from, to);
    case kBright:
        return Brightness(x, from, to);
    case kFreq:
        return Frequency(LowPassed(x, fundamental), from, to);
    case kPitchSpread:
        return Spread(CycleFrequencies(x, fundamental, from, to));
    case kPitchRate:
        return Swings(CycleFrequencies(x, fundamental, from, to)) / seconds;
    case kFluct:
        return Fluctuation(FundamentalLevels(x, hz, from, to));
    case kFluctRate:
        return Swings(FundamentalLevels(x, hz, from, to)) / seconds;
    case kDuty:
        return Mean(Duty(x, hz, from, to));
    case kDutyRate:
        return Swings(Duty(x, hz, from, to)) / seconds;
    case kRise:
        return RiseTime(x, hz, to);
    case kWetLevel:
        return Rms(Wet(s), from, to);
    case kWetApart:
        return Rms(Difference(Wet(s, 0), Wet(s, 1)), from, to);
    case kStringsApart:
        return Rms(Difference(s[kStringsL], s[kStringsR]), from, to);
    case kFlangerDelay:
        return Mean(FlangerDelays(s, from, to));
    case kFlangerSpread: {
        const std::vector<double> d = FlangerDelays(s, from, to);
        double low = d.at(0), high = d.at(0);
        for (double v : d) {
            low = std::fmin(low, v);
            high = std::fmax(high, v);
        }
        return high - low;
    }
    case kFlangerRate:
        return Swings(FlangerDelays(s, from, to)) / seconds;
    }
    return 0.0;
}

class SoundParametersTest : public InstrumentTest {};

class EveryParameter : public SoundParametersTest, public ::testing::WithParamInterface<Case> {};

TEST_P(EveryParameter, ChangesTheSoundAsMapped) {
    const Case& c = GetParam();
    double m[2];
    for (int k = 0; k < 2; ++k) {
        Instrument instrument;
        instrument.Apply(BaseSetup(c.base));
        instrument.Apply(c.setup);
        instrument.Set(c.param, k == 0 ? c.a : c.b);
        const Streams s = instrument.Play(Script(c), c.to + 0.01);
        m[k] = Measure(c, s);
        ASSERT_TRUE(std::isfinite(m[k]));
    }
    const double a = m[0], b = m[1];
    SCOPED_TRACE(std::string(c.param) + " " + c.a + " -> " + c.b + ": " + std::to_string(a) +
                 " -> " + std::to_string(b));
    switch (c.relation) {
    case kMore:
        EXPECT_GT(b, c.expected * a);
        EXPECT_GT(b, 0.0);
        break;
    case kLess:
        EXPECT_LT(b, c.expected * a);
        EXPECT_GT(a, 0.0);
        break;
    case kRatio:
        ASSERT_GT(a, 0.0);
        EXPECT_NEAR(b / a, c.expected, c.tol);
        break;
    case kDiff:
        EXPECT_NEAR(b - a, c.expected, c.tol);
        break;
    case kRates:
        EXPECT_NEAR(a, std::stod(c.a), c.tol);
        EXPECT_NEAR(b, std::stod(c.b), c.tol);
        break;
    }
}

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.param << " " << c.a << " -> " << c.b;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    std::string name;
    for (const char* p = info.param.param; *p; ++p) {
        const char ch = *p;
        if (std::isalnum(static_cast<unsigned char>(ch)))
            name += ch;
        else if (ch == '\'')
            name += "ft";
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Mapping, EveryParameter, ::testing::ValuesIn(Cases()), CaseName);

TEST_F(SoundParametersTest, TheTableHasOneCasePerParameter) {
    Instrument instrument;
    std::set<std::string> names;
    for (const Case& c : Cases())
        EXPECT_TRUE(names.insert(c.param).second) << "twice: " << c.param;
    ASSERT_EQ(instrument.host().NumParams(), 93);
    for (int i = 0; i < 93; ++i)
        EXPECT_EQ(names.count(instrument.host().ParamName(i)), 1u)
            << "no case for " << instrument.host().ParamName(i);
}

} // namespace

} // namespace halvane
