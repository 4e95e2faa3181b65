#pragma once
// Measurements on rendered output channels: levels, pitches found from zero
// crossings, and the instrument's pitch scale to compare them with.

#include <cstddef>
#include <vector>

#include "support/Instrument.h"

namespace halvane {

namespace hosttest {

constexpr double kPi = 3.14159265358979323846;

// Equal-tempered frequency of a MIDI note, note 69 at 440 Hz.
double NoteHz(int note);
// Frequency of a pitch index (1/128 semitone from note 0), interpolated
// linearly in Hz between equal-tempered semitones as the instrument's pitch
// scale is.
double PitchHz(int pitch);

// The sample a time falls in.
std::size_t At(double seconds, double rate = kRate);

// Over the samples from..to, or from a sample to the end (0 when none is left).
double Rms(const Signal& x, std::size_t from, std::size_t to);
double Rms(const Signal& x, std::size_t from = 0);
double Peak(const Signal& x, std::size_t from, std::size_t to);
double Peak(const Signal& x, std::size_t from = 0);

// a - b, sample by sample.
Signal Difference(const Signal& a, const Signal& b);

// Total minus gain x (the three section channels) on one side (0 left, 1
// right): what the flanger added, times the gain. At "Total Volume" 0.5 the
// gain is 1.
Signal Wet(const Streams& s, int side = 0, double gain = 1.0);

// Rising zero crossings between the samples from and to, at interpolated sample
// positions. A saw crosses upwards once per period, in its jump.
std::vector<double> RisingCrossings(const Signal& x, std::size_t from, std::size_t to);

// One measured cycle: where it starts (seconds) and its frequency.
struct Cycle {
    double time;
    double hz;
};
// The cycles between consecutive rising zero crossings: the pitch as it moves.
std::vector<Cycle> Cycles(const Signal& x, std::size_t from, std::size_t to, double rate = kRate);

// Average frequency: whole cycles over their span; 0 without a whole cycle.
double Frequency(const Signal& x, std::size_t from, std::size_t to, double rate = kRate);

} // namespace hosttest

} // namespace halvane
