#pragma once
// The invisible button over the menu symbol of the panel: opens the option
// menu, built afresh from the instrument's menu model at every opening so its
// states are current, and passes the chosen command to the instrument.

#include <vector>

#include "editor/IControl.h"
#include "editor/IPopupMenu.h"
#include "shell/OptionMenu.h"

namespace halvane {

class Synth;

class IZuOptionMenu : public IControl {
public:
    static constexpr int kTag = -96;

    IZuOptionMenu(Synth* synth, const IRect& rect);

    void Paint(LICE_MemBitmap& dst, const IRect& clip) override;
    void HandleMouseDown(int x, int y, const IMouseMod& mod) override;

private:
    // The command of the item chosen in the menu or one of its submenus; -1 for
    // none.
    int CommandOf(const IPopupMenu* chosen) const;
    static void Fill(IPopupMenu& menu, const std::vector<OptionMenuItem>& items);

    Synth* synth_;
    IPopupMenu menu_;
    std::vector<OptionMenuItem> items_;
};

} // namespace halvane
