#pragma once
// A switch whose width is divided into one click zone per frame, left to
// right for the values 0 to 1: a click picks the value of its zone.

#include <vector>

#include "editor/ISwitchControl.h"

namespace halvane {

class ISwitchFramesControl : public ISwitchControl {
public:
    ISwitchFramesControl(IPlugBase* plug, const IRect& rect, int paramIndex, const IBitmap& bitmap);

    void HandleMouseDown(int x, int y, const IMouseMod& mod) override;

private:
    std::vector<IRect> zones_;
};

} // namespace halvane
