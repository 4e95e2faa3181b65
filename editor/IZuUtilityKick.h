#pragma once
// The previous and next program buttons: pressed while the mouse is down, and
// on release they select the neighbouring program, wrapping around the list.

#include "editor/ISwitchControl.h"

namespace halvane {

class Synth;

class IZuUtilityKick : public IContactControl {
public:
    static constexpr int kPreviousTag = -94;
    static constexpr int kNextTag = -95;

    IZuUtilityKick(Synth* synth, const IRect& rect, int tag, const IBitmap& bitmap);

    void HandleMouseUp(int x, int y, const IMouseMod& mod) override;

private:
    Synth* synth_;
};

} // namespace halvane
