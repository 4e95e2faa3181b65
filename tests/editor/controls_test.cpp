// The framework controls on the instrument's panel, driven with scripted mouse
// gestures on the offscreen editor: values, frames, gearing, clamps, wheel,
// double click, switches, click zones and the host's view of every gesture.

#include <gtest/gtest.h>

#include "editor/IKnobMultiControl.h"
#include "editor/ISwitchControl.h"
#include "editor/ISwitchFramesControl.h"
#include "sound/ParamIds.h"
#include "support/EditorFixture.h"

namespace halvane {

using namespace editortest;

namespace {

IBitmap Strip(int frames) {
    IBitmap b;
    b.frames = frames;
    return b;
}

} // namespace

TEST_F(EditorTest, KnobShowsTheFrameOfItsValue) {
    auto* knob = dynamic_cast<IKnobMultiControl*>(ControlOf(ParamId::kVcfResonance));
    ASSERT_NE(knob, nullptr);
    const int expected[][2] = {{0, 1}, {50, 33}, {100, 65}};
    for (const auto& e : expected) {
        plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kVcfResonance,
                                         float(e[0]) / 100.0f);
        EXPECT_DOUBLE_EQ(knob->GetValue(), e[0] / 100.0);
        EXPECT_EQ(knob->Frame(), e[1]) << "value " << e[0] / 100.0;
    }
    // Values outside 0..1 reaching the control stay on the strip.
    gui->SetParameterFromPlug(ParamId::kVcfResonance, -3.0, true);
    EXPECT_EQ(knob->Frame(), 1);
    gui->SetParameterFromPlug(ParamId::kVcfResonance, 7.0, true);
    EXPECT_EQ(knob->Frame(), 65);
}

TEST_F(EditorTest, KnobDragFollowsGearingAndClampsAtTheEnds) {
    IControl* knob = ControlOf(ParamId::kVcfResonance);
    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kVcfResonance, 0.25f);
    const int x = Cx(knob), y = Cy(knob);

    ui->Drag(x, y, x, y - 80);
    EXPECT_NEAR(knob->GetValue(), 0.75, 1e-12) << "80 px up on a 40 px knob, gearing 4";
    EXPECT_NEAR(Normalized(ParamId::kVcfResonance), 0.75, 0.005)
        << "the parameter follows (step 0.01)";
    auto gestures = TakeGestures();
    ASSERT_GE(gestures.size(), 3u);
    EXPECT_EQ(gestures.front(), (Gesture{'B', ParamId::kVcfResonance}));
    EXPECT_EQ(gestures.back(), (Gesture{'E', ParamId::kVcfResonance}));
    for (std::size_t i = 1; i + 1 < gestures.size(); ++i)
        EXPECT_EQ(gestures[i], (Gesture{'A', ParamId::kVcfResonance}));

    ui->Drag(x, y, x, y - 80, IMouseMod(true, false, /*shift*/ true));
    EXPECT_NEAR(knob->GetValue(), 0.80, 1e-12) << "shift gears down ten times";
    ui->Drag(x, y, x, y + 80, IMouseMod(true, false, false, /*control*/ true));
    EXPECT_NEAR(knob->GetValue(), 0.75, 1e-12) << "control as well";

    // Past the top the value stays at 1, and the way back starts at once.
    ui->MouseDown(x, y, IMouseMod(true));
    ui->MouseMove(x, y - 400, IMouseMod(true));
    EXPECT_DOUBLE_EQ(knob->GetValue(), 1.0);
    EXPECT_DOUBLE_EQ(Value(ParamId::kVcfResonance), 1.0);
    ui->MouseMove(x, y - 392, IMouseMod(true));
    EXPECT_NEAR(knob->GetValue(), 0.95, 1e-12);
    ui->MouseUp(x, y - 392, IMouseMod(true));

    // A right click changes nothing; a right drag turns the knob like a left one.
    const double before = knob->GetValue();
    ui->Click(x, y, IMouseMod(false, true));
    EXPECT_DOUBLE_EQ(knob->GetValue(), before);
    ui->Drag(x, y, x, y + 16, IMouseMod(false, true));
    EXPECT_NEAR(knob->GetValue(), before - 0.1, 1e-12);
}

TEST_F(EditorTest, WheelTurnsTheKnobUnderTheMouseAsOneGesture) {
    IControl* knob = ControlOf(ParamId::kFlangerFeedback);
    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kFlangerFeedback, 0.5f);
    TakeGestures();
    ui->Wheel(Cx(knob), Cy(knob), IMouseMod(), 3.0);
    EXPECT_NEAR(knob->GetValue(), 0.53, 1e-12);
    EXPECT_EQ(TakeGestures(), (std::vector<Gesture>{{'B', ParamId::kFlangerFeedback},
                                                    {'A', ParamId::kFlangerFeedback},
                                                    {'E', ParamId::kFlangerFeedback}}));
    ui->Wheel(Cx(knob), Cy(knob), IMouseMod(false, false, true), -2.0);
    EXPECT_NEAR(knob->GetValue(), 0.528, 1e-12) << "a thousandth per notch with shift";
    ui->Wheel(1, 1, IMouseMod(), 5.0);
    EXPECT_NEAR(knob->GetValue(), 0.528, 1e-12) << "only the control under the mouse turns";
}

TEST_F(EditorTest, DoubleClickRestoresTheDefaultNotTheProgramsValue) {
    IControl* knob = ControlOf(ParamId::kVcfCutoff);
    const PlugParam& cutoff = shelltest::Param(*plug, ParamId::kVcfCutoff);
    EXPECT_DOUBLE_EQ(knob->DblClickValue(), cutoff.Normalize(cutoff.Default()));

    // A program whose cutoff is not the default.
    plug->SelectProgram(1);
    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kVcfCutoff, 0.3f);
    plug->SelectProgram(2);
    plug->SelectProgram(1);
    ASSERT_NEAR(knob->GetValue(), 0.3, 1e-3) << "the loaded program reached the knob";
    TakeGestures();

    EXPECT_TRUE(gui->OnMouseDblClick(Cx(knob), Cy(knob), IMouseMod(true)));
    gui->OnMouseUp(Cx(knob), Cy(knob), IMouseMod(true));
    EXPECT_DOUBLE_EQ(Value(ParamId::kVcfCutoff), cutoff.Default());
    EXPECT_EQ(TakeGestures(), (std::vector<Gesture>{{'B', ParamId::kVcfCutoff},
                                                    {'A', ParamId::kVcfCutoff},
                                                    {'E', ParamId::kVcfCutoff}}));
}

TEST_F(EditorTest, SwitchesStepThroughTheirFrames) {
    IControl* keyAssign = ControlOf(ParamId::kKeyAssign);
    gui->SetParameterFromPlug(ParamId::kKeyAssign, 0.0, true);
    ui->Click(Cx(keyAssign), Cy(keyAssign));
    EXPECT_DOUBLE_EQ(Value(ParamId::kKeyAssign), 1.0);
    ui->Click(Cx(keyAssign), Cy(keyAssign));
    EXPECT_DOUBLE_EQ(Value(ParamId::kKeyAssign), 0.0)
        << "a 2-frame switch clicked twice is back at 0";
    // A fast double click steps twice.
    ui->MouseDown(Cx(keyAssign), Cy(keyAssign), IMouseMod(true));
    ui->MouseUp(Cx(keyAssign), Cy(keyAssign), IMouseMod(true));
    ui->DoubleClick(Cx(keyAssign), Cy(keyAssign), IMouseMod(true));
    ui->MouseUp(Cx(keyAssign), Cy(keyAssign), IMouseMod(true));
    EXPECT_DOUBLE_EQ(Value(ParamId::kKeyAssign), 0.0);

    ISwitchControl three(nullptr, IRect(0, 0, 10, 10), -1, Strip(3));
    std::vector<double> seen;
    for (int i = 0; i < 4; ++i) {
        three.HandleMouseDown(5, 5, IMouseMod(true));
        seen.push_back(three.GetValue());
    }
    EXPECT_EQ(seen, (std::vector<double>{0.5, 1.0, 0.0, 0.5}));
    EXPECT_EQ(three.Frame(), 2);
}

TEST_F(EditorTest, RangeSwitchPicksTheValueOfTheZoneClicked) {
    const PlugParam& range = shelltest::Param(*plug, ParamId::kRangeSynthe);
    const int expected[][2] = {{140, 1}, {131, 0}, {159, 2}, {149, 1}, {150, 2}};
    for (const auto& e : expected) {
        ui->Click(e[0], 138);
        EXPECT_DOUBLE_EQ(range.Value(), e[1]) << "click at x " << e[0];
    }
    EXPECT_EQ(TakeGestures().front(), (Gesture{'B', ParamId::kRangeSynthe}));
}

TEST_F(EditorTest, HiddenAndGrayedControlsLetClicksThrough) {
    IGraphics editor(nullptr, 100, 100, 25, std::make_unique<HeadlessPlatform>());
    int parent = 0;
    editor.AttachControl(
        std::make_unique<ISwitchControl>(nullptr, IRect(0, 0, 50, 50), -1, Strip(2)));
    editor.AttachControl(
        std::make_unique<ISwitchControl>(nullptr, IRect(10, 10, 40, 40), -1, Strip(2)));
    ASSERT_TRUE(editor.OpenWindow(&parent));
    IControl* below = editor.GetControl(0);
    IControl* above = editor.GetControl(1);
    editor.OnMouseDown(20, 20, IMouseMod(true));
    editor.OnMouseUp(20, 20, IMouseMod(true));
    EXPECT_DOUBLE_EQ(above->GetValue(), 1.0) << "the later control lies on top";
    EXPECT_DOUBLE_EQ(below->GetValue(), 0.0);
    above->SetHidden(true);
    editor.OnMouseDown(20, 20, IMouseMod(true));
    EXPECT_DOUBLE_EQ(below->GetValue(), 1.0) << "a hidden control takes no click";
    above->SetHidden(false);
    above->SetGrayed(true);
    EXPECT_FLOAT_EQ(above->BlendWeight(), 0.25f);
    editor.OnMouseDown(20, 20, IMouseMod(true));
    EXPECT_DOUBLE_EQ(below->GetValue(), 0.0) << "nor does a grayed one";
    EXPECT_DOUBLE_EQ(above->GetValue(), 1.0);
    // The right and bottom edges are outside.
    editor.OnMouseDown(50, 20, IMouseMod(true));
    EXPECT_DOUBLE_EQ(below->GetValue(), 0.0);
}

TEST_F(EditorTest, ValuesReachTheControlsWhileTheWindowIsClosed) {
    IControl* knob = ControlOf(ParamId::kBrassCutoff);
    gui->CloseWindow();
    ui->Tick();
    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kBrassCutoff, 0.125f);
    EXPECT_EQ(ui->paints, 0);
    ASSERT_TRUE(gui->OpenWindow(&parentWindow));
    EXPECT_DOUBLE_EQ(knob->GetValue(), 0.125);
    ui->Tick();
    EXPECT_EQ(ui->lastPaint, IRect(0, 0, 988, 696)) << "the opened window shows everything";
}

} // namespace halvane
