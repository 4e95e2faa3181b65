#pragma once
// A line of text in a text style, drawn in the control's rectangle.

#include <string>

#include "editor/IControl.h"

namespace halvane {

class ITextControl : public IControl {
public:
    ITextControl(IPlugBase* plug, const IRect& rect, const IText& style, const char* text);

    void Paint(LICE_MemBitmap& dst, const IRect& clip) override;
    // Replaces the text and marks the control for redraw, when it differs.
    void SetTextFromPlug(const char* text);
    const std::string& Text() const { return str_; }

private:
    std::string str_;
};

} // namespace halvane
