// The option menu's commands: program and bank files through the file dialog,
// the startup bank, the default folder, the settings file, the MIDI switches,
// and the dispatch of every menu command by its number.
#include <cstring>
#include <string>

#include "platform/Text.h"
#include "shell/Synth.h"

namespace halvane {

namespace {

const char kProgramExtension[] = "fxp";
const char kBankExtension[] = "fxb";
const char kBankFileName[] = "Halvane";

const char kErrorCaption[] = "Error";
const char kCannotLoad[] = "Cannot load file!";
const char kCannotSave[] = "Cannot save file!\n\nMaybe the folder/file is write-protected...";

// Message texts are cut to fit a buffer of this size, as the boxes take them.
constexpr std::size_t kMessageBytes = 1024;

} // namespace

std::string Synth::CleanFileName(const std::string& name) {
    std::string clean = name;
    for (char& c : clean)
        if (c != '\0' && std::strchr("<>:\"/\\|?*", c))
            c = '_';
    return clean;
}

std::string Synth::FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

ShellDialogs::BoxAnswer Synth::Ask(const char* text, const char* caption,
                                   ShellDialogs::BoxKind kind) {
    // Without an editor window there is nobody to ask: questions count as No.
    if (!dialogs_)
        return ShellDialogs::BoxAnswer::kNo;
    if (std::strlen(text) > kMessageBytes - 1) {
        const std::string cut(text, kMessageBytes - 1);
        return dialogs_->ShowMessageBox(cut.c_str(), caption, kind);
    }
    return dialogs_->ShowMessageBox(text, caption, kind);
}

bool Synth::Confirm(const char* intro, const std::string& path, const char* question,
                    const char* caption) {
    const std::string text = std::string(intro) + path + question;
    return Ask(text.c_str(), caption, ShellDialogs::BoxKind::kYesNo) !=
           ShellDialogs::BoxAnswer::kNo;
}

void Synth::LoadFileFlow(FileKind kind) {
    if (!dialogs_)
        return;
    std::string folder = programFilesFolder_;
    std::string path;
    dialogs_->PromptForFile(path, ShellDialogs::FileAction::kOpen, folder,
                            kind == FileKind::kProgram ? kProgramExtension : kBankExtension);
    if (path.empty())
        return;
    bool ok;
    {
        // The render loop must never see a half-loaded program or bank.
        ScopedLock hold(Lock());
        ok = kind == FileKind::kProgram ? LoadProgramFile(path) : LoadBankFile(path);
    }
    programFilesFolder_ = FolderOf(path);
    if (!ok)
        Ask(kCannotLoad, kErrorCaption, ShellDialogs::BoxKind::kErrorOk);
}

void Synth::SaveFileFlow(FileKind kind) {
    if (!dialogs_)
        return;
    std::string folder = programFilesFolder_;
    std::string path = kBankFileName;
    if (kind == FileKind::kProgram) {
        ScopedLock hold(Lock());
        path = CleanFileName(ProgramName(CurrentProgram()));
    }
    dialogs_->PromptForFile(path, ShellDialogs::FileAction::kSave, folder,
                            kind == FileKind::kProgram ? kProgramExtension : kBankExtension);
    if (path.empty())
        return;
    bool ok;
    {
        ScopedLock hold(Lock());
        ModifyCurrentPreset(nullptr); // the file holds the live edits
        ok = kind == FileKind::kProgram ? SaveProgramFile(path) : SaveBankFile(path);
    }
    programFilesFolder_ = FolderOf(path);
    if (!ok)
        Ask(kCannotSave, kErrorCaption, ShellDialogs::BoxKind::kErrorOk);
}

void Synth::LoadProgramFlow() {
    LoadFileFlow(FileKind::kProgram);
}

void Synth::SaveProgramFlow() {
    SaveFileFlow(FileKind::kProgram);
}

void Synth::LoadBankFlow() {
    LoadFileFlow(FileKind::kBank);
}

void Synth::SaveBankFlow() {
    SaveFileFlow(FileKind::kBank);
}

void Synth::SelectStartupBankFlow() {
    if (!dialogs_)
        return;
    std::string folder = documentsFolder_;
    std::string path;
    dialogs_->PromptForFile(path, ShellDialogs::FileAction::kOpen, folder, kBankExtension);
    if (!path.empty())
        SetStartupBank(path);
}

void Synth::LoadStartupBankFlow() {
    if (!Confirm("The Startup Bank is:\n", startupBank_,
                 "\n\nDo you really want to reload all programs?", "Load Startup Bank"))
        return;
    bool ok;
    {
        ScopedLock hold(Lock());
        ok = LoadBankFile(startupBank_);
    }
    if (!ok)
        Ask(kCannotLoad, kErrorCaption, ShellDialogs::BoxKind::kErrorOk);
}

void Synth::UnselectStartupBankFlow() {
    if (Confirm("The Startup Bank is:\n", startupBank_, "\n\nDo you really want to unselect it?",
                "Unselect Startup Bank"))
        ClearStartupBank();
}

void Synth::DefaultPathFlow() {
    if (!dialogs_)
        return;
    std::string folder = programFilesFolder_;
    std::string path = "[file name is ignored]";
    dialogs_->PromptForFile(path, ShellDialogs::FileAction::kSave, folder, " ");
    if (path.empty())
        return;
    const std::string chosen = FolderOf(path);
    WriteProgramFilesPath(&chosen);
}

void Synth::HandleMenuCommand(int command) {
    using Kind = ShellDialogs::BoxKind;
    switch (command) {
    case kCopyProgram:
        CopyProgram();
        break;
    case kPasteProgram:
        if (Ask("Do you really want to overwrite the current program?", "Paste Program",
                Kind::kYesNo) != ShellDialogs::BoxAnswer::kNo)
            PasteProgram();
        break;
    case kInitProgram:
        if (Ask("Do you really want to initialize the current program?", "Initialize Program",
                Kind::kYesNo) != ShellDialogs::BoxAnswer::kNo)
            InitProgram();
        break;
    case kLoadProgram:
        LoadProgramFlow();
        break;
    case kSaveProgram:
        SaveProgramFlow();
        break;
    case kLoadBank:
        LoadBankFlow();
        break;
    case kSaveBank:
        SaveBankFlow();
        break;
    case kSelectStartupBank:
        SelectStartupBankFlow();
        break;
    case kLoadStartupBank:
        LoadStartupBankFlow();
        break;
    case kUnselectStartupBank:
        UnselectStartupBankFlow();
        break;
    case kDefaultPath:
        DefaultPathFlow();
        break;
    case kReloadConfiguration:
        if (Confirm("The INI configuration file is:\n", settingsPath_,
                    "\n\nDo you really want to reload it?", "Reload Configuration") &&
            ReadConfiguration() == ConfigStatus::kFileMissing)
            Ask("The INI file does not exist.", "Problem with INI File", Kind::kOk);
        break;
    case kSaveConfiguration:
        if (Confirm("The INI configuration file is:\n", settingsPath_,
                    "\n\nDo you really want to overwrite it?", "Save Configuration"))
            WriteConfiguration(false);
        break;
    case kToggleMidiThru:
        midiThru_ = !midiThru_;
        WriteConfiguration(true);
        break;
    case kToggleIgnoreProgramChange:
        ignoreProgramChange_ = !ignoreProgramChange_;
        WriteConfiguration(true);
        break;
    case kShowVoiceSchedule:
        ShowVoiceSchedule(!VoiceScheduleShown());
        break;
    case kCheckForUpdate:
        CheckForUpdate();
        break;
    case kVisitWebSite:
        VisitWebSite();
        break;
    default:
        break; // separators and submenu titles do nothing
    }
}

} // namespace halvane
