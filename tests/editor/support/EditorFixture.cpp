#include "support/EditorFixture.h"

namespace halvane {

namespace editortest {

void EditorTest::SetUp() {
    shelltest::FreshSettings();
    shelltest::Log().calls.clear();
    plug = shelltest::MakeHalvane();
    gui = plug->Graphics();
    ASSERT_NE(gui, nullptr);
    ui = dynamic_cast<HeadlessPlatform*>(&gui->Platform());
    ASSERT_NE(ui, nullptr);
    ASSERT_TRUE(gui->OpenWindow(&parentWindow));
    shelltest::Log().calls.clear();
}

void EditorTest::TearDown() {
    plug.reset();
}

IControl* EditorTest::ControlOf(int paramIndex) {
    for (int i = 0; i < gui->NControls(); ++i)
        if (gui->GetControl(i)->ParamIdx() == paramIndex)
            return gui->GetControl(i);
    return nullptr;
}

std::vector<Gesture> EditorTest::TakeGestures() {
    std::vector<Gesture> seen;
    for (const auto& call : shelltest::Log().calls) {
        if (call.opcode == vst::audioMasterBeginEdit)
            seen.push_back({'B', call.index});
        else if (call.opcode == vst::audioMasterAutomate)
            seen.push_back({'A', call.index});
        else if (call.opcode == vst::audioMasterEndEdit)
            seen.push_back({'E', call.index});
    }
    shelltest::Log().calls.clear();
    return seen;
}

} // namespace editortest

} // namespace halvane
