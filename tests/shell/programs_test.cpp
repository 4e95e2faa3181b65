// Program commands: copy, paste, initialise and select.

#include <gtest/gtest.h>

#include "support/ShellTestSupport.h"

namespace halvane {

using namespace shelltest;

namespace {

class Programs : public ::testing::Test {
protected:
    void SetUp() override {
        FreshSettings();
        Log().calls.clear();
        plug = MakeHalvane();
    }
    void Select(int index) { plug->SelectProgram(index); }
    void Edit(int param, double normalized) { plug->SetParamFromEditor(param, normalized); }

    std::unique_ptr<Halvane> plug;
};

TEST_F(Programs, PastingGivesParametersAndNameOfTheCopiedProgram) {
    EXPECT_TRUE(plug->CopyBufferEmpty());
    Select(3);
    Edit(ParamId::kVcfCutoff, 0.25);
    const std::vector<double> three = Values(*plug);
    const std::string name = plug->ProgramName(3);
    plug->CopyProgram();
    EXPECT_FALSE(plug->CopyBufferEmpty());

    Select(7);
    ASSERT_NE(Values(*plug), three);
    Log().calls.clear();
    plug->PasteProgram();
    EXPECT_EQ(Values(*plug), three);
    EXPECT_EQ(plug->ProgramName(7), name);
    EXPECT_EQ(Log().Count(vst::audioMasterAutomate), plug->NParams());
    Select(0);
    Select(7);
    EXPECT_EQ(Values(*plug), three) << "pasted into the program, not only the live values";

    // Pasting into the copied program itself leaves it as it was copied.
    Select(3);
    Edit(ParamId::kVcfCutoff, 0.9);
    plug->PasteProgram();
    EXPECT_EQ(Values(*plug), three);
    EXPECT_EQ(plug->ProgramName(3), name);
}

TEST_F(Programs, InitialisingSetsEveryDefaultAndTheNameInit) {
    Select(0);
    Log().calls.clear();
    plug->InitProgram();
    EXPECT_EQ(plug->ProgramName(0), std::string("Init"));
    for (int i = 0; i < plug->NParams(); ++i)
        EXPECT_DOUBLE_EQ(Param(*plug, i).Value(), Param(*plug, i).Default()) << i;
    EXPECT_EQ(Log().Count(vst::audioMasterAutomate), 2 * plug->NParams())
        << "once while setting, once more after storing";
}

TEST_F(Programs, SwitchingKeepsTheEditsOfTheProgramLeft) {
    Select(2);
    Edit(ParamId::kVcfResonance, 0.77);
    Select(5);
    EXPECT_EQ(plug->CurrentProgram(), 5);
    Select(2);
    EXPECT_DOUBLE_EQ(Param(*plug, ParamId::kVcfResonance).Value(), 0.77);
    Log().calls.clear();
    Select(99);
    EXPECT_EQ(plug->CurrentProgram(), 2) << "no such program";
    EXPECT_EQ(Log().Count(vst::audioMasterUpdateDisplay), 1);
}

} // namespace

} // namespace halvane
