#include "editor/ITextControl.h"

namespace halvane {

ITextControl::ITextControl(IPlugBase* plug, const IRect& rect, const IText& style, const char* text)
    : IControl(plug, rect), str_(text ? text : "") {
    SetTextStyle(style);
}

void ITextControl::Paint(LICE_MemBitmap& dst, const IRect& clip) {
    if (!str_.empty())
        LICE::DrawText(dst, text_, str_.c_str(), rect_, clip);
}

void ITextControl::SetTextFromPlug(const char* text) {
    const char* t = text ? text : "";
    if (str_ == t)
        return;
    MarkDirty(false);
    str_ = t;
}

} // namespace halvane
