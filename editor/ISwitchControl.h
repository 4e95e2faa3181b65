#pragma once
// A bitmap switch that steps through its frames on each click, back to the
// first after the last; and IContactControl, the base of the buttons that act
// on the mouse release as well.

#include "editor/IBitmapControl.h"

namespace halvane {

class ISwitchControl : public IBitmapControl {
public:
    ISwitchControl(IPlugBase* plug, const IRect& rect, int paramIndex, const IBitmap& bitmap)
        : IBitmapControl(plug, rect, paramIndex, bitmap) {}

    void HandleMouseDown(int x, int y, const IMouseMod& mod) override;
    // A fast double click steps twice.
    void HandleDoubleClick(int x, int y, const IMouseMod& mod) override {
        HandleMouseDown(x, y, mod);
    }

protected:
    // The value one step on: 0, 1/(N-1), ... 1, then 0 again.
    double NextValue() const;
};

class IContactControl : public ISwitchControl {
public:
    using ISwitchControl::ISwitchControl;
};

} // namespace halvane
