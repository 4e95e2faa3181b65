#pragma once
// A control drawn as one frame of a bitmap strip chosen by its value: the
// background, the indicators, and the base of the switches.

#include "editor/IControl.h"

namespace halvane {

class IBitmapControl : public IControl {
public:
    IBitmapControl(IPlugBase* plug, const IRect& rect, int paramIndex, const IBitmap& bitmap);

    void Paint(LICE_MemBitmap& dst, const IRect& clip) override;

    // The 1-based frame a value shows on a strip of frames frames.
    static int FrameOf(double value, int frames);
    int Frame() const { return FrameOf(GetValue(), bitmap_.frames); }
    const IBitmap& Bitmap() const { return bitmap_; }

protected:
    void SetBitmap(const IBitmap& bitmap) { bitmap_ = bitmap; }

private:
    IBitmap bitmap_;
};

} // namespace halvane
