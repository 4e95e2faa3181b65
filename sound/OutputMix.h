#pragma once
// From the three section sums of the voices to the eight output channels:
// section switches, the strings chain (vibrato, ensemble, equaliser, bowing),
// the pan laws, the flanger sends and the total gain.

#include "engine/Envelope.h"
#include "sound/DelayLine.h"
#include "sound/Ensemble.h"
#include "sound/ShelvingFilter.h"

namespace halvane {

class BrassSection;
class Bowing;

class OutputMix {
public:
    enum Channel { kTotalL, kTotalR, kSynthL, kSynthR, kBrassL, kBrassR, kStringsL, kStringsR };
    static constexpr int kChannels = 8;

    // The brass stage and the bowing belong to the voice engine (note-ons
    // trigger them); the mix runs them in its per-sample path.
    OutputMix(BrassSection& brass, Bowing& bowing);

    // Sample-rate rebuild of the global stages owned here: the four shelving
    // filters (high pair 1800 Hz, low pair 600 Hz, current gains), the strings
    // vibrato line (2 ms, manual 0.5) and its delay envelope (idle), the flanger
    // line (4 ms), 8 kHz line filters, and the ensemble (prepared for the rate,
    // then given its current parameter values again). Also hands the brass
    // section its pan gains again.
    void SetSampleRate(double sampleRate);

    // Section switches and sends.
    void SetSectionOn(int section, bool on); // 0 Synthe, 1 Brass, 2 Strings
    bool SectionOn(int section) const { return sectionOn_[section]; }
    void SetFlangerSend(int section, bool on);
    bool FlangerActive() const { return flangerActive_; }

    // Pans and gains (the pan laws are computed here).
    void SetSynthePan(double pan);
    void SetBrassPan(double pan);
    void SetBrassFootages(bool foot16, bool foot8);
    bool BrassFootage(int index) const { return brassFoot_[index]; } // 0 16', 1 8'
    void SetStringsPan(double pan);
    void SetStringsFootages(bool foot16, bool foot8, bool foot4);
    bool StringsFootage(int index) const { return stringsFoot_[index]; } // 0 16', 1 8', 2 4'
    void SetTotalVolume(double v) { outputGain_ = 2.0 * v; }

    // Strings chain.
    void SetStringsStereo(bool on); // "Stereo Ensemble": strings path and ensemble
    void SetStringsVibratoOn(bool on) { stringsVibratoOn_ = on; }
    bool StringsVibratoOn() const { return stringsVibratoOn_; }
    void SetStringsVibratoSpeed(double increment) { stringsVibrato_.SetLfoIncrement(increment); }
    void SetStringsVibratoDepth(double v) { stringsVibratoDepth_ = v; }
    void SetStringsVibratoDelay(double x) { stringsVibratoEnvelope_.SetDecay(x); }
    void TriggerStringsVibratoDelay() { stringsVibratoEnvelope_.Trigger(); }
    void SetEnsembleOn(bool on) { ensembleOn_ = on; }
    void SetEnsembleLfoIncrement(int lfo, double increment); // lfo 0 or 1
    void SetEnsembleDepth(int line, double depth);           // "Ens.N Amount" / 2
    void SetBowingOn(bool on) { bowingOn_ = on; }
    bool BowingOn() const { return bowingOn_; }
    void SetEqHigh(double dB);
    void SetEqLow(double dB);

    // Flanger.
    void SetFlangerSpeed(double increment) { flanger_.SetLfoIncrement(increment); }
    void SetFlangerFeedback(double v) { flanger_.SetFeedback(v); }
    void SetFlangerIntensity(double v) { flanger_.SetIntensity(v); }
    void SetFlangerManual(double v) { flanger_.SetManual(v); }
    void SetFlangerStereo(bool on) { flanger_.SetStereo(on); }

    // Control tick: strings vibrato delay envelope and line, ensemble (only
    // while the strings section is on and each is switched on).
    void ControlTickStrings();
    // Control tick: the flanger's sweep (only while a send is on).
    void ControlTickFlanger();

    // One sample: the three sums in, the eight channels out. i is the sample
    // index in the sub-block (the brass and bowing stages step their envelopes
    // only for i > 0).
    void Process(double synth, double brass, double strings, int i, double (&out)[kChannels]);

    // Gains for tests and displays.
    double SyntheGain(int side) const { return synthGain_[side]; }
    double BrassGain(int side) const { return brassGain_[side]; }
    double StringsGain(int side) const { return stringsGain_[side]; }
    double OutputGain() const { return outputGain_; }
    const Ensemble& GetEnsemble() const { return ensemble_; }
    const DelayLine& Flanger() const { return flanger_; }
    const DelayLine& StringsVibrato() const { return stringsVibrato_; }
    const ShelvingFilter& EqHigh(int side) const { return eqHigh_[side]; }
    const ShelvingFilter& EqLow(int side) const { return eqLow_[side]; }

    const Envelope& StringsVibratoEnvelope() const { return stringsVibratoEnvelope_; }
    bool FlangerSend(int section) const { return send_[section]; }
    bool StringsStereo() const { return stringsStereo_; }
    bool EnsembleOn() const { return ensembleOn_; }

private:
    // The rate-dependent rebuild itself, without touching the brass section.
    void Rebuild(double sampleRate);
    void UpdateBrassGains();
    void UpdateStringsGains();
    // Vibrato, ensemble, equaliser, bowing and pan of one strings sample.
    void ProcessStrings(double strings, int i, double& left, double& right);

    BrassSection& brass_;
    Bowing& bowing_;

    bool sectionOn_[3] = {true, false, false};
    bool send_[3] = {false, false, false};
    bool flangerActive_ = false;

    double synthPan_ = 0.5, brassPan_ = 0.5, stringsPan_ = 0.5;
    bool brassFoot_[2] = {true, false};
    bool stringsFoot_[3] = {false, true, false};
    double synthGain_[2] = {0.5, 0.5};
    double brassGain_[2] = {0.5, 0.5};
    double stringsGain_[2] = {0.5, 0.5};
    double outputGain_ = 1.0;

    bool stringsStereo_ = false;
    bool stringsVibratoOn_ = true;
    bool ensembleOn_ = true;
    bool bowingOn_ = false;
    double stringsVibratoDepth_ = 0.0;
    Envelope stringsVibratoEnvelope_;
    DelayLine stringsVibrato_;
    Ensemble ensemble_;
    double ensembleIncrement_[2] = {0.01252, 0.00056};
    double ensembleDepth_[3] = {0.015, 0.015, 0.015};
    ShelvingFilter eqHigh_[2];
    ShelvingFilter eqLow_[2];
    DelayLine flanger_;
};

} // namespace halvane
