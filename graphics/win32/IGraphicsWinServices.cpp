// The services of the Windows editor window besides the window itself: popup
// menus, message boxes, the file and colour dialogs, folders, the clipboard
// and the web browser.

#include "graphics/win32/IGraphicsWin.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <cstring>
#include <sstream>
#include <vector>

#include "editor/IPopupMenu.h"
#include "platform/Module.h"
#include "platform/UserFolders.h"

namespace halvane {

namespace {

std::string WithBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    return folder;
}

// The native menu of a menu description; command identifiers run over the
// whole tree in depth-first order (the root's own numbering).
HMENU BuildMenu(IPopupMenu& root, IPopupMenu& menu) {
    HMENU native = CreatePopupMenu();
    if (!native)
        return nullptr;
    for (int i = 0; i < menu.NItems(); ++i) {
        IPopupMenu::Item* item = menu.GetItem(i);
        const std::string text = menu.DisplayText(i);
        const UINT_PTR command = static_cast<UINT_PTR>(root.CommandOf(&menu, i));
        if (item->IsSeparator()) {
            AppendMenuA(native, MF_SEPARATOR, command, nullptr);
        } else if (item->submenu) {
            HMENU sub = BuildMenu(root, *item->submenu);
            AppendMenuA(native, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub),
                        text.c_str());
        } else {
            UINT flags = MF_STRING;
            if (item->flags & IPopupMenu::kDisabled)
                flags |= MF_DISABLED;
            if (item->flags & IPopupMenu::kGreyed)
                flags |= MF_GRAYED;
            if (item->flags & IPopupMenu::kChecked)
                flags |= MF_CHECKED;
            AppendMenuA(native, flags, command, text.c_str());
        }
    }
    return native;
}

// Keeps the colour dialog's title.
UINT_PTR CALLBACK ColorHook(HWND dialog, UINT msg, WPARAM /*wParam*/, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        const auto* choose = reinterpret_cast<const CHOOSECOLORA*>(lParam);
        if (choose && choose->lCustData)
            SetWindowTextA(dialog, reinterpret_cast<const char*>(choose->lCustData));
    }
    return 0;
}

} // namespace

IPopupMenu* IGraphicsWin::PopupMenu(IPopupMenu& menu, int x, int y) {
    if (!hwnd_)
        return nullptr;
    HMENU native = BuildMenu(menu, menu);
    if (!native)
        return nullptr;
    POINT at{x, y};
    ClientToScreen(hwnd_, &at);
    // The menu tracks the mouse now; the press that opened it ends here.
    ReleaseCapture();
    IPopupMenu* chosen = nullptr;
    // The command comes as a posted WM_COMMAND, so that the first identifier (0)
    // is a choice like any other.
    TrackPopupMenu(native, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, at.x, at.y, 0, hwnd_,
                   nullptr);
    MSG msg;
    if (hwnd_ && PeekMessageA(&msg, hwnd_, WM_COMMAND, WM_COMMAND, PM_REMOVE) && msg.lParam == 0) {
        int item = -1;
        IPopupMenu* owner = menu.MenuOfCommand(static_cast<int>(LOWORD(msg.wParam)), item);
        if (owner && item >= 0) {
            owner->SetChosenItem(item);
            chosen = owner;
        }
    }
    DestroyMenu(native);
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, FALSE);
    return chosen;
}

ShellDialogs::BoxAnswer IGraphicsWin::MessageBox(const char* text, const char* caption,
                                                 ShellDialogs::BoxKind kind) {
    using Kind = ShellDialogs::BoxKind;
    UINT type = MB_OK;
    switch (kind) {
    case Kind::kYesNo:
        type = MB_YESNO | MB_ICONQUESTION;
        break;
    case Kind::kErrorOk:
        type = MB_OK | MB_ICONERROR;
        break;
    case Kind::kInfoOk:
        type = MB_OK | MB_ICONINFORMATION;
        break;
    case Kind::kOk:
        break;
    }
    const int pressed = ::MessageBoxA(TopLevel(), text ? text : "", caption ? caption : "", type);
    if (kind != Kind::kYesNo)
        return ShellDialogs::BoxAnswer::kOk;
    // Only a clear No is No.
    return pressed == IDNO ? ShellDialogs::BoxAnswer::kNo : ShellDialogs::BoxAnswer::kYes;
}

void IGraphicsWin::PromptForFile(std::string& fileName, ShellDialogs::FileAction action,
                                 std::string& folder, const char* extensions) {
    const std::string proposed = fileName;
    fileName.clear();
    if (!hwnd_)
        return;
    const std::string start = folder.empty() ? DesktopFolder() : folder;

    // "fxp fxb" becomes "*.fxp;*.fxb", as description and as pattern.
    std::string patterns, defaultExtension, word;
    std::istringstream list(extensions ? extensions : "");
    while (list >> word) {
        if (defaultExtension.empty())
            defaultExtension = word.substr(0, 15);
        patterns += (patterns.empty() ? "*." : ";*.") + word;
    }
    std::string filter;
    if (!patterns.empty())
        filter = patterns + '\0' + patterns + '\0';
    filter += '\0';

    char path[MAX_PATH] = {};
    std::strncpy(path, proposed.c_str(), MAX_PATH - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hwnd_;
    ofn.lpstrFilter = patterns.empty() ? nullptr : filter.c_str();
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = start.c_str();
    ofn.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
    const bool save = action == ShellDialogs::FileAction::kSave;
    BOOL ok = FALSE;
    if (save) {
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        ok = GetSaveFileNameA(&ofn);
    } else {
        ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        ok = GetOpenFileNameA(&ofn);
    }
    if (!ok)
        return;
    fileName = path;
    // The chosen file's drive and folder are where the next dialog starts.
    const std::size_t slash = fileName.find_last_of("\\/");
    if (slash != std::string::npos)
        folder = fileName.substr(0, slash + 1);
}

bool IGraphicsWin::PromptForColor(IColor& color, const char* title) {
    if (!hwnd_)
        return false;
    if (!customColorsMade_) {
        for (COLORREF& c : customColors_)
            c = RGB(255, 255, 255);
        customColorsMade_ = true;
    }
    CHOOSECOLORA choose{};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = hwnd_;
    choose.rgbResult = RGB(color.r, color.g, color.b);
    choose.lpCustColors = customColors_;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
    choose.lpfnHook = &ColorHook;
    choose.lCustData = reinterpret_cast<LPARAM>(title);
    if (!ChooseColorA(&choose))
        return false;
    color.r = GetRValue(choose.rgbResult);
    color.g = GetGValue(choose.rgbResult);
    color.b = GetBValue(choose.rgbResult);
    return true;
}

std::string IGraphicsWin::HostFolder() {
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return "";
    const std::string exe(path, n);
    return exe.substr(0, exe.find_last_of("\\/") + 1);
}

std::string IGraphicsWin::PluginFolder() {
    return WithBackslash(ModuleFolder());
}

std::string IGraphicsWin::DesktopFolder() {
    return WithBackslash(halvane::DesktopFolder());
}

std::string IGraphicsWin::AppDataFolder(bool shared) {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, shared ? CSIDL_COMMON_APPDATA : CSIDL_APPDATA, nullptr,
                                SHGFP_TYPE_CURRENT, path)))
        return "";
    return WithBackslash(path);
}

bool IGraphicsWin::ClipboardText(std::string& text) {
    text.clear();
    if (!OpenClipboard(hwnd_))
        return false;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            const int bytes =
                WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
            if (bytes > 1) {
                std::vector<char> utf8(static_cast<std::size_t>(bytes));
                WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), bytes, nullptr, nullptr);
                text.assign(utf8.data());
            }
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return !text.empty();
}

bool IGraphicsWin::InternetConnected() {
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) != FALSE;
}

bool IGraphicsWin::OpenInBrowser(const char* url) {
    if (!url || !*url)
        return false;
    const HINSTANCE result = ShellExecuteA(hwnd_, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace halvane
