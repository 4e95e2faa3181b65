#pragma once
// One band-limited tone source: a 28-bit phase accumulator read from the shared
// sawtooth tables at three footages. 16' reads the table at the phase, 8' at twice
// and 4' at four times the phase, each from the table level that keeps its own
// harmonics below the sample rate's limit. A pulse is the difference of two saw
// readings half a width apart.

#include "engine/PhaseIncrementTable.h"
#include "engine/SawTables.h"

#include <cassert>
#include <cstdint>

namespace halvane {

enum Footage { kFootage16 = 0, kFootage8 = 1, kFootage4 = 2 };

class Oscillator {
public:
    static constexpr int kFootages = 3;
    static constexpr uint32_t kPhaseMask = (1u << 28) - 1;
    // Width offset of a square wave: half a period.
    static constexpr int32_t kSquareOffset = 1 << 27;
    // The phase runs one octave below the note, so that 8' sounds at the note's pitch.
    static constexpr int32_t kOctaveDown = 1536;

    // Reads the shared saw tables (building them on the very first construction).
    Oscillator();

    // Pulse width follows the PWM source (master oscillator in the PWM wave mode).
    void SetPwm(bool on) { pwm_ = on; }
    // Offset from the played pitch in pitch units.
    void SetDetune(int32_t units) { detune_ = units; }
    // 1 - pulse-width control: 1 is a square wave, 0 silences the pulse.
    void SetWidth(double width) { width_ = width; }
    // The PWM LFO's unipolar output (0..1), read at every Update; null for none.
    void SetPwmSource(const double* unipolarLfo) { pwmSource_ = unipolarLfo; }

    // Control rate: increment for the pitch, width offset from the width and the PWM
    // source, and the table level of each footage. Never allocates.
    void Update(int32_t pitch, const PhaseIncrementTable& table);

    // Per sample. footage is a Footage value.
    double Saw(int footage) const { return TableFor(footage)[Position(footage) >> 16]; }

    double Pulse(int footage) const {
        const double* table = TableFor(footage);
        const uint32_t q = Position(footage);
        const uint32_t shifted = (q + static_cast<uint32_t>(widthOffset_)) & kPhaseMask;
        return table[q >> 16] - table[shifted >> 16];
    }

    // The phase is never reset: a restarted voice continues from where it is.
    void Advance() { phase_ = (phase_ + static_cast<uint32_t>(increment_)) & kPhaseMask; }

    uint32_t Phase() const { return phase_; }
    int32_t Increment() const { return increment_; }
    int32_t WidthOffset() const { return widthOffset_; }
    int Level(int footage) const { return levels_[Checked(footage)]; }
    int32_t Detune() const { return detune_; }
    double Width() const { return width_; }
    bool Pwm() const { return pwm_; }

    // Table level for an integer table step (phase increment of the footage in
    // table entries per sample): the number of multiplications by 1/sqrt(2) that
    // bring the step to 1 or below, at most the last level.
    static int LevelForStep(int32_t step);

private:
    friend class VoiceLanes;
    static int Checked(int footage) {
        assert(footage >= kFootage16 && footage <= kFootage4);
        return footage;
    }
    const double* TableFor(int footage) const { return tables_[Checked(footage)]; }
    // Footage position: the phase times 1, 2 or 4, modulo 2^28.
    uint32_t Position(int footage) const {
        return (phase_ << static_cast<uint32_t>(Checked(footage))) & kPhaseMask;
    }

    bool pwm_ = false;
    int32_t detune_ = 0;
    double width_ = 1.0;
    const double* pwmSource_ = nullptr;
    const double* tables_[kFootages];
    int levels_[kFootages] = {0, 0, 0};
    uint32_t phase_ = 0;
    int32_t widthOffset_ = kSquareOffset;
    int32_t increment_ = 0;
    // The increment the table levels were chosen for; the initial levels are
    // those of increment 0.
    int32_t levelsIncrement_ = 0;
};

} // namespace halvane
