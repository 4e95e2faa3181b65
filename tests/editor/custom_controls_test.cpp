// The instrument's own controls: program display and menu, previous and next,
// the two-picture buttons, the learn switch, the split key and the voice
// schedule, through the offscreen editor.

#include <gtest/gtest.h>

#include "editor/IZuButtonKick.h"
#include "editor/IZuKeyControl.h"
#include "editor/IZuSwitchMidiLearn.h"
#include "editor/IZuVoiceDebugger.h"
#include "sound/ParamIds.h"
#include "support/EditorFixture.h"

namespace halvane {

using namespace editortest;

namespace {

std::string Name(int note) {
    char text[16];
    IZuKeyControl::FieldText(note, text, sizeof(text));
    return text;
}

} // namespace

TEST_F(EditorTest, PreviousAndNextWrapAroundTheProgramList) {
    IControl* previous = Row(kPreviousRow);
    IControl* next = Row(kNextRow);
    ASSERT_EQ(previous->ParamIdx(), -94);
    ASSERT_EQ(next->ParamIdx(), -95);
    plug->SelectProgram(0);
    // An edit of program 0, kept when the button leaves it.
    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kVcfResonance, 0.77f);
    ui->MouseDown(Cx(previous), Cy(previous), IMouseMod(true));
    EXPECT_EQ(dynamic_cast<IBitmapControl*>(previous)->Frame(), 2) << "pressed while held";
    EXPECT_EQ(plug->CurrentProgram(), 0) << "the program changes on release";
    ui->MouseUp(Cx(previous), Cy(previous), IMouseMod(true));
    EXPECT_EQ(plug->CurrentProgram(), 63);
    EXPECT_EQ(dynamic_cast<IBitmapControl*>(previous)->Frame(), 1);
    ui->Click(Cx(next), Cy(next));
    EXPECT_EQ(plug->CurrentProgram(), 0);
    EXPECT_NEAR(Normalized(ParamId::kVcfResonance), 0.77, 1e-6) << "the edit of program 0 was kept";
    ui->Click(Cx(next), Cy(next));
    EXPECT_EQ(plug->CurrentProgram(), 1);
    EXPECT_TRUE(TakeGestures().size() >= size_t(kNumParams)) << "the host hears the new values";
}

TEST_F(EditorTest, ButtonTogglesOnThePressAndTheHostSeesTheWholeGesture) {
    auto* button = dynamic_cast<IZuButtonKick*>(ControlOf(ParamId::kBrass16));
    ASSERT_NE(button, nullptr);
    const double start = Value(ParamId::kBrass16);
    TakeGestures();
    ui->MouseDown(Cx(button), Cy(button), IMouseMod(true));
    EXPECT_NE(Value(ParamId::kBrass16), start) << "toggled on the press";
    EXPECT_TRUE(button->IsPressed());
    EXPECT_EQ(button->IsOn(), Value(ParamId::kBrass16) >= 0.5)
        << "the picture follows the parameter";
    ui->MouseUp(Cx(button), Cy(button), IMouseMod(true));
    EXPECT_FALSE(button->IsPressed());
    EXPECT_NE(Value(ParamId::kBrass16), start) << "the release keeps the new state";
    EXPECT_EQ(TakeGestures(), (std::vector<Gesture>{{'B', ParamId::kBrass16},
                                                    {'A', ParamId::kBrass16},
                                                    {'A', ParamId::kBrass16},
                                                    {'A', ParamId::kBrass16},
                                                    {'E', ParamId::kBrass16}}));
    // A double click toggles twice.
    ui->Click(Cx(button), Cy(button));
    ui->DoubleClick(Cx(button), Cy(button), IMouseMod(true));
    ui->MouseUp(Cx(button), Cy(button), IMouseMod(true));
    EXPECT_NE(Value(ParamId::kBrass16), start);
    EXPECT_EQ(button->GetValue(), Normalized(ParamId::kBrass16));
}

TEST_F(EditorTest, LearnSwitchPicturesAndLearnState) {
    auto* learn = dynamic_cast<IZuSwitchMidiLearn*>(Row(kLearnRow));
    ASSERT_NE(learn, nullptr);
    ASSERT_EQ(learn->ParamIdx(), -97);
    ui->Click(Cx(learn), Cy(learn), IMouseMod(true));
    EXPECT_TRUE(plug->LearnActive());
    EXPECT_FALSE(plug->UnlearnMode());
    EXPECT_FALSE(learn->ShowsUnlearn());
    EXPECT_EQ(learn->Frame(), 2);
    EXPECT_TRUE(TakeGestures().empty()) << "the switch is no parameter of the host's";

    // Right click while learning: the unlearn picture, and learning stops.
    ui->Click(Cx(learn), Cy(learn), IMouseMod(false, true));
    EXPECT_TRUE(learn->ShowsUnlearn());
    EXPECT_DOUBLE_EQ(learn->GetValue(), 0.0);
    EXPECT_FALSE(plug->LearnActive());
    EXPECT_TRUE(plug->UnlearnMode());

    // Learning a controller turns the switch off.
    ui->Click(Cx(learn), Cy(learn), IMouseMod(true));
    ASSERT_TRUE(plug->LearnActive());
    plug->HandleMidiMessage(MidiEvent{0, 0xB0, 74, 10});
    IControl* cutoff = ControlOf(ParamId::kVcfCutoff);
    ui->Drag(Cx(cutoff), Cy(cutoff), Cx(cutoff), Cy(cutoff) + 8);
    EXPECT_EQ(plug->ControllerMap()[74], ParamId::kVcfCutoff);
    EXPECT_FALSE(plug->LearnActive());
    EXPECT_DOUBLE_EQ(learn->GetValue(), 0.0);
    EXPECT_EQ(learn->Frame(), 1);
}

TEST_F(EditorTest, SplitKeyShowsNoteNamesAndOffersEveryNote) {
    EXPECT_EQ(Name(60), "C3");
    EXPECT_EQ(Name(22), "A#-1");
    EXPECT_EQ(Name(0), "C-2");
    EXPECT_EQ(Name(127), "G8");
    EXPECT_EQ(Name(128), "Off");

    auto* key = dynamic_cast<IZuKeyControl*>(ControlOf(ParamId::kSplitKey));
    ASSERT_NE(key, nullptr);
    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kSplitKey, float(60.0 / 127.0));
    EXPECT_DOUBLE_EQ(key->Note(), 60.0);

    TakeGestures();
    ui->menuAnswers.push_back({10, 7});
    ui->Click(Cx(key), Cy(key));
    ASSERT_EQ(ui->menus.size(), 1u);
    const auto& shown = ui->menus[0];
    EXPECT_EQ(shown.x, 130);
    EXPECT_EQ(shown.y, 258) << "below the field";
    ASSERT_EQ(shown.menu.items.size(), 11u);
    EXPECT_EQ(shown.menu.items[0].text, "C-2 - B-2");
    EXPECT_EQ(shown.menu.items[9].text, "C7 - B7");
    EXPECT_EQ(shown.menu.items[10].text, "C8 - G8");
    ASSERT_EQ(shown.menu.items[10].items.size(), 8u);
    EXPECT_EQ(shown.menu.items[1].items[10].text, "A#-1");
    EXPECT_TRUE(shown.menu.items[5].items[0].flags & IPopupMenu::kChecked) << "C3 is checked";
    EXPECT_DOUBLE_EQ(Value(ParamId::kSplitKey), 127.0) << "G8 chosen";
    const auto gestures = TakeGestures();
    ASSERT_GE(gestures.size(), 3u);
    EXPECT_EQ(gestures.front(), (Gesture{'B', ParamId::kSplitKey}));
    EXPECT_EQ(gestures.back(), (Gesture{'E', ParamId::kSplitKey}));

    // Dismissing changes nothing; a double click opens the menu as a click does.
    ui->DoubleClick(Cx(key), Cy(key), IMouseMod(true));
    ui->MouseUp(Cx(key), Cy(key), IMouseMod(true));
    EXPECT_EQ(ui->menus.size(), 2u);
    EXPECT_DOUBLE_EQ(Value(ParamId::kSplitKey), 127.0);
}

TEST_F(EditorTest, ProgramDisplayMenuAndRename) {
    IControl* display = Row(kProgramDisplayRow);
    plug->SelectProgram(33);
    ui->menuAnswers.push_back({2, 0});
    ui->Click(465, 320);
    ASSERT_EQ(ui->menus.size(), 1u);
    const auto& menu = ui->menus[0].menu;
    EXPECT_EQ(ui->menus[0].x, 458);
    EXPECT_EQ(ui->menus[0].y, 332);
    ASSERT_EQ(menu.items.size(), 4u);
    EXPECT_EQ(menu.items[2].text, "32 - 47");
    EXPECT_EQ(menu.items[2].items[0].text, std::string("32: ") + plug->ProgramName(32));
    EXPECT_TRUE(menu.items[2].items[1].flags & IPopupMenu::kChecked);
    EXPECT_EQ(plug->CurrentProgram(), 32);

    // A long name: the entry delivers 31 characters, the menu item shows 27 of them.
    const std::string typed = "A name much longer than twenty-seven";
    ui->textAnswers.push_back(typed);
    ui->Click(600, 320);
    ASSERT_EQ(ui->textEntries.size(), 1u);
    EXPECT_EQ(ui->textEntries[0].rect, IRect(512, 316, 712, 332));
    EXPECT_EQ(ui->textEntries[0].paramIndex, -1);
    ui->Tick();
    EXPECT_EQ(std::string(plug->ProgramName(32)), typed.substr(0, 31));
    EXPECT_GE(shelltest::Log().Count(vst::audioMasterUpdateDisplay), 1);
    EXPECT_TRUE(display->NeedsRedraw());
    ui->Click(465, 320);
    EXPECT_EQ(ui->menus.back().menu.items[2].items[0].text, "32: " + typed.substr(0, 27));
}

TEST_F(EditorTest, VoiceScheduleShowsVoicesFromTheIdleCalls) {
    auto* schedule = dynamic_cast<IZuVoiceDebugger*>(Row(kVoiceScheduleRow));
    ASSERT_NE(schedule, nullptr);
    EXPECT_TRUE(schedule->IsHidden()) << "hidden at start";
    schedule->SetMask((1 << 8) | 1); // voices 0 and 9
    std::vector<bool> lit;
    for (int k = 0; k < IZuVoiceDebugger::kCells; ++k)
        lit.push_back(schedule->CellLit(k));
    EXPECT_EQ(lit,
              (std::vector<bool>{true, false, false, false, false, false, false, false, true}));

    // Notes sounding, then the idle call with the display shown.
    plug->SetSampleRate(44100.0);
    plug->ResetEngine();
    plug->Activate(true);
    for (int n = 0; n < 10; ++n)
        plug->HandleMidiMessage(MidiEvent{0, 0x90, uint8_t(48 + n), 100});
    std::vector<double> left(256), right(256);
    std::vector<double*> outs(8, left.data());
    plug->RenderBlock(nullptr, outs.data(), 256);
    ASSERT_NE(plug->GetEngine().VoiceActivity(), 0);
    plug->Idle();
    EXPECT_EQ(schedule->Mask(), (1 << 8) | 1) << "not fed while hidden";

    ui->menuAnswers.push_back({14});
    ui->Click(Cx(Row(kOptionMenuRow)), Cy(Row(kOptionMenuRow)));
    EXPECT_FALSE(schedule->IsHidden()) << "Show Voice Schedule";
    plug->Idle();
    EXPECT_EQ(schedule->Mask(), plug->GetEngine().VoiceActivity());
    gui->CloseWindow();
    plug->HandleMidiMessage(MidiEvent{0, 0xB0, 123, 0});
    plug->Idle();
    EXPECT_NE(schedule->Mask(), 0) << "not fed while the window is closed";
}

} // namespace halvane
