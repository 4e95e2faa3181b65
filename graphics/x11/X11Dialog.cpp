#include "graphics/x11/X11Dialog.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <memory>
#include <sstream>

#include "graphics/LICE.h"
#include "graphics/x11/X11Dialogs.h"
#include "graphics/x11/X11Support.h"
#include "graphics/x11/X11TextEntry.h"

namespace halvane {

namespace x11 {

namespace {

constexpr int kWidth = 440;
constexpr int kMargin = 16;
constexpr int kLineHeight = 18;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kFieldHeight = 22;
constexpr IColor kBackground{255, 236, 236, 236};
constexpr IColor kText{255, 0, 0, 0};
constexpr IColor kButtonFace{255, 250, 250, 250};
constexpr IColor kButtonEdge{255, 120, 120, 120};
constexpr IColor kFocusEdge{255, 51, 102, 204};

const IText& MessageStyle() {
    static const IText style("Arial", 14, kText, IText::kAlignNear);
    return style;
}

// The message broken into lines that fit the dialog.
std::vector<std::string> Wrap(const std::string& message, int width) {
    std::vector<std::string> lines;
    std::stringstream paragraphs(message);
    std::string paragraph;
    while (std::getline(paragraphs, paragraph)) {
        std::stringstream words(paragraph);
        std::string word, line;
        while (words >> word) {
            const std::string longer = line.empty() ? word : line + " " + word;
            int w = 0, h = 0;
            LICE::MeasureText(MessageStyle(), longer.c_str(), w, h);
            if (w > width && !line.empty()) {
                lines.push_back(line);
                line = word;
            } else {
                line = longer;
            }
        }
        lines.push_back(line);
    }
    return lines;
}

class Dialog {
public:
    Dialog(Display* display, Window owner, DialogRequest& entry)
        : display_(display), request_(entry) {
        lines_ = Wrap(entry.message, kWidth - 2 * kMargin);
        const int screen = DefaultScreen(display);
        visual_ = DefaultVisual(display, screen);
        depth_ = DefaultDepth(display, screen);
        fieldTop_ = kMargin + static_cast<int>(lines_.size()) * kLineHeight + 8;
        buttonTop_ = fieldTop_ + (entry.withField ? kFieldHeight + 14 : 0);
        height_ = buttonTop_ + kButtonHeight + kMargin;
        // Centred over the host's window when it is known.
        int x = (DisplayWidth(display, screen) - kWidth) / 2;
        int y = (DisplayHeight(display, screen) - height_) / 2;
        XWindowAttributes owned{};
        Window child = 0;
        if (owner && XGetWindowAttributes(display, owner, &owned))
            XTranslateCoordinates(display, owner, DefaultRootWindow(display),
                                  (owned.width - kWidth) / 2, (owned.height - height_) / 2, &x, &y,
                                  &child);
        XSetWindowAttributes attributes{};
        attributes.event_mask = ExposureMask | ButtonPressMask | KeyPressMask | StructureNotifyMask;
        window_ = XCreateWindow(display, DefaultRootWindow(display), std::max(0, x), std::max(0, y),
                                kWidth, static_cast<unsigned>(height_), 0, depth_, InputOutput,
                                visual_, CWEventMask, &attributes);
        gc_ = XCreateGC(display, window_, 0, nullptr);
        XStoreName(display, window_, entry.title.c_str());
        if (owner)
            XSetTransientForHint(display, window_, owner);
        deleteAtom_ = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, window_, &deleteAtom_, 1);
        canvas_.Resize(kWidth, height_);
        XMapRaised(display, window_);
        XEvent event;
        do
            XWindowEvent(display, window_, StructureNotifyMask, &event);
        while (event.type != MapNotify);
        if (entry.withField) {
            IText fieldStyle = MessageStyle();
            const int fieldRight =
                kWidth - kMargin - 1 - (entry.colorSwatch ? kFieldHeight + 8 : 0);
            entry_ = std::make_unique<X11TextEntry>(
                display, window_, visual_, depth_, DefaultColormap(display, screen), nullptr,
                IRect(kMargin, fieldTop_, fieldRight, fieldTop_ + kFieldHeight - 1), fieldStyle,
                entry.field.c_str(), nullptr);
        } else {
            XSetInputFocus(display, window_, RevertToParent, CurrentTime);
            focus_ = 0;
        }
    }
    ~Dialog() {
        entry_.reset();
        XFreeGC(display_, gc_);
        XDestroyWindow(display_, window_);
        XFlush(display_);
    }

    int Run(const std::function<void(XEvent&)>& onOtherEvent) {
        Paint();
        const int last = static_cast<int>(request_.buttons.size()) - 1;
        while (answer_ < 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
                continue;
            }
            if (entry_ && event.xany.window == entry_->Handle()) {
                if (event.type == Expose)
                    entry_->Paint();
                else if (event.type == ButtonPress)
                    entry_->Click(event.xbutton.x);
                else if (event.type == KeyPress)
                    Key(event.xkey, true);
                continue;
            }
            if (event.xany.window != window_) {
                onOtherEvent(event);
                continue;
            }
            switch (event.type) {
            case Expose:
                if (event.xexpose.count == 0)
                    Paint();
                break;
            case ButtonPress:
                for (int b = 0; b <= last; ++b)
                    if (ButtonRect(b).Contains(event.xbutton.x, event.xbutton.y))
                        answer_ = b;
                break;
            case KeyPress:
                Key(event.xkey, false);
                break;
            case ClientMessage:
                if (static_cast<Atom>(event.xclient.data.l[0]) == deleteAtom_)
                    answer_ = last;
                break;
            case DestroyNotify:
                answer_ = last;
                break;
            default:
                break;
            }
        }
        if (entry_)
            request_.field = entry_->Text();
        return answer_;
    }

private:
    IRect ButtonRect(int b) const {
        const int n = static_cast<int>(request_.buttons.size());
        const int right = kWidth - kMargin - (n - 1 - b) * (kButtonWidth + 8);
        return IRect(right - kButtonWidth, buttonTop_, right, buttonTop_ + kButtonHeight);
    }

    void Key(XKeyEvent& event, bool inField) {
        const KeySym key = XLookupKeysym(&event, 0);
        const int last = static_cast<int>(request_.buttons.size()) - 1;
        if (key == XK_Escape) {
            answer_ = last;
        } else if (key == XK_Return || key == XK_KP_Enter) {
            answer_ = focus_ >= 0 ? focus_ : 0;
        } else if (key == XK_Tab) {
            // The field (-1 when there is one), then each button in turn.
            const int first = entry_ ? -1 : 0;
            focus_ = focus_ + 1 > last ? first : focus_ + 1;
            if (focus_ < 0 && entry_)
                XSetInputFocus(display_, entry_->Handle(), RevertToParent, CurrentTime);
            else
                XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
            Paint();
        } else if (key == XK_Left || key == XK_Right) {
            if (!inField && focus_ >= 0) {
                focus_ = std::clamp(focus_ + (key == XK_Left ? -1 : 1), 0, last);
                Paint();
            } else if (inField) {
                entry_->Key(event);
            }
        } else if (inField) {
            entry_->Key(event);
            if (request_.colorSwatch)
                Paint();
        }
    }

    void Paint() {
        const IRect all(0, 0, kWidth, height_);
        LICE::FillRect(canvas_, all, kBackground, all);
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const int top = kMargin + static_cast<int>(i) * kLineHeight;
            LICE::DrawText(canvas_, MessageStyle(), lines_[i].c_str(),
                           IRect(kMargin, top, kWidth - kMargin, top + kLineHeight), all);
        }
        IText label = MessageStyle();
        label.align = IText::kAlignCenter;
        for (int b = 0; b < static_cast<int>(request_.buttons.size()); ++b) {
            const IRect r = ButtonRect(b);
            LICE::FillRect(canvas_, r, b == focus_ ? kFocusEdge : kButtonEdge, all);
            const int edge = b == focus_ ? 2 : 1;
            LICE::FillRect(canvas_,
                           IRect(r.left + edge, r.top + edge, r.right - edge, r.bottom - edge),
                           kButtonFace, all);
            LICE::DrawText(canvas_, label, request_.buttons[static_cast<std::size_t>(b)].c_str(), r,
                           all);
        }
        IColor shown;
        if (request_.colorSwatch && entry_ && ParseColor(entry_->Text(), shown)) {
            const IRect swatch(kWidth - kMargin - kFieldHeight, fieldTop_, kWidth - kMargin,
                               fieldTop_ + kFieldHeight);
            LICE::FillRect(canvas_, swatch, kButtonEdge, all);
            LICE::FillRect(
                canvas_,
                IRect(swatch.left + 1, swatch.top + 1, swatch.right - 1, swatch.bottom - 1), shown,
                all);
        }
        PutBitmap({display_, window_, visual_, depth_, gc_}, canvas_, all);
        if (entry_)
            entry_->Paint();
    }

    Display* display_;
    DialogRequest& request_;
    Window window_ = 0;
    GC gc_ = nullptr;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    Atom deleteAtom_ = 0;
    std::vector<std::string> lines_;
    int fieldTop_ = 0, buttonTop_ = 0, height_ = 0;
    std::unique_ptr<X11TextEntry> entry_;
    int focus_ = -1; // -1: the field
    int answer_ = -1;
    LICE_MemBitmap canvas_;
};

} // namespace

int RunDialog(Display* display, Window owner, DialogRequest& entry,
              const std::function<void(XEvent&)>& onOtherEvent) {
    if (entry.buttons.empty())
        entry.buttons.push_back("OK");
    Dialog dialog(display, owner, entry);
    return dialog.Run(onOtherEvent);
}

} // namespace x11

} // namespace halvane
