#pragma once

namespace halvane {

// Parameter indexes, in the order hosts see them.

// Scoped (ParamId::kVcfCutoff) and plain ints, so they index arrays and reach
// the int-based parameter calls without casts.
struct ParamId {
    enum : int {
        kTridentMode = 0,
        kKeyAssign,
        kTotalTune,
        kRangeSynthe,
        kRangeBrass,
        kRangeStrings,
        kSplitKey,
        kVco1Octave,
        kVco1Wave,
        kVco1Pw,
        kVco1PwmSpeed, // 10
        kVco2Octave,
        kVco2Detune,
        kVcfCutoff,
        kVcfResonance,
        kVcfKbfTrack,
        kVcfEgIntensity,
        kVcfAttack,
        kVcfDecay,
        kVcfSustain,
        kVcfRelease, // 20
        kVcaAttack,
        kVcaDecay,
        kVcaSustain,
        kVcaRelease,
        kVcaAttenuator,
        kVcaAutoDamp,
        kBrassCutoff,
        kBrassResonance,
        kBrassSilentNotes,
        kBrassEgIntensity, // 30
        kBrassAttack,
        kBrassDecay,
        kBrassSustain,
        kBrassRelease,
        kBrass16,
        kBrass8,
        kBrassMultiTrigger,
        kBrassTriggerSelect,
        kStringsAttack,
        kStringsRelease, // 40
        kStringsEqHigh,
        kStringsEqLow,
        kStringsBowingLevel,
        kStringsBowingTone,
        kStringsVibratoDelay,
        kStringsVibratoSpeed,
        kStringsVibratoIntensity,
        kStringsKbdBalance,
        kStrings16,
        kStrings8, // 50
        kStrings4,
        kStringsBowing,
        kStringsVibrato,
        kStringsEnsemble,
        kVibIntensity,
        kVibDelay,
        kWheelVibIntensity,
        kWheelVibSpeed,
        kWheelMode,
        kPitchBend, // 60
        kFlangerSpeed,
        kFlangerFeedback,
        kFlangerIntensity,
        kFlangerManual,
        kFlangerSynthe,
        kFlangerBrass,
        kFlangerStrings,
        kTotalVolume,
        kVolumeSynthe,
        kVolumeBrass, // 70
        kVolumeStrings,
        kOutputSynthe,
        kOutputBrass,
        kOutputStrings,
        kPanSynthe,
        kPanBrass,
        kPanStrings,
        kVelocitySynthe,
        kVelocityBrass,
        kVelocityStrings, // 80
        kVelocitySyntheVcf,
        kVelocityBrassVcf,
        kStereoFlanger,
        kStereoEnsemble,
        kDetuneBrass,
        kDetuneStrings,
        kVibDelayTime,
        kEnsLfo1Speed,
        kEnsLfo2Speed,
        kEns1Amount, // 90
        kEns2Amount,
        kEns3Amount,
        kCount
    };
};

constexpr int kNumParams = ParamId::kCount;
static_assert(kNumParams == 93, "the instrument has 93 parameters");

} // namespace halvane
