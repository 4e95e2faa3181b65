// The option menu's file and settings commands against a scripted dialog
// service that records what the user was asked.

#include <gtest/gtest.h>

#include "platform/IniFile.h"
#include "platform/UserFolders.h"
#include "support/ScriptedDialogs.h"
#include "support/ShellTestSupport.h"

namespace halvane {

using namespace shelltest;
using Answer = ShellDialogs::BoxAnswer;
using Kind = ShellDialogs::BoxKind;

namespace {

class Flows : public WithDialogs {
protected:
    void SetUp() override {
        WithDialogs::SetUp();
        MakeFolders(home + "/sounds");
    }
};

TEST_F(Flows, SavingProposesACleanNameAndRemembersTheFolder) {
    plug->ModifyCurrentPreset("Lead/Pad: 1");
    dialogs->chosen = {home + "/sounds/lead.fxp"};
    plug->HandleMenuCommand(Synth::kSaveProgram);
    ASSERT_EQ(dialogs->files.size(), 1u);
    EXPECT_EQ(dialogs->files[0].proposed, "Lead_Pad_ 1");
    EXPECT_EQ(dialogs->files[0].action, ShellDialogs::FileAction::kSave);
    EXPECT_EQ(dialogs->files[0].folder, home) << "the documents folder at first";
    EXPECT_EQ(dialogs->files[0].extension, "fxp");
    EXPECT_TRUE(dialogs->boxes.empty());
    EXPECT_FALSE(ReadBytes(home + "/sounds/lead.fxp").empty());

    dialogs->chosen = {home + "/sounds/all.fxb"};
    plug->HandleMenuCommand(Synth::kSaveBank);
    EXPECT_EQ(dialogs->files[1].proposed, "Halvane");
    EXPECT_EQ(dialogs->files[1].extension, "fxb");
    EXPECT_EQ(dialogs->files[1].folder, home + "/sounds") << "where the last file went";

    dialogs->chosen = {home + "/sounds/lead.fxp"};
    plug->HandleMenuCommand(Synth::kLoadProgram);
    EXPECT_EQ(dialogs->files[2].proposed, "");
    EXPECT_EQ(dialogs->files[2].action, ShellDialogs::FileAction::kOpen);
    EXPECT_TRUE(dialogs->boxes.empty());

    IniDocument ini;
    ini.Load(plug->SettingsFile());
    EXPECT_FALSE(ini.HasKey("Global", "Path to Program Files")) << "remembered in memory only";
    EXPECT_EQ(Synth::FolderOf("name.fxp"), "");
    EXPECT_EQ(Synth::FolderOf("D:\\Sounds\\a.fxp"), "D:\\Sounds");
}

TEST_F(Flows, FailuresAreReportedAndCancellingDoesNothing) {
    plug->HandleMenuCommand(Synth::kLoadBank); // nothing chosen
    EXPECT_TRUE(dialogs->boxes.empty());
    EXPECT_EQ(plug->ProgramFilesFolder(), home);

    dialogs->chosen = {home + "/sounds/missing.fxb", home + "/no/folder/x.fxp"};
    plug->HandleMenuCommand(Synth::kLoadBank);
    plug->HandleMenuCommand(Synth::kSaveProgram);
    ASSERT_EQ(dialogs->boxes.size(), 2u);
    EXPECT_EQ(dialogs->boxes[0].text, "Cannot load file!");
    EXPECT_EQ(dialogs->boxes[0].caption, "Error");
    EXPECT_EQ(dialogs->boxes[0].kind, Kind::kErrorOk);
    EXPECT_EQ(dialogs->boxes[1].text,
              "Cannot save file!\n\nMaybe the folder/file is write-protected...");
    EXPECT_EQ(plug->ProgramFilesFolder(), home + "/no/folder") << "the folder follows even so";
}

TEST_F(Flows, StartupBankCommands) {
    plug->HandleMenuCommand(Synth::kSaveProgram); // cancelled: nothing moves
    EXPECT_EQ(plug->ProgramFilesFolder(), home);
    dialogs->chosen = {home + "/sounds/start.fxb", home + "/sounds/start.fxb"};
    plug->HandleMenuCommand(Synth::kSaveBank);
    plug->HandleMenuCommand(Synth::kSelectStartupBank);
    EXPECT_EQ(dialogs->files.back().folder, home) << "always the documents folder";
    EXPECT_EQ(dialogs->files.back().extension, "fxb");
    EXPECT_EQ(plug->StartupBank(), home + "/sounds/start.fxb");
    EXPECT_EQ(plug->ProgramFilesFolder(), home + "/sounds");
    IniDocument ini;
    ini.Load(plug->SettingsFile());
    EXPECT_EQ(ini.Get("Startup Bank", "File", "", 259), home + "/sounds/start.fxb");

    // Loading asks first; only No refuses.
    plug->ModifyCurrentPreset("changed");
    dialogs->answers = {Answer::kNo};
    plug->HandleMenuCommand(Synth::kLoadStartupBank);
    ASSERT_EQ(dialogs->boxes.size(), 1u);
    EXPECT_EQ(dialogs->boxes[0].text, "The Startup Bank is:\n" + plug->StartupBank() +
                                          "\n\nDo you really want to reload all programs?");
    EXPECT_EQ(dialogs->boxes[0].caption, "Load Startup Bank");
    EXPECT_EQ(dialogs->boxes[0].kind, Kind::kYesNo);
    EXPECT_EQ(plug->ProgramName(0), std::string("changed"));
    dialogs->answers = {Answer::kCancel};
    plug->HandleMenuCommand(Synth::kLoadStartupBank);
    EXPECT_EQ(plug->ProgramName(0), std::string("Fat Monster")) << "any answer but No is yes";
    EXPECT_EQ(dialogs->boxes.size(), 2u);

    dialogs->answers = {Answer::kYes};
    plug->HandleMenuCommand(Synth::kUnselectStartupBank);
    EXPECT_EQ(dialogs->boxes.back().text, "The Startup Bank is:\n" + home + "/sounds/start.fxb" +
                                              "\n\nDo you really want to unselect it?");
    EXPECT_EQ(plug->StartupBank(), "");
    ini.Load(plug->SettingsFile());
    EXPECT_FALSE(ini.HasKey("Startup Bank", "File"));

    dialogs->answers = {Answer::kYes};
    plug->HandleMenuCommand(Synth::kLoadStartupBank);
    EXPECT_EQ(dialogs->boxes.back().text, "Cannot load file!");
}

TEST_F(Flows, DefaultFolderIsChosenWithASaveDialogAndStored) {
    dialogs->chosen = {home + "/sounds/ignored name"};
    plug->HandleMenuCommand(Synth::kDefaultPath);
    EXPECT_EQ(dialogs->files[0].proposed, "[file name is ignored]");
    EXPECT_EQ(dialogs->files[0].extension, " ");
    EXPECT_EQ(dialogs->files[0].action, ShellDialogs::FileAction::kSave);
    EXPECT_EQ(plug->ProgramFilesFolder(), home + "/sounds");
    IniDocument ini;
    ini.Load(plug->SettingsFile());
    EXPECT_EQ(ini.Get("Global", "Path to Program Files", "", 259), home + "/sounds");
    EXPECT_FALSE(FileExists(home + "/sounds/ignored name"));
}

TEST_F(Flows, ProgramAndSettingsCommandsAskFirst) {
    plug->SetParamFromEditor(ParamId::kVcfCutoff, 0.2);
    const double copied = Param(*plug, ParamId::kVcfCutoff).Value();
    dialogs->answers = {Answer::kNo};
    plug->HandleMenuCommand(Synth::kInitProgram);
    EXPECT_EQ(dialogs->boxes[0].text, "Do you really want to initialize the current program?");
    EXPECT_EQ(dialogs->boxes[0].caption, "Initialize Program");
    EXPECT_NE(Param(*plug, ParamId::kVcfCutoff).Value(), 1.0);

    plug->HandleMenuCommand(Synth::kCopyProgram);
    plug->SetParamFromEditor(ParamId::kVcfCutoff, 0.9);
    dialogs->answers = {Answer::kOk};
    plug->HandleMenuCommand(Synth::kPasteProgram);
    EXPECT_EQ(dialogs->boxes[1].text, "Do you really want to overwrite the current program?");
    EXPECT_EQ(dialogs->boxes[1].caption, "Paste Program");
    EXPECT_EQ(Param(*plug, ParamId::kVcfCutoff).Value(), copied);

    // MIDI switches write the globals at once, never the controller map.
    plug->SetControllerMapping(74, 13);
    plug->HandleMenuCommand(Synth::kToggleMidiThru);
    IniDocument ini;
    ini.Load(plug->SettingsFile());
    EXPECT_EQ(ini.Get("MIDI Global", "MIDI Thru", "", 63), "true");
    EXPECT_FALSE(ini.HasSection("MIDI Control"));
    plug->HandleMenuCommand(Synth::kToggleMidiThru);
    plug->HandleMenuCommand(Synth::kToggleIgnoreProgramChange);
    ini.Load(plug->SettingsFile());
    EXPECT_EQ(ini.Get("MIDI Global", "MIDI Thru", "", 63), "false");
    EXPECT_EQ(ini.Get("MIDI Global", "Ignore Program Change", "", 63), "true");

    dialogs->answers = {Answer::kYes};
    plug->HandleMenuCommand(Synth::kSaveConfiguration);
    EXPECT_EQ(dialogs->boxes.back().text, "The INI configuration file is:\n" +
                                              plug->SettingsFile() +
                                              "\n\nDo you really want to overwrite it?");
    ini.Load(plug->SettingsFile());
    EXPECT_EQ(ini.Get("MIDI Control", "CC74", "", 63), "13");

    unlink(plug->SettingsFile().c_str());
    const std::size_t asked = dialogs->boxes.size();
    dialogs->answers = {Answer::kYes};
    plug->HandleMenuCommand(Synth::kReloadConfiguration);
    ASSERT_EQ(dialogs->boxes.size(), asked + 2);
    EXPECT_EQ(dialogs->boxes[asked].caption, "Reload Configuration");
    EXPECT_EQ(dialogs->boxes[asked + 1].text, "The INI file does not exist.");
    EXPECT_EQ(dialogs->boxes[asked + 1].caption, "Problem with INI File");
    EXPECT_EQ(dialogs->boxes[asked + 1].kind, Kind::kOk);
    EXPECT_EQ(plug->ControllerMap()[74], -1);

    for (int command : {3, 8, 12, 15, 18, 19, 24, -1})
        plug->HandleMenuCommand(command);
    EXPECT_EQ(dialogs->boxes.size(), asked + 2);
    EXPECT_TRUE(dialogs->pages.empty());
}

TEST_F(Flows, RefusedSettingsQuestionsLeaveTheFileAlone) {
    plug->SetControllerMapping(74, 13);
    dialogs->answers = {Answer::kNo};
    plug->HandleMenuCommand(Synth::kSaveConfiguration);
    IniDocument ini;
    ini.Load(plug->SettingsFile());
    EXPECT_FALSE(ini.HasSection("MIDI Control"));

    IniWrite(plug->SettingsFile(), "MIDI Control", "CC20", "5");
    dialogs->answers = {Answer::kNo};
    plug->HandleMenuCommand(Synth::kReloadConfiguration);
    EXPECT_EQ(dialogs->boxes.back().text, "The INI configuration file is:\n" +
                                              plug->SettingsFile() +
                                              "\n\nDo you really want to reload it?");
    EXPECT_EQ(plug->ControllerMap()[20], -1);
    EXPECT_EQ(plug->ControllerMap()[74], 13);
    dialogs->answers = {Answer::kCancel}; // a dismissed box counts as yes
    plug->HandleMenuCommand(Synth::kReloadConfiguration);
    EXPECT_EQ(plug->ControllerMap()[20], 5);
    EXPECT_EQ(plug->ControllerMap()[74], -1);
    EXPECT_EQ(dialogs->boxes.size(), 3u) << "the file is there: no complaint";
}

TEST_F(Flows, DisplayAndWebSiteCommandsAskNothing) {
    WithVoiceDisplay synth;
    ScriptedDialogs own(synth.Lock());
    synth.SetDialogs(&own);
    synth.HandleMenuCommand(Synth::kShowVoiceSchedule);
    EXPECT_TRUE(synth.shown);
    synth.HandleMenuCommand(Synth::kShowVoiceSchedule);
    EXPECT_FALSE(synth.shown);

    synth.HandleMenuCommand(Synth::kVisitWebSite);
    ASSERT_EQ(own.pages.size(), 1u);
    EXPECT_EQ(own.pages[0].url, "http://www.kelpmoor.com/");
    EXPECT_FALSE(own.pages[0].asked);
    EXPECT_TRUE(own.boxes.empty());

    synth.SetDialogs(nullptr); // no editor: nothing to open, nothing breaks
    synth.HandleMenuCommand(Synth::kVisitWebSite);
    EXPECT_EQ(own.pages.size(), 1u);
}

} // namespace

} // namespace halvane
