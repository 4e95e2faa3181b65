#include "editor/IZuOptionMenu.h"

#include <memory>

#include "shell/OptionMenu.h"
#include "shell/Synth.h"

namespace halvane {

namespace {

constexpr IColor kClear(0, 0, 0, 0);

} // namespace

IZuOptionMenu::IZuOptionMenu(Synth* synth, const IRect& rect)
    : IControl(synth, rect, kTag), synth_(synth) {}

void IZuOptionMenu::Fill(IPopupMenu& menu, const std::vector<OptionMenuItem>& items) {
    menu.Clear();
    for (const OptionMenuItem& item : items) {
        if (item.Has(OptionMenuItem::kSeparator)) {
            menu.AddSeparator();
            continue;
        }
        int flags = IPopupMenu::kNoFlags;
        if (item.Has(OptionMenuItem::kChecked))
            flags |= IPopupMenu::kChecked;
        if (item.Has(OptionMenuItem::kDisabled))
            flags |= IPopupMenu::kDisabled;
        std::unique_ptr<IPopupMenu> submenu;
        if (!item.submenu.empty()) {
            submenu = std::make_unique<IPopupMenu>();
            Fill(*submenu, item.submenu);
        }
        menu.AddItem(item.text.c_str(), flags, std::move(submenu));
    }
}

void IZuOptionMenu::Paint(LICE_MemBitmap& dst, const IRect& clip) {
    LICE::FillRect(dst, rect_, kClear, clip);
}

int IZuOptionMenu::CommandOf(const IPopupMenu* chosen) const {
    if (!chosen || chosen->ChosenItem() < 0)
        return -1;
    const auto pick = [chosen](const std::vector<OptionMenuItem>& items) {
        const auto at = static_cast<std::size_t>(chosen->ChosenItem());
        return at < items.size() ? items[at].command : -1;
    };
    if (chosen == &menu_)
        return pick(items_);
    for (int i = 0; i < menu_.NItems(); ++i) {
        const IPopupMenu::Item* item = menu_.GetItem(i);
        if (item && item->submenu.get() == chosen)
            return pick(items_[static_cast<std::size_t>(i)].submenu);
    }
    return -1;
}

void IZuOptionMenu::HandleMouseDown(int x, int /*y*/, const IMouseMod& /*mod*/) {
    if (!GetGUI())
        return;
    items_ = BuildOptionMenu(*synth_);
    Fill(menu_, items_);
    const int command = CommandOf(GetGUI()->CreatePopupMenu(menu_, x + 8, rect_.bottom));
    if (command >= 0)
        synth_->HandleMenuCommand(command);
    RequestRedraw();
    SetDirty();
}

} // namespace halvane
