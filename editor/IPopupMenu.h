#pragma once
// A popup menu as the editor describes it to the window layer: items with
// flags, optional submenus, a numbering style, and after a choice the item
// chosen. The window layer turns it into a native menu; every layer numbers
// commands and formats numbered items the same way through the helpers here.

#include <memory>
#include <string>
#include <vector>

namespace halvane {

class IPopupMenu {
public:
    enum Flags {
        kNoFlags = 0,
        kDisabled = 1 << 0,
        kChecked = 1 << 1,
        kGreyed = 1 << 2,
        kSeparator = 1 << 3,
    };
    // How items are numbered in front of their text (numbers from 1).
    enum Numbering { kNone = 0, kOneDigit = 1, kTwoDigits = 2, kThreeDigits = 3 };

    struct Item {
        std::string text;
        int flags = kNoFlags;
        std::unique_ptr<IPopupMenu> submenu;

        bool Enabled() const { return !(flags & (kDisabled | kGreyed)); }
        bool Checked() const { return (flags & kChecked) != 0; }
        bool IsSeparator() const { return (flags & kSeparator) != 0; }
    };

    IPopupMenu() = default;
    IPopupMenu(const IPopupMenu&) = delete;
    IPopupMenu& operator=(const IPopupMenu&) = delete;

    // Adds an item and returns it; a submenu is owned by the menu from then on.
    Item& AddItem(const char* text, int flags = kNoFlags,
                  std::unique_ptr<IPopupMenu> submenu = nullptr);
    Item& AddSeparator();
    void Clear() { items_.clear(); }

    int NItems() const { return static_cast<int>(items_.size()); }
    Item* GetItem(int index);
    const Item* GetItem(int index) const;
    IPopupMenu* Submenu(int index);
    void SetItemFlag(int index, int flag, bool on);
    // Checks exactly the item at index (none for a negative index).
    void CheckItemAlone(int index);

    void SetNumbering(Numbering style) { numbering_ = style; }
    Numbering GetNumbering() const { return numbering_; }

    // The chosen item of this menu, -1 for none.
    int ChosenItem() const { return chosen_; }
    void SetChosenItem(int index) { chosen_ = index; }
    void ClearChosen();

    // The text a native menu shows for the item: numbered when the menu says so.
    std::string DisplayText(int index) const;

    // Command identifiers numbered consecutively over the whole tree in
    // depth-first order from 0: a submenu entry takes one number, then its
    // items follow. Lookups in both directions for the native layers.
    int CommandOf(const IPopupMenu* menu, int item) const;
    // The menu owning the command and its item; null when there is none.
    IPopupMenu* MenuOfCommand(int command, int& item);

private:
    int CountCommands() const;

    std::vector<Item> items_;
    Numbering numbering_ = kNone;
    int chosen_ = -1;
};

} // namespace halvane
