#pragma once
// Everything that moves the pitch of all voices at once: the PWM LFO (which
// moves pulse widths, not pitch, but ticks with the rest), the delayed vibrato,
// the modulation wheel's vibrato or trill, pitch bend and total tune. All of it
// runs once per control tick and ends in one pitch offset for every voice.

#include <cstdint>

#include "engine/Envelope.h"
#include "sound/LFO.h"

namespace halvane {

class PitchModulation {
public:
    PitchModulation(); // delay envelope: attack 0, sustain 0, release 0, control-tick time base

    // At every sample-rate change: bend and wheel back to 0, the vibrato delay
    // envelope idle at 0 (its decay time stays).
    void Reset();

    // MIDI intake at control rate.
    void SetBend(double bend) { bend_ = bend; }     // -1 .. 8191/8192
    void SetWheel(double wheel) { wheel_ = wheel; } // 0 .. 1
    double Bend() const { return bend_; }
    double Wheel() const { return wheel_; }

    // Parameter mapping.
    void SetPwmIncrement(double increment) { pwmLfo_.SetIncrement(increment); }
    void SetVibratoIncrement(double increment) { vibratoLfo_.SetIncrement(increment); }
    void SetBendRange(double semitones) { bendRange_ = semitones; }
    void SetTotalTune(double semitones) { totalTune_ = semitones; }
    void SetVibratoDepth(double semitones) { vibratoDepth_ = semitones; } // 2 * "Vib. Intensity"
    void SetVibratoSwitch(bool on) { vibratoOn_ = on; }                   // "Vib. Delay" >= 0.5
    void SetVibratoDelayTime(double x) { delayEnvelope_.SetDecay(x); }    // "Vib. Delay Time"
    void SetWheelDepth(double semitones) { wheelDepth_ = semitones; } // 12 * "Wheel Vib. Intensity"
    void SetTrill(bool on) { trill_ = on; }                           // "Wheel Mode" < 0.5

    // Note-on with no key held before: the delayed vibrato starts from depth 0 again.
    void TriggerVibratoDelay() { delayEnvelope_.Trigger(); }

    // Control tick, first part: step the PWM LFO (its output is what PwmSource reads).
    void StepPwm() {
        pwmLfo_.Step();
        pwmValue_ = pwmLfo_.Unipolar();
    }
    // Control tick, later part: step the vibrato LFO (always), the delayed
    // vibrato and the wheel, and return the global pitch offset in 1/128
    // semitone: truncate((bend * range + vibrato + wheel + total tune) * 128);
    // a result outside the 32-bit range gives INT32_MIN, one that is not a number
    // (from a bad parameter) gives 0.
    int32_t StepVibratoAndOffset();

    // The PWM LFO's unipolar output, read by every voice's master oscillator.
    const double* PwmSource() const { return &pwmValue_; }
    const LFO& VibratoLfo() const { return vibratoLfo_; }
    const Envelope& DelayEnvelope() const { return delayEnvelope_; }
    const LFO& PwmLfo() const { return pwmLfo_; }

private:
    LFO pwmLfo_;
    LFO vibratoLfo_;
    Envelope delayEnvelope_;
    double pwmValue_ = 0.0;
    double bend_ = 0.0;
    double wheel_ = 0.0;
    double bendRange_ = 2.0;
    double totalTune_ = 0.0;
    double vibratoDepth_ = 0.2;
    bool vibratoOn_ = false;
    double wheelDepth_ = 1.2;
    bool trill_ = false;
};

} // namespace halvane
