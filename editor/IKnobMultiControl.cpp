#include "editor/IKnobMultiControl.h"

#include "editor/IBitmapControl.h"

namespace halvane {

void IKnobControl::HandleMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
    if (IGraphics* graphics = GetGUI())
        graphics->Platform().HideCursor();
}

void IKnobControl::HandleMouseUp(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
    if (IGraphics* graphics = GetGUI())
        graphics->Platform().ShowCursor();
}

void IKnobControl::HandleMouseDrag(int /*x*/, int /*y*/, int dx, int dy, const IMouseMod& mod) {
    const double g = gearing_ * ((mod.S || mod.C) ? kFineGearing : 1.0);
    double v = GetValue();
    if (direction_ == kVertical) {
        if (rect_.H() > 0)
            v += dy / double(rect_.top - rect_.bottom) / g;
    } else if (rect_.W() > 0) {
        v += dx / double(rect_.right - rect_.left) / g;
    }
    SetValue(v);
    MarkDirty(true);
}

void IKnobControl::HandleWheel(int /*x*/, int /*y*/, const IMouseMod& mod, double d) {
    SetValue(GetValue() + d * ((mod.S || mod.C) ? 0.001 : 0.01));
    MarkDirty(true);
}

int IKnobMultiControl::Frame() const {
    return IBitmapControl::FrameOf(GetValue(), bitmap_.frames);
}

void IKnobMultiControl::Paint(LICE_MemBitmap& dst, const IRect& clip) {
    if (bitmap_.Valid())
        LICE::DrawFrame(dst, bitmap_, Frame(), rect_.left, rect_.top, BlendWeight(), clip);
}

} // namespace halvane
