// The settings-file functions on Windows: the system's private-profile
// functions, which every other program reading the file uses too.
#include "platform/IniFile.h"

#include <windows.h>

#include <vector>

namespace halvane {

std::string IniRead(const std::string& path, const char* section, const char* key,
                    const char* defaultValue, std::size_t maxChars) {
    // The system trims the default's trailing blanks and reads null as "",
    // like IniDocument::Get; a null section or key would list names instead.
    if (!section || !key) {
        std::string fallback = defaultValue ? defaultValue : "";
        while (!fallback.empty() && (fallback.back() == ' ' || fallback.back() == '\t'))
            fallback.pop_back();
        return fallback.substr(0, maxChars);
    }
    std::vector<char> buffer(maxChars + 1, '\0');
    const DWORD length =
        GetPrivateProfileStringA(section, key, defaultValue ? defaultValue : "", buffer.data(),
                                 static_cast<DWORD>(buffer.size()), path.c_str());
    return std::string(buffer.data(), length < buffer.size() ? length : maxChars);
}

bool IniWrite(const std::string& path, const char* section, const char* key, const char* value) {
    if (!section || !*section)
        return false;
    return WritePrivateProfileStringA(section, key, value, path.c_str()) != FALSE;
}

bool IniWriteSection(const std::string& path, const char* section, const char* content) {
    if (!section || !*section)
        return false;
    return WritePrivateProfileSectionA(section, content, path.c_str()) != FALSE;
}

} // namespace halvane
