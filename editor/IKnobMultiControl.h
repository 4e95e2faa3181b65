#pragma once
// Knobs turned by dragging: IKnobControl holds the direction and gearing,
// IKnobMultiControl draws the value as one frame of a bitmap strip.

#include "editor/IControl.h"

namespace halvane {

class IKnobControl : public IControl {
public:
    enum Direction { kVertical, kHorizontal };
    static constexpr double kFineGearing = 10.0; // with shift or control held

    IKnobControl(IPlugBase* plug, const IRect& rect, int paramIndex, Direction direction,
                 double gearing)
        : IControl(plug, rect, paramIndex), direction_(direction), gearing_(gearing) {}

    // The pointer hides for the drag and comes back where the press was, so a
    // long drag does not leave it stranded far from the knob.
    void HandleMouseDown(int x, int y, const IMouseMod& mod) override;
    void HandleMouseUp(int x, int y, const IMouseMod& mod) override;
    // One full turn over the knob's height (or width) times the gearing.
    void HandleMouseDrag(int x, int y, int dx, int dy, const IMouseMod& mod) override;
    // One hundredth of the range per notch, a thousandth with shift or control.
    void HandleWheel(int x, int y, const IMouseMod& mod, double d) override;

private:
    Direction direction_;
    double gearing_;
};

class IKnobMultiControl : public IKnobControl {
public:
    IKnobMultiControl(IPlugBase* plug, const IRect& rect, int paramIndex, const IBitmap& bitmap,
                      double gearing, Direction direction = kVertical)
        : IKnobControl(plug, rect, paramIndex, direction, gearing), bitmap_(bitmap) {}

    void Paint(LICE_MemBitmap& dst, const IRect& clip) override;
    int Frame() const;

private:
    IBitmap bitmap_;
};

} // namespace halvane
