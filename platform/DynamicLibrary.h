#pragma once
// A shared library opened at run time and bound by entry-point names, for
// optional companions (the tuning library) that the instrument must run without.

#include <string>
#include <vector>

namespace halvane {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Opens the library at path, closing whatever was open before. Every symbol
    // is resolved now, so a broken library fails here and never later on the
    // audio thread. False (and nothing open) when it cannot be loaded.
    bool Open(const std::string& path);

    // Address of the exported name, or null when it is missing or nothing is open.
    void* Symbol(const char* name) const;

    void Close();
    bool IsOpen() const { return mHandle != nullptr; }
    // Why the last Open failed, as the system tells it (empty after a success).
    const std::string& Error() const { return mError; }

private:
    void* mHandle = nullptr;
    std::string mError;
};

// Where the tuning library (MTS-ESP) is looked for, in order: on Windows
// LIBMTS.dll in the system folder, then in the tuning library's own folder
// under the common program files; on Linux its usual install path.
std::vector<std::string> TuningLibraryPaths();

} // namespace halvane
