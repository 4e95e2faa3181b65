#include "sound/ParamTable.h"

#include <cmath>

#include "engine/PitchToHz.h"
#include "platform/Text.h"
#include "sound/ParamIds.h"

namespace halvane {

namespace {

const char* const kSwitch[] = {"Off", "On"};
const char* const kInvertedSwitch[] = {"On", "Off"};
const char* const kKeyAssignTexts[] = {"2", "1"};
const char* const kRange[] = {"Lower", "Both", "Upper"};
const char* const kFootage[] = {"16'", "8'", "4'"};
const char* const kVco2Footage[] = {"Off", "16'", "8'", "4'"};
const char* const kWave[] = {"Sawtooth", "Pulse", "Pulse Width Mod"};
const char* const kSilentNotes[] = {"2", "4", "6", "8"};
const char* const kWheelModeTexts[] = {"Trill", "Vibrato"};

constexpr double kSpeedMin = 0.001;
constexpr double kSpeedMax = 24.999;
constexpr double kEgRange = 12289.0; // just over eight octaves of pitch units

} // namespace

void DisplayDecibels(double value, char* out, std::size_t size) {
    if (!(value > 0.0))
        CopyText(out, size, "-oo");
    else
        FormatText(out, size, "%.1f", 20.0 * std::log10(value));
    UseDotDecimal(out);
}

void DisplayCutoff(double value, char* out, std::size_t size) {
    const int32_t pitch = TruncateToInt(std::floor(value * 17281.0 + 0.5));
    FormatText(out, size, "%d", static_cast<int>(TruncateToInt(PitchToHz(pitch))));
}

void DisplayEgIntensity(double value, char* out, std::size_t size) {
    FormatText(out, size, "%.2f", value / 1536.0);
    UseDotDecimal(out);
}

void DisplayPan(double value, char* out, std::size_t size) {
    FormatText(out, size, "%.0f:%.0f", 100.0 - 100.0 * value, 100.0 * value);
}

void InitHalvaneParams(PlugParam* p, int count) {
    if (!p || count < kNumParams)
        return;
    auto list = [p](int index, const char* name, int def, const char* const* texts, int n) {
        p[index].InitList(name, def, n, texts);
    };
    auto range = [p](int index, const char* name, double def, double min, double max, double step,
                     const char* label = "", double shape = 1.0) {
        p[index].InitRange(name, def, min, max, step, label, shape);
    };
    auto integer = [p](int index, const char* name, double def, double min, double max) {
        p[index].SetKind(PlugParam::kInteger);
        p[index].InitRange(name, def, min, max, 1.0, "", 1.0);
    };

    list(ParamId::kTridentMode, "Trident Mode", 1, kSwitch, 2);
    list(ParamId::kKeyAssign, "Key Assign", 1, kKeyAssignTexts, 2);
    range(ParamId::kTotalTune, "Total Tune", 0.0, -1.0, 1.0, 0.005);
    list(ParamId::kRangeSynthe, "Range Synthe", 1, kRange, 3);
    list(ParamId::kRangeBrass, "Range Brass", 1, kRange, 3);
    list(ParamId::kRangeStrings, "Range Strings", 1, kRange, 3);
    integer(ParamId::kSplitKey, "Split Key", 60.0, 0.0, 127.0);
    list(ParamId::kVco1Octave, "VCO 1 Octave", 1, kFootage, 3);
    range(ParamId::kVco1Pw, "VCO 1 PW/PWM", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVco1PwmSpeed, "VCO 1 PWM Speed", 0.8, kSpeedMin, kSpeedMax, 0.01, "Hz", 2.0);
    list(ParamId::kVco1Wave, "VCO 1 Wave", 0, kWave, 3); // after the PWM speed, as it always was
    list(ParamId::kVco2Octave, "VCO 2 Octave", 0, kVco2Footage, 4);
    range(ParamId::kVco2Detune, "VCO 2 Detune", 0.0, -1.0, 1.0, 0.005);
    range(ParamId::kVcfCutoff, "VCF Cutoff", 1.0, 0.0, 1.0, 0.001, "", 0.5);
    range(ParamId::kVcfResonance, "VCF Resonance", 0.0, 0.0, 1.0, 0.01);
    integer(ParamId::kVcfKbfTrack, "VCF KBF Track", 0.0, 0.0, 4.0);
    range(ParamId::kVcfEgIntensity, "VCF EG Intensity", 0.0, -kEgRange, kEgRange, 0.01);
    range(ParamId::kVcfAttack, "VCF Attack", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVcfDecay, "VCF Decay", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVcfSustain, "VCF Sustain", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVcfRelease, "VCF Release", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVcaAttack, "VCA Attack", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVcaDecay, "VCA Decay", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVcaSustain, "VCA Sustain", 1.0, 0.0, 1.0, 0.01);
    range(ParamId::kVcaRelease, "VCA Release", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVcaAttenuator, "VCA Attenuator", 0.0, -10.0, 10.0, 0.01);
    list(ParamId::kVcaAutoDamp, "VCA Auto Damp", 0, kSwitch, 2);
    range(ParamId::kBrassCutoff, "Brass Cutoff", 1.0, 0.0, 1.0, 0.001, "", 0.5);
    range(ParamId::kBrassResonance, "Brass Resonance", 0.0, 0.0, 1.0, 0.01);
    list(ParamId::kBrassSilentNotes, "Brass Silent Notes", 0, kSilentNotes, 4);
    range(ParamId::kBrassEgIntensity, "Brass EG Intensity", 0.0, 0.0, kEgRange, 0.01);
    range(ParamId::kBrassAttack, "Brass Attack", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kBrassDecay, "Brass Decay", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kBrassSustain, "Brass Sustain", 1.0, 0.0, 1.0, 0.01);
    range(ParamId::kBrassRelease, "Brass Release", 0.0, 0.0, 1.0, 0.01);
    list(ParamId::kBrass16, "Brass 16'", 1, kSwitch, 2);
    list(ParamId::kBrass8, "Brass 8'", 0, kSwitch, 2);
    list(ParamId::kBrassMultiTrigger, "Brass Multi Trigger", 0, kSwitch, 2);
    list(ParamId::kBrassTriggerSelect, "Brass Trigger Select", 0, kSwitch, 2);
    range(ParamId::kStringsAttack, "Strings Attack", 0.3, 0.0, 1.0, 0.01);
    range(ParamId::kStringsRelease, "Strings Release", 0.4, 0.0, 1.0, 0.01);
    range(ParamId::kStringsEqHigh, "Strings EQ High", 0.0, -12.0, 12.0, 1.0 / 240.0);
    range(ParamId::kStringsEqLow, "Strings EQ Low", 0.0, -12.0, 12.0, 1.0 / 240.0);
    range(ParamId::kStringsBowingLevel, "Strings Bowing Level", 0.5, 0.0, 1.0, 0.01);
    range(ParamId::kStringsBowingTone, "Strings Bowing Tone", 0.5, 0.0, 1.0, 0.01);
    range(ParamId::kStringsVibratoDelay, "Strings Vibrato Delay", 0.5, 0.0, 1.0, 0.01);
    range(ParamId::kStringsVibratoSpeed, "Strings Vibrato Speed", 5.5, kSpeedMin, kSpeedMax, 0.01,
          "Hz", 2.0);
    range(ParamId::kStringsVibratoIntensity, "Strings Vibrato Intensity", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kStringsKbdBalance, "Strings KBD Balance", 0.0, 0.0, 1.0, 0.01);
    list(ParamId::kStrings16, "Strings 16'", 0, kSwitch, 2);
    list(ParamId::kStrings8, "Strings 8'", 1, kSwitch, 2);
    list(ParamId::kStrings4, "Strings 4'", 0, kSwitch, 2);
    list(ParamId::kStringsBowing, "Strings Bowing", 0, kInvertedSwitch, 2);
    list(ParamId::kStringsVibrato, "Strings Vibrato", 0, kInvertedSwitch, 2);
    list(ParamId::kStringsEnsemble, "Strings Ensemble", 0, kInvertedSwitch, 2);
    range(ParamId::kVibIntensity, "Vib. Intensity", 0.1, 0.0, 1.0, 0.01, "", 2.0);
    range(ParamId::kVibDelay, "Vib. Delay", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVibDelayTime, "Vib. Delay Time", 0.5, 0.0, 1.0, 0.01); // right after its switch
    range(ParamId::kWheelVibIntensity, "Wheel Vib. Intensity", 0.1, 0.0, 1.0, 0.01, "", 2.0);
    range(ParamId::kWheelVibSpeed, "Wheel Vib. Speed", 5.5, kSpeedMin, kSpeedMax, 0.01, "Hz", 2.0);
    list(ParamId::kWheelMode, "Wheel Mode", 1, kWheelModeTexts, 2);
    range(ParamId::kPitchBend, "Pitch Bend", 2.0, -12.0, 12.0, 1.0);
    range(ParamId::kFlangerSpeed, "Flanger Speed", 0.7, kSpeedMin, kSpeedMax, 0.01, "Hz", 2.0);
    range(ParamId::kFlangerFeedback, "Flanger Feedback", 0.3, 0.0, 1.0, 0.01);
    range(ParamId::kFlangerIntensity, "Flanger Intensity", 0.5, 0.0, 1.0, 0.01);
    range(ParamId::kFlangerManual, "Flanger Manual", 0.5, 0.0, 1.0, 0.01);
    list(ParamId::kFlangerSynthe, "Flanger Synthe", 0, kSwitch, 2);
    list(ParamId::kFlangerBrass, "Flanger Brass", 0, kSwitch, 2);
    list(ParamId::kFlangerStrings, "Flanger Strings", 0, kSwitch, 2);
    range(ParamId::kTotalVolume, "Total Volume", 0.5, 0.0, 1.0, 0.01);
    range(ParamId::kVolumeSynthe, "Volume Synthe", 0.5, 0.0, 1.0, 0.01);
    range(ParamId::kVolumeBrass, "Volume Brass", 0.5, 0.0, 1.0, 0.01);
    range(ParamId::kVolumeStrings, "Volume Strings", 0.5, 0.0, 1.0, 0.01);
    list(ParamId::kOutputSynthe, "Output Synthe", 1, kSwitch, 2);
    list(ParamId::kOutputBrass, "Output Brass", 0, kSwitch, 2);
    list(ParamId::kOutputStrings, "Output Strings", 0, kSwitch, 2);
    range(ParamId::kPanSynthe, "Pan Synthe", 0.5, 0.0, 1.0, 0.01);
    range(ParamId::kPanBrass, "Pan Brass", 0.5, 0.0, 1.0, 0.01);
    range(ParamId::kPanStrings, "Pan Strings", 0.5, 0.0, 1.0, 0.01);
    range(ParamId::kVelocitySynthe, "Velocity Synthe", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVelocityBrass, "Velocity Brass", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVelocityStrings, "Velocity Strings", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVelocitySyntheVcf, "Velocity Synthe VCF", 0.0, 0.0, 1.0, 0.01);
    range(ParamId::kVelocityBrassVcf, "Velocity Brass VCF", 0.0, 0.0, 1.0, 0.01);
    list(ParamId::kStereoFlanger, "Stereo Flanger", 0, kSwitch, 2);
    list(ParamId::kStereoEnsemble, "Stereo Ensemble", 0, kSwitch, 2);
    range(ParamId::kDetuneBrass, "Detune Brass", 0.0, -1.0, 1.0, 0.005);
    range(ParamId::kDetuneStrings, "Detune Strings", 0.0, -1.0, 1.0, 0.005);
    range(ParamId::kEnsLfo1Speed, "Ens. LFO1 Speed", 6.26, kSpeedMin, kSpeedMax, 0.01, "Hz", 2.0);
    range(ParamId::kEnsLfo2Speed, "Ens. LFO2 Speed", 0.28, kSpeedMin, kSpeedMax, 0.01, "Hz", 2.0);
    range(ParamId::kEns1Amount, "Ens.1 Amount", 0.03, 0.0, 0.1, 0.01);
    range(ParamId::kEns2Amount, "Ens.2 Amount", 0.03, 0.0, 0.1, 0.01);
    range(ParamId::kEns3Amount, "Ens.3 Amount", 0.03, 0.0, 0.1, 0.01);

    for (int i : {ParamId::kTotalVolume, ParamId::kVolumeSynthe, ParamId::kVolumeBrass,
                  ParamId::kVolumeStrings})
        p[i].SetDisplayFunction(DisplayDecibels);
    for (int i : {ParamId::kVcfCutoff, ParamId::kBrassCutoff})
        p[i].SetDisplayFunction(DisplayCutoff);
    for (int i : {ParamId::kVcfEgIntensity, ParamId::kBrassEgIntensity})
        p[i].SetDisplayFunction(DisplayEgIntensity);
    for (int i : {ParamId::kPanSynthe, ParamId::kPanBrass, ParamId::kPanStrings})
        p[i].SetDisplayFunction(DisplayPan);
}

} // namespace halvane
