// The voice: pitch, levels, filter settings and the life of a voice, checked
// against the formulas they come from.

#include "engine/Voice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine_fixture.h"

namespace halvane {

using enginetest::EngineRig;

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Frequency from the falling zero crossings of the saw (one per period, halfway
// down its ramp), ignoring the first tenth of a second.
double SawFrequency(const std::vector<double>& x, double rate) {
    std::vector<double> negated(x.size());
    for (std::size_t n = 0; n < x.size(); ++n)
        negated[n] = -x[n];
    return enginetest::ZeroCrossingFrequency(negated, rate, static_cast<std::size_t>(rate / 10));
}

TEST(VoicePitch, Note69SoundsAt440HzAtEveryFootage) {
    struct Case {
        double octave;
        double hz;
    };
    for (Case c : {Case{0.0, 220.0}, Case{1.0, 440.0}, Case{2.0, 880.0}}) {
        EngineRig rig;
        rig.Set(ParamId::kVco1Octave, c.octave);
        rig.engine->NoteOn(69, 127);
        const auto all = rig.RenderLong(44100);
        EXPECT_NEAR(SawFrequency(all[2], 44100.0), c.hz, 0.01) << c.octave;
    }
}

TEST(VoicePitch, FollowsTheRateAndTheDetunes) {
    EngineRig rig(48000.0);
    rig.Set(ParamId::kVco2Octave, 1.0); // 16'
    rig.Set(ParamId::kVco2Detune, -1.0);
    rig.Set(ParamId::kOutputStrings, 1.0);
    rig.Set(ParamId::kDetuneStrings, 0.5); // 0.25 * 7 semitones: 224 units
    rig.engine->NoteOn(60, 100);
    const Voice& v = rig.engine->VoiceAt(0);
    const auto table = PhaseIncrementTable::ForSampleRate(48000.0);
    EXPECT_EQ(v.Master().Increment(), (*table)[60 * 128 - 1536]);
    EXPECT_EQ(v.Vco2().Increment(), (*table)[60 * 128 - 128 - 1536]);
    EXPECT_EQ(v.StringsOscillator().Increment(), (*table)[60 * 128 + 224 - 1536]);
    EXPECT_TRUE(v.StringsOwnOscillator());
    // The brass oscillator has no detune and no brass note: it stays where it is.
    const uint32_t brassPhase = v.BrassOscillator().Phase();
    const uint32_t stringsPhase = v.StringsOscillator().Phase();
    rig.Render(480);
    EXPECT_EQ(v.BrassOscillator().Phase(), brassPhase);
    EXPECT_EQ(v.StringsOscillator().Phase(),
              (stringsPhase + 480u * static_cast<uint32_t>(v.StringsOscillator().Increment())) &
                  Oscillator::kPhaseMask);
    const double fc = ((0.25 - 0.25) * 0.0 + 0.25) * 11600.0 + 400.0; // note 60: tone 0.25
    EXPECT_DOUBLE_EQ(v.StringsCutoff(), kTwoPi * fc / 48000.0);
}

TEST(VoiceLevels, SectionLevelsFollowVelocityAndVolume) {
    EngineRig rig;
    rig.Set(ParamId::kOutputBrass, 1.0);
    rig.Set(ParamId::kOutputStrings, 1.0);
    rig.Set(ParamId::kVelocitySynthe, 0.5);
    rig.Set(ParamId::kVcaAttenuator, 6.0);
    rig.Set(ParamId::kVolumeSynthe, 0.8);
    rig.Set(ParamId::kVelocityBrass, 1.0);
    rig.Set(ParamId::kVolumeBrass, 0.3);
    rig.Set(ParamId::kVelocityStrings, 0.0);
    rig.Set(ParamId::kVolumeStrings, 0.7);
    rig.engine->NoteOn(60, 64);
    const Voice& v = rig.engine->VoiceAt(0);
    const double vel = 64.0 / 127.0;
    EXPECT_DOUBLE_EQ(v.Velocity(), 64 * (1.0 / 127.0));
    EXPECT_DOUBLE_EQ(v.Level(kSectionSynthe),
                     ((vel - 1.0) * 0.5 + 1.0) * std::pow(10.0, 6.0 / 20.0) * 0.8);
    EXPECT_DOUBLE_EQ(v.Level(kSectionBrass), vel * 0.3);
    EXPECT_DOUBLE_EQ(v.Level(kSectionStrings), 0.7) << "no velocity sensitivity";

    // A volume change reaches the sounding voice at the next control update.
    rig.Set(ParamId::kVolumeStrings, 0.2);
    rig.Render(44);
    EXPECT_DOUBLE_EQ(v.Level(kSectionStrings), 0.2);
}

TEST(VoiceFilter, KeyTrackingEnvelopeAmountAndStringsCutoff) {
    EngineRig rig;
    rig.Set(ParamId::kOutputStrings, 1.0);
    rig.Set(ParamId::kVcfKbfTrack, 2.0); // 64 units per semitone
    rig.Set(ParamId::kVcfEgIntensity, 1000.0);
    rig.Set(ParamId::kVelocitySyntheVcf, 0.5);
    rig.Set(ParamId::kStringsKbdBalance, 0.7);
    Engine& e = *rig.engine;
    e.NoteOn(72, 64);
    e.NoteOn(96, 127);
    e.NoteOn(10, 127);
    const Voice& a = e.VoiceAt(0);
    EXPECT_EQ(a.KeyOffset(), 12 * 64.0);
    EXPECT_DOUBLE_EQ(a.EgAmount(), ((64.0 / 127.0 - 1.0) * 0.5 + 1.0) * 1000.0);
    const double t = (72.0 - 24.0) / 72.0;
    EXPECT_DOUBLE_EQ(a.TonePosition(), t * t);
    const Voice& b = e.VoiceAt(1);
    EXPECT_EQ(b.TonePosition(), 1.0);
    EXPECT_DOUBLE_EQ(b.StringsCutoff(), kTwoPi * 9390.0 / 44100.0);
    EXPECT_EQ(e.VoiceAt(2).TonePosition(), 0.0);
    EXPECT_EQ(e.VoiceAt(2).KeyOffset(), -50 * 64.0);

    // A sounding note follows a new intensity at once, with its own velocity.
    rig.Set(ParamId::kVcfEgIntensity, -2000.0);
    EXPECT_DOUBLE_EQ(a.EgAmount(), ((64.0 / 127.0 - 1.0) * 0.5 + 1.0) * -2000.0);
    rig.Set(ParamId::kVelocitySyntheVcf, 0.0);
    EXPECT_EQ(a.EgAmount(), -2000.0);
}

TEST(VoiceFilter, CutoffOffsetRoundsDownAndSaturates) {
    EXPECT_EQ(Voice::CutoffOffset(2.5), 2);
    EXPECT_EQ(Voice::CutoffOffset(-2.5), -3);
    EXPECT_EQ(Voice::CutoffOffset(-3.0), -3);
    EXPECT_EQ(Voice::CutoffOffset(0.0), 0);
    EXPECT_EQ(Voice::CutoffOffset(-0.25), -1);
    EXPECT_EQ(Voice::CutoffOffset(2147483646.5), 2147483646);
    EXPECT_EQ(Voice::CutoffOffset(1e20), INT32_MAX);
    EXPECT_EQ(Voice::CutoffOffset(-1e20), INT32_MIN);
    EXPECT_EQ(Voice::CutoffOffset(-2147483647.5), INT32_MIN);
    EXPECT_EQ(Voice::CutoffOffset(std::numeric_limits<double>::quiet_NaN()), INT32_MIN);
}

TEST(VoiceLife, TheFilterEnvelopeDoesNotKeepAVoiceAlive) {
    EngineRig rig;
    rig.Set(ParamId::kVcfSustain, 1.0);
    rig.Set(ParamId::kVcfRelease, 1.0); // 19.5 s
    rig.Set(ParamId::kVcaRelease, 0.0); // 4.9 ms
    Engine& e = *rig.engine;
    e.NoteOn(60, 100);
    rig.Render(441);
    e.NoteOff(60);
    rig.Render(441);
    const Voice& v = e.VoiceAt(0);
    EXPECT_TRUE(v.VcfEnvelope().Running());
    EXPECT_FALSE(v.Active());
    EXPECT_EQ(enginetest::Peak(rig.out[0], 300), 0.0) << "an inactive voice renders nothing";
}

TEST(VoiceLife, ReleaseTimeAndSilenceAfterward) {
    // "VCA Release" 0.25 covers the full range in 1 / 9.959 s: about 4428 samples.
    EngineRig rig;
    rig.Set(ParamId::kVcaRelease, 0.25);
    Engine& e = *rig.engine;
    e.NoteOn(60, 100);
    rig.Render(4410);
    e.NoteOff(60);
    const auto tail = rig.RenderLong(6000);
    const Voice& v = e.VoiceAt(0);
    EXPECT_FALSE(v.Active());
    int last = -1;
    for (int n = 0; n < 6000; ++n)
        if (tail[2][static_cast<std::size_t>(n)] != 0.0)
            last = n;
    const double expected = 44100.0 / (std::pow(5.0, 3.3 - 7.5 * 0.25) + 0.05);
    EXPECT_NEAR(last, expected, 50.0);
}

TEST(VoiceRender, SectionsSumOnTheirOwnChannels) {
    EngineRig rig;
    rig.Set(ParamId::kOutputSynthe, 0.0);
    rig.Set(ParamId::kOutputBrass, 1.0);
    rig.Set(ParamId::kOutputStrings, 1.0);
    rig.Set(ParamId::kStringsAttack, 0.0);
    rig.engine->NoteOn(60, 127);
    const auto all = rig.RenderLong(4410);
    EXPECT_EQ(enginetest::Peak(all[2]), 0.0);
    EXPECT_EQ(enginetest::Peak(all[3]), 0.0);
    EXPECT_GT(enginetest::Peak(all[4], 441), 0.01);
    EXPECT_GT(enginetest::Peak(all[6], 441), 0.01);
    EXPECT_GT(enginetest::Peak(all[0], 441), 0.01);
}

TEST(VoiceRender, ExtremeSettingsStayFinite) {
    for (double rate : {1.0, 8000.0, 44100.0, 192000.0}) {
        EngineRig rig(rate);
        rig.Set(ParamId::kTridentMode, 0.0);
        rig.Set(ParamId::kOutputBrass, 1.0);
        rig.Set(ParamId::kOutputStrings, 1.0);
        rig.Set(ParamId::kVcfResonance, 1.0);
        rig.Set(ParamId::kVcfEgIntensity, 12289.0);
        rig.Set(ParamId::kVcfKbfTrack, 4.0);
        rig.Set(ParamId::kVcaAttenuator, 10.0);
        rig.Set(ParamId::kVolumeSynthe, 1.0);
        rig.Set(ParamId::kVco2Octave, 3.0);
        rig.Set(ParamId::kVco1Wave, 2.0);
        rig.Set(ParamId::kBrassResonance, 1.0);
        rig.Set(ParamId::kBrassEgIntensity, 12289.0);
        rig.Set(ParamId::kBrass8, 1.0);
        rig.Set(ParamId::kDetuneBrass, -1.0);
        rig.Set(ParamId::kDetuneStrings, 1.0);
        rig.Set(ParamId::kStrings4, 1.0);
        rig.Set(ParamId::kStringsKbdBalance, 1.0);
        rig.Set(ParamId::kFlangerSynthe, 1.0);
        rig.Set(ParamId::kFlangerFeedback, 1.0);
        rig.Set(ParamId::kPitchBend, -12.0);
        rig.Set(ParamId::kVcfCutoff, 0.0);
        for (int k = 0; k < 64; ++k)
            rig.engine->NoteOn(k * 2, 127);
        rig.Midi(0, 0xE0, 127, 127);
        rig.Midi(10, 0xB0, 1, 127);
        const auto all = rig.RenderLong(rate < 100.0 ? 200 : 8820);
        EXPECT_TRUE(enginetest::AllFinite(all)) << rate;
        for (const auto& c : all)
            EXPECT_LT(enginetest::Peak(c), 1e3) << rate;
    }
}

} // namespace

} // namespace halvane
