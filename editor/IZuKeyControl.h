#pragma once
// The split key: the note name of its parameter ("Off" above 127), and a menu
// of every note in octave submenus to choose another.

#include <cstddef>

#include "editor/IControl.h"
#include "editor/IPopupMenu.h"

namespace halvane {

class IZuKeyControl : public IControl {
public:
    static constexpr int kHighestNote = 127;

    IZuKeyControl(IPlugBase* plug, const IRect& rect, int paramIndex, const IText& style);

    void Paint(LICE_MemBitmap& dst, const IRect& clip) override;
    void HandleMouseDown(int x, int y, const IMouseMod& mod) override;

    // The name of note (0 is C-2, 60 is C3, 127 is G8).
    static void NoteName(int note, char* out, std::size_t size);
    // What the field shows for a note number: its name, or "Off" above 127.
    static void FieldText(double note, char* out, std::size_t size);
    // The plain value of the control's normalised value.
    double Note() const;

private:
    IRect textRect_;
    IPopupMenu menu_;
};

} // namespace halvane
