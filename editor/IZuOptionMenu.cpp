#include "editor/IZuOptionMenu.h"

#include <memory>
#include <string>

#include "editor/IZuVoiceDebugger.h"
#include "shell/Synth.h"

namespace {

constexpr IColor kClear(0, 0, 0, 0);
constexpr int kLastCommand = 23;

} // namespace

IZuOptionMenu::IZuOptionMenu(Synth* synth, const IRect& rect, IZuVoiceDebugger* schedule)
    : IControl(synth, rect, kTag), synth_(synth), schedule_(schedule) {
    menu_.AddItem("Copy Program");
    menu_.AddItem("Paste Program");
    menu_.AddItem("Init Program");
    menu_.AddSeparator();
    menu_.AddItem("Load Program");
    menu_.AddItem("Save Program");
    menu_.AddItem("Load Bank");
    menu_.AddItem("Save Bank");
    menu_.AddSeparator();
    menu_.AddItem("Select Startup Bank");
    menu_.AddItem("Load Startup Bank");
    menu_.AddItem("Unselect Startup Bank");
    menu_.AddSeparator();
    menu_.AddItem("Default Path for Program Files");
    menu_.AddItem("Show Voice Schedule");
    auto midi = std::make_unique<IPopupMenu>();
    midi->AddItem("MIDI Thru");
    midi->AddItem("Ignore Program Change");
    menu_.AddItem("Global MIDI Settings...", 0, std::move(midi));
    menu_.AddItem("Reload Configuration");
    menu_.AddItem("Save Configuration");
    menu_.AddSeparator();
    auto online = std::make_unique<IPopupMenu>();
    online->AddItem("Check Online for Update");
    online->AddItem((std::string("Visit ") + kWebSiteName).c_str());
    menu_.AddItem("Go Online...", 0, std::move(online));
    UpdateStates();
}

void IZuOptionMenu::UpdateStates() {
    const bool noBank = synth_->StartupBank().empty();
    menu_.SetItemFlag(Synth::kPasteProgram, IPopupMenu::kDisabled, synth_->CopyBufferEmpty());
    menu_.SetItemFlag(Synth::kLoadStartupBank, IPopupMenu::kDisabled, noBank);
    menu_.SetItemFlag(Synth::kUnselectStartupBank, IPopupMenu::kDisabled, noBank);
    menu_.SetItemFlag(Synth::kShowVoiceSchedule, IPopupMenu::kChecked,
                      schedule_ && !schedule_->IsHidden());
    IPopupMenu* midi = menu_.Submenu(kMidiSubmenu);
    midi->SetItemFlag(Synth::kToggleMidiThru - kMidiCommands, IPopupMenu::kChecked,
                      synth_->MidiThru());
    midi->SetItemFlag(Synth::kToggleIgnoreProgramChange - kMidiCommands, IPopupMenu::kChecked,
                      synth_->IgnoreProgramChange());
}

void IZuOptionMenu::Paint(LICE_MemBitmap& dst, const IRect& clip) {
    LICE::FillRect(dst, rect_, kClear, clip);
}

int IZuOptionMenu::CommandOf(const IPopupMenu* chosen) {
    if (!chosen || chosen->ChosenItem() < 0)
        return -1;
    if (chosen == &menu_)
        return chosen->ChosenItem();
    if (chosen == menu_.Submenu(kMidiSubmenu))
        return kMidiCommands + chosen->ChosenItem();
    if (chosen == menu_.Submenu(kOnlineSubmenu))
        return kOnlineCommands + chosen->ChosenItem();
    return -1;
}

void IZuOptionMenu::Execute(int command) {
    switch (command) {
    case Synth::kShowVoiceSchedule:
        if (schedule_)
            schedule_->SetHidden(!schedule_->IsHidden());
        break;
    case Synth::kVisitWebSite:
        if (GetGUI())
            GetGUI()->OpenUrl(kHomePage, nullptr, nullptr, nullptr);
        break;
    default:
        // Separators and submenu titles are not commands.
        if (command >= 0 && command <= kLastCommand && command != 3 && command != 8 &&
            command != 12 && command != kMidiSubmenu && command != 18 && command != kOnlineSubmenu)
            synth_->HandleMenuCommand(command);
        break;
    }
}

void IZuOptionMenu::HandleMouseDown(int x, int /*y*/, const IMouseMod& /*mod*/) {
    if (!GetGUI())
        return;
    UpdateStates();
    Execute(CommandOf(GetGUI()->CreatePopupMenu(menu_, x + 8, rect_.bottom)));
    RequestRedraw();
    SetDirty();
}
