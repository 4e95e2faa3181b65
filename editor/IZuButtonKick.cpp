#include "editor/IZuButtonKick.h"

#include "plugin/IPlugBase.h"

namespace halvane {

IZuButtonKick::IZuButtonKick(IPlugBase* plug, const IRect& rect, int paramIndex,
                             const IBitmap& offBitmap, const IBitmap& onBitmap)
    : IContactControl(plug, rect, paramIndex, offBitmap), on_(onBitmap) {}

void IZuButtonKick::Paint(LICE_MemBitmap& dst, const IRect& clip) {
    // The control's value follows its two-state parameter exactly, and unlike
    // the parameter it may be read while another thread changes it.
    const IBitmap& picture = IsOn() ? on_ : Bitmap();
    if (picture.Valid())
        LICE::DrawFrame(dst, picture, IsPressed() ? 2 : 1, rect_.left, rect_.top, BlendWeight(),
                        clip);
}

void IZuButtonKick::HandleMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
    pressed_.store(true, std::memory_order_relaxed);
    SetValue(NextValue());
    MarkDirty(true);
}

void IZuButtonKick::HandleMouseUp(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
    pressed_.store(false, std::memory_order_relaxed);
    if (GetPlug() && ParamIdx() >= 0)
        GetPlug()->SetParamFromEditor(ParamIdx(), IsOn() ? 1.0 : 0.0);
    MarkDirty(true);
}

} // namespace halvane
