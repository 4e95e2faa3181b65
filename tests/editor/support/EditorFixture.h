#pragma once
// The instrument built in the test process with its editor on the offscreen
// platform, its window open, and the host's calls recorded.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/IControl.h"
#include "editor/IPopupMenu.h"
#include "graphics/HeadlessPlatform.h"
#include "graphics/IGraphics.h"
#include "shell/support/ShellTestSupport.h"

namespace halvane {

namespace editortest {

// The host's calls of one kind of gesture traffic, in order: 'B' begin edit,
// 'A' automate, 'E' end edit, each with its parameter index.
struct Gesture {
    char kind;
    int index;
    bool operator==(const Gesture& o) const { return kind == o.kind && index == o.index; }
};

// Rows of the panel's control table that tests reach by position.
enum PanelRow {
    kProgramDisplayRow = 1,
    kPreviousRow = 2,
    kNextRow = 3,
    kOptionMenuRow = 4,
    kLearnRow = 5,
    kVoiceScheduleRow = 7,
    kPolyphonyRow = 9,
    kBrassDetuneRow = 87,
    kStringsDetuneRow = 88,
};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The control bound to the parameter (the first one).
    IControl* ControlOf(int paramIndex);
    // Row n of the panel's control table (1 to 97); row 0 is the background.
    IControl* Row(int n) { return gui->GetControl(n); }
    // A point inside the control.
    static int Cx(const IControl* c) { return c->GetRect().left + c->GetRect().W() / 2; }
    static int Cy(const IControl* c) { return c->GetRect().top + c->GetRect().H() / 2; }
    double Value(int paramIndex) { return shelltest::Param(*plug, paramIndex).Value(); }
    double Normalized(int paramIndex) {
        return shelltest::Param(*plug, paramIndex).GetNormalized();
    }
    // The gesture traffic the host saw since the last call.
    std::vector<Gesture> TakeGestures();

    std::unique_ptr<Halvane> plug;
    IGraphics* gui = nullptr;
    HeadlessPlatform* ui = nullptr;
    int parentWindow = 0;
};

} // namespace editortest

} // namespace halvane
