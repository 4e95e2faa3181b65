#pragma once
// The editor's window on X11: a plain child window of the host's window on a
// display connection of its own, the back buffer copied in with XPutImage,
// and the events and the redraw timer handled on the host's idle calls (X has
// no message loop of ours to run them). Menus and the text entry are drawn by
// us; file dialogs come from the desktop portal when one answers on the
// session bus; message boxes, the other file dialogs and the colour chooser
// come from zenity or kdialog, else from a dialog of our own.
//
// Everything runs on the host's interface thread, inside its calls; nothing
// here starts a thread or blocks outside a modal menu or dialog.

#include <X11/Xlib.h>

#include <memory>
#include <string>

#include "graphics/EditorPlatform.h"
#include "graphics/IGraphics.h"

namespace halvane {

class X11TextEntry;
namespace x11 {
struct DialogRequest;
}

class X11Platform : public EditorPlatform {
public:
    X11Platform() = default;
    ~X11Platform() override;

    const char* DrawingApiName() const override { return "X11"; }
    bool OpenWindow(IGraphics& editor, void* parentWindow) override;
    void CloseWindow() override;
    bool WindowIsOpen() const override { return display_ != nullptr; }
    void Resize(int width, int height) override;
    void Invalidate(const IRect& rect) override;
    void Idle() override;
    ShellDialogs::BoxAnswer MessageBox(const char* text, const char* caption,
                                       ShellDialogs::BoxKind kind) override;
    IPopupMenu* PopupMenu(IPopupMenu& menu, int x, int y) override;
    void CreateTextEntry(IControl& control, const IText& style, const IRect& rect, const char* text,
                         int paramIndex) override;
    void PromptForFile(std::string& fileName, ShellDialogs::FileAction action, std::string& folder,
                       const char* extensions) override;
    bool PromptForColor(IColor& color, const char* title) override;
    std::string HostFolder() override;
    std::string PluginFolder() override;
    std::string DesktopFolder() override;
    std::string AppDataFolder(bool shared) override;
    bool ClipboardText(std::string& text) override;
    void HideCursor() override;
    void ShowCursor() override;
    bool InternetConnected() override { return true; }
    bool OpenInBrowser(const char* url) override;

private:
    enum class EntryState { kNone, kJustFocused, kRepainted, kCancel, kCommit };

    void Handle(XEvent& event);
    // Handles the events that have arrived; only paints and the window's end
    // unless input is taken.
    void HandlePending(bool input);
    void HandleButton(const XButtonEvent& event, bool press);
    void HandleMotion(const XMotionEvent& event);
    void HandleKey(XKeyEvent& event);
    void Tick();
    void CloseTextEntry();
    // Copies the back buffer's rect to the window.
    void Put(const IRect& rect);
    // Waits for a dialog process while the editor keeps repainting.
    void RepaintWhileWaiting();
    Window TopLevel() const;
    // Our own drawn dialogs, where no dialog program is installed.
    int RunOwnDialog(x11::DialogRequest& entry);
    std::string OwnFileDialog(bool save, const std::string& start, const std::string& extensions);
    bool OwnColorDialog(IColor& color, const std::string& title);
    // Asks the clipboard's owner for its text as target (UTF8_STRING or STRING).
    bool ConvertClipboard(Atom target, std::string& text);
    // The host's top-level window as a number for the dialog programs; 0 for none.
    unsigned long TopLevelId() const;

    IGraphics* editor_ = nullptr;
    Display* display_ = nullptr;
    Window parent_ = 0;
    Window window_ = 0; // 0 once the window is gone (its parent was destroyed)
    Visual* visual_ = nullptr;
    int depth_ = 0;
    Colormap colormap_ = 0;
    GC gc_ = nullptr;
    XIM inputMethod_ = nullptr;
    Cursor hiddenCursor_ = 0;
    Atom clipboardAtom_ = 0, utf8Atom_ = 0, transferAtom_ = 0;
    int width_ = 0, height_ = 0;
    long long lastTick_ = 0;

    // The mouse.
    bool captured_ = false;
    int lastX_ = 0, lastY_ = 0;
    unsigned lastPressButton_ = 0;
    Time lastPressTime_ = 0;
    int lastPressX_ = -100, lastPressY_ = -100;
    bool cursorHidden_ = false;
    int savedRootX_ = 0, savedRootY_ = 0;

    // The text entry.
    std::unique_ptr<X11TextEntry> entry_;
    EntryState entryState_ = EntryState::kNone;
    bool entryFocused_ = false;
    Window focusBefore_ = 0; // who had the keyboard before the entry took it
    IControl* entryControl_ = nullptr;
    int entryParam_ = -1;
};

} // namespace halvane
