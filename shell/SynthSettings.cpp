// The per-user settings file of the instrument base: global MIDI switches, the
// startup bank, the folder for program files and the MIDI-learn controller map.
#include <cctype>
#include <cstdint>
#include <string>

#include "platform/IniFile.h"
#include "platform/Text.h"
#include "platform/UserFolders.h"
#include "shell/Synth.h"

namespace halvane {

namespace {

const char kMidiGlobal[] = "MIDI Global";
const char kMidiThruKey[] = "MIDI Thru";
const char kIgnoreProgramChangeKey[] = "Ignore Program Change";
const char kStartupBankSection[] = "Startup Bank";
const char kStartupBankKey[] = "File";
const char kGlobal[] = "Global";
const char kProgramFilesKey[] = "Path to Program Files";
const char kMidiControl[] = "MIDI Control";

// Buffer sizes of the reads, less the terminator.
constexpr std::size_t kValueChars = 63;
constexpr std::size_t kPathChars = 259;

bool IsTrue(const std::string& text) {
    static const char kTrue[] = "true";
    if (text.size() != sizeof(kTrue) - 1)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != kTrue[i])
            return false;
    return true;
}

// A controller entry: its leading integer (as atoi reads it, held to 32 bits).
// A text that reads as 0 without starting with the digit 0 (a word, for
// instance) means no parameter.
int32_t ParseControllerEntry(const std::string& text) {
    const int32_t value = ParseInteger(text.c_str());
    if (value == 0 && (text.empty() || text[0] != '0'))
        return -1;
    return value;
}

std::string ControllerKey(int controller) {
    char key[16];
    FormatText(key, sizeof(key), "CC%i", controller);
    return key;
}

// Creates the folder and every missing folder above it. A fresh account may
// have no configuration folder at all, and creating only the last level would
// then never let the settings be saved.
void CreateFolderPath(const std::string& folder) {
    for (std::size_t slash = folder.find_first_of(kPathSeparators, 1); slash != std::string::npos;
         slash = folder.find_first_of(kPathSeparators, slash + 1))
        EnsureFolder(folder.substr(0, slash));
    EnsureFolder(folder);
}

} // namespace

void Synth::LocateSettings() {
    // The process locale is the host's business: nothing here depends on it,
    // since numbers are read and written without the C library's locale.
    CreateFolderPath(SettingsFolder());
    settingsPath_ = halvane::SettingsFilePath();
    documentsFolder_ = halvane::DocumentsFolder();
    programFilesFolder_ = documentsFolder_;
    if (!FileExists(settingsPath_)) {
        if (CreateEmptyFile(settingsPath_))
            ReadConfiguration();
    } else {
        ReadConfiguration();
    }
}

Synth::ConfigStatus Synth::ReadConfiguration() {
    const bool exists = FileExists(settingsPath_);
    // One read of the file serves every key; a missing or unreadable file reads
    // as an empty one, so every key takes its default.
    IniDocument ini;
    if (exists)
        ini.Load(settingsPath_);

    ScopedLock hold(Lock());
    std::string text =
        ini.Get(kMidiGlobal, kMidiThruKey, midiThru_ ? "true" : "false", kValueChars);
    if (!text.empty())
        midiThru_ = IsTrue(text);
    text = ini.Get(kMidiGlobal, kIgnoreProgramChangeKey, ignoreProgramChange_ ? "true" : "false",
                   kValueChars);
    if (!text.empty())
        ignoreProgramChange_ = IsTrue(text);

    startupBank_.clear();
    text = ini.Get(kStartupBankSection, kStartupBankKey, "", kPathChars);
    if (!text.empty())
        startupBank_ = text;

    text = ini.Get(kGlobal, kProgramFilesKey, "", kPathChars);
    if (!text.empty())
        programFilesFolder_ = text;

    for (int k = 0; k < kControllers; ++k) {
        text = ini.Get(kMidiControl, ControllerKey(k).c_str(), "-1", kValueChars);
        if (!text.empty())
            controllerMap_[static_cast<std::size_t>(k)] = ParseControllerEntry(text);
    }
    SyncControllerTable();
    return exists ? ConfigStatus::kOk : ConfigStatus::kFileMissing;
}

void Synth::WriteConfiguration(bool midiGlobalsOnly) {
    bool thru, ignore;
    std::array<int32_t, kControllers> map;
    {
        ScopedLock hold(Lock());
        thru = midiThru_;
        ignore = ignoreProgramChange_;
        map = controllerMap_;
    }
    IniWrite(settingsPath_, kMidiGlobal, kMidiThruKey, thru ? "true" : "false");
    IniWrite(settingsPath_, kMidiGlobal, kIgnoreProgramChangeKey, ignore ? "true" : "false");
    if (midiGlobalsOnly)
        return;
    // The section is replaced as a whole, holding only the mapped controllers:
    // the same file as emptying it and writing key by key, in one write.
    std::string content;
    for (int k = 0; k < kControllers; ++k) {
        const int32_t entry = map[static_cast<std::size_t>(k)];
        if (entry < 0)
            continue;
        char line[48];
        FormatText(line, sizeof(line), "CC%i=%i", k, static_cast<int>(entry));
        content += line;
        content += '\0';
    }
    IniWriteSection(settingsPath_, kMidiControl, content.c_str());
}

void Synth::SetStartupBank(const std::string& path) {
    startupBank_ = path;
    // Emptying the section and writing the one key, in one write.
    std::string content = std::string(kStartupBankKey) + "=" + path;
    content += '\0';
    IniWriteSection(settingsPath_, kStartupBankSection, content.c_str());
}

void Synth::ClearStartupBank() {
    startupBank_.clear();
    IniWriteSection(settingsPath_, kStartupBankSection, "");
}

void Synth::WriteProgramFilesPath(const std::string* path) {
    if (path)
        programFilesFolder_ = *path;
    IniWrite(settingsPath_, kGlobal, kProgramFilesKey, programFilesFolder_.c_str());
}

} // namespace halvane
