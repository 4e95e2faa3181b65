#pragma once
// Everything the editor needs from the windowing system, in one interface: the
// window and its redraw timer, popup menus, text entry, message boxes, file
// and colour dialogs, the clipboard, folders, the cursor and the web browser.
// The X11 window, the Win32 window and the offscreen implementation of the
// tests provide it; the editor (IGraphics) and the instrument shell use only
// these operations.
//
// Rules that are the same on every system (menu numbering, text-entry parsing,
// the open-URL questions) live in the editor, not here.

#include <memory>
#include <string>

#include "graphics/GraphicsTypes.h"
#include "shell/ShellDialogs.h"

namespace halvane {

class IGraphics;
class IControl;
class IPopupMenu;

class EditorPlatform {
public:
    virtual ~EditorPlatform() = default;

    // The name the editor reports for its drawing interface.
    virtual const char* DrawingApiName() const = 0;

    // Opens the editor's window inside the host's window; the window delivers
    // mouse, key and timer events to the editor and copies its back buffer to
    // the screen. False when no window could be made.
    virtual bool OpenWindow(IGraphics& editor, void* parentWindow) = 0;
    virtual void CloseWindow() = 0;
    virtual bool WindowIsOpen() const = 0;
    // The editor's size changed: the window follows.
    virtual void Resize(int width, int height) = 0;
    // The rectangle must be copied to the screen again at the next paint.
    virtual void Invalidate(const IRect& rect) = 0;
    // The host's idle call for the editor (effEditIdle), on its interface
    // thread: a window layer without a message loop of its own handles its
    // events and its redraw timer here.
    virtual void Idle() {}

    // A modal message box; the answer is the button pressed.
    virtual ShellDialogs::BoxAnswer MessageBox(const char* text, const char* caption,
                                               ShellDialogs::BoxKind kind) = 0;

    // Shows the menu with its top-left corner at (x, y) in editor pixels and
    // waits for a choice. Returns the menu (the given one or a submenu) whose
    // chosen item is set, or null when the menu was dismissed.
    virtual IPopupMenu* PopupMenu(IPopupMenu& menu, int x, int y) = 0;

    // Opens a one-line text entry over rect holding text. paramIndex is the
    // parameter the entry edits, or -1: then the committed text goes to the
    // control's TakeTextEntry. The entry is settled at the next timer tick
    // through IGraphics::CommitTextEntry. Nothing happens while an entry is
    // already open.
    virtual void CreateTextEntry(IControl& control, const IText& style, const IRect& rect,
                                 const char* text, int paramIndex) = 0;

    // File dialog: see ShellDialogs::PromptForFile; extensions are
    // space-separated. Without a window the result is an empty path.
    virtual void PromptForFile(std::string& fileName, ShellDialogs::FileAction action,
                               std::string& folder, const char* extensions) = 0;
    // A colour chooser titled title; false when cancelled.
    virtual bool PromptForColor(IColor& color, const char* title) = 0;

    // Folders, each with a trailing separator.
    virtual std::string HostFolder() = 0;
    virtual std::string PluginFolder() = 0;
    virtual std::string DesktopFolder() = 0;
    virtual std::string AppDataFolder(bool shared) = 0;

    // The clipboard's text as UTF-8; false (and empty) when there is none.
    virtual bool ClipboardText(std::string& text) = 0;

    // While a knob is dragged: hiding remembers the pointer's place, showing
    // puts the pointer back there.
    virtual void HideCursor() = 0;
    virtual void ShowCursor() = 0;

    // Whether the machine reports a connection to the internet.
    virtual bool InternetConnected() = 0;
    // Hands the address to the system's web browser; false when that failed.
    virtual bool OpenInBrowser(const char* url) = 0;
};

// The platform of this build's editor windows, made for each new editor.
std::unique_ptr<EditorPlatform> MakeEditorPlatform();

} // namespace halvane
