#pragma once
// The editor's window on Windows: a GDI child window of the host's window.
// The back buffer is copied in through a DIB section, so the pixels are the
// drawing library's own and match every other build; window messages become
// the editor's mouse, key and timer events. Menus, the text entry and the
// dialogs are the system's own.
//
// Everything runs on the host's interface thread, inside its message loop.

#include <windows.h>
// The editor's interface has a MessageBox of its own; the system's is called
// by its full name, MessageBoxA.
#undef MessageBox

#include <string>

#include "graphics/EditorPlatform.h"
#include "graphics/IGraphics.h"

namespace halvane {

class PlugParam;

class IGraphicsWin : public EditorPlatform {
public:
    IGraphicsWin() = default;
    ~IGraphicsWin() override;
    IGraphicsWin(const IGraphicsWin&) = delete;
    IGraphicsWin& operator=(const IGraphicsWin&) = delete;

    const char* DrawingApiName() const override { return "Windows GDI"; }
    bool OpenWindow(IGraphics& editor, void* parentWindow) override;
    void CloseWindow() override;
    bool WindowIsOpen() const override { return open_; }
    void Resize(int width, int height) override;
    void Invalidate(const IRect& rect) override;
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
    bool InternetConnected() override;
    bool OpenInBrowser(const char* url) override;

    // The window class every editor window of the process shares.
    static constexpr const char* kClassName = "IPlugWndClass";
    static constexpr UINT_PTR kTimerId = 2;

private:
    enum class EntryState { kNone, kJustFocused, kRepainted, kCancel, kCommit };

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EntryProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleEntry(UINT msg, WPARAM wParam, LPARAM lParam);
    void Paint();
    void Tick();
    void MouseDown(WPARAM wParam, LPARAM lParam);
    void MouseMove(WPARAM wParam, LPARAM lParam);
    void KeyDown(UINT msg, WPARAM wParam, LPARAM lParam);
    void CloseTextEntry();
    void HideTooltip();
    void MakeTooltip();
    bool EnsureSurface();
    void FreeSurface();
    // The host's top-level window: found once, found again after a reopen.
    HWND TopLevel();

    IGraphics* editor_ = nullptr;
    bool open_ = false;
    HWND hwnd_ = nullptr;
    HWND parent_ = nullptr;
    HWND tooltip_ = nullptr;
    HWND topLevel_ = nullptr;
    std::string topLevelClass_;
    // Where the window sat in its parent, for the next open.
    bool hadWindow_ = false;
    RECT lastPlace_{};

    // The DIB section the back buffer is copied into.
    HDC surfaceDc_ = nullptr;
    HBITMAP surface_ = nullptr;
    HGDIOBJ surfaceOld_ = nullptr;
    uint32_t* surfaceBits_ = nullptr;
    int surfaceWidth_ = 0, surfaceHeight_ = 0;

    // The mouse.
    int lastX_ = 0, lastY_ = 0;
    int hoverControl_ = -1;
    bool tracking_ = false;
    bool cursorHidden_ = false;
    POINT savedCursor_{};

    // The text entry.
    HWND entry_ = nullptr;
    WNDPROC entryDefault_ = nullptr;
    HFONT entryFont_ = nullptr;
    RECT entryRect_{};
    EntryState entryState_ = EntryState::kNone;
    IControl* entryControl_ = nullptr;
    int entryParam_ = -1;
    const PlugParam* entryParamRecord_ = nullptr;

    COLORREF customColors_[16] = {};
    bool customColorsMade_ = false;
};

} // namespace halvane
