// The option menu as the editor shows it: every item in its place with the
// number its command goes by, and states that follow the instrument at each
// opening.

#include <gtest/gtest.h>

#include "platform/IniFile.h"
#include "shell/OptionMenu.h"
#include "support/ScriptedDialogs.h"
#include "support/ShellTestSupport.h"

namespace halvane {

using namespace shelltest;

namespace {

using Item = OptionMenuItem;

// The item that gives command, wherever it sits.
const Item& Find(const std::vector<Item>& menu, int command) {
    for (const Item& item : menu) {
        if (item.command == command && !item.Has(Item::kSeparator))
            return item;
        for (const Item& sub : item.submenu)
            if (sub.command == command)
                return sub;
    }
    ADD_FAILURE() << "no item for command " << command;
    static const Item none;
    return none;
}

class OptionMenu : public ::testing::Test {
protected:
    void SetUp() override { home = FreshSettings(); }

    std::string home;
};

TEST_F(OptionMenu, ItemsAndTheirNumbers) {
    WithVoiceDisplay synth;
    const std::vector<Item> menu = BuildOptionMenu(synth);
    const char* const texts[] = {"Copy Program",
                                 "Paste Program",
                                 "Init Program",
                                 nullptr,
                                 "Load Program",
                                 "Save Program",
                                 "Load Bank",
                                 "Save Bank",
                                 nullptr,
                                 "Select Startup Bank",
                                 "Load Startup Bank",
                                 "Unselect Startup Bank",
                                 nullptr,
                                 "Default Path for Program Files",
                                 "Show Voice Schedule",
                                 "Global MIDI Settings...",
                                 "Reload Configuration",
                                 "Save Configuration",
                                 nullptr,
                                 "Go Online..."};
    ASSERT_EQ(menu.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        const Item& item = menu[static_cast<std::size_t>(i)];
        EXPECT_EQ(item.command, i) << "numbered by position";
        EXPECT_EQ(item.Has(Item::kSeparator), texts[i] == nullptr);
        EXPECT_EQ(item.text, texts[i] ? texts[i] : "");
        EXPECT_EQ(item.submenu.empty(), i != 15 && i != 19);
    }
    ASSERT_EQ(menu[15].submenu.size(), 2u);
    EXPECT_EQ(menu[15].submenu[0].text, "MIDI Thru");
    EXPECT_EQ(menu[15].submenu[0].command, Synth::kToggleMidiThru);
    EXPECT_EQ(menu[15].submenu[1].text, "Ignore Program Change");
    EXPECT_EQ(menu[15].submenu[1].command, Synth::kToggleIgnoreProgramChange);
    ASSERT_EQ(menu[19].submenu.size(), 2u);
    EXPECT_EQ(menu[19].submenu[0].text, "Check Online for Update");
    EXPECT_EQ(menu[19].submenu[0].command, Synth::kCheckForUpdate);
    EXPECT_EQ(menu[19].submenu[1].text, "Visit kelpmoor.com");
    EXPECT_EQ(menu[19].submenu[1].command, Synth::kVisitWebSite);
}

// The states that change, one letter each when set, '-' when not: Paste
// enabled, the startup bank items (Load and Unselect) enabled, Voice schedule,
// Thru and Ignore program change checked.
std::string States(const std::vector<Item>& menu) {
    std::string states;
    for (const Item& item : menu)
        for (const Item& one : item.submenu.empty() ? std::vector<Item>{item} : item.submenu) {
            if (one.Has(Item::kChecked) && one.command != Synth::kShowVoiceSchedule &&
                one.command != Synth::kToggleMidiThru &&
                one.command != Synth::kToggleIgnoreProgramChange)
                ADD_FAILURE() << one.text << " is never checked";
            if (one.Has(Item::kDisabled) && one.command != Synth::kPasteProgram &&
                one.command != Synth::kLoadStartupBank &&
                one.command != Synth::kUnselectStartupBank)
                ADD_FAILURE() << one.text << " is never disabled";
        }
    const auto enabled = [&](int command, char letter) {
        states += Find(menu, command).Has(Item::kDisabled) ? '-' : letter;
    };
    const auto checked = [&](int command, char letter) {
        states += Find(menu, command).Has(Item::kChecked) ? letter : '-';
    };
    enabled(Synth::kPasteProgram, 'P');
    enabled(Synth::kLoadStartupBank, 'L');
    enabled(Synth::kUnselectStartupBank, 'U');
    checked(Synth::kShowVoiceSchedule, 'V');
    checked(Synth::kToggleMidiThru, 'T');
    checked(Synth::kToggleIgnoreProgramChange, 'I');
    return states;
}

TEST_F(OptionMenu, StatesFollowTheInstrumentAtEveryOpening) {
    WithVoiceDisplay synth;
    ScriptedDialogs dialogs(synth.Lock());
    synth.SetDialogs(&dialogs);
    EXPECT_EQ(States(BuildOptionMenu(synth)), "------") << "nothing copied, no startup bank";

    synth.HandleMenuCommand(Synth::kCopyProgram);
    synth.HandleMenuCommand(Synth::kShowVoiceSchedule);
    synth.HandleMenuCommand(Synth::kToggleIgnoreProgramChange);
    EXPECT_EQ(States(BuildOptionMenu(synth)), "P--V-I");
    dialogs.chosen = {home + "/start.fxb"};
    synth.HandleMenuCommand(Synth::kSelectStartupBank);
    EXPECT_EQ(States(BuildOptionMenu(synth)), "PLUV-I");

    // Another instance changed the settings file: reloading shows its switches.
    IniWrite(synth.SettingsFile(), "MIDI Global", "MIDI Thru", "true");
    IniWrite(synth.SettingsFile(), "MIDI Global", "Ignore Program Change", "false");
    dialogs.answers = {ShellDialogs::BoxAnswer::kYes};
    synth.HandleMenuCommand(Synth::kReloadConfiguration);
    EXPECT_EQ(States(BuildOptionMenu(synth)), "PLUVT-");

    dialogs.answers = {ShellDialogs::BoxAnswer::kYes};
    synth.HandleMenuCommand(Synth::kUnselectStartupBank);
    synth.HandleMenuCommand(Synth::kShowVoiceSchedule);
    synth.HandleMenuCommand(Synth::kToggleMidiThru);
    EXPECT_EQ(States(BuildOptionMenu(synth)), "P-----");
}

} // namespace

} // namespace halvane
