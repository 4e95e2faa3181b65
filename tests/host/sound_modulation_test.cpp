// Modulation heard at the outputs: pitch bend, the modulation wheel's trill,
// the delayed vibrato and the strings vibrato measured on the pitch, the pulse
// width moving under PWM, the brass trigger rules and the bowing accent of a
// phrase. Pitches are measured cycle by cycle from the rising zero crossings of
// the output itself (any filter in front would smear the pitch's jumps) and
// compared with the instrument's pitch scale.

#include <cmath>
#include <string>
#include <vector>

#include "support/Instrument.h"
#include "support/Measure.h"

namespace halvane {

using namespace hosttest;
using vsthost::MidiMessage;

namespace {

double Semitones(double ratio) {
    return 12.0 * std::log2(ratio);
}

// Time-envelope rate of a time parameter x: 5^(3.3 - 7.5 x) + 0.05 per second.
double EnvelopeRate(double x) {
    return std::pow(5.0, 3.3 - 7.5 * x) + 0.05;
}

// Largest deviation in semitones from hz among the cycles that start within
// from..to seconds.
double LargestDeviation(const std::vector<Cycle>& cycles, double hz, double from, double to) {
    double largest = 0.0;
    for (const Cycle& c : cycles)
        if (c.time >= from && c.time < to)
            largest = std::fmax(largest, std::fabs(Semitones(c.hz / hz)));
    return largest;
}

// Power of the component at hz (Goertzel, Hann window against leakage).
double Power(const Signal& x, double hz, std::size_t from, std::size_t to) {
    const double w = 2.0 * kPi * hz / kRate, k = 2.0 * std::cos(w);
    const double span = static_cast<double>(to - from);
    double s1 = 0.0, s2 = 0.0;
    for (std::size_t n = from; n < to; ++n) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(n - from) / span);
        const double s0 = x[n] * hann + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double n = static_cast<double>(to - from);
    return (s1 * s1 + s2 * s2 - k * s1 * s2) / (n * n);
}

class SoundModulationTest : public InstrumentTest {};

// ---------------------------------------------------------------------------
// Pitch bend and the wheel.

TEST_F(SoundModulationTest, FullPitchBendMovesByTheBendRange) {
    struct Bend {
        const char* range;
        uint8_t lsb, msb;
        int units; // truncate(bend x range x 128)
    };
    // Up is 8191/8192 of the range, down the full range; -12 turns both round,
    // so full up lowers by just under an octave.
    const Bend bends[] = {{"2", 127, 127, 255}, {"2", 0, 0, -256}, {"-12", 127, 127, -1535},
                          {"-12", 0, 0, 1536},  {"2", 0, 64, 0},   {"7", 127, 127, 895}};
    for (const Bend& b : bends) {
        SCOPED_TRACE(std::string("range ") + b.range + ", units " + std::to_string(b.units));
        Instrument instrument;
        instrument.Set("Pitch Bend", b.range);
        const Streams s =
            instrument.Play({{0.0, MidiMessage{0, 0xE0, b.lsb, b.msb}}, {0.0, NoteOn(69)}}, 0.6);
        const double expected = PitchHz(69 * 128 + b.units);
        const double measured = Frequency(s[kSynthL], At(0.1), At(0.6));
        EXPECT_NEAR(measured / expected, 1.0, 2e-4) << measured << " Hz";
    }
}

TEST_F(SoundModulationTest, TrillAlternatesAnOctaveUpAndThePlayedPitchInEqualHalves) {
    Instrument instrument;
    instrument.Set("Wheel Mode", "Trill");
    instrument.Set("Wheel Vib. Intensity", "1");
    instrument.Set("Wheel Vib. Speed", "2");
    const Streams s =
        instrument.Play({{0.0, MidiMessage{0, 0xB0, 1, 127}}, {0.0, NoteOn(57)}}, 2.1);
    const double low = PitchHz(57 * 128), high = PitchHz(69 * 128);
    const std::vector<Cycle> cycles = Cycles(s[kSynthL], At(0.1), At(2.1));
    double atLow = 0.0, atHigh = 0.0, other = 0.0;
    int changes = 0;
    bool wasHigh = false;
    for (std::size_t k = 0; k < cycles.size(); ++k) {
        const double hz = cycles[k].hz;
        if (std::fabs(hz / low - 1.0) < 0.002)
            atLow += 1.0 / hz;
        else if (std::fabs(hz / high - 1.0) < 0.002)
            atHigh += 1.0 / hz;
        else
            other += 1.0 / hz;
        const bool isHigh = hz > std::sqrt(low * high);
        if (k > 0 && isHigh != wasHigh)
            ++changes;
        wasHigh = isHigh;
    }
    // Only the cycles that straddle a jump are at neither pitch.
    EXPECT_LT(other, 0.05 * (atLow + atHigh));
    EXPECT_NEAR(atHigh / (atLow + atHigh), 0.5, 0.02);
    // 2 Hz: four jumps a second.
    EXPECT_NEAR(changes, 8, 1);
}

// ---------------------------------------------------------------------------
// Delayed vibrato: depth 2 x "Vib. Intensity" semitones x (1 - delay envelope),
// the envelope jumping to 1 at a phrase's first key and decaying with "Vib.
// Delay Time".

TEST_F(SoundModulationTest, DelayedVibratoGrowsAfterAPhraseStartsAndLegatoKeepsIt) {
    Instrument instrument;
    instrument.Set("Vib. Delay", "1");
    instrument.Set("Vib. Intensity", "0.5"); // 1 semitone
    instrument.Set("Vib. Delay Time", "0.5");
    // Note 40 sounds nowhere (below the split with the synthe above it) but is a
    // held key: the re-struck 69 is legato, so the vibrato is not restarted.
    instrument.Set("Range Synthe", "Upper");
    const Streams s = instrument.Play({{0.0, NoteOn(69)},
                                       {2.4, NoteOn(40)},
                                       {2.5, NoteOff(69)},
                                       {2.5, NoteOn(69)},
                                       {3.5, NoteOff(69)},
                                       {3.5, NoteOff(40)},
                                       {3.6, NoteOn(69)}},
                                      4.0);
    const double hz = PitchHz(69 * 128);
    const std::vector<Cycle> cycles = Cycles(s[kSynthL], At(0.05), At(4.0));
    const double r = EnvelopeRate(0.5) * std::log(10.0);
    auto depth = [r](double t) { return 1.0 - std::exp(-r * t); };
    // One vibrato cycle (5.5 Hz) per window: its peak reaches the depth of the
    // window's end.
    EXPECT_NEAR(LargestDeviation(cycles, hz, 0.2, 0.4), depth(0.4), 0.06);
    EXPECT_NEAR(LargestDeviation(cycles, hz, 0.8, 1.0), depth(1.0), 0.06);
    EXPECT_NEAR(LargestDeviation(cycles, hz, 2.2, 2.4), depth(2.4), 0.06);
    EXPECT_NEAR(LargestDeviation(cycles, hz, 2.6, 3.4), 1.0, 0.06) << "legato keeps the depth";
    EXPECT_LT(LargestDeviation(cycles, hz, 3.65, 3.8), depth(0.2) + 0.06) << "a new phrase";
}

// ---------------------------------------------------------------------------
// Strings vibrato: 88 stages (2 ms) clocked at steps 0.125 + 0.875 (2^u - 1) for
// "Strings Vibrato Intensity" 1, u the triangle at "Strings Vibrato Speed". The
// delay, about (88 + 3.75) x step samples with the interpolation and the output
// filter, changes by 91.75 x 0.875 x ln 2 x 2^u x 2 x speed per second, and the
// pitch by as much: between 1.4 % (u = 0) and 2.8 % (u = 1) at 5.5 Hz.

// The strings alone, their vibrato at full depth from the first sample.
const char* const kStringsVibrato =
    "Output Synthe=Off|Output Strings=On|Strings Attack=0|Strings Ensemble=Off|"
    "Strings Vibrato Intensity=1|Strings Vibrato Delay=0|Strings Vibrato Speed=5.5";

TEST_F(SoundModulationTest, StringsVibratoBendsTheStringsPitchAtItsSpeed) {
    Instrument instrument;
    instrument.Apply(kStringsVibrato);
    const Streams s = instrument.Play({{0.0, NoteOn(57)}}, 2.1);
    const double hz = PitchHz(57 * 128);
    const std::vector<Cycle> cycles = Cycles(s[kStringsL], At(0.1), At(2.1));
    const double slope = 91.75 * 0.875 * std::log(2.0) * 2.0 * 5.5 / kRate;
    double up = 0.0, down = 0.0;
    int swings = 0, side = 0;
    for (const Cycle& c : cycles) {
        const double d = c.hz / hz - 1.0;
        up = std::fmax(up, d);
        down = std::fmin(down, d);
        // Each half of the triangle holds the pitch to one side of the note.
        const int now = d > 0.5 * slope ? 1 : (d < -0.5 * slope ? -1 : side);
        if (side != 0 && now != side)
            ++swings;
        side = now;
    }
    EXPECT_NEAR(up, 2.0 * slope, 0.15 * slope);
    EXPECT_NEAR(down, -2.0 * slope, 0.15 * slope);
    EXPECT_NEAR(swings / 2.0 / 2.0, 5.5, 0.5) << "pitch swings per second";
}

// ---------------------------------------------------------------------------
// PWM: with "VCO 1 PW/PWM" 1 the pulse's share of the period follows half the
// PWM LFO's unipolar triangle, 0 at the start, 1/2 after half a cycle.

TEST_F(SoundModulationTest, PulseWidthFollowsThePwmTriangle) {
    Instrument instrument;
    instrument.Set("VCO 1 Wave", "Pulse Width Mod");
    instrument.Set("VCO 1 PW/PWM", "1");
    instrument.Set("VCO 1 PWM Speed", "1");
    const Streams s = instrument.Play({{0.0, NoteOn(45)}}, 2.0);
    const Signal& x = s[kSynthL];
    const double hz = PitchHz(45 * 128);
    const auto period = static_cast<std::size_t>(std::lround(kRate / hz));
    int checked = 0;
    for (std::size_t n = At(0.02); n + period < x.size(); n += period) {
        double mean = 0.0;
        for (std::size_t k = n; k < n + period; ++k)
            mean += x[k] / static_cast<double>(period);
        double above = 0.0;
        for (std::size_t k = n; k < n + period; ++k)
            above += x[k] > mean ? 1.0 : 0.0;
        const double share =
            std::fmin(above, static_cast<double>(period) - above) / static_cast<double>(period);
        const double t = (static_cast<double>(n) + 0.5 * static_cast<double>(period)) / kRate;
        const double phase = std::fmod(t, 1.0);
        const double triangle = phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase;
        // Skip the nearly silent stretch around width 0.
        if (triangle < 0.1)
            continue;
        EXPECT_NEAR(share, 0.5 * triangle, 0.02) << "at " << t << " s";
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

// ---------------------------------------------------------------------------
// Brass trigger select: the first keys of a chord are silent, the key that
// reaches the count makes all of them sound.

TEST_F(SoundModulationTest, BrassTriggerSelectSilencesTheFirstKeysUntilTheCountIsReached) {
    const int notes[] = {48, 51, 54, 57};
    for (int count : {2, 4}) {
        SCOPED_TRACE("silent notes " + std::to_string(count));
        Instrument instrument;
        instrument.Set("Output Synthe", "Off");
        instrument.Set("Output Brass", "On");
        instrument.Set("Brass Trigger Select", "On");
        instrument.Set("Brass Silent Notes", std::to_string(count));
        std::vector<Timed> play;
        for (int k = 0; k < count; ++k)
            play.push_back({0.2 * k, NoteOn(notes[k])});
        const double last = 0.2 * (count - 1);
        const Streams s = instrument.Play(play, last + 1.2);
        for (int c : {kBrassL, kBrassR, kTotalL})
            EXPECT_EQ(Peak(s[c], 0, At(last)), 0.0) << "channel " << c;
        // All keys sound once the last is down: each one's 16' fundamental
        // (65 to 110 Hz, none a partial of another), against a frequency between them.
        const std::size_t from = At(last + 0.2), to = At(last + 1.2);
        const double absent = Power(s[kBrassL], 71.5, from, to);
        for (int k = 0; k < count; ++k) {
            const double present = Power(s[kBrassL], 0.5 * PitchHz(notes[k] * 128), from, to);
            EXPECT_GT(present, 100.0 * absent) << "note " << notes[k];
        }
    }
}

// ---------------------------------------------------------------------------
// Bowing accent: at the first strings key of a phrase the bowing envelope
// (attack 0.35, decay 0.44, sustain 0) runs at two steps a sample but one on the
// first sample of a control block, so 2c - 1 steps every c samples. The
// band-passed copy it adds peaks 1/(2 x 3.013) s after the key and falls to a
// tenth in 1/(2 x 1.05) s more, both stretched by 2c / (2c - 1). Its
// contribution is the difference between "Strings Bowing Level" 1 and 0.

double AccentStretch(double rate) {
    const double c = std::floor(rate / 1000.0);
    return 2.0 * c / (2.0 * c - 1.0);
}
const double kAccentPeak = 1.0 / (2.0 * EnvelopeRate(0.35));
const double kAccentTenth = 1.0 / (2.0 * EnvelopeRate(0.44));

// The strings with and without the accent for a list of keys.
Signal Accent(Instrument& plain, Instrument& bowed, const std::vector<Timed>& play,
              double seconds) {
    Streams at[2];
    Instrument* both[2] = {&plain, &bowed};
    for (int k = 0; k < 2; ++k) {
        both[k]->Apply("Output Synthe=Off|Output Strings=On|Strings Attack=0|Strings Release=0|"
                       "Strings Ensemble=Off|Strings Vibrato=Off|Strings Bowing=Off");
        both[k]->Set("Strings Bowing Level", k == 0 ? "0" : "1");
        at[k] = both[k]->Play(play, seconds);
    }
    return Difference(at[1][kStringsL], at[0][kStringsL]);
}

// Level of the accent window by window (two periods of 220 Hz) from start to
// end: its peak, when it peaks and how long it then takes to fall to a tenth.
struct Swell {
    double peak = 0.0, peakTime = 0.0, tenthAfter = 0.0;
};
Swell Measure(const Signal& accent, double start, double end, double rate) {
    const auto w = static_cast<std::size_t>(std::lround(rate / 110.0));
    Swell swell;
    std::vector<double> level;
    for (std::size_t n = At(start, rate); n + w <= At(end, rate); n += w) {
        level.push_back(Rms(accent, n, n + w));
        if (level.back() > swell.peak) {
            swell.peak = level.back();
            swell.peakTime = static_cast<double>(n + w / 2) / rate - start;
        }
    }
    for (std::size_t k = 0; k < level.size(); ++k) {
        const double t = static_cast<double>(At(start, rate) + k * w + w / 2) / rate - start;
        if (t > swell.peakTime && level[k] < 0.1 * swell.peak) {
            swell.tenthAfter = t - swell.peakTime;
            break;
        }
    }
    return swell;
}

TEST_F(SoundModulationTest, BowingAccentOnlyAtTheFirstKeyOfAPhrase) {
    Instrument plain, bowed;
    const Signal accent = Accent(plain, bowed,
                                 {{0.0, NoteOn(57)},
                                  {1.2, NoteOn(64)},
                                  {2.2, NoteOff(57)},
                                  {2.2, NoteOff(64)},
                                  {2.6, NoteOn(57)}},
                                 3.6);
    const double stretch = AccentStretch(kRate);
    const Swell first = Measure(accent, 0.0, 1.2, kRate);
    EXPECT_NEAR(first.peakTime, kAccentPeak * stretch, 0.012);
    EXPECT_NEAR(first.tenthAfter, kAccentTenth * stretch, 0.02);

    // The legato key adds no accent of its own: what is left of the first one
    // only keeps falling.
    EXPECT_LT(Rms(accent, At(1.3), At(1.6)), 0.02 * first.peak);

    const Swell again = Measure(accent, 2.6, 3.6, kRate);
    EXPECT_GT(again.peak, 0.8 * first.peak) << "a new phrase";
    EXPECT_NEAR(again.peakTime, kAccentPeak * stretch, 0.012);
}

// ---------------------------------------------------------------------------
// Another sample rate, set by the host on a running instance: pitches, envelope
// times, the strings vibrato's depth and the bowing accent keep their values
// in Hz and seconds.

class SampleRates : public SoundModulationTest, public ::testing::WithParamInterface<double> {};

TEST_P(SampleRates, PitchesAndTimesHoldAfterTheHostChangesTheRate) {
    const double rate = GetParam();
    {
        Instrument instrument;
        instrument.SwitchRate(rate);
        instrument.Set("VCA Attack", "0.5");
        const Streams s = instrument.Play({{0.0, NoteOn(69)}}, 1.5);
        EXPECT_NEAR(Frequency(s[kSynthL], At(0.5, rate), At(1.5, rate), rate), 440.0, 0.05);
        // Half of the level reached at 1.5 s: 10/9 (1 - exp(-r ln10 t)).
        const double r = EnvelopeRate(0.5) * std::log(10.0);
        const double half = 0.5 * (1.0 - std::exp(-r * 1.5));
        const double expected = -std::log(1.0 - half) / r;
        const auto w = static_cast<std::size_t>(std::lround(2.0 * rate / 440.0));
        const double top = Rms(s[kSynthL], At(1.5, rate) - w, At(1.5, rate));
        double when = 0.0;
        for (std::size_t n = 0; n + w <= At(1.5, rate); n += w) {
            if (Rms(s[kSynthL], n, n + w) >= 0.5 * top) {
                when = (static_cast<double>(n) + 0.5 * static_cast<double>(w)) / rate;
                break;
            }
        }
        EXPECT_NEAR(when, expected, 0.01) << "VCA attack";
    }
    {
        // Stages of 2 ms, the interpolation's two ticks and the 8 kHz output
        // filter's rate / (pi 8000) ticks.
        Instrument instrument;
        instrument.SwitchRate(rate);
        instrument.Apply(kStringsVibrato);
        const Streams s = instrument.Play({{0.0, NoteOn(57)}}, 1.1);
        const double ticks = std::floor(rate * 0.002) + 2.0 + rate / (kPi * 8000.0);
        const double swing = 2.0 * ticks * 0.875 * std::log(2.0) * 2.0 * 5.5 / rate;
        double up = 0.0;
        for (const Cycle& c : Cycles(s[kStringsL], At(0.1, rate), At(1.1, rate), rate))
            up = std::fmax(up, c.hz / PitchHz(57 * 128) - 1.0);
        EXPECT_NEAR(up, swing, 0.1 * swing) << "strings vibrato";
    }
    {
        Instrument plain, bowed;
        plain.SwitchRate(rate);
        bowed.SwitchRate(rate);
        const Swell swell = Measure(Accent(plain, bowed, {{0.0, NoteOn(57)}}, 1.0), 0.0, 1.0, rate);
        EXPECT_NEAR(swell.peakTime, kAccentPeak * AccentStretch(rate), 0.012) << "bowing";
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, SampleRates, ::testing::Values(22050.0, 48000.0, 96000.0));

} // namespace

} // namespace halvane
