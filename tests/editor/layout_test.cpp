// The panel as built by the instrument: the control table bound to the
// parameters, the indicators, the redraw of what changed, the option menu,
// text entry and the dialogs the shell reaches through the editor.

#include <gtest/gtest.h>

#include <map>

#include "editor/IBitmapControl.h"
#include "editor/IZuVoiceDebugger.h"
#include "editor/LayoutTable.h"
#include "sound/ParamIds.h"
#include "support/EditorFixture.h"

namespace halvane {

using namespace editortest;

TEST_F(EditorTest, EveryPanelParameterHasExactlyOneControl) {
    EXPECT_EQ(gui->Width(), 988);
    EXPECT_EQ(gui->Height(), 696);
    ASSERT_EQ(gui->NControls(), 1 + layout::kControlCount);
    EXPECT_EQ(gui->GetControl(0)->GetRect(), IRect(0, 0, 988, 696)) << "the background first";
    std::map<int, int> controls;
    for (int i = 0; i < gui->NControls(); ++i)
        if (gui->GetControl(i)->ParamIdx() >= 0)
            ++controls[gui->GetControl(i)->ParamIdx()];
    for (const auto& entry : layout::kControls) {
        if (!entry.parameter)
            continue;
        const int index = FindParamByName(*plug, entry.parameter);
        ASSERT_GE(index, 0) << entry.parameter;
        EXPECT_EQ(controls[index], 1) << entry.parameter;
    }
    for (int unplaced : {ParamId::kVibDelayTime, ParamId::kEnsLfo1Speed, ParamId::kEnsLfo2Speed,
                         ParamId::kEns1Amount, ParamId::kEns2Amount, ParamId::kEns3Amount}) {
        EXPECT_EQ(controls.count(unplaced), 0u) << shelltest::Param(*plug, unplaced).Name();
    }
    EXPECT_EQ(controls.size(), std::size_t(kNumParams - 6));
    // Rows keep the table's places; the range switches are 30 x 14.
    EXPECT_EQ(Row(12)->GetRect(), IRect(130, 132, 160, 146));
    EXPECT_EQ(Row(97)->GetRect(), IRect(896, 608, 936, 648));
}

TEST_F(EditorTest, IndicatorsFollowTridentModeAndTheDetunes) {
    auto* polyphony = dynamic_cast<IBitmapControl*>(Row(kPolyphonyRow));
    IControl* brassLight = Row(kBrassDetuneRow);
    IControl* stringsLight = Row(kStringsDetuneRow);
    ASSERT_NE(polyphony, nullptr);
    auto set = [&](int index, const char* text) {
        double value = 0.0;
        ASSERT_TRUE(shelltest::Param(*plug, index).FindDisplayText(text, value)) << text;
        plug->GetAEffect()->setParameter(plug->GetAEffect(), index,
                                         float(shelltest::Param(*plug, index).Normalize(value)));
    };
    set(ParamId::kTridentMode, "On");
    EXPECT_EQ(polyphony->Frame(), 1);
    set(ParamId::kTridentMode, "Off");
    EXPECT_EQ(polyphony->Frame(), 2);

    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kDetuneBrass, 0.5f);
    EXPECT_TRUE(brassLight->IsHidden()) << "0 in the middle of -1..1";
    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kDetuneBrass, 0.75f);
    EXPECT_FALSE(brassLight->IsHidden());
    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kDetuneStrings, 0.5f);
    EXPECT_TRUE(stringsLight->IsHidden());
    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kDetuneStrings, 0.0f);
    EXPECT_FALSE(stringsLight->IsHidden());

    // A program with Trident Mode off, loaded while the editor shows it on.
    plug->SelectProgram(5);
    set(ParamId::kTridentMode, "Off");
    plug->SelectProgram(4);
    set(ParamId::kTridentMode, "On");
    EXPECT_EQ(polyphony->Frame(), 1);
    plug->SelectProgram(5);
    EXPECT_EQ(polyphony->Frame(), 2);
    // Clicks on the indicators do nothing.
    ui->Click(Cx(polyphony), Cy(polyphony));
    EXPECT_EQ(polyphony->Frame(), 2);
}

TEST_F(EditorTest, RedrawCoversTheChangedControlsOnce) {
    // The first tick paints everything, the second what asked for a second paint.
    ui->Tick();
    ui->Tick();
    IRect dirty;
    EXPECT_FALSE(gui->IsDirty(dirty));
    IControl* a = ControlOf(ParamId::kVcfAttack);
    IControl* b = ControlOf(ParamId::kVcfDecay);
    gui->SetParameterFromPlug(ParamId::kVcfAttack, 0.3, true);
    gui->SetParameterFromPlug(ParamId::kVcfDecay, 0.3, true);
    ASSERT_TRUE(gui->IsDirty(dirty));
    EXPECT_EQ(dirty, a->GetRect().Union(b->GetRect()));
    ui->Tick();
    EXPECT_EQ(ui->lastPaint, dirty);
    // A value from the instrument asks for one more redraw, then the panel is clean.
    EXPECT_TRUE(gui->IsDirty(dirty));
    ui->Tick();
    EXPECT_FALSE(gui->IsDirty(dirty));
    const int paints = ui->paints;
    ui->Tick();
    EXPECT_EQ(ui->paints, paints) << "nothing changed, nothing painted";
    // The same value again changes nothing.
    gui->SetParameterFromPlug(ParamId::kVcfAttack, 0.3, true);
    EXPECT_FALSE(gui->IsDirty(dirty));
    // Hiding a control repaints its place.
    Row(kBrassDetuneRow)->SetHidden(!Row(kBrassDetuneRow)->IsHidden());
    ASSERT_TRUE(gui->IsDirty(dirty));
    EXPECT_EQ(dirty, Row(kBrassDetuneRow)->GetRect());
}

TEST_F(EditorTest, OptionMenuItemsStatesAndCommands) {
    IControl* button = Row(kOptionMenuRow);
    ui->Click(620, 350);
    ASSERT_EQ(ui->menus.size(), 1u);
    EXPECT_EQ(ui->menus[0].x, 628) << "at the click's x + 8";
    EXPECT_EQ(ui->menus[0].y, button->GetRect().bottom);
    const auto& items = ui->menus[0].menu.items;
    ASSERT_EQ(items.size(), 20u);
    const char* texts[] = {"Copy Program",
                           "Paste Program",
                           "Init Program",
                           "",
                           "Load Program",
                           "Save Program",
                           "Load Bank",
                           "Save Bank",
                           "",
                           "Select Startup Bank",
                           "Load Startup Bank",
                           "Unselect Startup Bank",
                           "",
                           "Default Path for Program Files",
                           "Show Voice Schedule",
                           "Global MIDI Settings...",
                           "Reload Configuration",
                           "Save Configuration",
                           "",
                           "Go Online..."};
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(items[std::size_t(i)].text, texts[i]) << "item " << i;
    for (int separator : {3, 8, 12, 18})
        EXPECT_TRUE(items[std::size_t(separator)].flags & IPopupMenu::kSeparator);
    EXPECT_TRUE(items[1].flags & IPopupMenu::kDisabled) << "nothing copied yet";
    EXPECT_TRUE(items[10].flags & IPopupMenu::kDisabled) << "no startup bank";
    EXPECT_EQ(items[15].items[0].text, "MIDI Thru");
    EXPECT_EQ(items[15].items[1].text, "Ignore Program Change");
    EXPECT_EQ(items[19].items[0].text, "Check Online for Update");
    EXPECT_EQ(items[19].items[1].text.rfind("Visit ", 0), 0u);

    // Copy, then Paste is enabled; MIDI Thru toggles and shows checked.
    ui->menuAnswers.push_back({0});
    ui->Click(620, 350);
    ui->menuAnswers.push_back({15, 0});
    ui->Click(620, 350);
    EXPECT_TRUE(plug->MidiThru());
    ui->Click(620, 350);
    EXPECT_FALSE(ui->menus.back().menu.items[1].flags & IPopupMenu::kDisabled);
    EXPECT_TRUE(ui->menus.back().menu.items[15].items[0].flags & IPopupMenu::kChecked);

    // Init Program asks through the editor's message box; No keeps the program.
    const std::string name = plug->ProgramName(plug->CurrentProgram());
    ui->boxAnswers.push_back(ShellDialogs::BoxAnswer::kNo);
    ui->menuAnswers.push_back({2});
    ui->Click(620, 350);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].caption, "Initialize Program");
    EXPECT_EQ(plug->ProgramName(plug->CurrentProgram()), name);

    // Load Program opens the file dialog of the editor's window.
    ui->menuAnswers.push_back({4});
    ui->Click(620, 350);
    ASSERT_EQ(ui->fileDialogs.size(), 1u);
    EXPECT_EQ(ui->fileDialogs[0].extensions, "fxp");

    // The web site opens without a question.
    ui->menuAnswers.push_back({19, 1});
    ui->Click(620, 350);
    ASSERT_EQ(ui->urls.size(), 1u);
    EXPECT_EQ(ui->boxes.size(), 1u);
}

TEST_F(EditorTest, TextEntryReadsNumbersAndListTexts) {
    EXPECT_FALSE(IGraphics::TextEntryAccepts(&shelltest::Param(*plug, ParamId::kSplitKey), '.'));
    EXPECT_TRUE(IGraphics::TextEntryAccepts(&shelltest::Param(*plug, ParamId::kVcfCutoff), '.'));
    EXPECT_FALSE(IGraphics::TextEntryAccepts(&shelltest::Param(*plug, ParamId::kVcfCutoff), 'x'));
    EXPECT_TRUE(IGraphics::TextEntryAccepts(nullptr, 'x'));

    IControl* split = ControlOf(ParamId::kSplitKey);
    ui->textAnswers.push_back(std::string("4.8"));
    gui->CreateTextEntry(*split, IText(), split->GetRect(), "60", ParamId::kSplitKey);
    gui->CreateTextEntry(*split, IText(), split->GetRect(), "61", ParamId::kSplitKey);
    EXPECT_EQ(ui->textEntries.size(), 1u) << "one entry at a time";
    TakeGestures();
    ui->Tick();
    EXPECT_DOUBLE_EQ(Value(ParamId::kSplitKey), 48.0) << "the '.' was never typed";
    EXPECT_EQ(TakeGestures().front(), (Gesture{'B', ParamId::kSplitKey}));

    IControl* range = ControlOf(ParamId::kRangeSynthe);
    gui->SetParameterFromPlug(ParamId::kRangeSynthe, 1.0, true);
    ui->textAnswers.push_back(std::string("No such entry"));
    gui->CreateTextEntry(*range, IText(), range->GetRect(), "", ParamId::kRangeSynthe);
    ui->Tick();
    EXPECT_DOUBLE_EQ(Value(ParamId::kRangeSynthe), 0.0) << "an unknown text gives the first entry";

    // The wheel cancels an open entry instead of turning a control.
    IControl* knob = ControlOf(ParamId::kVcfResonance);
    const double before = knob->GetValue();
    ui->textAnswers.push_back(std::string("1"));
    gui->CreateTextEntry(*split, IText(), split->GetRect(), "", ParamId::kSplitKey);
    ui->Wheel(Cx(knob), Cy(knob), IMouseMod(), 1.0);
    ui->Tick();
    EXPECT_DOUBLE_EQ(knob->GetValue(), before);
    EXPECT_DOUBLE_EQ(Value(ParamId::kSplitKey), 48.0);
}

TEST_F(EditorTest, OpenUrlAsksAndReportsFailure) {
    ui->boxAnswers.push_back(ShellDialogs::BoxAnswer::kNo);
    EXPECT_FALSE(gui->OpenUrl("https://example.org/", "Caption", "Open it?", "Failed"));
    EXPECT_TRUE(ui->urls.empty());
    EXPECT_TRUE(gui->OpenUrl("https://example.org/", "Caption", "Open it?", "Failed"));
    EXPECT_EQ(ui->urls.size(), 1u);
    ui->online = false;
    EXPECT_FALSE(gui->OpenUrl("https://example.org/", "Caption", nullptr, "Failed"));
    ASSERT_EQ(ui->boxes.size(), 3u);
    EXPECT_EQ(ui->boxes[2].text, "Failed");
    EXPECT_EQ(ui->boxes[2].kind, ShellDialogs::BoxKind::kErrorOk);
}

} // namespace halvane
