#include "shell/OptionMenu.h"

#include "shell/MakerWebSite.h"
#include "shell/Synth.h"

namespace halvane {

namespace {

OptionMenuItem Item(const std::string& text, int command, bool disabled = false,
                    bool checked = false) {
    OptionMenuItem item;
    item.text = text;
    item.command = command;
    item.flags =
        (disabled ? OptionMenuItem::kDisabled : 0u) | (checked ? OptionMenuItem::kChecked : 0u);
    return item;
}

OptionMenuItem Separator(int position) {
    OptionMenuItem item;
    item.command = position;
    item.flags = OptionMenuItem::kSeparator;
    return item;
}

} // namespace

std::vector<OptionMenuItem> BuildOptionMenu(const Synth& synth) {
    const bool noStartupBank = synth.StartupBank().empty();
    std::vector<OptionMenuItem> menu;
    menu.push_back(Item("Copy Program", Synth::kCopyProgram));
    menu.push_back(Item("Paste Program", Synth::kPasteProgram, synth.CopyBufferEmpty()));
    menu.push_back(Item("Init Program", Synth::kInitProgram));
    menu.push_back(Separator(3));
    menu.push_back(Item("Load Program", Synth::kLoadProgram));
    menu.push_back(Item("Save Program", Synth::kSaveProgram));
    menu.push_back(Item("Load Bank", Synth::kLoadBank));
    menu.push_back(Item("Save Bank", Synth::kSaveBank));
    menu.push_back(Separator(8));
    menu.push_back(Item("Select Startup Bank", Synth::kSelectStartupBank));
    menu.push_back(Item("Load Startup Bank", Synth::kLoadStartupBank, noStartupBank));
    menu.push_back(Item("Unselect Startup Bank", Synth::kUnselectStartupBank, noStartupBank));
    menu.push_back(Separator(12));
    menu.push_back(Item("Default Path for Program Files", Synth::kDefaultPath));
    menu.push_back(
        Item("Show Voice Schedule", Synth::kShowVoiceSchedule, false, synth.VoiceScheduleShown()));

    OptionMenuItem midi = Item("Global MIDI Settings...", 15);
    midi.submenu.push_back(Item("MIDI Thru", Synth::kToggleMidiThru, false, synth.MidiThru()));
    midi.submenu.push_back(Item("Ignore Program Change", Synth::kToggleIgnoreProgramChange, false,
                                synth.IgnoreProgramChange()));
    menu.push_back(midi);

    menu.push_back(Item("Reload Configuration", Synth::kReloadConfiguration));
    menu.push_back(Item("Save Configuration", Synth::kSaveConfiguration));
    menu.push_back(Separator(18));

    OptionMenuItem online = Item("Go Online...", 19);
    online.submenu.push_back(Item("Check Online for Update", Synth::kCheckForUpdate));
    online.submenu.push_back(
        Item(std::string("Visit ") + maker::kWebSiteName, Synth::kVisitWebSite));
    menu.push_back(online);
    return menu;
}

} // namespace halvane
