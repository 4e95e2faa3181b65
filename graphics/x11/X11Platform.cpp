#include "graphics/x11/X11Platform.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <cstring>

#include "editor/IControl.h"
#include "editor/IPopupMenu.h"
#include "graphics/x11/X11Menu.h"
#include "graphics/x11/X11Support.h"
#include "graphics/x11/X11TextEntry.h"
#include "plugin/IPlugBase.h"

namespace halvane {

namespace {

// X has no double clicks: a second press of the same button this soon and
// this close to the first is one.
constexpr Time kDoubleClickMs = 400;
constexpr int kDoubleClickPixels = 4;

IMouseMod ModOf(unsigned state) {
    return IMouseMod((state & Button1Mask) != 0, (state & Button3Mask) != 0,
                     (state & ShiftMask) != 0, (state & ControlMask) != 0, (state & Mod1Mask) != 0);
}

// The editor's key code of a key, -1 for keys the editor does not take.
int EditorKey(KeySym key) {
    if (key == XK_space)
        return IGraphics::kKeySpace;
    if (key == XK_Up)
        return IGraphics::kKeyUp;
    if (key == XK_Down)
        return IGraphics::kKeyDown;
    if (key == XK_Left)
        return IGraphics::kKeyLeft;
    if (key == XK_Right)
        return IGraphics::kKeyRight;
    if (key >= XK_0 && key <= XK_9)
        return IGraphics::kKeyDigit0 + static_cast<int>(key - XK_0);
    if (key >= XK_a && key <= XK_z)
        return IGraphics::kKeyLetterA + static_cast<int>(key - XK_a);
    if (key >= XK_A && key <= XK_Z)
        return IGraphics::kKeyLetterA + static_cast<int>(key - XK_A);
    return -1;
}

} // namespace

X11Platform::~X11Platform() {
    CloseWindow();
}

bool X11Platform::OpenWindow(IGraphics& editor, void* parentWindow) {
    // A second open without a close replaces the first window.
    CloseWindow();
    const Window parent = static_cast<Window>(reinterpret_cast<std::uintptr_t>(parentWindow));
    if (!parent)
        return false;
    // Our own connection: the host's may belong to another thread or toolkit.
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XWindowAttributes attributes{};
    bool parentOk = false;
    {
        x11::ErrorTrap trap(display);
        parentOk = XGetWindowAttributes(display, parent, &attributes) && !trap.Failed();
    }
    if (!parentOk) {
        XCloseDisplay(display);
        return false;
    }
    display_ = display;
    editor_ = &editor;
    parent_ = parent;
    visual_ = attributes.visual;
    depth_ = attributes.depth;
    colormap_ = attributes.colormap;
    width_ = editor.Width();
    height_ = editor.Height();
    bool created = false;
    {
        x11::ErrorTrap trap(display_);
        XSetWindowAttributes set{};
        set.colormap = colormap_;
        set.border_pixel = 0;
        set.background_pixmap = None;
        set.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                         EnterWindowMask | LeaveWindowMask | StructureNotifyMask | KeyPressMask;
        window_ = XCreateWindow(display_, parent_, 0, 0, static_cast<unsigned>(width_),
                                static_cast<unsigned>(height_), 0, depth_, InputOutput, visual_,
                                CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &set);
        gc_ = window_ ? XCreateGC(display_, window_, 0, nullptr) : nullptr;
        created = window_ && gc_ && !trap.Failed();
    }
    if (!created) {
        // The parent went away between the two requests, or its visual is unusable.
        CloseWindow();
        return false;
    }
    x11::ErrorTrap trap(display_);
    XStoreName(display_, window_, "IPlug");
    XDefineCursor(display_, window_, XCreateFontCursor(display_, 68 /* XC_left_ptr */));
    XMapWindow(display_, window_);
    inputMethod_ = XOpenIM(display_, nullptr, nullptr, nullptr);
    clipboardAtom_ = XInternAtom(display_, "CLIPBOARD", False);
    utf8Atom_ = XInternAtom(display_, "UTF8_STRING", False);
    transferAtom_ = XInternAtom(display_, "HALVANE_CLIPBOARD", False);
    captured_ = false;
    lastPressTime_ = 0;
    lastTick_ = x11::NowMs();
    XFlush(display_);
    return true;
}

void X11Platform::CloseWindow() {
    if (!display_)
        return;
    {
        x11::ErrorTrap trap(display_);
        if (cursorHidden_)
            ShowCursor();
        CloseTextEntry();
        if (gc_)
            XFreeGC(display_, gc_);
        if (hiddenCursor_)
            XFreeCursor(display_, hiddenCursor_);
        // Gone already when the host destroyed its window first.
        if (window_)
            XDestroyWindow(display_, window_);
        if (inputMethod_)
            XCloseIM(inputMethod_);
    }
    XCloseDisplay(display_);
    display_ = nullptr;
    gc_ = nullptr;
    hiddenCursor_ = 0;
    inputMethod_ = nullptr;
    window_ = 0;
    parent_ = 0;
    editor_ = nullptr;
    captured_ = false;
}

void X11Platform::Resize(int width, int height) {
    width_ = width;
    height_ = height;
    if (!display_ || !window_)
        return;
    x11::ErrorTrap trap(display_);
    XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(display_);
}

void X11Platform::Put(const IRect& rect) {
    if (!display_ || !window_ || !editor_)
        return;
    x11::PutBitmap({display_, window_, visual_, depth_, gc_}, editor_->BackBuffer(), rect);
}

void X11Platform::Invalidate(const IRect& rect) {
    if (!display_ || !window_ || !editor_)
        return;
    x11::ErrorTrap trap(display_);
    editor_->Draw(rect);
    // The entry is a child window: X keeps our pixels off it.
    Put(rect);
    XFlush(display_);
}

void X11Platform::Idle() {
    if (!display_)
        return;
    x11::ErrorTrap trap(display_);
    HandlePending(true);
    const long long now = x11::NowMs();
    const int period = editor_ && editor_->FPS() > 0 ? 1000 / editor_->FPS() : 40;
    if (now - lastTick_ >= period) {
        lastTick_ = now;
        Tick();
    }
    XFlush(display_);
}

void X11Platform::Tick() {
    if (!editor_ || !window_)
        return;
    if (entry_) {
        if (entryState_ == EntryState::kCommit || entryState_ == EntryState::kCancel) {
            const bool commit = entryState_ == EntryState::kCommit;
            const std::string text = entry_->Text();
            IControl* control = entryControl_;
            const int param = entryParam_;
            CloseTextEntry();
            if (commit && control)
                editor_->CommitTextEntry(*control, param, text.c_str());
            return;
        }
        entryState_ = EntryState::kNone;
    }
    editor_->OnTimer();
}

void X11Platform::Handle(XEvent& event) {
    if (event.type == MappingNotify) {
        // The keyboard was remapped (another layout, or a tool typing
        // characters the layout lacks): the keys we look up must follow.
        XRefreshKeyboardMapping(&event.xmapping);
        return;
    }
    if (entry_ && event.xany.window == entry_->Handle()) {
        switch (event.type) {
        case Expose:
            if (event.xexpose.count == 0)
                entry_->Paint();
            break;
        case KeyPress:
            switch (entry_->Key(event.xkey)) {
            case X11TextEntry::KeyResult::kReturn:
                entryState_ = EntryState::kCommit;
                break;
            case X11TextEntry::KeyResult::kEscape:
                entryState_ = EntryState::kCancel;
                break;
            default:
                break;
            }
            break;
        case ButtonPress:
            if (event.xbutton.button == Button4 || event.xbutton.button == Button5)
                entryState_ = EntryState::kCancel;
            else
                entry_->Click(event.xbutton.x);
            break;
        case FocusIn:
            if (event.xfocus.detail != NotifyPointer)
                entryFocused_ = true;
            break;
        case FocusOut:
            // Only losing the focus it had counts; the pointer's own focus
            // changes (with the focus at PointerRoot) do not.
            if (entryFocused_ && event.xfocus.mode == NotifyNormal &&
                event.xfocus.detail != NotifyPointer && event.xfocus.detail != NotifyInferior &&
                entryState_ != EntryState::kCancel)
                entryState_ = EntryState::kCommit;
            break;
        default:
            break;
        }
        return;
    }
    if (event.xany.window != window_)
        return;
    switch (event.type) {
    case Expose: {
        // One repaint for the whole series of exposed rectangles.
        IRect area(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                   event.xexpose.y + event.xexpose.height);
        XEvent more;
        while (XCheckTypedWindowEvent(display_, window_, Expose, &more))
            area = area.Union(IRect(more.xexpose.x, more.xexpose.y,
                                    more.xexpose.x + more.xexpose.width,
                                    more.xexpose.y + more.xexpose.height));
        if (editor_) {
            editor_->Draw(area);
            Put(area);
        }
        break;
    }
    case ButtonPress:
        HandleButton(event.xbutton, true);
        break;
    case ButtonRelease:
        HandleButton(event.xbutton, false);
        break;
    case MotionNotify: {
        XEvent latest = event;
        while (XCheckTypedWindowEvent(display_, window_, MotionNotify, &latest)) {
        }
        HandleMotion(latest.xmotion);
        break;
    }
    case LeaveNotify:
        if (event.xcrossing.mode == NotifyNormal && !captured_ && editor_)
            editor_->OnMouseOut();
        break;
    case KeyPress:
        HandleKey(event.xkey);
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == window_) {
            // The host destroyed its window (and ours with it) before closing us.
            window_ = 0;
            entry_.reset();
            captured_ = false;
        }
        break;
    default:
        break;
    }
}

void X11Platform::HandleButton(const XButtonEvent& event, bool press) {
    if (!editor_)
        return;
    const int x = event.x, y = event.y;
    IMouseMod mod = ModOf(event.state);
    if (event.button == Button4 || event.button == Button5) {
        if (!press)
            return;
        if (entry_) {
            entryState_ = EntryState::kCancel;
            return;
        }
        editor_->OnMouseWheel(x, y, mod, event.button == Button4 ? 1.0 : -1.0);
        return;
    }
    if (event.button > Button3)
        return; // horizontal wheel and extra buttons
    // The state is from before the event: the pressed button counts itself in.
    mod.L = event.button == Button1 ? press : mod.L;
    mod.R = event.button == Button3 ? press : mod.R;
    if (!press) {
        captured_ = false;
        editor_->OnMouseUp(x, y, mod);
        return;
    }
    if (entry_) {
        if (entryState_ == EntryState::kJustFocused)
            entryState_ = EntryState::kCancel;
        else if (entryState_ == EntryState::kNone || entryState_ == EntryState::kRepainted)
            entryState_ = EntryState::kCommit;
    }
    const bool doubleClick = event.button == lastPressButton_ &&
                             event.time - lastPressTime_ <= kDoubleClickMs &&
                             std::abs(x - lastPressX_) <= kDoubleClickPixels &&
                             std::abs(y - lastPressY_) <= kDoubleClickPixels;
    lastX_ = x;
    lastY_ = y;
    if (doubleClick) {
        // A third press starts a new pair.
        lastPressButton_ = 0;
        captured_ = editor_->OnMouseDblClick(x, y, mod);
        return;
    }
    lastPressButton_ = event.button;
    lastPressTime_ = event.time;
    lastPressX_ = x;
    lastPressY_ = y;
    captured_ = true;
    editor_->OnMouseDown(x, y, mod);
}

void X11Platform::HandleMotion(const XMotionEvent& event) {
    if (!editor_)
        return;
    const IMouseMod mod = ModOf(event.state);
    const int x = event.x, y = event.y;
    if ((mod.L || mod.R) && captured_ && !entry_) {
        if (x != lastX_ || y != lastY_) {
            editor_->OnMouseDrag(x, y, x - lastX_, y - lastY_, mod);
            lastX_ = x;
            lastY_ = y;
        }
    } else if (!mod.L && !mod.R) {
        lastX_ = x;
        lastY_ = y;
        editor_->OnMouseOver(x, y, mod);
    }
}

void X11Platform::HandleKey(XKeyEvent& event) {
    const int key = EditorKey(XLookupKeysym(&event, 0));
    if (editor_ && key >= 0 && editor_->OnKeyDown(lastX_, lastY_, key))
        return;
    // Not ours: the host's top-level window gets it, as keys pressed there do.
    const Window top = TopLevel();
    if (!top)
        return;
    XKeyEvent forward = event;
    forward.window = top;
    forward.subwindow = None;
    XSendEvent(display_, top, True, KeyPressMask, reinterpret_cast<XEvent*>(&forward));
}

Window X11Platform::TopLevel() const {
    Window at = parent_;
    for (int guard = 0; at && guard < 64; ++guard) {
        Window root = 0, up = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, at, &root, &up, &children, &count))
            return 0;
        if (children)
            XFree(children);
        if (up == root || !up)
            return at;
        at = up;
    }
    return at;
}

void X11Platform::CreateTextEntry(IControl& control, const IText& style, const IRect& rect,
                                  const char* text, int paramIndex) {
    if (entry_ || !display_ || !window_ || !editor_)
        return;
    x11::ErrorTrap trap(display_);
    const PlugParam* param =
        paramIndex >= 0 && editor_->GetPlug() ? editor_->GetPlug()->GetParam(paramIndex) : nullptr;
    int revert = 0;
    XGetInputFocus(display_, &focusBefore_, &revert);
    entry_ = std::make_unique<X11TextEntry>(display_, window_, visual_, depth_, colormap_,
                                            inputMethod_, rect, style, text, param);
    entryControl_ = &control;
    entryParam_ = paramIndex;
    entryState_ = EntryState::kJustFocused;
    entryFocused_ = false;
    entry_->Paint();
    XFlush(display_);
}

void X11Platform::CloseTextEntry() {
    if (!entry_)
        return;
    entry_.reset();
    entryState_ = EntryState::kNone;
    entryControl_ = nullptr;
    entryParam_ = -1;
    // The focus goes back where it was, so the host's shortcuts work again.
    if (window_ && parent_)
        XSetInputFocus(display_, focusBefore_ != None ? focusBefore_ : TopLevel(), RevertToParent,
                       CurrentTime);
}

IPopupMenu* X11Platform::PopupMenu(IPopupMenu& menu, int x, int y) {
    if (!display_ || !window_)
        return nullptr;
    x11::ErrorTrap trap(display_);
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), x, y, &rootX, &rootY,
                          &child);
    // Whatever the button that opened the menu was doing ends here, and the
    // next press starts a new click.
    captured_ = false;
    lastPressButton_ = 0;
    IPopupMenu* chosen = x11::RunPopupMenu(display_, menu, rootX, rootY, [this](XEvent& event) {
        if (event.type == Expose || event.type == DestroyNotify)
            Handle(event);
    });
    if (editor_)
        Invalidate(IRect(0, 0, width_, height_));
    return chosen;
}

void X11Platform::HandlePending(bool input) {
    while (display_ && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        // While a dialog is up, input waits; only painting and the window's end go on.
        if (input || event.type == Expose || event.type == DestroyNotify ||
            event.type == MappingNotify)
            Handle(event);
    }
}

void X11Platform::RepaintWhileWaiting() {
    if (!display_)
        return;
    x11::ErrorTrap trap(display_);
    HandlePending(false);
}

void X11Platform::HideCursor() {
    if (!display_ || !window_ || cursorHidden_)
        return;
    x11::ErrorTrap trap(display_);
    Window root = 0, child = 0;
    int wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(display_, window_, &root, &child, &savedRootX_, &savedRootY_, &wx, &wy, &mask);
    if (!hiddenCursor_) {
        static const char empty[1] = {0};
        const Pixmap blank = XCreateBitmapFromData(display_, window_, empty, 1, 1);
        XColor black{};
        hiddenCursor_ = XCreatePixmapCursor(display_, blank, blank, &black, &black, 0, 0);
        XFreePixmap(display_, blank);
    }
    XDefineCursor(display_, window_, hiddenCursor_);
    cursorHidden_ = true;
    XFlush(display_);
}

void X11Platform::ShowCursor() {
    if (!display_ || !cursorHidden_)
        return;
    x11::ErrorTrap trap(display_);
    cursorHidden_ = false;
    if (!window_)
        return;
    XWarpPointer(display_, None, DefaultRootWindow(display_), 0, 0, 0, 0, savedRootX_, savedRootY_);
    XUndefineCursor(display_, window_);
    XFlush(display_);
}

std::unique_ptr<EditorPlatform> MakeEditorPlatform() {
    return std::make_unique<X11Platform>();
}

} // namespace halvane
