#include "graphics/win32/IGraphicsWin.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "editor/IControl.h"
#include "platform/Module.h"
#include "plugin/IPlugBase.h"

namespace halvane {

namespace {

// Open editor windows of the process: the first registers the class, the last
// unregisters it.
std::mutex gClassLock;
int gOpenWindows = 0;

HINSTANCE Instance() {
    return static_cast<HINSTANCE>(ModuleHandle());
}

bool RegisterEditorClass(WNDPROC proc) {
    std::lock_guard<std::mutex> lock(gClassLock);
    if (gOpenWindows++ > 0)
        return true;
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = IGraphicsWin::kClassName;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        --gOpenWindows;
        return false;
    }
    return true;
}

void ReleaseEditorClass() {
    std::lock_guard<std::mutex> lock(gClassLock);
    if (gOpenWindows > 0 && --gOpenWindows == 0)
        UnregisterClassA(IGraphicsWin::kClassName, Instance());
}

// Editors with host codes that size their own windows around ours.
constexpr int kHostReaper = 1;
constexpr int kHostCubase = 3;

constexpr int kWheelNotch = 120;
// What a committed text entry reads, plus its terminator.
constexpr int kEntryReadChars = 32;

IMouseMod ModOf(WPARAM wParam) {
    return IMouseMod((wParam & MK_LBUTTON) != 0, (wParam & MK_RBUTTON) != 0,
                     (wParam & MK_SHIFT) != 0, (wParam & MK_CONTROL) != 0,
                     GetKeyState(VK_MENU) < 0);
}

// The editor's key code of a virtual key, -1 for keys the editor does not take.
int EditorKey(WPARAM key) {
    switch (key) {
    case VK_SPACE:
        return IGraphics::kKeySpace;
    case VK_UP:
        return IGraphics::kKeyUp;
    case VK_DOWN:
        return IGraphics::kKeyDown;
    case VK_LEFT:
        return IGraphics::kKeyLeft;
    case VK_RIGHT:
        return IGraphics::kKeyRight;
    default:
        break;
    }
    if (key >= '0' && key <= '9')
        return IGraphics::kKeyDigit0 + static_cast<int>(key - '0');
    if (key >= 'A' && key <= 'Z')
        return IGraphics::kKeyLetterA + static_cast<int>(key - 'A');
    // The lower-case range of the key codes counts as letters too, as it
    // always has for this editor.
    if (key >= 'a' && key <= 'z')
        return IGraphics::kKeyLetterA + static_cast<int>(key - 'a');
    return -1;
}

RECT ToRect(const IRect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

} // namespace

IGraphicsWin::~IGraphicsWin() {
    CloseWindow();
}

bool IGraphicsWin::OpenWindow(IGraphics& editor, void* parentWindow) {
    // Reopening without a close: the new window takes the old one's place.
    if (open_) {
        if (hwnd_ && GetWindowRect(hwnd_, &lastPlace_)) {
            MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&lastPlace_),
                            2);
            hadWindow_ = true;
        }
        CloseWindow();
    }
    HWND parent = static_cast<HWND>(parentWindow);
    if (!RegisterEditorClass(&WndProc))
        return false;
    editor_ = &editor;
    parent_ = parent;
    int x = 0, y = 0, w = editor.Width(), h = editor.Height();
    if (hadWindow_) {
        x = lastPlace_.left;
        y = lastPlace_.top;
        w = lastPlace_.right - lastPlace_.left;
        h = lastPlace_.bottom - lastPlace_.top;
        hadWindow_ = false;
    }
    hwnd_ = CreateWindowExA(0, kClassName, "IPlug", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, x, y,
                            w, h, parent, nullptr, Instance(), this);
    if (!hwnd_) {
        editor_ = nullptr;
        parent_ = nullptr;
        ReleaseEditorClass();
        return false;
    }
    open_ = true;
    if (editor.TooltipsEnabled())
        MakeTooltip();
    return true;
}

void IGraphicsWin::CloseWindow() {
    if (!open_)
        return;
    if (cursorHidden_)
        ShowCursor();
    CloseTextEntry();
    if (tooltip_) {
        DestroyWindow(tooltip_);
        tooltip_ = nullptr;
    }
    if (hwnd_) {
        const HWND window = hwnd_;
        DestroyWindow(window); // clears hwnd_ on its way out
    }
    hwnd_ = nullptr;
    // The box went with the window when the host destroyed its window first.
    if (entryFont_) {
        DeleteObject(entryFont_);
        entryFont_ = nullptr;
    }
    FreeSurface();
    open_ = false;
    editor_ = nullptr;
    parent_ = nullptr;
    tracking_ = false;
    hoverControl_ = -1;
    ReleaseEditorClass();
}

void IGraphicsWin::MakeTooltip() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    tooltip_ =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                        WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, Instance(), nullptr);
    if (!tooltip_)
        return;
    TOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    tool.hinst = Instance();
    tool.lpszText = const_cast<char*>("");
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void IGraphicsWin::HideTooltip() {
    if (tooltip_)
        SendMessageA(tooltip_, TTM_POP, 0, 0);
}

bool IGraphicsWin::EnsureSurface() {
    if (!editor_)
        return false;
    const int w = editor_->Width(), h = editor_->Height();
    if (surface_ && surfaceWidth_ == w && surfaceHeight_ == h)
        return true;
    FreeSurface();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // rows top down, as in the back buffer
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    surfaceDc_ = CreateCompatibleDC(nullptr);
    surface_ = surfaceDc_ ? CreateDIBSection(surfaceDc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                          : nullptr;
    if (!surface_ || !bits) {
        FreeSurface();
        return false;
    }
    surfaceOld_ = SelectObject(surfaceDc_, surface_);
    surfaceBits_ = static_cast<uint32_t*>(bits);
    surfaceWidth_ = w;
    surfaceHeight_ = h;
    return true;
}

void IGraphicsWin::FreeSurface() {
    if (surfaceDc_ && surfaceOld_)
        SelectObject(surfaceDc_, surfaceOld_);
    if (surface_)
        DeleteObject(surface_);
    if (surfaceDc_)
        DeleteDC(surfaceDc_);
    surfaceDc_ = nullptr;
    surface_ = nullptr;
    surfaceOld_ = nullptr;
    surfaceBits_ = nullptr;
    surfaceWidth_ = surfaceHeight_ = 0;
}

void IGraphicsWin::Paint() {
    RECT update{};
    if (!GetUpdateRect(hwnd_, &update, FALSE)) {
        ValidateRect(hwnd_, nullptr);
        return;
    }
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(hwnd_, &ps);
    if (dc && editor_ && EnsureSurface()) {
        const LICE_MemBitmap& back = editor_->BackBuffer();
        IRect area(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
        editor_->Draw(area);
        area = area.Intersect(IRect(0, 0, std::min(back.Width(), surfaceWidth_),
                                    std::min(back.Height(), surfaceHeight_)));
        if (!area.Empty()) {
            // 32-bit DIB pixels are 0x00RRGGBB words, as the back buffer's are.
            GdiFlush();
            for (int y = area.top; y < area.bottom; ++y)
                std::memcpy(surfaceBits_ + static_cast<std::size_t>(y) * surfaceWidth_ + area.left,
                            back.Bits() + static_cast<std::size_t>(y) * back.RowSpan() + area.left,
                            static_cast<std::size_t>(area.W()) * sizeof(uint32_t));
            BitBlt(dc, area.left, area.top, area.W(), area.H(), surfaceDc_, area.left, area.top,
                   SRCCOPY);
        }
        if (entry_ && entryState_ == EntryState::kNone)
            entryState_ = EntryState::kRepainted;
    }
    EndPaint(hwnd_, &ps);
}

void IGraphicsWin::Invalidate(const IRect& rect) {
    if (!hwnd_)
        return;
    const RECT r = ToRect(rect);
    InvalidateRect(hwnd_, &r, FALSE);
    // The entry box paints itself.
    if (entry_)
        ValidateRect(hwnd_, &entryRect_);
    UpdateWindow(hwnd_);
}

void IGraphicsWin::Resize(int width, int height) {
    if (!hwnd_)
        return;
    RECT r{};
    GetWindowRect(hwnd_, &r);
    const int dw = width - (r.right - r.left), dh = height - (r.bottom - r.top);
    SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const int host = editor_ && editor_->GetPlug() ? editor_->GetPlug()->HostId() : 0;
    const bool child = (GetWindowLongA(hwnd_, GWL_STYLE) & WS_CHILD) != 0;
    if (child && host != kHostReaper && host != kHostCubase && (dw || dh)) {
        // The host's two enclosing windows grow with us.
        HWND outer = GetParent(hwnd_);
        for (int level = 0; level < 2 && outer; ++level, outer = GetParent(outer)) {
            RECT o{};
            GetWindowRect(outer, &o);
            SetWindowPos(outer, nullptr, 0, 0, o.right - o.left + dw, o.bottom - o.top + dh,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void IGraphicsWin::Tick() {
    if (!editor_)
        return;
    if (entry_) {
        if (entryState_ == EntryState::kCommit || entryState_ == EntryState::kCancel) {
            const bool commit = entryState_ == EntryState::kCommit;
            char text[kEntryReadChars] = {};
            GetWindowTextA(entry_, text, kEntryReadChars);
            IControl* control = entryControl_;
            const int param = entryParam_;
            CloseTextEntry();
            if (commit && control)
                editor_->CommitTextEntry(*control, param, text);
            return;
        }
        if (entryState_ != EntryState::kNone)
            entryState_ = EntryState::kNone;
    }
    editor_->OnTimer();
}

void IGraphicsWin::MouseDown(WPARAM wParam, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    HideTooltip();
    if (entry_) {
        if (entryState_ == EntryState::kJustFocused)
            entryState_ = EntryState::kCancel;
        else if (entryState_ == EntryState::kNone)
            entryState_ = EntryState::kCommit;
    }
    SetFocus(hwnd_);
    SetCapture(hwnd_);
    lastX_ = x;
    lastY_ = y;
    editor_->OnMouseDown(x, y, ModOf(wParam));
}

void IGraphicsWin::MouseMove(WPARAM wParam, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    const IMouseMod mod = ModOf(wParam);
    if (mod.L || mod.R) {
        if (GetCapture() == hwnd_ && !entry_ && (x != lastX_ || y != lastY_)) {
            editor_->OnMouseDrag(x, y, x - lastX_, y - lastY_, mod);
            lastX_ = x;
            lastY_ = y;
        }
        return;
    }
    lastX_ = x;
    lastY_ = y;
    const int over = editor_->OnMouseOver(x, y, mod);
    if (over != hoverControl_ || !tracking_) {
        if (over != hoverControl_)
            HideTooltip();
        hoverControl_ = over;
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_HOVER | TME_LEAVE, hwnd_, HOVER_DEFAULT};
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
}

void IGraphicsWin::KeyDown(UINT msg, WPARAM wParam, LPARAM lParam) {
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(hwnd_, &p);
    const int key = EditorKey(wParam);
    if (key >= 0 && editor_->OnKeyDown(p.x, p.y, key))
        return;
    // Not ours: the host's window gets it, as keys pressed there do.
    if (HWND root = GetAncestor(hwnd_, GA_ROOT); root && root != hwnd_)
        SendMessageA(root, msg, wParam, lParam);
}

LRESULT CALLBACK IGraphicsWin::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self || !self->editor_)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCCREATE)
        self->hwnd_ = hwnd;
    return self->Handle(msg, wParam, lParam);
}

LRESULT IGraphicsWin::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        SetTimer(hwnd_, kTimerId, static_cast<UINT>(1000 / std::max(1, editor_->FPS())), nullptr);
        SetFocus(hwnd_);
        return 0;
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // every pixel comes from the back buffer
    case WM_TIMER:
        if (wParam == kTimerId)
            Tick();
        return 0;
    case WM_KEYDOWN:
        KeyDown(msg, wParam, lParam);
        return 0;
    case WM_KEYUP:
        if (HWND root = GetAncestor(hwnd_, GA_ROOT); root && root != hwnd_)
            SendMessageA(root, msg, wParam, lParam);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        MouseDown(wParam, lParam);
        return 0;
    case WM_MOUSEMOVE:
        MouseMove(wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        ReleaseCapture();
        editor_->OnMouseUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), ModOf(wParam));
        return 0;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        lastX_ = GET_X_LPARAM(lParam);
        lastY_ = GET_Y_LPARAM(lParam);
        if (editor_->OnMouseDblClick(lastX_, lastY_, ModOf(wParam)))
            SetCapture(hwnd_);
        return 0;
    case WM_MOUSEWHEEL: {
        if (entry_) {
            entryState_ = EntryState::kCancel;
            return 0;
        }
        RECT r{};
        GetWindowRect(hwnd_, &r);
        const int x = GET_X_LPARAM(lParam) - r.left, y = GET_Y_LPARAM(lParam) - r.top;
        const double notches =
            static_cast<double>(GET_WHEEL_DELTA_WPARAM(wParam)) / static_cast<double>(kWheelNotch);
        editor_->OnMouseWheel(x, y, ModOf(GET_KEYSTATE_WPARAM(wParam)), notches);
        return 0;
    }
    case WM_MOUSEHOVER:
        // No control of this editor has a tooltip text: nothing to show.
        tracking_ = false;
        return 0;
    case WM_MOUSELEAVE:
        tracking_ = false;
        hoverControl_ = -1;
        HideTooltip();
        editor_->OnMouseOut();
        return 0;
    case WM_COMMAND:
        if (entry_ && reinterpret_cast<HWND>(lParam) == entry_ && HIWORD(wParam) == EN_KILLFOCUS &&
            entryState_ != EntryState::kCancel)
            entryState_ = EntryState::kCommit;
        return 0;
    case WM_CLOSE:
        editor_->CloseWindow();
        return 0;
    case WM_DESTROY:
        // The host may destroy its window, and ours with it, before closing us.
        KillTimer(hwnd_, kTimerId);
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        entry_ = nullptr;
        entryState_ = EntryState::kNone;
        entryControl_ = nullptr;
        hwnd_ = nullptr;
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

// ---- Cursor

void IGraphicsWin::HideCursor() {
    if (cursorHidden_ || !hwnd_)
        return;
    GetCursorPos(&savedCursor_);
    ::ShowCursor(FALSE);
    cursorHidden_ = true;
}

void IGraphicsWin::ShowCursor() {
    if (!cursorHidden_)
        return;
    cursorHidden_ = false;
    SetCursorPos(savedCursor_.x, savedCursor_.y);
    ::ShowCursor(TRUE);
}

// ---- The host's top-level window

namespace {

struct TopLevelSearch {
    const std::string* className;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<TopLevelSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    char name[256] = {};
    if (process == GetCurrentProcessId() && GetClassNameA(hwnd, name, sizeof(name)) &&
        *search->className == name) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND IGraphicsWin::TopLevel() {
    if (topLevel_ && IsWindow(topLevel_))
        return topLevel_;
    topLevel_ = nullptr;
    if (!topLevelClass_.empty()) {
        TopLevelSearch search{&topLevelClass_, nullptr};
        EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&search));
        topLevel_ = search.found;
    }
    if (!topLevel_ && parent_) {
        HWND at = parent_;
        while (HWND up = GetParent(at))
            at = up;
        topLevel_ = at;
        char name[256] = {};
        if (GetClassNameA(at, name, sizeof(name)))
            topLevelClass_ = name;
    }
    return topLevel_;
}

std::unique_ptr<EditorPlatform> MakeEditorPlatform() {
    return std::make_unique<IGraphicsWin>();
}

} // namespace halvane
