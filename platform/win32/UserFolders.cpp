#include "platform/UserFolders.h"

#include <windows.h>

#include <shlobj.h>

#include <atomic>
#include <string>

namespace halvane {

namespace {

const char kMakerFolder[] = "KelpmoorMusic";
const char kSettingsFile[] = "halvane.ini";

std::string ShellFolder(int id) {
    char path[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::string();
    std::string folder = path;
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

std::string Join(const std::string& folder, const char* name) {
    if (folder.empty())
        return std::string();
    const char last = folder.back();
    return last == '\\' || last == '/' ? folder + name : folder + "\\" + name;
}

DWORD Attributes(const std::string& path) {
    return path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
}

} // namespace

const char kPathSeparators[] = "\\/";

std::string SettingsFolder() {
    return Join(ShellFolder(CSIDL_LOCAL_APPDATA), kMakerFolder);
}

std::string SettingsFilePath() {
    return Join(SettingsFolder(), kSettingsFile);
}

std::string DocumentsFolder() {
    std::string folder = ShellFolder(CSIDL_PERSONAL);
    return folder.empty() ? HomeFolder() : folder;
}

std::string DesktopFolder() {
    std::string folder = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    return folder.empty() ? HomeFolder() : folder;
}

std::string HomeFolder() {
    return ShellFolder(CSIDL_PROFILE);
}

bool EnsureFolder(const std::string& path) {
    if (path.empty())
        return false;
    if (FolderExists(path))
        return true;
    // Another process may create it between the test and here.
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE ||
           (GetLastError() == ERROR_ALREADY_EXISTS && FolderExists(path));
}

bool FileExists(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateEmptyFile(const std::string& path) {
    if (path.empty())
        return false;
    // OPEN_ALWAYS, never CREATE_ALWAYS: another instance may have written the
    // file since we looked, and it must not be emptied.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return FileExists(path);
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
    if (path.empty() || FolderExists(path))
        return false;
    const DWORD attributes = Attributes(path);
    // A file made read-only is left alone, as the profile functions leave it.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;

    static std::atomic<unsigned> counter{0};
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(counter.fetch_add(1));
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;

    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(
            bytes.size() - done > 0x40000000u ? 0x40000000u : bytes.size() - done);
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) != FALSE && written > 0;
        done += written;
    }
    if (ok)
        ok = FlushFileBuffers(file) != FALSE;
    ok = CloseHandle(file) != FALSE && ok;
    if (ok)
        ok = MoveFileExA(temporary.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok)
        DeleteFileA(temporary.c_str());
    return ok;
}

} // namespace halvane
