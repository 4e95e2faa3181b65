// Note handling: key assignment, polyphony, the keyboard split, sustain, the
// section key counters, auto damp and the brass trigger rules.

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace halvane {

using enginetest::EngineRig;

namespace {

int VoiceWithNote(const Engine& e, int note) {
    for (int v = 0; v < Engine::kMaxVoices; ++v)
        if (e.VoiceAt(v).Active() && e.VoiceAt(v).Note() == note)
            return v;
    return -1;
}

// A rig with all 64 voices and the given sections switched on.
EngineRig FullRig(bool brass = false, bool strings = false) {
    EngineRig rig;
    rig.Set(ParamId::kTridentMode, 0.0);
    rig.Set(ParamId::kOutputBrass, brass ? 1.0 : 0.0);
    rig.Set(ParamId::kOutputStrings, strings ? 1.0 : 0.0);
    return rig;
}

TEST(KeyAssignOne, SameNoteReturnsToItsVoiceEvenInRelease) {
    EngineRig rig = FullRig();
    rig.Set(ParamId::kVcaRelease, 0.6); // a long tail, so the voice is still releasing
    Engine& e = *rig.engine;
    e.NoteOn(60, 100);
    rig.Render(441);
    e.NoteOff(60);
    rig.Render(441);
    e.NoteOn(62, 100);
    ASSERT_EQ(VoiceWithNote(e, 62), 1) << "voice 0 is still sounding its release";
    const Voice& v0 = e.VoiceAt(0);
    ASSERT_TRUE(v0.Active());
    ASSERT_EQ(v0.VcaEnvelope().Stage(), Envelope::kRelease);
    const double before = v0.VcaEnvelope().Value();

    e.NoteOn(60, 100);
    EXPECT_EQ(VoiceWithNote(e, 60), 0);
    EXPECT_EQ(v0.StartOrder(), 3);
    // Attack from where the release had got to: one step (the start's control
    // update) of the zero-attack curve, 199.53 per second, towards 10/9.
    const double c = 199.52623149688796 * Envelope::kLn10 / 44100.0;
    EXPECT_EQ(v0.VcaEnvelope().Stage(), Envelope::kAttack);
    EXPECT_NEAR(v0.VcaEnvelope().Value(), before + (10.0 / 9.0 - before) * c, 1e-12);
}

TEST(KeyAssignOne, TheSixtyFifthKeyTakesTheOldestVoice) {
    EngineRig rig = FullRig();
    Engine& e = *rig.engine;
    for (int k = 0; k < 64; ++k)
        e.NoteOn(60 + k, 100);
    for (int k = 0; k < 64; ++k)
        ASSERT_EQ(VoiceWithNote(e, 60 + k), k);
    e.NoteOn(124, 100);
    EXPECT_EQ(VoiceWithNote(e, 124), 0);
    EXPECT_EQ(VoiceWithNote(e, 60), -1);
    e.NoteOn(125, 100);
    EXPECT_EQ(VoiceWithNote(e, 125), 1);
    EXPECT_EQ(e.HeldCount(), 66);
    EXPECT_EQ(e.StartCounter(), 66);
}

TEST(KeyAssignTwo, VoiceFollowsTheNumberOfKeysHeld) {
    EngineRig rig = FullRig();
    rig.Set(ParamId::kKeyAssign, 0.0); // "2"
    Engine& e = *rig.engine;
    e.NoteOn(60, 100);
    e.NoteOn(64, 100);
    e.NoteOn(67, 100);
    EXPECT_EQ(VoiceWithNote(e, 60), 0);
    EXPECT_EQ(VoiceWithNote(e, 64), 1);
    EXPECT_EQ(VoiceWithNote(e, 67), 2);
    e.NoteOff(64);
    // Two keys held: voice 2, although it is busy with 67.
    e.NoteOn(72, 100);
    EXPECT_EQ(VoiceWithNote(e, 72), 2);
    EXPECT_EQ(VoiceWithNote(e, 67), -1);

    // With 8 voices the count wraps: the ninth held key takes voice 0.
    rig.Set(ParamId::kTridentMode, 1.0);
    for (int k = 0; k < 8; ++k)
        e.NoteOn(40 + k, 100);
    e.NoteOn(50, 100);
    EXPECT_EQ(VoiceWithNote(e, 50), 0);
}

TEST(TridentMode, EightVoicesOnly) {
    EngineRig rig; // the default is Trident on
    Engine& e = *rig.engine;
    ASSERT_EQ(e.VoiceCount(), 8);
    for (int k = 0; k < 9; ++k)
        e.NoteOn(60 + k, 100);
    EXPECT_EQ(rig.ActiveVoices(), 8);
    EXPECT_EQ(VoiceWithNote(e, 68), 0) << "the ninth key takes the oldest voice";
    for (int v = 8; v < Engine::kMaxVoices; ++v)
        EXPECT_FALSE(e.VoiceAt(v).Active());
    EXPECT_EQ(e.VoiceActivity(), 0x1FE);

    rig.Set(ParamId::kTridentMode, 0.0);
    EXPECT_EQ(e.VoiceCount(), 64);
    EXPECT_EQ(e.HeldCount(), 0) << "changing the mode turns every note off";
}

TEST(TridentMode, ChangingItReleasesEverythingEvenWithTheSameValue) {
    EngineRig rig;
    Engine& e = *rig.engine;
    e.NoteOn(60, 100);
    e.NoteOn(64, 100);
    rig.Render(100);
    rig.Set(ParamId::kTridentMode, 1.0);
    for (int v = 0; v < 2; ++v) {
        EXPECT_FALSE(e.VoiceAt(v).KeyHeld());
        EXPECT_EQ(e.VoiceAt(v).VcaEnvelope().Stage(), Envelope::kRelease);
        EXPECT_EQ(e.VoiceAt(v).DampGate().Stage(), Envelope::kRelease) << "forced";
    }
    rig.RenderLong(44100);
    EXPECT_EQ(rig.ActiveVoices(), 0);
}

TEST(Ranges, SplitKeyDividesTheSections) {
    EngineRig rig = FullRig(true, true);
    rig.Set(ParamId::kSplitKey, 60.0);
    rig.Set(ParamId::kRangeSynthe, 0.0);  // Lower
    rig.Set(ParamId::kRangeBrass, 1.0);   // Both
    rig.Set(ParamId::kRangeStrings, 2.0); // Upper
    Engine& e = *rig.engine;
    e.NoteOn(59, 100);
    e.NoteOn(60, 100);
    const Voice& low = e.VoiceAt(VoiceWithNote(e, 59));
    const Voice& high = e.VoiceAt(VoiceWithNote(e, 60));
    EXPECT_TRUE(low.InSection(kSectionSynthe));
    EXPECT_TRUE(low.InSection(kSectionBrass));
    EXPECT_FALSE(low.InSection(kSectionStrings));
    EXPECT_FALSE(high.InSection(kSectionSynthe));
    EXPECT_TRUE(high.InSection(kSectionBrass));
    EXPECT_TRUE(high.InSection(kSectionStrings));
    EXPECT_EQ(e.KeyCount(kSectionSynthe), 1);
    EXPECT_EQ(e.KeyCount(kSectionBrass), 2);
    EXPECT_EQ(e.KeyCount(kSectionStrings), 1);

    // A switched-off section contains no note, whatever its range.
    rig.Set(ParamId::kOutputStrings, 0.0);
    EXPECT_FALSE(e.InRange(kSectionStrings, 100));
    EXPECT_TRUE(e.InRange(kSectionBrass, 0));
}

TEST(Sustain, HoldsUntilThePedalGoesUp) {
    for (int pedal : {1, 63, 64, 127}) {
        EngineRig rig;
        Engine& e = *rig.engine;
        rig.Midi(0, 0x90, 60, 100);
        rig.Midi(10, 0xB0, 64, pedal);
        rig.Midi(20, 0x80, 60, 0);
        rig.Render(256);
        ASSERT_TRUE(e.Sustain()) << pedal;
        const Voice& v = e.VoiceAt(0);
        EXPECT_FALSE(v.KeyHeld());
        EXPECT_NE(v.VcaEnvelope().Stage(), Envelope::kRelease) << "held by the pedal " << pedal;
        rig.Midi(5, 0xB0, 64, 0);
        rig.Render(64); // less than the zero release's 216 samples
        EXPECT_FALSE(e.Sustain());
        EXPECT_EQ(v.VcaEnvelope().Stage(), Envelope::kRelease);
    }
}

TEST(Sustain, APressedKeyIsNotReleasedByThePedal) {
    EngineRig rig;
    Engine& e = *rig.engine;
    e.SetSustain(true);
    e.NoteOn(60, 100);
    e.NoteOn(62, 100);
    e.NoteOff(60);
    e.SetSustain(false);
    EXPECT_EQ(e.VoiceAt(0).VcaEnvelope().Stage(), Envelope::kRelease);
    EXPECT_TRUE(e.VoiceAt(1).KeyHeld());
    EXPECT_NE(e.VoiceAt(1).VcaEnvelope().Stage(), Envelope::kRelease);
}

TEST(NoteOff, VelocityZeroNoteOnReleases) {
    EngineRig rig;
    Engine& e = *rig.engine;
    rig.Midi(0, 0x91, 60, 100);
    rig.Midi(100, 0x91, 60, 0); // channel 2, velocity 0
    rig.Render(256);
    EXPECT_EQ(e.HeldCount(), 0);
    EXPECT_EQ(e.VoiceAt(0).VcaEnvelope().Stage(), Envelope::kRelease);
}

TEST(NoteOff, ANoteNotHeldOnlyMovesTheCountersOfItsSections) {
    EngineRig rig = FullRig(true, false);
    rig.Set(ParamId::kRangeBrass, 2.0); // Upper from 60
    Engine& e = *rig.engine;
    e.NoteOn(50, 100);
    e.NoteOn(70, 100);
    ASSERT_EQ(e.KeyCount(kSectionSynthe), 2);
    ASSERT_EQ(e.KeyCount(kSectionBrass), 1);
    e.NoteOff(40); // never played; below the brass range
    EXPECT_EQ(e.KeyCount(kSectionSynthe), 1);
    EXPECT_EQ(e.KeyCount(kSectionBrass), 1);
    EXPECT_EQ(e.HeldCount(), 2);
    EXPECT_EQ(e.HeldKey(0), 50);
    EXPECT_EQ(e.HeldKey(1), 70);
    EXPECT_EQ(e.HeldKey(2), Engine::kVacantKey);
    EXPECT_TRUE(e.VoiceAt(0).KeyHeld());
    EXPECT_TRUE(e.VoiceAt(1).KeyHeld());

    // The next note-on with no key held clears the counters again.
    e.NoteOff(50);
    e.NoteOff(70);
    EXPECT_EQ(e.KeyCount(kSectionSynthe), -1);
    e.NoteOn(72, 100);
    EXPECT_EQ(e.KeyCount(kSectionSynthe), 1);
    EXPECT_EQ(e.KeyCount(kSectionBrass), 1);
}

TEST(HeldKeys, SortedWithoutDuplicates) {
    EngineRig rig = FullRig();
    Engine& e = *rig.engine;
    for (int note : {67, 60, 64, 60, 72})
        e.NoteOn(note, 100);
    ASSERT_EQ(e.HeldCount(), 4);
    const int expected[] = {60, 64, 67, 72};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(e.HeldKey(k), expected[k]);
    EXPECT_EQ(e.KeyCount(kSectionSynthe), 5) << "every note-on counts, also a repeated key";
    e.NoteOff(64);
    EXPECT_EQ(e.HeldKey(1), 67);
    EXPECT_EQ(e.HeldKey(3), Engine::kVacantKey);
}

TEST(AutoDamp, ANewPhraseCutsTheOtherTails) {
    for (bool damp : {false, true}) {
        EngineRig rig;
        rig.Set(ParamId::kVcaRelease, 0.7);
        rig.Set(ParamId::kVcaAutoDamp, damp ? 1.0 : 0.0);
        Engine& e = *rig.engine;
        e.NoteOn(60, 100);
        rig.Render(441);
        e.NoteOff(60);
        rig.Render(441);
        e.NoteOn(64, 100);
        const Voice& old = e.VoiceAt(0);
        EXPECT_EQ(old.DampGate().Stage(), damp ? Envelope::kRelease : Envelope::kDecay);
        EXPECT_EQ(e.VoiceAt(1).DampGate().Stage(), Envelope::kAttack);
        // The damp gate closes in about 5.6 ms, long before the 0.7 release.
        rig.Render(441);
        const double tail = enginetest::Peak(rig.out[2]);
        if (damp) {
            EXPECT_LT(old.DampGate().Value(), 1e-3);
        }
        EXPECT_TRUE(old.Active());
        EXPECT_GT(tail, 0.0);
    }
}

TEST(AutoDamp, FortyControlBlocksAfterKeyUpWhileOthersAreHeld) {
    EngineRig rig;
    Engine& e = *rig.engine;
    rig.Set(ParamId::kVcaRelease, 0.7);
    e.NoteOn(60, 100);
    e.NoteOn(64, 100);
    rig.Render(44 * 5);
    e.NoteOff(60);
    rig.Render(44 * 39);
    EXPECT_EQ(e.VoiceAt(0).DampCountdown(), 1);
    EXPECT_EQ(e.VoiceAt(0).DampGate().Stage(), Envelope::kDecay);
    rig.Render(44);
    EXPECT_EQ(e.VoiceAt(0).DampGate().Stage(), Envelope::kRelease);

    // The last key up: its gates stay open and the VCA release shapes the end.
    e.NoteOff(64);
    rig.Render(44 * 41);
    EXPECT_EQ(e.VoiceAt(1).DampGate().Stage(), Envelope::kDecay);
    EXPECT_EQ(e.VoiceAt(1).VcaEnvelope().Stage(), Envelope::kRelease);
}

class BrassTrigger : public ::testing::Test {
protected:
    void SetUp() override {
        rig.Set(ParamId::kTridentMode, 0.0);
        rig.Set(ParamId::kOutputSynthe, 0.0); // brass alone: a voice lives by its brass gate
        rig.Set(ParamId::kOutputBrass, 1.0);
        rig.Set(ParamId::kBrassAttack, 0.0);
        rig.Set(ParamId::kBrassSustain, 0.5);
    }
    const Envelope& Env() const { return rig.engine->Brass().Env(); }
    // Renders until the brass envelope has left its attack.
    void Settle() { rig.Render(4410); }

    EngineRig rig;
};

TEST_F(BrassTrigger, MultiTriggerRetriggersOnEveryKey) {
    rig.Set(ParamId::kBrassMultiTrigger, 1.0);
    Engine& e = *rig.engine;
    e.NoteOn(60, 100);
    EXPECT_EQ(Env().Stage(), Envelope::kAttack);
    Settle();
    ASSERT_EQ(Env().Stage(), Envelope::kDecay);
    e.NoteOn(64, 100);
    EXPECT_EQ(Env().Stage(), Envelope::kAttack);
}

TEST_F(BrassTrigger, SingleTriggeringKeepsOneRunForLegato) {
    Engine& e = *rig.engine;
    e.NoteOn(60, 100);
    Settle();
    e.NoteOn(62, 100);
    EXPECT_EQ(Env().Stage(), Envelope::kDecay) << "legato: no retrigger";
    EXPECT_FALSE(e.VoiceAt(1).BrassSilent());
    e.NoteOff(60);
    EXPECT_EQ(Env().Stage(), Envelope::kDecay) << "a key is still held";
    e.NoteOff(62);
    EXPECT_EQ(Env().Stage(), Envelope::kRelease);
    e.NoteOn(64, 100);
    EXPECT_EQ(Env().Stage(), Envelope::kAttack);
}

TEST_F(BrassTrigger, TriggerSelectLeavesTheFirstKeysSilent) {
    struct Case {
        double index;
        int silent;
    };
    for (Case c : {Case{0.0, 1}, Case{1.0, 3}}) { // "2" and "4"
        EngineRig local;
        local.Set(ParamId::kTridentMode, 0.0);
        local.Set(ParamId::kOutputSynthe, 0.0);
        local.Set(ParamId::kOutputBrass, 1.0);
        local.Set(ParamId::kBrassTriggerSelect, 1.0);
        local.Set(ParamId::kBrassSilentNotes, c.index);
        Engine& e = *local.engine;
        for (int k = 0; k < c.silent; ++k) {
            e.NoteOn(60 + k, 100);
            local.Render(441);
            ASSERT_FALSE(e.Brass().EnvelopeRunning()) << c.silent << " key " << k;
            ASSERT_TRUE(e.VoiceAt(k).BrassSilent());
            ASSERT_TRUE(e.VoiceAt(k).Active()) << "a silent voice stays alive";
        }
        EXPECT_EQ(enginetest::Peak(local.out[0]), 0.0) << "nothing sounds yet";
        e.NoteOn(60 + c.silent, 100);
        EXPECT_EQ(e.Brass().Env().Stage(), Envelope::kAttack);
        local.Render(441);
        for (int k = 0; k <= c.silent; ++k) {
            EXPECT_FALSE(e.VoiceAt(k).BrassSilent());
            EXPECT_TRUE(e.VoiceAt(k).Active());
        }
        EXPECT_GT(enginetest::Peak(local.out[4]), 0.0);
    }
}

TEST_F(BrassTrigger, ASilentKeyReleasedBeforeTheTriggerFallsSilent) {
    rig.Set(ParamId::kBrassTriggerSelect, 1.0);
    rig.Set(ParamId::kBrassSilentNotes, 1.0);
    Engine& e = *rig.engine;
    e.NoteOn(60, 100);
    rig.Render(441);
    e.NoteOff(60);
    rig.Render(44);
    EXPECT_FALSE(e.VoiceAt(0).Active());
}

TEST_F(BrassTrigger, VelocityFactorFollowsTheLastBrassNote) {
    rig.Set(ParamId::kVelocityBrassVcf, 0.5);
    rig.Set(ParamId::kBrassEgIntensity, 1000.0);
    Engine& e = *rig.engine;
    e.NoteOn(60, 64);
    const double factor = (64.0 / 127.0 - 1.0) * 0.5 + 1.0;
    EXPECT_DOUBLE_EQ(e.Brass().VelocityFactor(), factor);
    rig.Render(44);
    EXPECT_DOUBLE_EQ(e.Brass().ModulationDepth(), factor * 1000.0);
    rig.Set(ParamId::kVelocityBrassVcf, 0.0);
    e.NoteOn(62, 10);
    EXPECT_DOUBLE_EQ(e.Brass().VelocityFactor(), 1.0);
}

TEST(Bowing, FirstStringsKeyOfAPhraseTriggersAndTheLastReleases) {
    EngineRig rig;
    rig.Set(ParamId::kOutputStrings, 1.0);
    rig.Set(ParamId::kStringsBowing, 1.0); // the entry shown "Off" applies the bowing
    Engine& e = *rig.engine;
    e.NoteOn(60, 100);
    EXPECT_EQ(e.Bow().Env().Stage(), Envelope::kAttack);
    rig.Render(441);
    const double value = e.Bow().Env().Value();
    e.NoteOn(64, 100);
    EXPECT_EQ(e.Bow().Env().Value(), value) << "legato keys do not retrigger";
    e.NoteOff(60);
    EXPECT_NE(e.Bow().Env().Stage(), Envelope::kRelease);
    e.NoteOff(64);
    EXPECT_EQ(e.Bow().Env().Stage(), Envelope::kRelease);

    rig.Set(ParamId::kStringsBowing, 0.0);
    rig.RenderLong(4410);
    e.NoteOn(67, 100);
    EXPECT_NE(e.Bow().Env().Stage(), Envelope::kAttack)
        << "bowing at its first entry is not applied";
}

TEST(AllVoicesOff, ReleasesEverythingButKeepsCountersAndPedal) {
    EngineRig rig;
    Engine& e = *rig.engine;
    e.SetSustain(true);
    e.NoteOn(60, 100);
    e.NoteOn(64, 100);
    e.AllVoicesOff();
    EXPECT_EQ(e.HeldCount(), 0);
    EXPECT_EQ(e.KeyCount(kSectionSynthe), 2);
    EXPECT_TRUE(e.Sustain());
    for (int v = 0; v < 2; ++v) {
        EXPECT_FALSE(e.VoiceAt(v).Sustained());
        EXPECT_EQ(e.VoiceAt(v).VcaEnvelope().Stage(), Envelope::kRelease);
        EXPECT_EQ(e.VoiceAt(v).DampGate().Stage(), Envelope::kRelease);
    }
}

TEST(NoteOn, WithoutAVoiceCountNothingPlays) {
    Engine e; // no parameters applied: no voices take part yet
    e.Reset(44100.0);
    e.NoteOn(60, 100);
    EXPECT_EQ(e.HeldCount(), 0);
    EXPECT_FALSE(e.VoiceAt(0).Active());
}

} // namespace

} // namespace halvane
