#pragma once
// One voice: a played key sounding in up to three sections at once. The Synthe
// path has two oscillators, its own ladder filter and an amplifier; the Brass path
// is an oscillator mix through a per-voice gate into the shared brass stage; the
// Strings path is an oscillator mix through the strings envelope and a key-tracked
// low-pass. Pitch, levels and filter settings are refreshed once per control block
// (UpdateControl); only envelopes, oscillators and filters run per sample.

#include <cstdint>

#include "engine/Envelope.h"
#include "engine/Filter.h"
#include "engine/LadderFilter.h"
#include "engine/Oscillator.h"
#include "engine/PhaseIncrementTable.h"

namespace halvane {

enum SectionIndex { kSectionSynthe = 0, kSectionBrass = 1, kSectionStrings = 2, kSections = 3 };

// One sample of one voice, before the section stages.
struct VoiceSample {
    double synthe;
    double brass;
    double strings;
};

// What a voice's control update needs to know of the engine around it.
struct VoiceContext {
    int32_t pitchOffset = 0; // the global pitch offset (bend, vibrato, tune)
    int32_t syntheKeys = 0;  // keys held in the Synthe section
    int32_t brassKeys = 0;   // keys held in the Brass section
    bool brassEnvelopeRunning = false;
};

class Voice {
public:
    // Control blocks between a key going up and its damp gates closing while other
    // keys of the section are still held.
    static constexpr int32_t kDampBlocks = 40;
    static constexpr double kStringsQ = 0.55;
    static constexpr int32_t kClearedPitch = 6144;
    static constexpr int32_t kClearedNote = 48;
    // Time setting of the damp and brass gates: about 5.6 ms each way.
    static constexpr double kGateTime = 0.01;

    Voice();
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;

    void SetPwmSource(const double* unipolarLfo) { master_.SetPwmSource(unipolarLfo); }

    // Sample-rate change: inactive and released, envelopes idle at 0 with the new
    // time base and increment table (which must outlive the voice or the next
    // Clear), filters cleared. Oscillator phases and parameter copies stay.
    void Clear(double sampleRate, const PhaseIncrementTable* increments);

    // The voice's share of a parameter change; value is already in the voice's
    // units (see the engine's mapping). Indexes the voice does not use are ignored.
    void SetParameter(int index, double value);

    // pitch: the note's pitch index (its tuning). The engine runs a control
    // update right after, so the voice starts at the current pitch offset.
    void StartVoice(int note, int32_t pitch, int velocity, int64_t startOrder, bool synthe,
                    bool brass, bool strings, bool brassSilent);
    // Starts the releases; a sustained voice waits for the pedal. Forced also closes
    // the damp and brass gates at once.
    void ReleaseVoice(bool forced);
    void ReleaseDampGate() {
        quiet_ = false;
        dampGate_.Release();
    }
    void ReleaseBrassGate() {
        quiet_ = false;
        brassGate_.Release();
    }
    void SetSustained(bool sustained) { sustained_ = sustained; }

    // Once per control block, in two halves around the envelope step that the
    // engine takes between them. UpdateControl refreshes pitch, levels and the
    // damp gates; false when the voice is inactive and the update ends there.
    bool UpdateControl(const VoiceContext& context);
    // Whether the voice still sounds after the step.
    void UpdateActivity(const VoiceContext& context);

    // Per sample, before RenderSample, except on the first sample of a sub-block.
    // A quiet voice has nothing left to step: every envelope is idle or holds a
    // level its step no longer changes.
    void StepEnvelopes() {
        if (quiet_)
            return;
        dampGate_.Step();
        brassGate_.Step();
        vcfEnvelope_.Step();
        vcaEnvelope_.Step();
        stringsEnvelope_.Step();
    }

    VoiceSample RenderSample() {
        VoiceSample out{0.0, 0.0, 0.0};
        if (!active_)
            return out;
        if (synthe_) {
            double x = wave_ == kSawtooth ? master_.Saw(vco1Footage_) : master_.Pulse(vco1Footage_);
            if (vco2On_)
                x += vco2_.Saw(vco2Footage_ - 1);
            const double y =
                vcf_.Process(x, CutoffOffset(egAmount_ * vcfEnvelope_.Value() + keyOffset_));
            out.synthe = level_[kSectionSynthe] * (damp_ ? dampGate_.Value() : 1.0) *
                         vcaEnvelope_.Value() * y;
            if (vco2On_)
                vco2_.Advance();
        }
        if (brass_) {
            const Oscillator& source = brassOwnOscillator_ ? brassOscillator_ : master_;
            double b = 0.0;
            if (brassFootage_[0])
                b += source.Saw(kFootage16);
            if (brassFootage_[1])
                b += source.Saw(kFootage8);
            out.brass = b * (level_[kSectionBrass] * brassGate_.Value());
            if (brassOwnOscillator_ && (brassFootage_[0] || brassFootage_[1]))
                brassOscillator_.Advance();
        }
        if (strings_) {
            const Oscillator& source = stringsOwnOscillator_ ? stringsOscillator_ : master_;
            double s = 0.0;
            if (stringsFootage_[0])
                s += source.Saw(kFootage16);
            if (stringsFootage_[1])
                s += source.Saw(kFootage8);
            if (stringsFootage_[2])
                s += source.Saw(kFootage4);
            out.strings =
                stringsLowPass_.Process(s * level_[kSectionStrings] * stringsEnvelope_.Value());
            if (stringsOwnOscillator_ &&
                (stringsFootage_[0] || stringsFootage_[1] || stringsFootage_[2]))
                stringsOscillator_.Advance();
        }
        master_.Advance();
        return out;
    }

    // Envelope amount times envelope plus key offset, rounded toward minus infinity
    // and held within 32 bits (NaN counts as the lowest cutoff).
    static int32_t CutoffOffset(double c) {
        if (!(c > -2147483648.0))
            return INT32_MIN;
        if (c >= 2147483647.0)
            return INT32_MAX;
        int32_t whole = static_cast<int32_t>(c);
        if (static_cast<double>(whole) > c)
            --whole;
        return whole;
    }

    bool Active() const { return active_; }
    bool KeyHeld() const { return keyHeld_; }
    bool Sustained() const { return sustained_; }
    bool BrassSilent() const { return brassSilent_; }
    bool InSection(int section) const {
        return section == kSectionSynthe ? synthe_ : (section == kSectionBrass ? brass_ : strings_);
    }
    int32_t Note() const { return note_; }
    int32_t Pitch() const { return pitch_; }
    int64_t StartOrder() const { return startOrder_; }
    int32_t DampCountdown() const { return dampCountdown_; }
    double Velocity() const { return velocity_; }
    double TonePosition() const { return tonePosition_; }
    double KeyOffset() const { return keyOffset_; }
    double EgAmount() const { return egAmount_; }
    double Level(int section) const { return level_[section]; }
    double SampleRate() const { return sampleRate_; }
    double StringsCutoff() const { return stringsW_; }
    double AttenuatorGain() const { return attenuatorGain_; }
    double KeyTrack() const { return keyTrack_; }
    bool Vco2On() const { return vco2On_; }
    bool BrassOwnOscillator() const { return brassOwnOscillator_; }
    bool StringsOwnOscillator() const { return stringsOwnOscillator_; }
    bool AutoDamp() const { return damp_; }
    int Wave() const { return wave_; }
    int Vco1Footage() const { return vco1Footage_; }
    int Vco2Footage() const { return vco2Footage_; }

    const Oscillator& Master() const { return master_; }
    const Oscillator& Vco2() const { return vco2_; }
    const Oscillator& BrassOscillator() const { return brassOscillator_; }
    const Oscillator& StringsOscillator() const { return stringsOscillator_; }
    const LadderFilter& Vcf() const { return vcf_; }
    const LowPass& StringsLowPass() const { return stringsLowPass_; }
    const Envelope& DampGate() const { return dampGate_; }
    const Envelope& BrassGate() const { return brassGate_; }
    const Envelope& VcfEnvelope() const { return vcfEnvelope_; }
    const Envelope& VcaEnvelope() const { return vcaEnvelope_; }
    const Envelope& StringsEnvelope() const { return stringsEnvelope_; }
    bool Quiet() const { return quiet_; }

private:
    friend class VoiceLanes;
    enum { kSawtooth = 0, kPulse = 1, kPulseWidthMod = 2 };

    void SetGates();
    bool EnvelopesSettled() const;
    void UpdateEgAmount();
    void UpdateStringsLowPass();
    double SectionLevel(double sensitivity, double gain) const;

    // Hot fields first: everything RenderSample touches.
    bool active_ = false;
    bool quiet_ = false;
    bool synthe_ = false;
    bool brass_ = false;
    bool strings_ = false;
    bool damp_ = false;
    bool vco2On_ = false;
    bool brassOwnOscillator_ = false;
    bool stringsOwnOscillator_ = false;
    bool brassFootage_[2] = {true, false};
    bool stringsFootage_[3] = {false, true, false};
    int32_t wave_ = kSawtooth;
    int32_t vco1Footage_ = kFootage8;
    int32_t vco2Footage_ = 0;
    double level_[kSections] = {0.0, 0.0, 0.0};
    double egAmount_ = 0.0;
    double keyOffset_ = 0.0;

    Oscillator master_;
    Oscillator vco2_;
    LadderFilter vcf_;
    Envelope dampGate_;
    Envelope brassGate_;
    Envelope vcfEnvelope_;
    Envelope vcaEnvelope_;
    Envelope stringsEnvelope_;
    Oscillator brassOscillator_;
    Oscillator stringsOscillator_;
    LowPass stringsLowPass_;

    const PhaseIncrementTable* increments_ = nullptr;
    double stringsW_ = 0.0;
    bool stringsCoefficientsValid_ = false;
    double velocity_ = 0.0;
    double tonePosition_ = 0.0;

    // Copies of the parameters the voice needs.
    double keyTrack_ = 0.0;
    double egIntensity_ = 0.0;
    double attenuatorGain_ = 1.0;
    double kbdBalance_ = 0.0;
    double volume_[kSections] = {0.5, 0.5, 0.5};
    double velocitySensitivity_[kSections] = {0.0, 0.0, 0.0};
    double velocitySyntheVcf_ = 0.0;

    double sampleRate_ = 44100.0;
    bool keyHeld_ = false;
    bool sustained_ = false;
    bool brassSilent_ = false;
    int32_t pitch_ = kClearedPitch;
    int32_t note_ = kClearedNote;
    int64_t startOrder_ = 0;
    int32_t dampCountdown_ = 0;
};

} // namespace halvane
