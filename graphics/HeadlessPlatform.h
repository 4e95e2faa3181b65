#pragma once
// The editor's platform without a display: a window that exists only as the
// editor's back buffer, and dialogs, menus and text entries that are recorded
// and answered from scripts. The tests drive the whole editor through it, and
// a plug-in built without a windowing system uses it so that the editor still
// opens and keeps its state.
//
// The mouse and timer operations behave as the real windows do: drags are
// passed only to a captured control and only when the position changed, a
// pending text entry is settled at the next timer tick instead of a redraw,
// and a wheel turn while an entry is open cancels it.

#include <atomic>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "graphics/EditorPlatform.h"
#include "graphics/IGraphics.h"

namespace halvane {

class HeadlessPlatform : public EditorPlatform {
public:
    // A menu as it was shown: display texts (numbered when the menu numbers its
    // items), flags and submenus.
    struct MenuShown {
        std::string text;
        int flags = 0;
        std::vector<MenuShown> items;
    };
    struct ShownMenu {
        MenuShown menu;
        int x = 0, y = 0;
    };
    struct Box {
        std::string text;
        std::string caption;
        ShellDialogs::BoxKind kind;
    };
    struct FileDialog {
        std::string proposed;
        ShellDialogs::FileAction action;
        std::string folder;
        std::string extensions;
    };
    struct TextEntry {
        IControl* control = nullptr;
        IText style;
        IRect rect;
        std::string text;
        int paramIndex = -1;
    };

    const char* DrawingApiName() const override { return "Offscreen"; }
    bool OpenWindow(IGraphics& editor, void* parentWindow) override;
    void CloseWindow() override;
    bool WindowIsOpen() const override { return editor_.load() != nullptr; }
    void Resize(int width, int height) override;
    // Paints at once, as a window's paint message would.
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
    void HideCursor() override { cursorHidden = true; }
    void ShowCursor() override { cursorHidden = false; }
    bool InternetConnected() override { return online; }
    bool OpenInBrowser(const char* url) override;

    // The window's events. Positions are editor pixels.
    void MouseDown(int x, int y, const IMouseMod& mod);
    void MouseMove(int x, int y, const IMouseMod& mod);
    void MouseUp(int x, int y, const IMouseMod& mod);
    void DoubleClick(int x, int y, const IMouseMod& mod);
    void Wheel(int x, int y, const IMouseMod& mod, double notches);
    // A press and a release at one place.
    void Click(int x, int y, const IMouseMod& mod = IMouseMod(true));
    // Press at from, move in steps pixels at a time to to, release.
    void Drag(int fromX, int fromY, int toX, int toY, const IMouseMod& mod = IMouseMod(true),
              int step = 4);
    // One tick of the redraw timer.
    void Tick();
    bool TextEntryOpen() const { return entryOpen_; }

    // Scripted answers, taken in order. A menu answer is the path of item
    // positions to the chosen item (into submenus); an empty path dismisses
    // the menu, as does an empty queue. A text answer is typed (characters the
    // entry does not take are dropped) and committed; nullopt or an empty
    // queue cancels. With their queues empty, message boxes answer kOk (kNo
    // while the window is closed) and file dialogs cancel.
    std::deque<std::vector<int>> menuAnswers;
    std::deque<std::optional<std::string>> textAnswers;
    std::deque<ShellDialogs::BoxAnswer> boxAnswers;
    std::deque<std::string> fileAnswers;
    std::string clipboard;
    bool online = true;
    bool browserOpens = true;

    // What the editor asked.
    std::vector<ShownMenu> menus;
    std::vector<Box> boxes;
    std::vector<FileDialog> fileDialogs;
    std::vector<TextEntry> textEntries;
    std::vector<std::string> urls;
    int paints = 0;
    IRect lastPaint;
    bool cursorHidden = false;

private:
    // Asked from host threads while the editor thread opens and closes.
    std::atomic<IGraphics*> editor_{nullptr};
    bool captured_ = false;
    int lastX_ = 0, lastY_ = 0;
    bool entryOpen_ = false;
    enum class Settle { kNone, kCommit, kCancel };
    Settle settle_ = Settle::kNone;
    TextEntry entry_;
    std::string typed_;
};

} // namespace halvane
