#include "editor/ISwitchControl.h"

namespace halvane {

double ISwitchControl::NextValue() const {
    const int frames = Bitmap().frames;
    const double step = frames < 2 ? 1.0 : 1.0 / (frames - 1);
    const double v = GetValue() + step;
    // The tolerance keeps rounding in the sum of steps from skipping the last one.
    return v > 1.001 ? 0.0 : v;
}

void ISwitchControl::HandleMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
    SetValue(NextValue());
    MarkDirty(true);
}

} // namespace halvane
