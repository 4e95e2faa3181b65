#include "editor/IZuVoiceDebugger.h"

namespace halvane {

void IZuVoiceDebugger::SetMask(int mask) {
    mask_.store(mask, std::memory_order_relaxed);
    SetDirty();
}

IRect IZuVoiceDebugger::CellRect(int cell) const {
    const int left = rect_.left + cell * kCellWidth;
    return IRect(left, rect_.top, left + kCellWidth, rect_.bottom);
}

void IZuVoiceDebugger::Paint(LICE_MemBitmap& dst, const IRect& clip) {
    for (int k = 0; k < kCells; ++k) {
        const IRect cell = CellRect(k);
        const char label[2] = {k < kCells - 1 ? static_cast<char>('1' + k) : '+', '\0'};
        LICE::FillRect(dst, cell, CellLit(k) ? kLit : kUnlit, clip);
        LICE::DrawText(dst, text_, label, cell, clip);
    }
}

} // namespace halvane
