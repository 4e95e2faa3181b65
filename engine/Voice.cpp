#include "engine/Voice.h"

#include <cmath>

#include "engine/Engine.h"
#include "sound/ParamIds.h"

namespace halvane {

namespace {

constexpr double kTwoPi = 6.283185307179586;

int32_t Clamp32(int64_t v) {
    return v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v));
}

int32_t WholeValue(double v, int32_t low, int32_t high) {
    if (!(v >= low))
        return low;
    if (v >= high)
        return high;
    return static_cast<int32_t>(v);
}

} // namespace

Voice::Voice() {
    SetGates();
    stringsLowPass_.SetQ(kStringsQ);
}

void Voice::SetGates() {
    for (Envelope* gate : {&dampGate_, &brassGate_}) {
        gate->SetAttack(kGateTime);
        gate->SetDecay(0.0);
        gate->SetSustain(1.0);
        gate->SetRelease(kGateTime);
    }
    stringsEnvelope_.SetDecay(0.0);
    stringsEnvelope_.SetSustain(1.0);
}

bool Voice::EnvelopesSettled() const {
    // In the decay stage a step that left the value unchanged will leave it
    // unchanged forever (same value, target and coefficient); the release and
    // attack stages always move on to an end.
    for (const Envelope* e :
         {&dampGate_, &brassGate_, &vcfEnvelope_, &vcaEnvelope_, &stringsEnvelope_}) {
        if (e->Stage() == Envelope::kIdle)
            continue;
        if (e->Stage() != Envelope::kDecay || e->Value() != e->PreviousValue())
            return false;
    }
    return true;
}

void Voice::Clear(double sampleRate, const PhaseIncrementTable* increments) {
    sampleRate_ = sampleRate;
    increments_ = increments;
    active_ = false;
    keyHeld_ = false;
    sustained_ = false;
    brassSilent_ = false;
    pitch_ = kClearedPitch;
    note_ = kClearedNote;
    velocity_ = 0.0;
    tonePosition_ = 0.0;
    dampCountdown_ = 0;

    for (Envelope* e : {&dampGate_, &brassGate_, &vcfEnvelope_, &vcaEnvelope_, &stringsEnvelope_})
        e->SetSampleRate(sampleRate);
    SetGates();

    vcf_.SetSampleRate(sampleRate);
    // The filter comes back with its current cutoff at 0 and its glide stopped;
    // with no note sounding the cutoff belongs at its target, or the next note
    // would start closed until the voice next fell silent.
    vcf_.CompleteGlide();

    stringsLowPass_.SetSampleRate(sampleRate);
    stringsLowPass_.SetQ(kStringsQ);
    stringsLowPass_.ClearAll();
    stringsCoefficientsValid_ = false;
    UpdateStringsLowPass();
    quiet_ = true;
}

void Voice::SetParameter(int index, double value) {
    // Envelope times and levels may set a settled envelope moving again; the next
    // control update finds out whether it is still quiet.
    quiet_ = false;
    switch (index) {
    case ParamId::kVco1Octave:
        vco1Footage_ = WholeValue(value, kFootage16, kFootage4);
        break;
    case ParamId::kVco1Wave:
        wave_ = WholeValue(value, kSawtooth, kPulseWidthMod);
        master_.SetPwm(wave_ == kPulseWidthMod);
        break;
    case ParamId::kVco1Pw:
        master_.SetWidth(value);
        break;
    case ParamId::kVco2Octave:
        vco2Footage_ = WholeValue(value, 0, 3);
        vco2On_ = vco2Footage_ != 0;
        break;
    case ParamId::kVco2Detune:
        vco2_.SetDetune(WholeValue(value, INT32_MIN, INT32_MAX));
        break;
    case ParamId::kVcfCutoff:
        vcf_.SetTargetCutoff(WholeValue(value, INT32_MIN, INT32_MAX), vcaEnvelope_.Running());
        break;
    case ParamId::kVcfResonance:
        vcf_.SetResonance(value);
        break;
    case ParamId::kVcfKbfTrack:
        keyTrack_ = value;
        keyOffset_ = (note_ - 60) * keyTrack_;
        break;
    case ParamId::kVcfEgIntensity:
        egIntensity_ = value;
        UpdateEgAmount();
        break;
    case ParamId::kVelocitySyntheVcf:
        velocitySyntheVcf_ = value;
        UpdateEgAmount();
        break;
    case ParamId::kVcfAttack:
        vcfEnvelope_.SetAttack(value);
        break;
    case ParamId::kVcfDecay:
        vcfEnvelope_.SetDecay(value);
        break;
    case ParamId::kVcfSustain:
        vcfEnvelope_.SetSustain(value);
        break;
    case ParamId::kVcfRelease:
        vcfEnvelope_.SetRelease(value);
        break;
    case ParamId::kVcaAttack:
        vcaEnvelope_.SetAttack(value);
        break;
    case ParamId::kVcaDecay:
        vcaEnvelope_.SetDecay(value);
        break;
    case ParamId::kVcaSustain:
        vcaEnvelope_.SetSustain(value);
        break;
    case ParamId::kVcaRelease:
        vcaEnvelope_.SetRelease(value);
        break;
    case ParamId::kVcaAttenuator:
        attenuatorGain_ = value;
        break;
    case ParamId::kVcaAutoDamp:
        damp_ = value >= 0.5;
        break;
    case ParamId::kVelocitySynthe:
        velocitySensitivity_[kSectionSynthe] = value;
        break;
    case ParamId::kVolumeSynthe:
        volume_[kSectionSynthe] = value;
        break;
    case ParamId::kBrass16:
        brassFootage_[0] = value >= 0.5;
        break;
    case ParamId::kBrass8:
        brassFootage_[1] = value >= 0.5;
        break;
    case ParamId::kVelocityBrass:
        velocitySensitivity_[kSectionBrass] = value;
        break;
    case ParamId::kVolumeBrass:
        volume_[kSectionBrass] = value;
        break;
    case ParamId::kDetuneBrass:
        brassOscillator_.SetDetune(WholeValue(value, INT32_MIN, INT32_MAX));
        brassOwnOscillator_ = brassOscillator_.Detune() != 0;
        break;
    case ParamId::kStringsAttack:
        stringsEnvelope_.SetAttack(value);
        break;
    case ParamId::kStringsRelease:
        stringsEnvelope_.SetRelease(value);
        break;
    case ParamId::kStringsKbdBalance:
        kbdBalance_ = value;
        break;
    case ParamId::kStrings16:
        stringsFootage_[0] = value >= 0.5;
        break;
    case ParamId::kStrings8:
        stringsFootage_[1] = value >= 0.5;
        break;
    case ParamId::kStrings4:
        stringsFootage_[2] = value >= 0.5;
        break;
    case ParamId::kVelocityStrings:
        velocitySensitivity_[kSectionStrings] = value;
        break;
    case ParamId::kVolumeStrings:
        volume_[kSectionStrings] = value;
        break;
    case ParamId::kDetuneStrings:
        stringsOscillator_.SetDetune(WholeValue(value, INT32_MIN, INT32_MAX));
        stringsOwnOscillator_ = stringsOscillator_.Detune() != 0;
        break;
    default:
        break;
    }
}

// A change of the intensity or of its velocity sensitivity reaches a sounding
// note at once, still scaled by that note's velocity.
void Voice::UpdateEgAmount() {
    const double s = velocitySyntheVcf_;
    egAmount_ = s > 0.0 ? ((velocity_ - 1.0) * s + 1.0) * egIntensity_ : egIntensity_;
}

void Voice::StartVoice(int note, int32_t pitch, int velocity, int64_t startOrder, bool synthe,
                       bool brass, bool strings, bool brassSilent) {
    pitch_ = pitch;
    brassSilent_ = brassSilent;
    note_ = note;
    startOrder_ = startOrder;
    active_ = true;
    quiet_ = false;
    keyHeld_ = true;

    keyOffset_ = (note - 60) * keyTrack_;
    velocity_ = velocity * (1.0 / 127.0);
    UpdateEgAmount();

    double t = (note - 24) / 72.0;
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    tonePosition_ = t * t;

    synthe_ = synthe;
    brass_ = brass;
    strings_ = strings;
    if (synthe) {
        dampGate_.Trigger();
        vcfEnvelope_.Trigger();
        vcaEnvelope_.Trigger();
    }
    if (brass)
        brassGate_.Trigger();
    if (strings)
        stringsEnvelope_.Trigger();
}

void Voice::ReleaseVoice(bool forced) {
    quiet_ = false;
    keyHeld_ = false;
    brassSilent_ = false;
    if (sustained_)
        return;
    vcfEnvelope_.Release();
    vcaEnvelope_.Release();
    stringsEnvelope_.Release();
    if (!forced) {
        dampCountdown_ = kDampBlocks;
        return;
    }
    dampCountdown_ = 0;
    dampGate_.Release();
    brassGate_.Release();
}

double Voice::SectionLevel(double sensitivity, double gain) const {
    return sensitivity > 0.0 ? ((velocity_ - 1.0) * sensitivity + 1.0) * gain : gain;
}

void Voice::UpdateStringsLowPass() {
    const double fc = ((tonePosition_ - 0.25) * kbdBalance_ + 0.25) * 11600.0 + 400.0;
    const double w = kTwoPi * fc / sampleRate_;
    // The coefficients depend on w alone: skip the trigonometry when it holds.
    if (stringsCoefficientsValid_ && w == stringsW_)
        return;
    stringsW_ = w;
    stringsLowPass_.SetCutoff(w);
    stringsLowPass_.ComputeCoefficients();
    stringsCoefficientsValid_ = true;
}

bool Voice::UpdateControl(const VoiceContext& context) {
    if (!active_) {
        if (!quiet_)
            quiet_ = EnvelopesSettled();
        return false;
    }

    const int32_t p = Clamp32(static_cast<int64_t>(pitch_) + context.pitchOffset);
    const PhaseIncrementTable& increments = *increments_;
    master_.Update(p, increments);
    vco2_.Update(p, increments);

    if (synthe_)
        level_[kSectionSynthe] =
            SectionLevel(velocitySensitivity_[kSectionSynthe], attenuatorGain_) *
            volume_[kSectionSynthe];
    if (brass_) {
        if (brassOwnOscillator_)
            brassOscillator_.Update(p, increments);
        level_[kSectionBrass] =
            SectionLevel(velocitySensitivity_[kSectionBrass], volume_[kSectionBrass]);
    }
    if (strings_) {
        if (stringsOwnOscillator_)
            stringsOscillator_.Update(p, increments);
        UpdateStringsLowPass();
        level_[kSectionStrings] =
            SectionLevel(velocitySensitivity_[kSectionStrings], volume_[kSectionStrings]);
    }

    // 40 ms after its key went up a voice is damped only while other keys of its
    // section are held; the last key's gates stay open so the section's own
    // release shapes the end.
    if (!keyHeld_ && dampCountdown_ > 0 && --dampCountdown_ == 0) {
        if (context.syntheKeys > 0)
            dampGate_.Release();
        if (context.brassKeys > 0)
            brassGate_.Release();
    }
    return true;
}

void Voice::UpdateActivity(const VoiceContext& context) {
    if (brass_)
        brassSilent_ = brassSilent_ && !context.brassEnvelopeRunning;

    active_ = vcaEnvelope_.Running() || stringsEnvelope_.Running() ||
              (brassGate_.Running() && (brassSilent_ || context.brassEnvelopeRunning));
    if (!active_)
        vcf_.CompleteGlide();
}

} // namespace halvane
