// The render loop (control blocks, event timing across host blocks, MIDI
// take-over), the sample-rate rebuild and the parameter mapping.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "engine_fixture.h"

namespace halvane {

using enginetest::EngineRig;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Index of the first sample that is not exactly 0, or -1.
int FirstSound(const std::vector<double>& x) {
    for (std::size_t n = 0; n < x.size(); ++n)
        if (x[n] != 0.0)
            return static_cast<int>(n);
    return -1;
}

// Control updates so far, read from the PWM LFO: it advances by its increment
// once per update. "VCO 1 PWM Speed" 0.5 Hz is the increment 0.001.
int Updates(const Engine& e) {
    return static_cast<int>(std::lround(e.Modulation().PwmLfo().Phase() / 0.001));
}

// What learned controllers changed in the last block, as (parameter, value).
std::vector<std::pair<int, int>> Changes(const Engine& e) {
    std::vector<std::pair<int, int>> changes;
    for (int i = 0; i < e.ControlledChangeCount(); ++i)
        changes.emplace_back(e.ControlledChangeAt(i).param, e.ControlledChangeAt(i).value);
    return changes;
}

TEST(EngineEventQueue, PacksEventsAndWrapsAroundItsRing) {
    const uint64_t e = EngineEventQueue::Pack(-5, 0x93, 0x7F, 0x01);
    EXPECT_EQ(EngineEventQueue::Offset(e), -5);
    EXPECT_EQ(EngineEventQueue::Status(e), 0x93);
    EXPECT_EQ(EngineEventQueue::Data1(e), 0x7F);
    EXPECT_EQ(EngineEventQueue::Data2(e), 0x01);
    EXPECT_EQ(e >> 56, 0u) << "the top byte stays clear";
    EXPECT_EQ(EngineEventQueue::Pack(123, 0x80, 60, 0) & 0xFFFFFFFFu, 123u);

    EngineEventQueue q;
    int next = 0, expected = 0;
    for (int round = 0; round < 3; ++round) {
        while (q.Push(EngineEventQueue::Pack(next, 0x90, 1, 1)))
            ++next;
        EXPECT_TRUE(q.Full());
        EXPECT_EQ(q.Size(), EngineEventQueue::kCapacity);
        for (int k = 0; k < 1000; ++k, ++expected) {
            ASSERT_EQ(EngineEventQueue::Offset(q.Front()), expected);
            q.Pop();
        }
    }
    while (!q.Empty()) {
        ASSERT_EQ(EngineEventQueue::Offset(q.Front()), expected++);
        q.Pop();
    }
    EXPECT_EQ(expected, next);
    q.Pop(); // popping an empty queue changes nothing
    EXPECT_TRUE(q.Empty());
}

TEST(ControlBlock, LengthIsOneMillisecondAndNeverZero) {
    struct Case {
        double rate;
        int length;
    };
    for (Case c :
         {Case{44100.0, 44}, Case{48000.0, 48}, Case{96000.0, 96}, Case{1.0, 1}, Case{999.9, 1},
          Case{0.0, 44}, Case{-48000.0, 44}, Case{kNaN, 44}, Case{kInf, 44}, Case{10.0e6, 10000}}) {
        Engine e;
        e.Reset(c.rate);
        EXPECT_EQ(e.ControlLength(), c.length) << c.rate;
    }
}

TEST(ControlBlock, RendersAtOneHertzWithoutStalling) {
    EngineRig rig(1.0);
    rig.engine->NoteOn(69, 127);
    rig.Render(100);
    EXPECT_TRUE(enginetest::AllFinite(rig.out));
    EXPECT_EQ(rig.engine->ControlLength(), 1);
}

TEST(ControlBlock, RunsOncePerMillisecondAcrossShortHostBlocks) {
    EngineRig rig;
    rig.Set(ParamId::kVco1PwmSpeed, 0.5);
    Engine& e = *rig.engine;
    for (int k = 0; k < 4; ++k)
        rig.Render(10);
    EXPECT_EQ(Updates(e), 1);
    EXPECT_EQ(e.Countdown(), 4);
    rig.Render(10); // 50 samples: the second block began at 44
    EXPECT_EQ(Updates(e), 2);
    rig.Render(44 * 10 - 50);
    EXPECT_EQ(Updates(e), 10);
    EXPECT_EQ(e.Countdown(), 0);
}

TEST(ControlBlock, ZeroFramesWriteNothingAndRunNoUpdate) {
    EngineRig rig;
    rig.Set(ParamId::kVco1PwmSpeed, 0.5);
    double sentinel = 0.25;
    double* channels[Engine::kOutputs];
    for (double*& c : channels)
        c = &sentinel;
    enginetest::RenderQueue(*rig.engine, rig.midi, channels, 0);
    EXPECT_EQ(sentinel, 0.25);
    EXPECT_EQ(Updates(*rig.engine), 0);
    enginetest::RenderQueue(*rig.engine, rig.midi, nullptr, 5); // no channels at all
    EXPECT_EQ(Updates(*rig.engine), 1);
}

TEST(EventTiming, NoteStartsAtItsSampleInsideTheBlock) {
    EngineRig rig;
    rig.Midi(100, 0x90, 69, 127);
    rig.Render(256);
    // Taken over at the third control update (88), dispatched 12 samples later.
    EXPECT_EQ(FirstSound(rig.out[0]), 100);
    EXPECT_EQ(FirstSound(rig.out[2]), 100);
}

TEST(EventTiming, ExactAcrossHostBlocksThatSplitAControlBlock) {
    EngineRig rig;
    rig.Render(100); // updates at 0, 44, 88: 32 samples of that block remain
    ASSERT_EQ(rig.engine->Countdown(), 32);
    rig.Midi(10, 0x90, 69, 127);
    rig.Midi(40, 0x90, 72, 127); // after the continued block, in the next one
    rig.Render(256);
    EXPECT_EQ(FirstSound(rig.out[2]), 10);
    EXPECT_EQ(rig.engine->HeldCount(), 2);

    // An event for a later block waits there, with its offset moved along.
    rig.Midi(300, 0x80, 69, 0);
    rig.Render(256);
    EXPECT_EQ(rig.midi.Size(), 1);
    EXPECT_EQ(rig.midi.Front().offset, 44);
    rig.Render(256);
    EXPECT_EQ(rig.midi.Size(), 0);
    EXPECT_EQ(rig.engine->HeldCount(), 1);
}

TEST(EventTiming, MalformedDataBytesAreMasked) {
    EngineRig rig;
    rig.Midi(0, 0x90, 0xC5, 0xFF); // note 69, velocity 127
    rig.Render(64);
    ASSERT_TRUE(rig.engine->VoiceAt(0).Active());
    EXPECT_EQ(rig.engine->VoiceAt(0).Note(), 69);
    EXPECT_DOUBLE_EQ(rig.engine->VoiceAt(0).Velocity(), 1.0);
    rig.Midi(0, 0xE0, 0xFF, 0xFF); // bend: 127 + 128 * 127
    rig.Render(64);
    EXPECT_DOUBLE_EQ(rig.engine->Modulation().Bend(), 8191.0 / 8192.0);
}

TEST(EventTiming, AFullEngineQueueDelaysEventsButLosesNone) {
    EngineRig rig;
    for (int k = 0; k < 5000; ++k)
        rig.Midi(0, 0x80, 1, 0);
    rig.Midi(0, 0x90, 60, 100);
    rig.Render(256);
    EXPECT_EQ(rig.midi.Size(), 0);
    EXPECT_EQ(rig.engine->PendingControls(), 0);
    EXPECT_EQ(rig.engine->HeldCount(), 1);
    EXPECT_EQ(rig.engine->VoiceAt(0).Note(), 60);
    EXPECT_TRUE(rig.engine->VoiceAt(0).Active());
}

TEST(TakeOver, BendWheelAndLearnedControllers) {
    EngineRig rig;
    rig.Learn(7, ParamId::kVcfResonance);
    rig.Learn(74, ParamId::kVcfCutoff);
    struct Case {
        int lsb, msb;
        double bend;
    };
    // Each bend falls inside a control block and acts at the next update.
    double previous = 0.0;
    for (Case c : {Case{0, 64, 0.0}, Case{127, 127, 8191.0 / 8192.0}, Case{0, 0, -1.0}}) {
        rig.Midi(3, 0xE5, c.lsb, c.msb);
        rig.Render(44);
        EXPECT_EQ(rig.engine->Modulation().Bend(), previous) << "not before the next update";
        rig.Render(44);
        EXPECT_EQ(rig.engine->Modulation().Bend(), c.bend);
        previous = c.bend;
    }
    rig.Midi(0, 0xB0, 1, 127);
    rig.Midi(1, 0xB0, 7, 100);
    rig.Midi(2, 0xB3, 74, 5);
    rig.Midi(3, 0xB0, 64, 127);
    rig.Midi(4, 0xA0, 60, 10);  // pressure: not used
    rig.Midi(5, 0xF8, 0, 0);    // clock: not used
    rig.Midi(6, 0x40, 60, 100); // not a status byte: dropped
    rig.Render(44);
    EXPECT_EQ(rig.engine->Modulation().Wheel(), 1.0) << "on the update's own sample: at once";
    EXPECT_TRUE(rig.engine->Sustain()) << "the pedal acts at its sample";
    EXPECT_TRUE(Changes(*rig.engine).empty()) << "learned controllers wait for the next update";
    EXPECT_EQ(rig.engine->PendingControls(), 2);
    rig.Render(1);
    EXPECT_EQ(Changes(*rig.engine), (std::vector<std::pair<int, int>>{{ParamId::kVcfResonance, 100},
                                                                      {ParamId::kVcfCutoff, 5}}));
    EngineRig direct;
    direct.Set(ParamId::kVcfCutoff, rig.params[ParamId::kVcfCutoff].ValueFromNormalized(5 / 127.0));
    EXPECT_EQ(rig.engine->VoiceAt(0).Vcf().TargetCutoff(),
              direct.engine->VoiceAt(0).Vcf().TargetCutoff());
    EXPECT_NE(rig.engine->VoiceAt(0).Vcf().TargetCutoff(),
              EngineRig().engine->VoiceAt(0).Vcf().TargetCutoff());
    EXPECT_EQ(rig.engine->HeldCount(), 0);

    // The same value again changes nothing and is not reported; two values in
    // one block are both reported, in order, so the host records each.
    rig.Midi(0, 0xB0, 74, 5);
    rig.Render(44);
    EXPECT_TRUE(Changes(*rig.engine).empty());
    rig.Midi(0, 0xB0, 74, 9);
    rig.Midi(50, 0xB0, 74, 11);
    rig.Render(100);
    EXPECT_EQ(Changes(*rig.engine), (std::vector<std::pair<int, int>>{{ParamId::kVcfCutoff, 9},
                                                                      {ParamId::kVcfCutoff, 11}}));
    // A controller swept faster than the list holds: the last value still
    // arrives, and nothing is written past the list.
    for (int k = 0; k < 600; ++k)
        rig.Midi(k / 4, 0xB0, 74, k % 2 == 0 ? 20 + (k / 2) % 100 : 1);
    rig.Midi(160, 0xB0, 74, 77);
    rig.Render(170);
    const auto swept = Changes(*rig.engine);
    ASSERT_FALSE(swept.empty());
    EXPECT_LE(swept.size(), 256u + 93u);
    EXPECT_EQ(swept.back(), (std::pair<int, int>{ParamId::kVcfCutoff, 77}));
    // Unlearned controllers reach nothing.
    rig.Midi(0, 0xB0, 75, 9);
    rig.Render(100);
    EXPECT_TRUE(Changes(*rig.engine).empty());
}

TEST(TakeOver, AControllerThatChangesParametersMidBlock) {
    // A learned controller that switches Trident on and off while rendering: the
    // new voice count applies from its sub-block on.
    EngineRig rig;
    rig.Learn(20, ParamId::kTridentMode);
    rig.Midi(0, 0x90, 60, 100);
    rig.Midi(50, 0xB0, 20, 0);
    rig.Render(256);
    EXPECT_EQ(rig.engine->VoiceCount(), 64);
    EXPECT_EQ(rig.engine->HeldCount(), 0);
    EXPECT_TRUE(rig.engine->TakeIndicatorChange());
    rig.Midi(0, 0xB0, 20, 127);
    rig.Render(256);
    EXPECT_EQ(rig.engine->VoiceCount(), 8);
}

TEST(PitchOffset, ReachesSoundingVoicesAtTheNextControlUpdate) {
    EngineRig rig;
    Engine& e = *rig.engine;
    const auto table = PhaseIncrementTable::ForSampleRate(44100.0);
    auto increment = [&](int voice) { return e.VoiceAt(voice).Master().Increment(); };
    e.NoteOn(69, 100);
    rig.Render(44 + 20); // 24 samples of the second control block remain
    ASSERT_EQ(increment(0), (*table)[69 * 128 - 1536]);

    rig.Set(ParamId::kTotalTune, 1.0);
    rig.Render(24);
    EXPECT_EQ(increment(0), (*table)[69 * 128 - 1536]) << "not before the update";
    rig.Render(1);
    EXPECT_EQ(e.LastPitchOffset(), 128);
    EXPECT_EQ(increment(0), (*table)[70 * 128 - 1536]);

    // A voice started now begins at the offset in force, not at its bare pitch.
    e.NoteOn(60, 100);
    EXPECT_EQ(increment(1), (*table)[61 * 128 - 1536]);

    // A bend taken over in a control block continued from the last host block
    // waits for the next update, not for its sample.
    rig.Render(20);          // 23 samples of this block remain
    rig.Midi(5, 0xE0, 0, 0); // full down: 2 semitones
    rig.Render(22);
    EXPECT_EQ(e.Modulation().Bend(), 0.0);
    EXPECT_EQ(increment(0), (*table)[70 * 128 - 1536]);
    rig.Render(1);
    rig.Render(1);
    EXPECT_EQ(e.Modulation().Bend(), -1.0);
    EXPECT_EQ(increment(0), (*table)[70 * 128 - 256 - 1536]);
}

TEST(PitchOffset, BendRangeAndTuneAddUpAndHoldAtTheTableEnds) {
    EngineRig rig;
    rig.Set(ParamId::kPitchBend, 12.0);
    rig.Set(ParamId::kTotalTune, 1.0);
    rig.engine->NoteOn(127, 127);
    rig.Midi(0, 0xE0, 127, 127); // 8191/8192 of 12 semitones, plus one
    rig.Render(256);
    const auto table = PhaseIncrementTable::ForSampleRate(44100.0);
    EXPECT_EQ(rig.engine->LastPitchOffset(), 1663);
    EXPECT_EQ(rig.engine->VoiceAt(0).Master().Increment(), (*table)[127 * 128 + 1663 - 1536]);

    rig.Set(ParamId::kTotalTune, -1.0);
    rig.Midi(0, 0xE0, 0, 0);
    rig.Render(256);
    rig.engine->NoteOn(0, 127);
    EXPECT_EQ(rig.engine->LastPitchOffset(), -13 * 128);
    EXPECT_EQ(rig.engine->VoiceAt(1).Master().Increment(), (*table)[0]);
    rig.RenderLong(4410);
    EXPECT_TRUE(enginetest::AllFinite(rig.out));
}

TEST(Reset, OnlyANewRateRebuilds) {
    EngineRig rig;
    Engine& e = *rig.engine;
    e.NoteOn(60, 100);
    rig.Midi(0, 0xE0, 0, 0);
    rig.Render(64);
    e.Reset(44100.0); // same rate: nothing changes
    EXPECT_TRUE(e.VoiceAt(0).Active());
    EXPECT_EQ(e.Modulation().Bend(), -1.0);

    const uint32_t phase = e.VoiceAt(0).Master().Phase();
    e.Reset(48000.0);
    const Voice& v = e.VoiceAt(0);
    EXPECT_FALSE(v.Active());
    EXPECT_FALSE(v.KeyHeld());
    EXPECT_EQ(v.Note(), 48);
    EXPECT_EQ(v.Pitch(), 6144);
    EXPECT_EQ(v.Velocity(), 0.0);
    EXPECT_EQ(v.VcaEnvelope().Stage(), Envelope::kIdle);
    EXPECT_EQ(v.VcaEnvelope().Value(), 0.0);
    EXPECT_DOUBLE_EQ(v.VcaEnvelope().TimeBase(), Envelope::kLn10 / 48000.0);
    EXPECT_EQ(v.Master().Phase(), phase) << "phases are never reset";
    EXPECT_EQ(e.Modulation().Bend(), 0.0);
    EXPECT_EQ(e.ControlLength(), 48);
    EXPECT_EQ(v.Vcf().CurrentCutoff(), 17280) << "an idle voice's cutoff sits at its target";
}

TEST(Reset, ARateChangeWhilePlayingKeepsTheSound) {
    EngineRig rig;
    rig.Set(ParamId::kOutputStrings, 1.0);
    rig.Set(ParamId::kEns1Amount, 0.1);
    rig.Set(ParamId::kStringsBowingTone, 1.0);
    rig.engine->Reset(96000.0);
    EXPECT_DOUBLE_EQ(rig.engine->Bow().CentreHz(), 3000.0);
    rig.engine->NoteOn(60, 100);
    const auto all = rig.RenderLong(9600);
    // The filter did not start closed: a full-cutoff saw is loud at once.
    EXPECT_GT(enginetest::Peak(all[2], 400, 9600), 0.1);
}

TEST(Mapping, VoiceQuantities) {
    EngineRig rig;
    Engine& e = *rig.engine;
    const Voice& v = e.VoiceAt(37); // all 64 voices get every change
    rig.Set(ParamId::kDetuneBrass, -0.5);
    EXPECT_EQ(v.BrassOscillator().Detune(), -224);
    EXPECT_TRUE(v.BrassOwnOscillator());
    rig.Set(ParamId::kDetuneBrass, 1.0);
    EXPECT_EQ(v.BrassOscillator().Detune(), 896);
    rig.Set(ParamId::kDetuneStrings, 0.005); // 0.0224 units: truncated to 0
    EXPECT_EQ(v.StringsOscillator().Detune(), 0);
    EXPECT_FALSE(v.StringsOwnOscillator());
    EXPECT_TRUE(e.StringsDetuned()) << "the global flag only asks for a non-zero value";
    rig.Set(ParamId::kVco2Detune, -0.005);
    EXPECT_EQ(v.Vco2().Detune(), 0);
    rig.Set(ParamId::kVco2Detune, 1.0);
    EXPECT_EQ(v.Vco2().Detune(), 128);
    rig.Set(ParamId::kVcfKbfTrack, 3.0);
    EXPECT_EQ(v.KeyTrack(), 128.0);
    rig.Set(ParamId::kVcfKbfTrack, 4.0);
    EXPECT_EQ(v.KeyTrack(), 192.0);
    rig.Set(ParamId::kVcaAttenuator, -10.0);
    EXPECT_NEAR(v.AttenuatorGain(), 0.31622776601683794, 1e-15);
    rig.Set(ParamId::kVcaAttenuator, 0.0);
    EXPECT_EQ(v.AttenuatorGain(), 1.0);
    rig.Set(ParamId::kVco1Pw, 0.25);
    EXPECT_EQ(v.Master().Width(), 0.75);
    rig.Set(ParamId::kVco1Wave, 2.0);
    EXPECT_TRUE(v.Master().Pwm());
    rig.Set(ParamId::kVco2Octave, 0.0);
    EXPECT_FALSE(v.Vco2On());
    rig.Set(ParamId::kVco2Octave, 3.0);
    EXPECT_TRUE(v.Vco2On());
    rig.Set(ParamId::kVcfCutoff, 0.5);
    EXPECT_EQ(v.Vcf().TargetCutoff(), 8640);
}

TEST(Mapping, GlobalQuantities) {
    EngineRig rig;
    Engine& e = *rig.engine;
    for (std::pair<double, int> c : {std::make_pair(0.0, 1), std::make_pair(1.0, 3),
                                     std::make_pair(2.0, 5), std::make_pair(3.0, 7)}) {
        rig.Set(ParamId::kBrassSilentNotes, c.first);
        EXPECT_EQ(e.SilentThreshold(), c.second);
    }
    rig.Set(ParamId::kStringsBowing, 0.0);
    EXPECT_FALSE(e.Mix().BowingOn());
    rig.Set(ParamId::kStringsBowing, 1.0);
    EXPECT_TRUE(e.Mix().BowingOn());
    rig.Set(ParamId::kStringsVibrato, 0.0);
    EXPECT_TRUE(e.Mix().StringsVibratoOn());
    rig.Set(ParamId::kStringsVibrato, 1.0);
    EXPECT_FALSE(e.Mix().StringsVibratoOn());
    rig.Set(ParamId::kKeyAssign, 0.49);
    EXPECT_FALSE(e.KeyAssignOne());
    rig.Set(ParamId::kSplitKey, 72.0);
    EXPECT_EQ(e.SplitKey(), 72);

    // The editor's indicators are told of every setting of these three.
    e.TakeIndicatorChange();
    rig.Set(ParamId::kSplitKey, 60.0);
    EXPECT_FALSE(e.TakeIndicatorChange());
    rig.Set(ParamId::kTridentMode, 0.0);
    EXPECT_TRUE(e.TakeIndicatorChange());
    EXPECT_FALSE(e.Trident() || e.BrassDetuned() || e.StringsDetuned());
    rig.Set(ParamId::kDetuneBrass, 0.3);
    EXPECT_TRUE(e.TakeIndicatorChange());
    EXPECT_TRUE(e.BrassDetuned());
    EXPECT_FALSE(e.TakeIndicatorChange()) << "taken once";
    rig.Set(ParamId::kDetuneStrings, 0.0);
    EXPECT_TRUE(e.TakeIndicatorChange());
}

TEST(Mapping, ValuesThatAreNotNumbersChangeNothing) {
    EngineRig rig;
    Engine& e = *rig.engine;
    e.NoteOn(60, 100);
    for (double bad : {kNaN, kInf, -kInf}) {
        for (int i = 0; i < kNumParams; ++i)
            rig.Set(i, bad);
        rig.Set(-1, 0.0);
        rig.Set(kNumParams, 0.0);
    }
    EXPECT_EQ(e.VoiceCount(), 8);
    EXPECT_EQ(e.HeldCount(), 1) << "Trident was not re-applied";
    EXPECT_EQ(e.VoiceAt(0).Vcf().TargetCutoff(), 17280);
    EXPECT_EQ(e.Mix().OutputGain(), 1.0);
    rig.Render(4410);
    EXPECT_TRUE(enginetest::AllFinite(rig.out));
    EXPECT_GT(enginetest::Peak(rig.out[0]), 0.0);
}

TEST(Mapping, CutoffGlidesWhileAVoiceSoundsAndJumpsOtherwise) {
    EngineRig rig;
    Engine& e = *rig.engine;
    e.NoteOn(60, 100);
    rig.Render(64);
    rig.Set(ParamId::kVcfCutoff, 0.5);
    EXPECT_EQ(e.VoiceAt(0).Vcf().GlideStep(), -1);
    EXPECT_EQ(e.VoiceAt(1).Vcf().CurrentCutoff(), 8640);
    rig.Render(100);
    EXPECT_EQ(e.VoiceAt(0).Vcf().CurrentCutoff(), 17280 - 100);
}

} // namespace

} // namespace halvane
