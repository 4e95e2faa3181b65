#include "editor/ISwitchFramesControl.h"

namespace halvane {

ISwitchFramesControl::ISwitchFramesControl(IPlugBase* plug, const IRect& rect, int paramIndex,
                                           const IBitmap& bitmap)
    : ISwitchControl(plug, rect, paramIndex, bitmap) {
    const int n = bitmap.frames > 0 ? bitmap.frames : 1;
    const int w = rect.W();
    for (int i = 0; i < n; ++i) {
        const int left = rect.left + i * w / n;
        zones_.emplace_back(left, rect.top, left + w / n, rect.bottom);
    }
}

void ISwitchFramesControl::HandleMouseDown(int x, int y, const IMouseMod& /*mod*/) {
    const int n = static_cast<int>(zones_.size());
    for (int i = 0; i < n; ++i) {
        if (zones_[static_cast<std::size_t>(i)].Contains(x, y)) {
            SetValue(n > 1 ? double(i) / (n - 1) : 0.0);
            MarkDirty(true);
            return;
        }
    }
}

} // namespace halvane
