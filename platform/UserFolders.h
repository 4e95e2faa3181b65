#pragma once
// Where the instrument keeps its per-user files, and the few file-system
// operations the settings file needs.
//
// On Linux the settings live in the XDG configuration folder and the documents
// folder is the XDG documents folder (platform/linux/UserFolders.cpp). The
// Windows build asks the shell: SHGetFolderPathA with CSIDL_LOCAL_APPDATA for
// the settings folder and CSIDL_PERSONAL for the documents folder.
//
// Folders are returned without a trailing separator; an empty text means the
// folder could not be determined.

#include <string>

namespace halvane {

// The per-user folder holding the settings file:
// $XDG_CONFIG_HOME/KelpmoorMusic, or ~/.config/KelpmoorMusic when
// XDG_CONFIG_HOME is unset, empty or not an absolute path.
std::string SettingsFolder();
// SettingsFolder() + "/halvane.ini" (empty when the folder is unknown).
std::string SettingsFilePath();
// The user's documents folder (XDG_DOCUMENTS_DIR, from the environment or
// from user-dirs.dirs, when that folder exists), else the home folder.
std::string DocumentsFolder();

// The user's desktop folder (XDG_DESKTOP_DIR, looked up the same way), else
// the home folder.
std::string DesktopFolder();
// The user's home folder: $HOME, else the password database.
std::string HomeFolder();

// The characters that end a folder's name in a path: the slash on Linux; the
// backslash and the slash on Windows.
extern const char kPathSeparators[];

// Creates the folder when missing, one level only (its parent must exist).
// True when the folder exists afterwards.
bool EnsureFolder(const std::string& path);
// True when path names an existing file (anything but a folder).
bool FileExists(const std::string& path);
// True when path names an existing folder.
bool FolderExists(const std::string& path);
// Creates an empty file when none is there; an existing file is never
// truncated. True when a file exists at path afterwards.
bool CreateEmptyFile(const std::string& path);

// Replaces the file at path by bytes: writes a temporary file beside it and
// renames it over the old one. On any failure the temporary file is removed,
// the old file is left untouched and false is returned. A path that is a
// symbolic link has the file it points to replaced.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);

} // namespace halvane
