// The services of the X11 editor window besides the window itself: message
// boxes and file dialogs, folders, the clipboard and the web browser.

#include <X11/Xatom.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "graphics/x11/X11Dialog.h"
#include "graphics/x11/X11Dialogs.h"
#include "graphics/x11/X11Platform.h"
#include "graphics/x11/X11Portal.h"
#include "graphics/x11/X11Support.h"
#include "platform/Module.h"
#include "platform/UserFolders.h"

namespace halvane {

namespace {

// How long the clipboard's owner has to answer.
constexpr long kClipboardWaitMs = 500;

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

// A file name typed without an extension takes the first one offered.
std::string WithDefaultExtension(std::string path, const char* extensions) {
    std::string first;
    std::istringstream(extensions ? extensions : "") >> first;
    const std::size_t slash = path.find_last_of('/');
    if (!first.empty() && slash != std::string::npos && slash + 1 < path.size() &&
        path.find('.', slash) == std::string::npos)
        path += "." + first;
    return path;
}

} // namespace

ShellDialogs::BoxAnswer X11Platform::MessageBox(const char* text, const char* caption,
                                                ShellDialogs::BoxKind kind) {
    using Answer = ShellDialogs::BoxAnswer;
    const bool question = kind == ShellDialogs::BoxKind::kYesNo;
    const std::string program = x11::DialogProgram();
    if (program.empty()) {
        if (!display_)
            return question ? Answer::kNo : Answer::kOk;
        x11::DialogRequest entry;
        entry.title = caption ? caption : "";
        entry.message = text ? text : "";
        entry.buttons =
            question ? std::vector<std::string>{"Yes", "No"} : std::vector<std::string>{"OK"};
        const int pressed = RunOwnDialog(entry);
        return !question ? Answer::kOk : pressed == 1 ? Answer::kNo : Answer::kYes;
    }
    std::string out;
    const int status =
        x11::RunAndRead(x11::MessageBoxCommand(program, text, caption, kind, TopLevelId()), out,
                        [this] { RepaintWhileWaiting(); });
    if (!question)
        return Answer::kOk;
    // Only a clear No is No: closing the box counts as Yes, as on Windows.
    return status == 1 ? Answer::kNo : Answer::kYes;
}

int X11Platform::RunOwnDialog(x11::DialogRequest& entry) {
    x11::ErrorTrap trap(display_);
    captured_ = false;
    lastPressButton_ = 0;
    return x11::RunDialog(display_, TopLevel(), entry, [this](XEvent& event) {
        if (event.type == Expose || event.type == DestroyNotify)
            Handle(event);
    });
}

unsigned long X11Platform::TopLevelId() const {
    if (!display_ || !parent_)
        return 0;
    x11::ErrorTrap trap(display_);
    return TopLevel();
}

void X11Platform::PromptForFile(std::string& fileName, ShellDialogs::FileAction action,
                                std::string& folder, const char* extensions) {
    const std::string proposed = fileName;
    fileName.clear();
    if (!display_)
        return;
    const bool save = action == ShellDialogs::FileAction::kSave;
    const std::string start = WithSeparator(folder.empty() ? DesktopFolder() : folder) + proposed;
    // HALVANE_FILE_DIALOG picks one kind of dialog for a desktop whose first
    // choice misbehaves: "portal", "program" (zenity or kdialog) or "own".
    const char* forced = std::getenv("HALVANE_FILE_DIALOG");
    const std::string only = forced ? forced : "";
    std::string chosen;
    x11::PortalFileRequest portal;
    portal.save = save;
    portal.title = save ? "Save" : "Open";
    portal.folder = folder.empty() ? DesktopFolder() : folder;
    portal.name = proposed;
    portal.extensions = extensions ? extensions : "";
    portal.parentWindow = TopLevelId();
    const x11::PortalAnswer answer = only == "program" || only == "own"
                                         ? x11::PortalAnswer::kUnavailable
                                         : x11::PortalFileDialog(
                                               portal, [this] { RepaintWhileWaiting(); }, chosen);
    if (answer == x11::PortalAnswer::kCancelled ||
        (only == "portal" && answer == x11::PortalAnswer::kUnavailable))
        return;
    // The portal's dialog asked about overwriting itself; without it the
    // dialog programs, else our own dialog.
    if (answer == x11::PortalAnswer::kUnavailable) {
        const std::string program = only == "own" ? std::string() : x11::DialogProgram();
        if (!program.empty()) {
            const int status = x11::RunAndRead(
                x11::FileDialogCommand(program, action, start, extensions, TopLevelId()), chosen,
                [this] { RepaintWhileWaiting(); });
            while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r'))
                chosen.pop_back();
            if (status != 0)
                chosen.clear();
        } else {
            chosen = OwnFileDialog(save, start, extensions ? extensions : "");
        }
    }
    if (chosen.empty() || chosen[0] != '/' || chosen.back() == '/')
        return;
    if (save) {
        // The dialog asked about the name as typed; the extension added here
        // may name a file of its own.
        const std::string named = WithDefaultExtension(chosen, extensions);
        const std::string ask = named + " already exists.\nDo you want to replace it?";
        if (named != chosen && FileExists(named) &&
            MessageBox(ask.c_str(), "Save", ShellDialogs::BoxKind::kYesNo) ==
                ShellDialogs::BoxAnswer::kNo)
            return;
        chosen = named;
    }
    if (!save && !FileExists(chosen))
        return;
    fileName = chosen;
    folder = chosen.substr(0, chosen.find_last_of('/') + 1);
}

std::string X11Platform::OwnFileDialog(bool save, const std::string& start,
                                       const std::string& extensions) {
    x11::DialogRequest entry;
    entry.title = save ? "Save" : "Open";
    entry.withField = true;
    entry.field = start;
    entry.buttons = {save ? "Save" : "Open", "Cancel"};
    for (;;) {
        entry.message = std::string(save ? "Save as" : "Open") +
                        (extensions.empty() ? "" : " (" + extensions + ")") + ":";
        if (RunOwnDialog(entry) != 0)
            return "";
        const std::string path = WithDefaultExtension(entry.field, extensions.c_str());
        const std::string parent = path.substr(0, path.find_last_of('/') + 1);
        std::string problem;
        if (path.empty() || path[0] != '/' || path.back() == '/')
            problem = "Please give the full path of a file.";
        else if (save && !FolderExists(parent))
            problem = "The folder " + parent + " does not exist.";
        else if (!save && !FileExists(path))
            problem = "The file " + path + " does not exist.";
        if (!problem.empty()) {
            MessageBox(problem.c_str(), entry.title.c_str(), ShellDialogs::BoxKind::kErrorOk);
            continue;
        }
        if (save && FileExists(path)) {
            const std::string ask = path + " already exists.\nDo you want to replace it?";
            if (MessageBox(ask.c_str(), entry.title.c_str(), ShellDialogs::BoxKind::kYesNo) ==
                ShellDialogs::BoxAnswer::kNo)
                continue;
        }
        return path;
    }
}

bool X11Platform::PromptForColor(IColor& color, const char* title) {
    if (!display_)
        return false;
    IColor chosen = color;
    const std::string program = x11::DialogProgram();
    if (!program.empty()) {
        std::string out;
        const int status =
            x11::RunAndRead(x11::ColorDialogCommand(program, color, title, TopLevelId()), out,
                            [this] { RepaintWhileWaiting(); });
        if (status != 0 || !x11::ParseColor(out, chosen))
            return false;
    } else if (!OwnColorDialog(chosen, title ? title : "")) {
        return false;
    }
    // The choosers know no transparency: the caller's stays.
    color = IColor(color.a, chosen.r, chosen.g, chosen.b);
    return true;
}

bool X11Platform::OwnColorDialog(IColor& color, const std::string& title) {
    x11::DialogRequest entry;
    entry.title = title;
    entry.message = "Red, green and blue from 0 to 255, or #rrggbb:";
    entry.withField = true;
    entry.colorSwatch = true;
    entry.field =
        std::to_string(color.r) + ", " + std::to_string(color.g) + ", " + std::to_string(color.b);
    entry.buttons = {"OK", "Cancel"};
    for (;;) {
        if (RunOwnDialog(entry) != 0)
            return false;
        if (x11::ParseColor(entry.field, color))
            return true;
        MessageBox(("\"" + entry.field + "\" is not a colour.").c_str(), title.c_str(),
                   ShellDialogs::BoxKind::kErrorOk);
    }
}

std::string X11Platform::HostFolder() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return "";
    const std::string exe(path, static_cast<std::size_t>(n));
    return exe.substr(0, exe.find_last_of('/') + 1);
}

std::string X11Platform::PluginFolder() {
    return WithSeparator(ModuleFolder());
}

std::string X11Platform::DesktopFolder() {
    return WithSeparator(halvane::DesktopFolder());
}

std::string X11Platform::AppDataFolder(bool shared) {
    const char* dirs = std::getenv(shared ? "XDG_CONFIG_DIRS" : "XDG_CONFIG_HOME");
    std::string folder = dirs && dirs[0] == '/' ? std::string(dirs) : std::string();
    folder = folder.substr(0, folder.find(':'));
    if (folder.empty())
        folder = shared ? "/etc/xdg" : HomeFolder() + "/.config";
    return WithSeparator(folder);
}

bool X11Platform::ClipboardText(std::string& text) {
    text.clear();
    if (!display_ || !window_)
        return false;
    x11::ErrorTrap trap(display_);
    if (XGetSelectionOwner(display_, clipboardAtom_) == None)
        return false;
    // Owners that offer no UTF-8 still give Latin-1 text.
    std::string latin1;
    if (ConvertClipboard(utf8Atom_, text) || !ConvertClipboard(XA_STRING, latin1))
        return !text.empty();
    for (const char c : latin1) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (u >> 6));
            text += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return !text.empty();
}

bool X11Platform::ConvertClipboard(Atom target, std::string& text) {
    XConvertSelection(display_, clipboardAtom_, target, transferAtom_, window_, CurrentTime);
    XFlush(display_);
    const long long until = x11::NowMs() + kClipboardWaitMs;
    XEvent event;
    bool answered = false;
    while (x11::NowMs() < until) {
        if (XCheckTypedWindowEvent(display_, window_, SelectionNotify, &event)) {
            answered = true;
            break;
        }
        usleep(5000);
    }
    if (!answered || event.xselection.property == None)
        return false;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, left = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window_, transferAtom_, 0, 1 << 20, True, AnyPropertyType,
                           &type, &format, &count, &left, &data) == Success &&
        data) {
        if (format == 8 && type == target)
            text.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    return !text.empty();
}

bool X11Platform::OpenInBrowser(const char* url) {
    if (!url || !*url)
        return false;
    return x11::Launch({"xdg-open", url});
}

} // namespace halvane
