#pragma once
// The option menu as plain data: what each item says, the command it gives
// and how it shows now. The editor builds it at every opening of the menu, so
// the states always follow the clipboard, the startup bank, the voice schedule
// display and the MIDI switches, and maps it onto its popup menu.

#include <string>
#include <vector>

namespace halvane {

class Synth;

struct OptionMenuItem {
    enum Flag : unsigned {
        kChecked = 1u << 0,
        kDisabled = 1u << 1, // shown greyed and cannot be chosen
        kSeparator = 1u << 2,
    };

    std::string text;
    // The number Synth::HandleMenuCommand takes: the item's position in the
    // main menu, 20 + position in "Global MIDI Settings...", 22 + position in
    // "Go Online...". Separators and submenu titles carry theirs too; those
    // numbers do nothing.
    int command = -1;
    unsigned flags = 0;
    std::vector<OptionMenuItem> submenu; // the items of a submenu title

    bool Has(Flag flag) const { return (flags & flag) != 0; }
};

// The whole menu, main items in order, with their states as they are now.
std::vector<OptionMenuItem> BuildOptionMenu(const Synth& synth);

} // namespace halvane
