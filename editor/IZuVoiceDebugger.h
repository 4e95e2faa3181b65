#pragma once
// Which voices sound: eight cells for voices 1 to 8 and one "+" cell for any
// of the others, lit while the voice is active. Fed by the instrument's idle
// operation while shown.

#include <atomic>

#include "editor/IControl.h"

namespace halvane {

class IZuVoiceDebugger : public IControl {
public:
    static constexpr int kCells = 9;
    static constexpr int kCellWidth = 16;
    static constexpr IColor kLit{255, 255, 127, 0};
    static constexpr IColor kUnlit{255, 127, 127, 127};

    IZuVoiceDebugger(IPlugBase* plug, const IRect& rect, const IText& style)
        : IControl(plug, rect) {
        SetTextStyle(style);
    }

    void Paint(LICE_MemBitmap& dst, const IRect& clip) override;

    // Voices 0..7 in bits 8..1, any other voice in bit 0.
    void SetMask(int mask);
    int Mask() const { return mask_.load(std::memory_order_relaxed); }
    // Cell k (0..8) is lit for bit 8 - k.
    bool CellLit(int cell) const { return (Mask() >> (kCells - 1 - cell)) & 1; }
    IRect CellRect(int cell) const;

private:
    std::atomic<int> mask_{0};
};

} // namespace halvane
