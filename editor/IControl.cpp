#include "editor/IControl.h"

#include <algorithm>

#include "plugin/IPlugBase.h"

namespace halvane {

IControl::IControl(IPlugBase* plug, const IRect& rect, int paramIndex)
    : rect_(rect), plug_(plug), targetRect_(rect), paramIndex_(paramIndex) {}

IControl::~IControl() = default;

void IControl::HandleMouseDown(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {}

void IControl::HandleDoubleClick(int /*x*/, int /*y*/, const IMouseMod& /*mod*/) {
    const double v = DblClickValue();
    if (v == kNoDblClickValue)
        return;
    SetValue(v);
    MarkDirty(true);
}

void IControl::TakeValueFromInstrument(double value) {
    // The first value the instrument gives becomes the double-click value: the
    // parameter's default, as the editor is attached before any program loads.
    double none = kNoDblClickValue;
    if (dblClickValue_.compare_exchange_strong(none, value, std::memory_order_relaxed))
        SetValue(value);
    if (value != GetValue()) {
        SetValue(value);
        // Requested before the mark, so a paint finishing meanwhile keeps one of them.
        RequestRedraw();
        MarkDirty(false);
    }
}

void IControl::TakeValueFromUser(double value) {
    if (value != GetValue()) {
        SetValue(value);
        RequestRedraw();
        MarkDirty(true);
    }
}

void IControl::SetHidden(bool hidden) {
    hidden_.store(hidden, std::memory_order_relaxed);
    RequestRedraw();
    MarkDirty(false);
}

void IControl::SetGrayed(bool grayed) {
    grayed_.store(grayed, std::memory_order_relaxed);
    blend_.store(grayed ? kGrayedBlend : 1.0f, std::memory_order_relaxed);
    MarkDirty(false);
}

bool IControl::HitTest(int x, int y) const {
    return targetRect_.Contains(x, y);
}

double IControl::Clamped(double value) const {
    return std::min(std::max(value, clampLow_), clampHigh_);
}

void IControl::SetClamp(double low, double high) {
    clampLow_ = low;
    clampHigh_ = high;
}

void IControl::MarkDirty(bool pushToInstrument) {
    const double v = Clamped(GetValue());
    SetValue(v);
    SetDirty();
    if (pushToInstrument && plug_ && paramIndex_ >= 0)
        plug_->SetParamFromEditor(paramIndex_, v);
}

void IControl::AfterPaint() {
    // A redraw requested while the control was painted keeps it marked once more.
    dirty_.store(redraw_.exchange(false, std::memory_order_acq_rel), std::memory_order_release);
}

bool IControl::NeedsRedraw() const {
    return dirty_.load(std::memory_order_acquire) || redraw_.load(std::memory_order_acquire);
}

} // namespace halvane
