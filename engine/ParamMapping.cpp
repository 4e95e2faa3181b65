// From parameter values to engine quantities: every parameter's effect on the
// global state, the shared stages and the 64 voices.

#include <cmath>
#include <cstdint>

#include "engine/Engine.h"
#include "engine/ParamIds.h"

namespace {

// Whole part (toward zero) held within 32 bits.
int32_t Whole(double v) {
    if (!(v > -2147483648.0))
        return INT32_MIN;
    if (v >= 2147483647.0)
        return INT32_MAX;
    return static_cast<int32_t>(v);
}

int32_t WholeWithin(double v, int32_t low, int32_t high) {
    const int32_t w = Whole(v);
    return w < low ? low : (w > high ? high : w);
}

bool On(double v) {
    return v >= 0.5;
}

// Rates in Hz as LFO phase steps per control tick (a cycle spans 2).
double LfoIncrement(double hz) {
    return 2.0 * hz / 1000.0;
}

// Detune of the brass and strings oscillators: up to 7 semitones, square law.
double SectionDetune(double v) {
    const double sign = v < 0.0 ? -1.0 : 1.0;
    return Whole(sign * v * v * 7.0 * 128.0);
}

constexpr double kKeyTrackSteps[] = {0.0, 32.0, 64.0, 128.0, 192.0};

} // namespace

void Engine::SetParameter(int index, double v) {
    if (index < 0 || index >= kNumParams || !std::isfinite(v))
        return;
    paramValues_[index] = v;

    switch (index) {
    // Keyboard and tuning.
    case kTridentMode:
        // Always silences, even when the value does not change.
        AllVoicesOff();
        trident_ = On(v);
        voiceCount_ = trident_ ? kTridentVoices : kMaxVoices;
        RefreshEditor();
        break;
    case kKeyAssign:
        keyAssignOne_ = On(v);
        break;
    case kTotalTune:
        pitchModulation_.SetTotalTune(v);
        break;
    case kRangeSynthe:
        range_[kSectionSynthe] = WholeWithin(v, kLower, kUpper);
        break;
    case kRangeBrass:
        range_[kSectionBrass] = WholeWithin(v, kLower, kUpper);
        break;
    case kRangeStrings:
        range_[kSectionStrings] = WholeWithin(v, kLower, kUpper);
        break;
    case kSplitKey:
        splitKey_ = Whole(v);
        break;
    case kPitchBend:
        pitchModulation_.SetBendRange(v);
        break;

    // Synthe.
    case kVco1Octave:
    case kVco1Wave:
    case kVco2Octave:
        SetVoices(index, Whole(v));
        break;
    case kVco1Pw:
        SetVoices(index, 1.0 - v);
        break;
    case kVco1PwmSpeed:
        pitchModulation_.SetPwmIncrement(LfoIncrement(v));
        break;
    case kVco2Detune:
        SetVoices(index, Whole(v * 128.0));
        break;
    case kVcfCutoff:
        SetVoices(index, Whole(17280.0 * v));
        break;
    case kVcfKbfTrack:
        SetVoices(index, kKeyTrackSteps[WholeWithin(v, 0, 4)]);
        break;
    case kVcaAttenuator:
        SetVoices(index, std::pow(10.0, v / 20.0));
        break;
    case kVcaAutoDamp:
        autoDamp_ = On(v);
        SetVoices(index, autoDamp_ ? 1.0 : 0.0);
        break;
    case kVcfResonance:
    case kVcfEgIntensity:
    case kVcfAttack:
    case kVcfDecay:
    case kVcfSustain:
    case kVcfRelease:
    case kVcaAttack:
    case kVcaDecay:
    case kVcaSustain:
    case kVcaRelease:
    case kVelocitySynthe:
    case kVelocitySyntheVcf:
    case kVolumeSynthe:
        SetVoices(index, v);
        break;

    // Brass.
    case kBrassCutoff:
        brass_.SetCutoff(v);
        break;
    case kBrassResonance:
        brass_.SetResonance(v);
        break;
    case kBrassSilentNotes:
        silentThreshold_ = 2 * WholeWithin(v, 0, 3) + 1;
        break;
    case kBrassEgIntensity:
        brass_.SetEgIntensity(v);
        break;
    case kBrassAttack:
        brass_.Env().SetAttack(v);
        break;
    case kBrassDecay:
        brass_.Env().SetDecay(v);
        break;
    case kBrassSustain:
        brass_.Env().SetSustain(v);
        break;
    case kBrassRelease:
        brass_.Env().SetRelease(v);
        break;
    case kBrass16:
    case kBrass8:
        brassFootage_[index == kBrass16 ? 0 : 1] = On(v);
        outputMix_.SetBrassFootages(brassFootage_[0], brassFootage_[1]);
        SetVoices(index, On(v) ? 1.0 : 0.0);
        break;
    case kBrassMultiTrigger:
        brassMultiTrigger_ = On(v);
        break;
    case kBrassTriggerSelect:
        brassTriggerSelect_ = On(v);
        break;
    case kVelocityBrass:
    case kVolumeBrass:
        SetVoices(index, v);
        break;
    case kVelocityBrassVcf:
        brassVelocityVcf_ = v;
        break;
    case kDetuneBrass:
        brassDetune_ = v != 0.0;
        RefreshEditor();
        SetVoices(index, SectionDetune(v));
        break;

    // Strings.
    case kStringsAttack:
    case kStringsRelease:
    case kStringsKbdBalance:
    case kVelocityStrings:
    case kVolumeStrings:
        SetVoices(index, v);
        break;
    case kStringsEqHigh:
        outputMix_.SetEqHigh(v);
        break;
    case kStringsEqLow:
        outputMix_.SetEqLow(v);
        break;
    case kStringsBowingLevel:
        bowing_.SetLevel(v);
        break;
    case kStringsBowingTone:
        bowingTone_ = v;
        bowing_.SetTone(v);
        break;
    case kStringsVibratoDelay:
        outputMix_.SetStringsVibratoDelay(v);
        break;
    case kStringsVibratoSpeed:
        outputMix_.SetStringsVibratoSpeed(LfoIncrement(v));
        break;
    case kStringsVibratoIntensity:
        outputMix_.SetStringsVibratoDepth(v);
        break;
    case kStrings16:
    case kStrings8:
    case kStrings4:
        stringsFootage_[index - kStrings16] = On(v);
        outputMix_.SetStringsFootages(stringsFootage_[0], stringsFootage_[1], stringsFootage_[2]);
        SetVoices(index, On(v) ? 1.0 : 0.0);
        break;
    case kStringsBowing:
        // Applied at the entry displayed "Off" (see the parameter table).
        bowingOn_ = On(v);
        outputMix_.SetBowingOn(bowingOn_);
        break;
    case kStringsVibrato:
        stringsVibratoOn_ = !On(v);
        outputMix_.SetStringsVibratoOn(stringsVibratoOn_);
        break;
    case kStringsEnsemble:
        outputMix_.SetEnsembleOn(!On(v));
        break;
    case kDetuneStrings:
        stringsDetune_ = v != 0.0;
        RefreshEditor();
        SetVoices(index, SectionDetune(v));
        break;

    // Modulation.
    case kVibIntensity:
        pitchModulation_.SetVibratoDepth(2.0 * v);
        break;
    case kVibDelay:
        pitchModulation_.SetVibratoSwitch(On(v));
        break;
    case kVibDelayTime:
        pitchModulation_.SetVibratoDelayTime(v);
        break;
    case kWheelVibIntensity:
        pitchModulation_.SetWheelDepth(12.0 * v);
        break;
    case kWheelVibSpeed:
        pitchModulation_.SetVibratoIncrement(LfoIncrement(v));
        break;
    case kWheelMode:
        pitchModulation_.SetTrill(!On(v));
        break;

    // Effects and output.
    case kFlangerSpeed:
        outputMix_.SetFlangerSpeed(LfoIncrement(v));
        break;
    case kFlangerFeedback:
        outputMix_.SetFlangerFeedback(v);
        break;
    case kFlangerIntensity:
        outputMix_.SetFlangerIntensity(v);
        break;
    case kFlangerManual:
        outputMix_.SetFlangerManual(v);
        break;
    case kFlangerSynthe:
    case kFlangerBrass:
    case kFlangerStrings:
        outputMix_.SetFlangerSend(index - kFlangerSynthe, On(v));
        break;
    case kStereoFlanger:
        outputMix_.SetFlangerStereo(On(v));
        break;
    case kStereoEnsemble:
        outputMix_.SetStringsStereo(On(v));
        break;
    case kEnsLfo1Speed:
        outputMix_.SetEnsembleLfoIncrement(0, LfoIncrement(v));
        break;
    case kEnsLfo2Speed:
        outputMix_.SetEnsembleLfoIncrement(1, LfoIncrement(v));
        break;
    case kEns1Amount:
    case kEns2Amount:
    case kEns3Amount:
        outputMix_.SetEnsembleDepth(index - kEns1Amount, v / 2.0);
        break;
    case kTotalVolume:
        outputMix_.SetTotalVolume(v);
        break;
    case kOutputSynthe:
    case kOutputBrass:
    case kOutputStrings:
        sectionOn_[index - kOutputSynthe] = On(v);
        outputMix_.SetSectionOn(index - kOutputSynthe, On(v));
        break;
    case kPanSynthe:
        outputMix_.SetSynthePan(v);
        break;
    case kPanBrass:
        outputMix_.SetBrassPan(v);
        break;
    case kPanStrings:
        outputMix_.SetStringsPan(v);
        break;
    default:
        break;
    }
}
