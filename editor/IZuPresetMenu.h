#pragma once
// The current program's number and name. A click on the number opens the
// program menu; a click on the name opens a text entry that renames the
// program (storing the current values into it).

#include "editor/IControl.h"
#include "editor/IPopupMenu.h"

namespace halvane {

class Synth;

class IZuPresetMenu : public IControl {
public:
    static constexpr int kShownNameChars = 27;
    static constexpr int kGroupSize = 16;

    IZuPresetMenu(Synth* synth, const IRect& numberArea, const IRect& nameArea, const IText& style);

    void Paint(LICE_MemBitmap& dst, const IRect& clip) override;
    void HandleMouseDown(int x, int y, const IMouseMod& mod) override;
    void TakeTextEntry(const char* text) override;

private:
    void OpenProgramMenu();

    Synth* synth_;
    IRect numberArea_;
    IRect nameArea_;
    IPopupMenu menu_;
};

} // namespace halvane
