// MIDI learn: linking and unlinking controllers and parameters, and mapped
// controllers moving their parameters.

#include <gtest/gtest.h>

#include <cmath>

#include "support/ShellTestSupport.h"

namespace halvane {

using namespace shelltest;

namespace {

class Learn : public ::testing::Test {
protected:
    void SetUp() override {
        FreshSettings();
        Log().calls.clear();
        synth = std::make_unique<TestSynth>();
    }
    void Controller(uint8_t number, uint8_t value = 64) {
        MidiEvent e;
        e.status = 0xB0;
        e.data1 = number;
        e.data2 = value;
        synth->HandleMidiMessage(e);
    }
    void Touch(int param) { synth->SetParamFromEditor(param, 0.5); }
    int32_t Entry(int controller) { return synth->ControllerMap()[controller]; }

    std::unique_ptr<TestSynth> synth;
};

TEST_F(Learn, ControllerAndParameterInEitherOrderMakeOneLink) {
    synth->LearnSwitchClicked(1.0, false);
    Controller(74);
    EXPECT_TRUE(synth->LearnActive()) << "waiting for the parameter";
    EXPECT_EQ(synth->switchOffs, 0);
    Touch(ParamId::kVcfCutoff);
    EXPECT_EQ(Entry(74), ParamId::kVcfCutoff);
    EXPECT_FALSE(synth->LearnActive());
    EXPECT_EQ(synth->switchOffs, 1) << "the switch turns off";
    EXPECT_EQ(synth->Midi().Size(), 0) << "a learned controller is not queued";

    synth->LearnSwitchClicked(1.0, false);
    Touch(ParamId::kVcfResonance);
    Touch(ParamId::kVcfCutoff); // a later parameter replaces the earlier one
    Controller(20);
    EXPECT_EQ(Entry(20), ParamId::kVcfCutoff);
    EXPECT_EQ(Entry(74), -1) << "one controller per parameter";

    synth->LearnSwitchClicked(1.0, false);
    Controller(20);
    Touch(ParamId::kVcfResonance);
    EXPECT_EQ(Entry(20), ParamId::kVcfResonance) << "one parameter per controller";
}

TEST_F(Learn, SustainAndWheelCanBeCapturedButKeepTheirMeaning) {
    synth->LearnSwitchClicked(1.0, false);
    Controller(64);
    Controller(1); // replaces 64 as the captured controller
    Controller(123);
    EXPECT_EQ(synth->allVoicesOff, 1) << "all notes off still acts while learning";
    Touch(ParamId::kTotalTune);
    EXPECT_EQ(Entry(1), ParamId::kTotalTune);
    EXPECT_EQ(Entry(64), -1);
    const double before = Param(*synth, ParamId::kTotalTune).Value();
    synth->ApplyController(1, 127);
    EXPECT_EQ(Param(*synth, ParamId::kTotalTune).Value(), before);
}

TEST_F(Learn, UnlearningRemovesWhatIsCapturedFirst) {
    synth->SetControllerMapping(74, ParamId::kVcfCutoff);
    synth->SetControllerMapping(75, ParamId::kVcfCutoff); // as a settings file may hold it
    synth->SetControllerMapping(20, ParamId::kVcfResonance);
    synth->LearnSwitchClicked(1.0, true);
    Controller(74);
    EXPECT_EQ(Entry(74), -1);
    EXPECT_EQ(Entry(75), ParamId::kVcfCutoff);
    EXPECT_EQ(Entry(20), ParamId::kVcfResonance);
    EXPECT_FALSE(synth->LearnActive());
    EXPECT_FALSE(synth->UnlearnMode());

    synth->LearnSwitchClicked(1.0, true);
    Touch(ParamId::kVcfCutoff);
    EXPECT_EQ(Entry(75), -1);
    EXPECT_EQ(Entry(20), ParamId::kVcfResonance);

    synth->LearnSwitchClicked(1.0, false);
    synth->LearnSwitchClicked(0.0, false); // a second click ends learning
    Controller(30);
    Touch(ParamId::kVcfCutoff);
    EXPECT_EQ(Entry(30), -1);
}

TEST_F(Learn, AProgramChangeReportsParameterZeroFirst) {
    synth->LearnSwitchClicked(1.0, false);
    Controller(74);
    MidiEvent program;
    program.status = 0xC0;
    program.data1 = 5;
    synth->HandleMidiMessage(program);
    EXPECT_EQ(Entry(74), ParamId::kTridentMode);
    EXPECT_FALSE(synth->LearnActive());
}

TEST_F(Learn, AResetEndsLearning) {
    synth->LearnSwitchClicked(1.0, false);
    synth->SetSampleRate(48000.0);
    synth->ResetEngine();
    EXPECT_FALSE(synth->LearnActive());
    Controller(74);
    EXPECT_EQ(synth->Midi().Size(), 1) << "an ordinary controller again";
}

TEST_F(Learn, MappedControllersSetParametersAndTellTheHostOnce) {
    synth->SetControllerMapping(74, ParamId::kVcfCutoff);
    synth->SetControllerMapping(75, ParamId::kVco1Wave);
    synth->SetControllerMapping(76, 93);
    synth->SetControllerMapping(77, -7);
    const PlugParam& cutoff = Param(*synth, ParamId::kVcfCutoff);

    synth->ApplyController(74, 0);
    EXPECT_EQ(cutoff.Value(), cutoff.Min());
    synth->ApplyController(74, 127);
    EXPECT_EQ(cutoff.Value(), cutoff.Max());
    synth->ApplyController(74, 64);
    EXPECT_DOUBLE_EQ(cutoff.Value(), std::sqrt(64.0 / 127.0)) << "shape 0.5, not rounded";
    Log().calls.clear();
    synth->changes.clear();
    synth->ApplyController(74, 64);
    EXPECT_EQ(Log().Count(vst::audioMasterAutomate), 0) << "the same value again";
    EXPECT_TRUE(synth->changes.empty());

    // 64/127 of 0..2 rounds to the entry 1; 63/127 rounds to the same entry, so
    // the host hears of the list parameter once.
    synth->ApplyController(75, 64);
    EXPECT_EQ(Param(*synth, ParamId::kVco1Wave).Value(), 1.0);
    synth->ApplyController(75, 63);
    EXPECT_EQ(Log().Count(vst::audioMasterAutomate), 1);
    EXPECT_EQ(synth->changes, std::vector<int>{ParamId::kVco1Wave});
    EXPECT_FLOAT_EQ(Log().calls.front().opt, 64.0f / 127.0f);

    const std::vector<double> before = Values(*synth);
    synth->ApplyController(76, 100);
    synth->ApplyController(77, 100);
    synth->ApplyController(120, 100);
    synth->ApplyController(-1, 100);
    EXPECT_EQ(Values(*synth), before) << "entries outside 0..92 reach no parameter";
}

} // namespace

} // namespace halvane
