#include "graphics/x11/X11TextEntry.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>

#include "graphics/IGraphics.h"
#include "graphics/x11/X11Support.h"

namespace halvane {

namespace {

// Far more than any entry needs; keeps what a stuck key can type bounded.
constexpr std::size_t kMaxBytes = 255;
constexpr IColor kSelection{255, 51, 102, 204};
constexpr IColor kSelectedText{255, 255, 255, 255};

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The character a keysym types, as UTF-8, for when there is no input method:
// Latin-1 keysyms are their own code points, keysyms 0x1000000 + U carry U.
// Empty for keys that type nothing.
std::string KeysymText(KeySym key) {
    unsigned long code = 0;
    if ((key >= 0x20 && key <= 0x7E) || (key >= 0xA0 && key <= 0xFF))
        code = key;
    else if (key >= 0x10000A0 && key <= 0x110FFFF)
        code = key - 0x1000000;
    else
        return "";
    std::string text;
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
    return text;
}

} // namespace

X11TextEntry::X11TextEntry(Display* display, Window parent, Visual* visual, int depth,
                           Colormap colormap, XIM inputMethod, const IRect& rect,
                           const IText& style, const char* text, const PlugParam* param)
    : display_(display), visual_(visual), depth_(depth), rect_(rect), style_(style), param_(param),
      text_(text ? text : "") {
    // The entry covers the text rectangle including its last row and column.
    const int width = std::max(1, rect.W() + 1);
    const int height = std::max(1, rect.H() + 1);
    rect_ = IRect(rect.left, rect.top, rect.left + width, rect.top + height);
    XSetWindowAttributes attributes{};
    attributes.colormap = colormap;
    attributes.border_pixel = 0;
    attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | FocusChangeMask;
    window_ = XCreateWindow(display_, parent, rect.left, rect.top, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, depth, InputOutput, visual,
                            CWColormap | CWBorderPixel | CWEventMask, &attributes);
    gc_ = XCreateGC(display_, window_, 0, nullptr);
    if (inputMethod)
        inputContext_ = XCreateIC(inputMethod, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                                  XNClientWindow, window_, XNFocusWindow, window_, nullptr);
    if (inputContext_)
        XSetICFocus(inputContext_);
    canvas_.Resize(width, height);
    caret_ = text_.size();
    anchor_ = 0;
    XMapRaised(display_, window_);
    // Keys go to the entry only while it is open; the host keeps them otherwise.
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
}

X11TextEntry::~X11TextEntry() {
    if (inputContext_)
        XDestroyIC(inputContext_);
    if (gc_)
        XFreeGC(display_, gc_);
    if (window_)
        XDestroyWindow(display_, window_);
}

int X11TextEntry::PrefixWidth(std::size_t bytes) const {
    if (bytes == 0)
        return 0;
    int width = 0, height = 0;
    LICE::MeasureText(style_, text_.substr(0, bytes).c_str(), width, height);
    return width;
}

int X11TextEntry::TextLeft() const {
    const int full = PrefixWidth(text_.size());
    switch (style_.align) {
    case IText::kAlignCenter:
        return (canvas_.Width() - full) / 2;
    case IText::kAlignFar:
        return canvas_.Width() - full - 2;
    default:
        return 2;
    }
}

std::size_t X11TextEntry::OffsetAt(int x) const {
    const int left = TextLeft();
    std::size_t best = 0;
    int bestDistance = 1 << 30;
    for (std::size_t i = 0; i <= text_.size(); ++i) {
        if (i < text_.size() && IsContinuation(text_[i]))
            continue;
        const int distance = std::abs(left + PrefixWidth(i) - x);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

void X11TextEntry::Click(int x) {
    caret_ = anchor_ = OffsetAt(x);
    Paint();
}

void X11TextEntry::DeleteSelection() {
    const std::size_t from = std::min(caret_, anchor_), to = std::max(caret_, anchor_);
    text_.erase(from, to - from);
    caret_ = anchor_ = from;
}

void X11TextEntry::Insert(const std::string& typed) {
    std::string kept;
    for (char c : typed)
        if (static_cast<unsigned char>(c) >= 0x20 && IGraphics::TextEntryAccepts(param_, c))
            kept += c;
    if (kept.empty())
        return;
    DeleteSelection();
    if (text_.size() + kept.size() > kMaxBytes)
        return;
    text_.insert(caret_, kept);
    caret_ += kept.size();
    anchor_ = caret_;
}

X11TextEntry::KeyResult X11TextEntry::Key(XKeyEvent& event) {
    char buffer[64] = {};
    KeySym keysym = NoSymbol;
    int length = 0;
    if (inputContext_) {
        Status status = 0;
        length =
            Xutf8LookupString(inputContext_, &event, buffer, sizeof(buffer) - 1, &keysym, &status);
        if (status == XBufferOverflow || status == XLookupNone)
            length = 0;
        if (status == XLookupChars)
            keysym = NoSymbol;
    } else {
        length = XLookupString(&event, buffer, sizeof(buffer) - 1, &keysym, nullptr);
        // XLookupString gives Latin-1 and nothing beyond it: the keysym says
        // the character (control characters keep what XLookupString made).
        const std::string typed = KeysymText(keysym);
        if (!typed.empty() && !(event.state & ControlMask)) {
            typed.copy(buffer, typed.size());
            length = static_cast<int>(typed.size());
        }
    }
    const bool shift = (event.state & ShiftMask) != 0;
    const std::size_t before = caret_;
    switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
        return KeyResult::kReturn;
    case XK_Escape:
        return KeyResult::kEscape;
    case XK_BackSpace:
        if (caret_ == anchor_ && caret_ > 0) {
            do
                --caret_;
            while (caret_ > 0 && IsContinuation(text_[caret_]));
        }
        DeleteSelection();
        break;
    case XK_Delete:
    case XK_KP_Delete:
        if (caret_ == anchor_ && caret_ < text_.size()) {
            do
                ++caret_;
            while (caret_ < text_.size() && IsContinuation(text_[caret_]));
        }
        DeleteSelection();
        break;
    case XK_Left:
    case XK_KP_Left:
        if (caret_ != anchor_ && !shift)
            caret_ = std::min(caret_, anchor_);
        else
            while (caret_ > 0 && IsContinuation(text_[--caret_])) {
            }
        break;
    case XK_Right:
    case XK_KP_Right:
        if (caret_ != anchor_ && !shift)
            caret_ = std::max(caret_, anchor_);
        else if (caret_ < text_.size())
            do
                ++caret_;
            while (caret_ < text_.size() && IsContinuation(text_[caret_]));
        break;
    case XK_Home:
    case XK_KP_Home:
        caret_ = 0;
        break;
    case XK_End:
    case XK_KP_End:
        caret_ = text_.size();
        break;
    default:
        if (length <= 0 || (event.state & ControlMask))
            return KeyResult::kIgnored;
        Insert(std::string(buffer, static_cast<std::size_t>(length)));
        Paint();
        return KeyResult::kEdited;
    }
    const bool moving = keysym != XK_BackSpace && keysym != XK_Delete && keysym != XK_KP_Delete;
    if (moving && !shift)
        anchor_ = caret_;
    else if (moving && shift && anchor_ == before && caret_ == before)
        anchor_ = caret_;
    Paint();
    return KeyResult::kEdited;
}

void X11TextEntry::Paint() {
    const IRect all(0, 0, canvas_.Width(), canvas_.Height());
    LICE::FillRect(canvas_, all, style_.entryBackground, all);
    IText style = style_;
    style.align = IText::kAlignNear;
    style.color = style_.entryText;
    const int left = TextLeft();
    const std::size_t from = std::min(caret_, anchor_), to = std::max(caret_, anchor_);
    const int selLeft = left + PrefixWidth(from), selRight = left + PrefixWidth(to);
    LICE::DrawText(canvas_, style, text_.c_str(), IRect(left, 0, all.right + 64, all.bottom), all);
    if (to > from) {
        const IRect selection(selLeft, 1, selRight, all.bottom - 1);
        LICE::FillRect(canvas_, selection, kSelection, all);
        style.color = kSelectedText;
        LICE::DrawText(canvas_, style, text_.c_str(), IRect(left, 0, all.right + 64, all.bottom),
                       selection);
    }
    const int caretX = left + PrefixWidth(caret_);
    LICE::FillRect(canvas_, IRect(caretX, 2, caretX + 1, all.bottom - 2), style_.entryText, all);
    x11::PutBitmap({display_, window_, visual_, depth_, gc_}, canvas_, all);
}

} // namespace halvane
