#include "editor/IBitmapControl.h"

#include <algorithm>
#include <cmath>

namespace halvane {

IBitmapControl::IBitmapControl(IPlugBase* plug, const IRect& rect, int paramIndex,
                               const IBitmap& bitmap)
    : IControl(plug, rect, paramIndex), bitmap_(bitmap) {}

int IBitmapControl::FrameOf(double value, int frames) {
    if (frames < 2)
        return 1;
    // Held to the strip, and computed in double so no value can overflow the int.
    const double index = std::floor((frames - 1) * value + 0.5);
    return static_cast<int>(std::min(std::max(index, 0.0), double(frames - 1))) + 1;
}

void IBitmapControl::Paint(LICE_MemBitmap& dst, const IRect& clip) {
    if (bitmap_.Valid())
        LICE::DrawFrame(dst, bitmap_, Frame(), rect_.left, rect_.top, BlendWeight(), clip);
}

} // namespace halvane
