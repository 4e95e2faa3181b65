// The text entry of the Windows editor window: a one-line edit box of the
// system over the control, its typing filtered for the parameter's kind. The
// box only records what the user did (the entry state); the window's timer
// settles it, so a commit never runs inside the box's own messages.

#include "graphics/win32/IGraphicsWin.h"

#include "platform/Module.h"
#include "plugin/IPlugBase.h"

namespace halvane {

namespace {

// Longest text the entry box holds.
constexpr int kEntryMaxChars = 255;

} // namespace

void IGraphicsWin::CreateTextEntry(IControl& control, const IText& style, const IRect& rect,
                                   const char* text, int paramIndex) {
    if (entry_ || !hwnd_ || !editor_)
        return;
    DWORD align = ES_CENTER;
    if (style.align == IText::kAlignNear)
        align = ES_LEFT;
    else if (style.align == IText::kAlignFar)
        align = ES_RIGHT;
    entry_ =
        CreateWindowExA(0, "EDIT", text ? text : "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | align,
                        rect.left, rect.top, rect.right - rect.left + 1, rect.bottom - rect.top + 1,
                        hwnd_, nullptr, static_cast<HINSTANCE>(ModuleHandle()), nullptr);
    if (!entry_)
        return;
    entryRect_ = RECT{rect.left, rect.top, rect.right + 1, rect.bottom + 1};
    entryFont_ = CreateFontA(
        style.size, 0, 0, 0, style.style == IText::kStyleBold ? FW_BOLD : FW_NORMAL,
        style.style == IText::kStyleItalic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, style.font);
    if (entryFont_)
        SendMessageA(entry_, WM_SETFONT, reinterpret_cast<WPARAM>(entryFont_), FALSE);
    SendMessageA(entry_, EM_LIMITTEXT, kEntryMaxChars, 0);
    entryControl_ = &control;
    entryParam_ = paramIndex;
    entryParamRecord_ =
        paramIndex >= 0 && editor_->GetPlug() ? editor_->GetPlug()->GetParam(paramIndex) : nullptr;
    entryState_ = EntryState::kNone;
    SetWindowLongPtrA(entry_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    entryDefault_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(entry_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EntryProc)));
    SendMessageA(entry_, EM_SETSEL, 0, -1);
    SetFocus(entry_);
}

void IGraphicsWin::CloseTextEntry() {
    if (!entry_)
        return;
    const HWND box = entry_;
    const bool focused = GetFocus() == box;
    entry_ = nullptr;
    entryState_ = EntryState::kNone;
    entryControl_ = nullptr;
    entryParam_ = -1;
    entryParamRecord_ = nullptr;
    SetWindowLongPtrA(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entryDefault_));
    DestroyWindow(box);
    if (entryFont_) {
        DeleteObject(entryFont_);
        entryFont_ = nullptr;
    }
    if (focused && hwnd_)
        SetFocus(hwnd_);
    if (hwnd_)
        InvalidateRect(hwnd_, &entryRect_, FALSE);
}

LRESULT CALLBACK IGraphicsWin::EntryProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self || self->entry_ != hwnd)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    return self->HandleEntry(msg, wParam, lParam);
}

LRESULT IGraphicsWin::HandleEntry(UINT msg, WPARAM wParam, LPARAM lParam) {
    const WNDPROC base = entryDefault_;
    const HWND box = entry_;
    switch (msg) {
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | CallWindowProcA(base, box, msg, wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            entryState_ = EntryState::kCommit;
            return 0;
        }
        if (wParam == VK_ESCAPE) {
            entryState_ = EntryState::kCancel;
            return 0;
        }
        break;
    case WM_CHAR: {
        const char c = static_cast<char>(wParam);
        // Return and Escape did their work on the key; a one-line box takes no tabs.
        if (c == '\r' || c == '\n' || c == 27 || c == '\t')
            return 0;
        if (!IGraphics::TextEntryAccepts(entryParamRecord_, c))
            return 0;
        break;
    }
    case WM_SETFOCUS:
        entryState_ = EntryState::kJustFocused;
        break;
    case WM_KILLFOCUS:
        if (entryState_ != EntryState::kCancel)
            entryState_ = EntryState::kCommit;
        break;
    case WM_MOUSEWHEEL:
        entryState_ = EntryState::kCancel;
        return 0;
    default:
        break;
    }
    return CallWindowProcA(base, box, msg, wParam, lParam);
}

} // namespace halvane
