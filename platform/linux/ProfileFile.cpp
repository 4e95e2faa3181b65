// The settings-file functions on Linux: the private-profile behaviour built on
// IniDocument, each write replacing the file atomically.
#include "platform/IniFile.h"

#include "platform/UserFolders.h"

#include <mutex>

namespace halvane {

std::string IniRead(const std::string& path, const char* section, const char* key,
                    const char* defaultValue, std::size_t maxChars) {
    IniDocument document;
    document.Load(path);
    return document.Get(section, key, defaultValue, maxChars);
}

namespace {

std::mutex& WriteMutex() {
    static std::mutex mutex;
    return mutex;
}

// Loads, changes and saves under one lock, so two writers of this process never
// interleave their read-modify-write cycles and the last one wins whole.
template <typename Change> bool ChangeFile(const std::string& path, Change change) {
    std::lock_guard<std::mutex> lock(WriteMutex());
    IniDocument document;
    // A file that is there but cannot be read must not be replaced by a file
    // holding only the change.
    if (!document.Load(path) && (FileExists(path) || FolderExists(path)))
        return false;
    return change(document) && document.Save(path);
}

} // namespace

bool IniWrite(const std::string& path, const char* section, const char* key, const char* value) {
    return ChangeFile(path,
                      [&](IniDocument& document) { return document.Set(section, key, value); });
}

bool IniWriteSection(const std::string& path, const char* section, const char* content) {
    return ChangeFile(path,
                      [&](IniDocument& document) { return document.SetSection(section, content); });
}

} // namespace halvane
