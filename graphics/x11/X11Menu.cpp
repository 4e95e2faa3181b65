#include "graphics/x11/X11Menu.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "editor/IPopupMenu.h"
#include "graphics/LICE.h"
#include "graphics/x11/X11Support.h"

namespace halvane {

namespace x11 {

namespace {

constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 9;
constexpr int kCheckColumn = 20;
constexpr int kArrowColumn = 22;
constexpr int kMinWidth = 80;
constexpr IColor kBackground{255, 240, 240, 240};
constexpr IColor kBorder{255, 120, 120, 120};
constexpr IColor kText{255, 0, 0, 0};
constexpr IColor kDisabledText{255, 150, 150, 150};
constexpr IColor kHighlight{255, 51, 102, 204};
constexpr IColor kHighlightText{255, 255, 255, 255};

const IText& ItemStyle() {
    static const IText style("Arial", 14, kText, IText::kAlignNear);
    return style;
}

// One open level of the menu.
struct Level {
    IPopupMenu* menu = nullptr;
    Window window = 0;
    GC gc = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<int> tops; // top of each item
    int hover = -1;
    LICE_MemBitmap canvas;
};

class MenuSession {
public:
    MenuSession(Display* display, const std::function<void(XEvent&)>& onOtherEvent)
        : display_(display), screen_(DefaultScreen(display)), onOtherEvent_(onOtherEvent) {}
    ~MenuSession() {
        while (!levels_.empty())
            CloseLevel();
    }

    IPopupMenu* Run(IPopupMenu& menu, int x, int y);

private:
    int ItemHeight(const IPopupMenu& menu, int i) const {
        return menu.GetItem(i)->IsSeparator() ? kSeparatorHeight : kItemHeight;
    }
    void OpenLevel(IPopupMenu& menu, int x, int y, int flipX);
    void CloseLevel();
    void Paint(Level& level);
    // The level and item at a screen point; false when outside every level.
    bool Hit(int rootX, int rootY, int& level, int& item) const;
    void Hover(int level, int item);
    bool Selectable(const IPopupMenu& menu, int item) const {
        const IPopupMenu::Item* it = menu.GetItem(item);
        return it && !it->IsSeparator();
    }
    // Chooses the item: true when the menu is done (an item was taken).
    bool Choose(int level, int item);
    void Step(int direction);

    Display* display_;
    int screen_;
    const std::function<void(XEvent&)>& onOtherEvent_;
    std::vector<std::unique_ptr<Level>> levels_;
    IPopupMenu* chosen_ = nullptr;
};

void MenuSession::OpenLevel(IPopupMenu& menu, int x, int y, int flipX) {
    auto level = std::make_unique<Level>();
    level->menu = &menu;
    int width = kMinWidth, height = 2;
    for (int i = 0; i < menu.NItems(); ++i) {
        int w = 0, h = 0;
        LICE::MeasureText(ItemStyle(), menu.DisplayText(i).c_str(), w, h);
        width = std::max(width, w + kCheckColumn + kArrowColumn);
        level->tops.push_back(height - 1);
        height += ItemHeight(menu, i);
    }
    const int screenW = DisplayWidth(display_, screen_);
    const int screenH = DisplayHeight(display_, screen_);
    // Flip left (to the other side of the parent level) or up where the
    // menu would leave the screen.
    if (x + width > screenW)
        x = std::max(0, flipX - width);
    if (y + height > screenH)
        y = std::max(0, std::min(y, screenH) - height);
    level->x = x;
    level->y = y;
    level->width = width;
    level->height = height;
    level->canvas.Resize(width, height);

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    attributes.event_mask =
        ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
    level->window =
        XCreateWindow(display_, RootWindow(display_, screen_), x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, DefaultDepth(display_, screen_),
                      InputOutput, DefaultVisual(display_, screen_),
                      CWOverrideRedirect | CWSaveUnder | CWEventMask, &attributes);
    level->gc = XCreateGC(display_, level->window, 0, nullptr);
    XMapRaised(display_, level->window);
    levels_.push_back(std::move(level));
    Paint(*levels_.back());
}

void MenuSession::CloseLevel() {
    Level& level = *levels_.back();
    XFreeGC(display_, level.gc);
    XDestroyWindow(display_, level.window);
    levels_.pop_back();
    if (!levels_.empty())
        Paint(*levels_.back());
}

void MenuSession::Paint(Level& level) {
    LICE_MemBitmap& c = level.canvas;
    const IRect all(0, 0, c.Width(), c.Height());
    LICE::FillRect(c, all, kBorder, all);
    LICE::FillRect(c, IRect(1, 1, all.right - 1, all.bottom - 1), kBackground, all);
    const IPopupMenu& menu = *level.menu;
    for (int i = 0; i < menu.NItems(); ++i) {
        const IPopupMenu::Item* item = menu.GetItem(i);
        const int top = level.tops[static_cast<std::size_t>(i)] + 1;
        if (item->IsSeparator()) {
            LICE::FillRect(c, IRect(4, top + 4, all.right - 4, top + 5), kBorder, all);
            continue;
        }
        const IRect row(1, top, all.right - 1, top + kItemHeight);
        const bool lit = i == level.hover;
        if (lit)
            LICE::FillRect(c, row, kHighlight, all);
        IText style = ItemStyle();
        style.color = !item->Enabled() ? kDisabledText : lit ? kHighlightText : kText;
        LICE::DrawText(c, style, menu.DisplayText(i).c_str(),
                       IRect(kCheckColumn, top, all.right - kArrowColumn, top + kItemHeight), all);
        const int mid = top + kItemHeight / 2;
        if (item->Checked()) {
            // A tick: a short stroke down to the right, a long one up.
            for (int k = 0; k < 4; ++k)
                LICE::FillRect(c, IRect(5 + k, mid - 1 + k, 7 + k, mid + 1 + k), style.color, all);
            for (int k = 0; k < 7; ++k)
                LICE::FillRect(c, IRect(9 + k, mid + 2 - k, 11 + k, mid + 4 - k), style.color, all);
        }
        if (item->submenu) {
            for (int k = 0; k < 4; ++k)
                LICE::FillRect(
                    c, IRect(all.right - 14 + k, mid - 4 + k, all.right - 13 + k, mid + 5 - k),
                    style.color, all);
        }
    }
    PutBitmap({display_, level.window, DefaultVisual(display_, screen_),
               DefaultDepth(display_, screen_), level.gc},
              c, all);
}

bool MenuSession::Hit(int rootX, int rootY, int& level, int& item) const {
    for (int l = static_cast<int>(levels_.size()) - 1; l >= 0; --l) {
        const Level& lv = *levels_[static_cast<std::size_t>(l)];
        if (rootX < lv.x || rootX >= lv.x + lv.width || rootY < lv.y || rootY >= lv.y + lv.height)
            continue;
        level = l;
        item = -1;
        const int y = rootY - lv.y;
        for (int i = 0; i < lv.menu->NItems(); ++i) {
            const int top = lv.tops[static_cast<std::size_t>(i)] + 1;
            if (y >= top && y < top + ItemHeight(*lv.menu, i))
                item = i;
        }
        return true;
    }
    return false;
}

void MenuSession::Hover(int level, int item) {
    while (static_cast<int>(levels_.size()) > level + 1)
        CloseLevel();
    Level& lv = *levels_[static_cast<std::size_t>(level)];
    if (item >= 0 && !Selectable(*lv.menu, item))
        item = -1;
    if (lv.hover != item) {
        lv.hover = item;
        Paint(lv);
    }
    if (item >= 0) {
        if (IPopupMenu* sub = lv.menu->Submenu(item)) {
            if (lv.menu->GetItem(item)->Enabled()) {
                const int top = lv.y + lv.tops[static_cast<std::size_t>(item)];
                OpenLevel(*sub, lv.x + lv.width - 2, top, lv.x + 2);
            }
        }
    }
}

bool MenuSession::Choose(int level, int item) {
    Level& lv = *levels_[static_cast<std::size_t>(level)];
    const IPopupMenu::Item* it = lv.menu->GetItem(item);
    if (!it || it->IsSeparator() || !it->Enabled())
        return false;
    if (it->submenu) {
        Hover(level, item);
        return false;
    }
    lv.menu->SetChosenItem(item);
    chosen_ = lv.menu;
    return true;
}

void MenuSession::Step(int direction) {
    Level& lv = *levels_.back();
    const int n = lv.menu->NItems();
    if (n == 0)
        return;
    int i = lv.hover;
    for (int tries = 0; tries < n; ++tries) {
        i = i < 0 ? (direction > 0 ? 0 : n - 1) : (i + direction + n) % n;
        if (Selectable(*lv.menu, i))
            break;
    }
    if (Selectable(*lv.menu, i)) {
        lv.hover = i;
        Paint(lv);
    }
}

IPopupMenu* MenuSession::Run(IPopupMenu& menu, int x, int y) {
    if (menu.NItems() == 0)
        return nullptr;
    OpenLevel(menu, x, y, x);
    const Window grabWindow = levels_.front()->window;
    XSync(display_, False);
    const unsigned mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    // Every pointer and key event comes to the menu, wherever it happens.
    if (XGrabPointer(display_, grabWindow, False, mask, GrabModeAsync, GrabModeAsync, None, None,
                     CurrentTime) != GrabSuccess)
        return nullptr;
    XGrabKeyboard(display_, grabWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    const long long opened = NowMs();
    bool done = false;
    while (!done && !levels_.empty()) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            continue;
        }
        bool ours = event.type != Expose;
        for (auto& level : levels_)
            ours = ours || event.xany.window == level->window;
        if (!ours || event.type == DestroyNotify) {
            onOtherEvent_(event);
            continue;
        }
        int level = -1, item = -1;
        switch (event.type) {
        case Expose:
            for (auto& lv : levels_)
                if (lv->window == event.xexpose.window && event.xexpose.count == 0)
                    Paint(*lv);
            break;
        case MotionNotify:
            while (XCheckTypedEvent(display_, MotionNotify, &event)) {
            }
            if (Hit(event.xmotion.x_root, event.xmotion.y_root, level, item) && item >= 0)
                Hover(level, item);
            break;
        case ButtonPress:
            if (!Hit(event.xbutton.x_root, event.xbutton.y_root, level, item))
                done = true; // a click outside dismisses
            break;
        case ButtonRelease:
            // The release of the press that opened the menu chooses only over an item.
            if (Hit(event.xbutton.x_root, event.xbutton.y_root, level, item) && item >= 0)
                done = Choose(level, item);
            else if (NowMs() - opened > 400 && event.xbutton.button <= 3 &&
                     !Hit(event.xbutton.x_root, event.xbutton.y_root, level, item))
                done = true;
            break;
        case KeyPress: {
            const KeySym key = XLookupKeysym(&event.xkey, 0);
            Level& deepest = *levels_.back();
            const int depth = static_cast<int>(levels_.size()) - 1;
            if (key == XK_Escape || (key == XK_Left && depth > 0)) {
                if (depth == 0)
                    done = true;
                else
                    CloseLevel();
            } else if (key == XK_Up || key == XK_KP_Up) {
                Step(-1);
            } else if (key == XK_Down || key == XK_KP_Down) {
                Step(1);
            } else if (key == XK_Right || key == XK_KP_Right) {
                if (deepest.hover >= 0 && deepest.menu->Submenu(deepest.hover)) {
                    Hover(depth, deepest.hover);
                    if (static_cast<int>(levels_.size()) > depth + 1)
                        Step(1);
                }
            } else if (key == XK_Return || key == XK_KP_Enter || key == XK_space) {
                if (deepest.hover >= 0) {
                    done = Choose(depth, deepest.hover);
                    if (!done && static_cast<int>(levels_.size()) > depth + 1)
                        Step(1);
                }
            }
            break;
        }
        default:
            break;
        }
    }
    XUngrabKeyboard(display_, CurrentTime);
    XUngrabPointer(display_, CurrentTime);
    return chosen_;
}

} // namespace

IPopupMenu* RunPopupMenu(Display* display, IPopupMenu& menu, int rootX, int rootY,
                         const std::function<void(XEvent&)>& onOtherEvent) {
    MenuSession session(display, onOtherEvent);
    IPopupMenu* chosen = session.Run(menu, rootX, rootY);
    XFlush(display);
    return chosen;
}

} // namespace x11

} // namespace halvane
