#include "platform/UserFolders.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace halvane {

namespace {

const char kMakerFolder[] = "KelpmoorMusic";
const char kSettingsFile[] = "halvane.ini";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return std::string();
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// XDG paths must be absolute; a relative one is ignored as if unset.
std::string ConfigHome() {
    std::string xdg = Environment("XDG_CONFIG_HOME");
    if (IsAbsolute(xdg))
        return WithoutTrailingSlash(xdg);
    return Join(HomeFolder(), ".config");
}

// "$HOME/x" and "${HOME}/x" become home + "/x"; an absolute path stays; anything
// else means nothing.
std::string ExpandHome(const std::string& value, const std::string& home) {
    for (const char* prefix : {"$HOME", "${HOME}"}) {
        std::string start = prefix;
        if (value.compare(0, start.size(), start) == 0 &&
            (value.size() == start.size() || value[start.size()] == '/')) {
            if (home.empty())
                return std::string();
            return WithoutTrailingSlash(home + value.substr(start.size()));
        }
    }
    return IsAbsolute(value) ? WithoutTrailingSlash(value) : std::string();
}

// The value of one assignment in user-dirs.dirs, a shell fragment of lines like
//   XDG_DOCUMENTS_DIR="$HOME/Documents"
// As the shell would, the last assignment wins.
std::string ReadUserDir(const std::string& file, const std::string& variable) {
    std::FILE* stream = std::fopen(file.c_str(), "rb");
    if (!stream)
        return std::string();
    std::string text;
    char chunk[4096];
    std::size_t got = 0;
    // The file is a handful of lines; anything past 64 KiB is not ours.
    while (text.size() < 64 * 1024 && (got = std::fread(chunk, 1, sizeof chunk, stream)) > 0)
        text.append(chunk, got);
    std::fclose(stream);

    std::string found;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::size_t at = pos;
        while (at < end && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        if (text.compare(at, variable.size() + 1, variable + "=") == 0) {
            at += variable.size() + 1;
            std::string value;
            if (at < end && text[at] == '"') {
                for (++at; at < end && text[at] != '"'; ++at) {
                    if (text[at] == '\\' && at + 1 < end)
                        ++at;
                    value += text[at];
                }
            } else {
                while (at < end && text[at] != ' ' && text[at] != '\t' && text[at] != '\r')
                    value += text[at++];
            }
            found = value;
        }
        pos = end + 1;
    }
    return found;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

const char kPathSeparators[] = "/";

std::string HomeFolder() {
    std::string home = Environment("HOME");
    if (IsAbsolute(home))
        return WithoutTrailingSlash(home);
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
        result->pw_dir && IsAbsolute(result->pw_dir))
        return WithoutTrailingSlash(result->pw_dir);
    return std::string();
}

std::string SettingsFolder() {
    return Join(ConfigHome(), kMakerFolder);
}

std::string SettingsFilePath() {
    return Join(SettingsFolder(), kSettingsFile);
}

namespace {

// An XDG user folder (XDG_DOCUMENTS_DIR, XDG_DESKTOP_DIR) from the environment
// or user-dirs.dirs when it exists, else the home folder.
std::string UserDir(const char* variable) {
    std::string home = HomeFolder();
    std::string folder = ExpandHome(Environment(variable), home);
    if (!folder.empty() && FolderExists(folder))
        return folder;
    std::string config = ConfigHome();
    if (!config.empty()) {
        folder = ExpandHome(ReadUserDir(Join(config, "user-dirs.dirs"), variable), home);
        if (!folder.empty() && FolderExists(folder))
            return folder;
    }
    return home;
}

} // namespace

std::string DocumentsFolder() {
    return UserDir("XDG_DOCUMENTS_DIR");
}

std::string DesktopFolder() {
    return UserDir("XDG_DESKTOP_DIR");
}

bool EnsureFolder(const std::string& path) {
    if (path.empty())
        return false;
    if (FolderExists(path))
        return true;
    // Another process may create it between the test and here.
    return ::mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && FolderExists(path));
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateEmptyFile(const std::string& path) {
    if (path.empty())
        return false;
    // No O_TRUNC: another instance may have written the file since we looked.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0)
        ::close(fd);
    return FileExists(path);
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
    if (path.empty())
        return false;
    std::string target = path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // Replace what the link points to, not the link (settings kept in a
        // dotfile repository stay linked).
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    if (FolderExists(target))
        return false;
    bool replacing = ::stat(target.c_str(), &info) == 0;
    // A file made read-only is left alone, as the Windows functions leave it.
    if (replacing && ::access(target.c_str(), W_OK) != 0)
        return false;

    std::size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);

    // The name is unique within this process by the counter and across
    // processes by the pid; O_EXCL still refuses a stale leftover.
    static std::atomic<unsigned> counter{0};
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + "." + name + ".tmp-" + std::to_string(::getpid()) + "-" +
                    std::to_string(counter.fetch_add(1));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    replacing ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    bool ok = WriteAll(fd, bytes);
    if (ok && replacing)
        ok = ::fchmod(fd, info.st_mode & 07777) == 0;
    if (ok)
        ok = ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

} // namespace halvane
