#include "graphics/HeadlessPlatform.h"
#include <algorithm>

#include "editor/IPopupMenu.h"
#include "platform/Module.h"
#include "platform/UserFolders.h"
#include "plugin/IPlugBase.h"

namespace halvane {

namespace {

HeadlessPlatform::MenuShown Snapshot(const IPopupMenu& menu, const std::string& text, int flags) {
    HeadlessPlatform::MenuShown shown{text, flags, {}};
    for (int i = 0; i < menu.NItems(); ++i) {
        const IPopupMenu::Item* item = menu.GetItem(i);
        if (item->submenu)
            shown.items.push_back(Snapshot(*item->submenu, menu.DisplayText(i), item->flags));
        else
            shown.items.push_back({menu.DisplayText(i), item->flags, {}});
    }
    return shown;
}

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

bool HeadlessPlatform::OpenWindow(IGraphics& editor, void* parentWindow) {
    // A child window needs its parent.
    if (!parentWindow)
        return false;
    editor_ = &editor;
    captured_ = false;
    return true;
}

void HeadlessPlatform::CloseWindow() {
    editor_ = nullptr;
    entryOpen_ = false;
    settle_ = Settle::kNone;
}

void HeadlessPlatform::Resize(int /*width*/, int /*height*/) {}

void HeadlessPlatform::Invalidate(const IRect& rect) {
    if (!editor_)
        return;
    editor_.load()->Draw(rect);
    ++paints;
    lastPaint = rect;
}

ShellDialogs::BoxAnswer HeadlessPlatform::MessageBox(const char* text, const char* caption,
                                                     ShellDialogs::BoxKind kind) {
    boxes.push_back({text ? text : "", caption ? caption : "", kind});
    // Without a window there is nobody to answer: questions count as No.
    if (boxAnswers.empty())
        return editor_ ? ShellDialogs::BoxAnswer::kOk : ShellDialogs::BoxAnswer::kNo;
    const ShellDialogs::BoxAnswer answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
}

IPopupMenu* HeadlessPlatform::PopupMenu(IPopupMenu& menu, int x, int y) {
    menus.push_back({Snapshot(menu, "", 0), x, y});
    if (menuAnswers.empty())
        return nullptr;
    const std::vector<int> path = menuAnswers.front();
    menuAnswers.pop_front();
    IPopupMenu* at = &menu;
    for (std::size_t k = 0; k < path.size(); ++k) {
        const IPopupMenu::Item* item = at->GetItem(path[k]);
        // Separators, disabled items and submenu titles cannot be chosen.
        if (!item || item->IsSeparator())
            return nullptr;
        if (k + 1 < path.size()) {
            at = item->submenu.get();
            if (!at)
                return nullptr;
        } else {
            if (item->submenu || !item->Enabled())
                return nullptr;
            at->SetChosenItem(path[k]);
            return at;
        }
    }
    return nullptr;
}

void HeadlessPlatform::CreateTextEntry(IControl& control, const IText& style, const IRect& rect,
                                       const char* text, int paramIndex) {
    if (entryOpen_)
        return;
    entry_ = {&control, style, rect, text ? text : "", paramIndex};
    textEntries.push_back(entry_);
    entryOpen_ = true;
    std::optional<std::string> answer;
    if (!textAnswers.empty()) {
        answer = textAnswers.front();
        textAnswers.pop_front();
    }
    if (!answer) {
        settle_ = Settle::kCancel;
        return;
    }
    // Typed into an emptied box, as the whole text starts selected.
    const PlugParam* param =
        editor_ && paramIndex >= 0 ? editor_.load()->GetPlug()->GetParam(paramIndex) : nullptr;
    typed_.clear();
    for (char c : *answer)
        if (IGraphics::TextEntryAccepts(param, c))
            typed_ += c;
    settle_ = Settle::kCommit;
}

void HeadlessPlatform::PromptForFile(std::string& fileName, ShellDialogs::FileAction action,
                                     std::string& folder, const char* extensions) {
    fileDialogs.push_back({fileName, action, folder, extensions ? extensions : ""});
    if (!editor_ || fileAnswers.empty()) {
        fileName.clear();
        return;
    }
    fileName = fileAnswers.front();
    fileAnswers.pop_front();
    const std::size_t slash = fileName.find_last_of('/');
    if (!fileName.empty() && slash != std::string::npos)
        folder = fileName.substr(0, slash + 1);
}

bool HeadlessPlatform::PromptForColor(IColor& /*color*/, const char* /*title*/) {
    return false;
}

std::string HeadlessPlatform::HostFolder() {
    return WithSeparator(ModuleFolder());
}

std::string HeadlessPlatform::PluginFolder() {
    return WithSeparator(ModuleFolder());
}

std::string HeadlessPlatform::DesktopFolder() {
    return WithSeparator(DocumentsFolder());
}

std::string HeadlessPlatform::AppDataFolder(bool /*shared*/) {
    return WithSeparator(SettingsFolder());
}

bool HeadlessPlatform::ClipboardText(std::string& text) {
    text = clipboard;
    return !text.empty();
}

bool HeadlessPlatform::OpenInBrowser(const char* url) {
    urls.push_back(url ? url : "");
    return browserOpens;
}

void HeadlessPlatform::MouseDown(int x, int y, const IMouseMod& mod) {
    if (!editor_)
        return;
    // A click in the editor commits an open entry.
    if (entryOpen_ && settle_ == Settle::kNone)
        settle_ = Settle::kCommit;
    captured_ = true;
    lastX_ = x;
    lastY_ = y;
    editor_.load()->OnMouseDown(x, y, mod);
}

void HeadlessPlatform::MouseMove(int x, int y, const IMouseMod& mod) {
    if (!editor_)
        return;
    if ((mod.L || mod.R) && captured_ && !entryOpen_) {
        if (x != lastX_ || y != lastY_) {
            editor_.load()->OnMouseDrag(x, y, x - lastX_, y - lastY_, mod);
            lastX_ = x;
            lastY_ = y;
        }
    } else if (!mod.L && !mod.R) {
        editor_.load()->OnMouseOver(x, y, mod);
    }
}

void HeadlessPlatform::MouseUp(int x, int y, const IMouseMod& mod) {
    if (!editor_)
        return;
    captured_ = false;
    editor_.load()->OnMouseUp(x, y, mod);
}

void HeadlessPlatform::DoubleClick(int x, int y, const IMouseMod& mod) {
    if (!editor_)
        return;
    if (editor_.load()->OnMouseDblClick(x, y, mod)) {
        captured_ = true;
        lastX_ = x;
        lastY_ = y;
    }
}

void HeadlessPlatform::Wheel(int x, int y, const IMouseMod& mod, double notches) {
    if (!editor_)
        return;
    if (entryOpen_) {
        settle_ = Settle::kCancel;
        return;
    }
    editor_.load()->OnMouseWheel(x, y, mod, notches);
}

void HeadlessPlatform::Click(int x, int y, const IMouseMod& mod) {
    MouseDown(x, y, mod);
    MouseUp(x, y, mod);
}

void HeadlessPlatform::Drag(int fromX, int fromY, int toX, int toY, const IMouseMod& mod,
                            int step) {
    MouseDown(fromX, fromY, mod);
    int x = fromX, y = fromY;
    step = step > 0 ? step : 1;
    while (x != toX || y != toY) {
        x += toX > x ? std::min(step, toX - x) : -std::min(step, x - toX);
        y += toY > y ? std::min(step, toY - y) : -std::min(step, y - toY);
        MouseMove(x, y, mod);
    }
    MouseUp(toX, toY, mod);
}

void HeadlessPlatform::Tick() {
    if (!editor_)
        return;
    if (entryOpen_ && settle_ != Settle::kNone) {
        const Settle settle = settle_;
        entryOpen_ = false;
        settle_ = Settle::kNone;
        if (settle == Settle::kCommit && entry_.control)
            editor_.load()->CommitTextEntry(*entry_.control, entry_.paramIndex, typed_.c_str());
        return;
    }
    editor_.load()->OnTimer();
}

} // namespace halvane
