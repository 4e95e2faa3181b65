// From parameter values to engine quantities: every parameter's effect on the
// global state, the shared stages and the 64 voices.

#include <cmath>
#include <cstdint>

#include "engine/Engine.h"
#include "sound/ParamIds.h"

namespace halvane {

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
    case ParamId::kTridentMode:
        // Always silences, even when the value does not change.
        AllVoicesOff();
        trident_ = On(v);
        voiceCount_ = trident_ ? kTridentVoices : kMaxVoices;
        RefreshEditor();
        break;
    case ParamId::kKeyAssign:
        keyAssignOne_ = On(v);
        break;
    case ParamId::kTotalTune:
        pitchModulation_.SetTotalTune(v);
        break;
    case ParamId::kRangeSynthe:
        range_[kSectionSynthe] = WholeWithin(v, kLower, kUpper);
        break;
    case ParamId::kRangeBrass:
        range_[kSectionBrass] = WholeWithin(v, kLower, kUpper);
        break;
    case ParamId::kRangeStrings:
        range_[kSectionStrings] = WholeWithin(v, kLower, kUpper);
        break;
    case ParamId::kSplitKey:
        splitKey_ = Whole(v);
        break;
    case ParamId::kPitchBend:
        pitchModulation_.SetBendRange(v);
        break;

    // Synthe.
    case ParamId::kVco1Octave:
    case ParamId::kVco1Wave:
    case ParamId::kVco2Octave:
        SetVoices(index, Whole(v));
        break;
    case ParamId::kVco1Pw:
        SetVoices(index, 1.0 - v);
        break;
    case ParamId::kVco1PwmSpeed:
        pitchModulation_.SetPwmIncrement(LfoIncrement(v));
        break;
    case ParamId::kVco2Detune:
        SetVoices(index, Whole(v * 128.0));
        break;
    case ParamId::kVcfCutoff:
        SetVoices(index, Whole(17280.0 * v));
        break;
    case ParamId::kVcfKbfTrack:
        SetVoices(index, kKeyTrackSteps[WholeWithin(v, 0, 4)]);
        break;
    case ParamId::kVcaAttenuator:
        SetVoices(index, std::pow(10.0, v / 20.0));
        break;
    case ParamId::kVcaAutoDamp:
        autoDamp_ = On(v);
        SetVoices(index, autoDamp_ ? 1.0 : 0.0);
        break;
    case ParamId::kVcfResonance:
    case ParamId::kVcfEgIntensity:
    case ParamId::kVcfAttack:
    case ParamId::kVcfDecay:
    case ParamId::kVcfSustain:
    case ParamId::kVcfRelease:
    case ParamId::kVcaAttack:
    case ParamId::kVcaDecay:
    case ParamId::kVcaSustain:
    case ParamId::kVcaRelease:
    case ParamId::kVelocitySynthe:
    case ParamId::kVelocitySyntheVcf:
    case ParamId::kVolumeSynthe:
        SetVoices(index, v);
        break;

    // Brass.
    case ParamId::kBrassCutoff:
        brass_.SetCutoff(v);
        break;
    case ParamId::kBrassResonance:
        brass_.SetResonance(v);
        break;
    case ParamId::kBrassSilentNotes:
        silentThreshold_ = 2 * WholeWithin(v, 0, 3) + 1;
        break;
    case ParamId::kBrassEgIntensity:
        brass_.SetEgIntensity(v);
        break;
    case ParamId::kBrassAttack:
        brass_.Env().SetAttack(v);
        break;
    case ParamId::kBrassDecay:
        brass_.Env().SetDecay(v);
        break;
    case ParamId::kBrassSustain:
        brass_.Env().SetSustain(v);
        break;
    case ParamId::kBrassRelease:
        brass_.Env().SetRelease(v);
        break;
    case ParamId::kBrass16:
    case ParamId::kBrass8:
        outputMix_.SetBrassFootages(index == ParamId::kBrass16 ? On(v) : outputMix_.BrassFootage(0),
                                    index == ParamId::kBrass8 ? On(v) : outputMix_.BrassFootage(1));
        SetVoices(index, On(v) ? 1.0 : 0.0);
        break;
    case ParamId::kBrassMultiTrigger:
        brassMultiTrigger_ = On(v);
        break;
    case ParamId::kBrassTriggerSelect:
        brassTriggerSelect_ = On(v);
        break;
    case ParamId::kVelocityBrass:
    case ParamId::kVolumeBrass:
        SetVoices(index, v);
        break;
    case ParamId::kVelocityBrassVcf:
        brassVelocityVcf_ = v;
        break;
    case ParamId::kDetuneBrass:
        brassDetune_ = v != 0.0;
        RefreshEditor();
        SetVoices(index, SectionDetune(v));
        break;

    // Strings.
    case ParamId::kStringsAttack:
    case ParamId::kStringsRelease:
    case ParamId::kStringsKbdBalance:
    case ParamId::kVelocityStrings:
    case ParamId::kVolumeStrings:
        SetVoices(index, v);
        break;
    case ParamId::kStringsEqHigh:
        outputMix_.SetEqHigh(v);
        break;
    case ParamId::kStringsEqLow:
        outputMix_.SetEqLow(v);
        break;
    case ParamId::kStringsBowingLevel:
        bowing_.SetLevel(v);
        break;
    case ParamId::kStringsBowingTone:
        bowingTone_ = v;
        bowing_.SetTone(v);
        break;
    case ParamId::kStringsVibratoDelay:
        outputMix_.SetStringsVibratoDelay(v);
        break;
    case ParamId::kStringsVibratoSpeed:
        outputMix_.SetStringsVibratoSpeed(LfoIncrement(v));
        break;
    case ParamId::kStringsVibratoIntensity:
        outputMix_.SetStringsVibratoDepth(v);
        break;
    case ParamId::kStrings16:
    case ParamId::kStrings8:
    case ParamId::kStrings4:
        outputMix_.SetStringsFootages(
            index == ParamId::kStrings16 ? On(v) : outputMix_.StringsFootage(0),
            index == ParamId::kStrings8 ? On(v) : outputMix_.StringsFootage(1),
            index == ParamId::kStrings4 ? On(v) : outputMix_.StringsFootage(2));
        SetVoices(index, On(v) ? 1.0 : 0.0);
        break;
    case ParamId::kStringsBowing:
        // Applied at the entry displayed "Off" (see the parameter table).
        outputMix_.SetBowingOn(On(v));
        break;
    case ParamId::kStringsVibrato:
        outputMix_.SetStringsVibratoOn(!On(v));
        break;
    case ParamId::kStringsEnsemble:
        outputMix_.SetEnsembleOn(!On(v));
        break;
    case ParamId::kDetuneStrings:
        stringsDetune_ = v != 0.0;
        RefreshEditor();
        SetVoices(index, SectionDetune(v));
        break;

    // Modulation.
    case ParamId::kVibIntensity:
        pitchModulation_.SetVibratoDepth(2.0 * v);
        break;
    case ParamId::kVibDelay:
        pitchModulation_.SetVibratoSwitch(On(v));
        break;
    case ParamId::kVibDelayTime:
        pitchModulation_.SetVibratoDelayTime(v);
        break;
    case ParamId::kWheelVibIntensity:
        pitchModulation_.SetWheelDepth(12.0 * v);
        break;
    case ParamId::kWheelVibSpeed:
        pitchModulation_.SetVibratoIncrement(LfoIncrement(v));
        break;
    case ParamId::kWheelMode:
        pitchModulation_.SetTrill(!On(v));
        break;

    // Effects and output.
    case ParamId::kFlangerSpeed:
        outputMix_.SetFlangerSpeed(LfoIncrement(v));
        break;
    case ParamId::kFlangerFeedback:
        outputMix_.SetFlangerFeedback(v);
        break;
    case ParamId::kFlangerIntensity:
        outputMix_.SetFlangerIntensity(v);
        break;
    case ParamId::kFlangerManual:
        outputMix_.SetFlangerManual(v);
        break;
    case ParamId::kFlangerSynthe:
    case ParamId::kFlangerBrass:
    case ParamId::kFlangerStrings:
        outputMix_.SetFlangerSend(index - ParamId::kFlangerSynthe, On(v));
        break;
    case ParamId::kStereoFlanger:
        outputMix_.SetFlangerStereo(On(v));
        break;
    case ParamId::kStereoEnsemble:
        outputMix_.SetStringsStereo(On(v));
        break;
    case ParamId::kEnsLfo1Speed:
        outputMix_.SetEnsembleLfoIncrement(0, LfoIncrement(v));
        break;
    case ParamId::kEnsLfo2Speed:
        outputMix_.SetEnsembleLfoIncrement(1, LfoIncrement(v));
        break;
    case ParamId::kEns1Amount:
    case ParamId::kEns2Amount:
    case ParamId::kEns3Amount:
        outputMix_.SetEnsembleDepth(index - ParamId::kEns1Amount, v / 2.0);
        break;
    case ParamId::kTotalVolume:
        outputMix_.SetTotalVolume(v);
        break;
    case ParamId::kOutputSynthe:
    case ParamId::kOutputBrass:
    case ParamId::kOutputStrings:
        outputMix_.SetSectionOn(index - ParamId::kOutputSynthe, On(v));
        break;
    case ParamId::kPanSynthe:
        outputMix_.SetSynthePan(v);
        break;
    case ParamId::kPanBrass:
        outputMix_.SetBrassPan(v);
        break;
    case ParamId::kPanStrings:
        outputMix_.SetStringsPan(v);
        break;
    default:
        break;
    }
}

} // namespace halvane
