#pragma once
// What the instrument shell asks of the editor window: a file dialog, message
// boxes and the web browser. The editor supplies the real implementation; without one the
// shell asks nothing and every file command does nothing.

#include <string>

namespace halvane {

class ShellDialogs {
public:
    enum class FileAction { kOpen, kSave };
    enum class BoxKind { kErrorOk, kInfoOk, kOk, kYesNo };
    enum class BoxAnswer { kOk, kYes, kNo, kCancel };

    virtual ~ShellDialogs() = default;

    // Shows an open or save dialog for files with the extension (without the
    // dot) starting in folder. fileName comes in as the proposed name and goes
    // out as the chosen full path, or empty when the user cancels; folder goes
    // out as the folder of the chosen file. A save dialog asks before
    // overwriting; an open dialog accepts only an existing file.
    virtual void PromptForFile(std::string& fileName, FileAction action, std::string& folder,
                               const char* extension) = 0;

    // A modal message box; the answer is the button pressed. For kYesNo every
    // answer other than kNo counts as yes.
    virtual BoxAnswer ShowMessageBox(const char* text, const char* caption, BoxKind kind) = 0;

    // Opens url in the user's web browser. With a confirmText (null for none)
    // the user is asked first, with a Yes/No box under caption, and nothing is
    // opened unless the answer is Yes. When the page cannot be opened, errorText
    // (null for none) is shown. True when the browser was started.
    virtual bool OpenUrl(const char* url, const char* caption, const char* confirmText,
                         const char* errorText) = 0;
};

} // namespace halvane
