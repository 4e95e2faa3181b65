#pragma once
// The one-line text entry of the X11 editor window: a child window over the
// control's text rectangle, drawn by us in the control's text style, with a
// caret, a selection (everything selected at the start), typing through the
// input method and the usual editing keys. Characters a parameter's entry
// does not take are dropped as they are typed. Whether the entry commits or
// cancels is the window's business (it settles on its timer tick); the entry
// reports Return and Escape and otherwise only edits.

#include <X11/Xlib.h>

#include <string>

#include "graphics/GraphicsTypes.h"
#include "graphics/LICE.h"

namespace halvane {

class PlugParam;

class X11TextEntry {
public:
    enum class KeyResult { kEdited, kReturn, kEscape, kIgnored };

    // Creates the window as a child of parent over rect and takes the focus.
    X11TextEntry(Display* display, Window parent, Visual* visual, int depth, Colormap colormap,
                 XIM inputMethod, const IRect& rect, const IText& style, const char* text,
                 const PlugParam* param);
    ~X11TextEntry();
    X11TextEntry(const X11TextEntry&) = delete;
    X11TextEntry& operator=(const X11TextEntry&) = delete;

    Window Handle() const { return window_; }
    const std::string& Text() const { return text_; }
    KeyResult Key(XKeyEvent& event);
    // A click inside the entry places the caret.
    void Click(int x);
    void Paint();

private:
    void Insert(const std::string& typed);
    void DeleteSelection();
    int PrefixWidth(std::size_t bytes) const;
    int TextLeft() const;
    std::size_t OffsetAt(int x) const;

    Display* display_;
    Window window_ = 0;
    GC gc_ = nullptr;
    XIC inputContext_ = nullptr;
    Visual* visual_;
    int depth_;
    IRect rect_;
    IText style_;
    const PlugParam* param_;
    std::string text_;
    std::size_t caret_ = 0;  // byte offset
    std::size_t anchor_ = 0; // the other end of the selection
    LICE_MemBitmap canvas_;
};

} // namespace halvane
