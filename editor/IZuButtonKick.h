#pragma once
// A switch button with an "off" and an "on" picture, each with a released and
// a pressed frame. The parameter toggles on the press.

#include <atomic>

#include "editor/ISwitchControl.h"

namespace halvane {

class IZuButtonKick : public IContactControl {
public:
    IZuButtonKick(IPlugBase* plug, const IRect& rect, int paramIndex, const IBitmap& offBitmap,
                  const IBitmap& onBitmap);

    void Paint(LICE_MemBitmap& dst, const IRect& clip) override;
    void HandleMouseDown(int x, int y, const IMouseMod& mod) override;
    void HandleMouseUp(int x, int y, const IMouseMod& mod) override;

    bool IsOn() const { return GetValue() >= 0.5; }
    bool IsPressed() const { return pressed_.load(std::memory_order_relaxed); }

private:
    IBitmap on_;
    std::atomic<bool> pressed_{false};
};

} // namespace halvane
