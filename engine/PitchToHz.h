#pragma once
// Pitch indexes: signed 32-bit integers in 1/128 semitone, note n at 128 * n
// (note 0 = 8.176 Hz, note 69 = 440 Hz). Oscillators, filter cutoffs and the
// parameter displays all count in these units.

#include <cstdint>

namespace halvane {

// Highest pitch index: note 135, 19912.127 Hz. Tables indexed by pitch hold
// kMaxPitch + 1 entries.
constexpr int32_t kMaxPitch = 17280;

// Entries of the note and sub-note tables: notes 0..135.
constexpr int32_t kPitchTableSize = 136;

// Frequency in Hz of a pitch index: linear interpolation in Hz between the
// semitones of the rounded note table above 0, of the sub-note table below 0;
// held at 19912.127 Hz from kMaxPitch up and at 0.0033570162 Hz from -kMaxPitch down.
double PitchToHz(int32_t pitch);

// The table entries themselves (s clamped to 0..135): NoteHz(s) is note s rounded
// to 3 decimals, SubNoteHz(s) is 8.176 * 2^(-s/12) rounded to 10 decimals.
double NoteHz(int32_t s);
double SubNoteHz(int32_t s);

} // namespace halvane
