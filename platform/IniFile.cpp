#include "platform/IniFile.h"

#include "platform/Text.h"
#include "platform/UserFolders.h"

#include <cstdio>
#include <cstring>

namespace halvane {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

bool HasLineBreak(const char* text) {
    return std::strpbrk(text, "\r\n") != nullptr;
}

// A section or key name as the caller gives it, trimmed the way names in the
// file are trimmed; empty when it could never be read back.
std::string CleanName(const char* name) {
    if (!name || HasLineBreak(name))
        return std::string();
    return Trim(name);
}

// The part of a raw line that takes part in parsing: a NUL ends it, as it would
// end the text for the Windows functions.
std::string Logical(const std::string& line) {
    std::size_t nul = line.find('\0');
    return nul == std::string::npos ? line : line.substr(0, nul);
}

bool IsBlankLine(const std::string& line) {
    return Trim(Logical(line)).empty();
}

std::string Cut(std::string text, std::size_t maxChars) {
    if (text.size() > maxChars)
        text.resize(maxChars);
    return text;
}

} // namespace

struct IniDocument::Parsed {
    enum Kind { Other, Header, Key } kind = Other;
    std::string name;
    std::string value;
};

IniDocument::Parsed IniDocument::Classify(const std::string& line) {
    Parsed parsed;
    std::string text = Trim(Logical(line));
    if (text.empty() || text[0] == ';')
        return parsed;
    if (text[0] == '[') {
        // The last ']' closes the name, so a name may itself hold a ']'.
        std::size_t close = text.rfind(']');
        if (close != std::string::npos && close > 0) {
            parsed.kind = Parsed::Header;
            parsed.name = Trim(text.substr(1, close - 1));
        }
        return parsed;
    }
    std::size_t equals = text.find('=');
    if (equals == std::string::npos)
        return parsed;
    parsed.name = Trim(text.substr(0, equals));
    if (parsed.name.empty())
        return parsed;
    parsed.kind = Parsed::Key;
    parsed.value = Trim(text.substr(equals + 1));
    return parsed;
}

bool IniDocument::Load(const std::string& path) {
    Parse(nullptr, 0);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::string bytes;
    char chunk[16384];
    bool failed = false;
    // One byte past the limit tells a file of exactly the limit from a longer one.
    while (bytes.size() <= kMaxFileBytes) {
        std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
        bytes.append(chunk, got);
        if (got < sizeof chunk) {
            failed = std::ferror(file) != 0;
            break;
        }
    }
    std::fclose(file);
    if (failed)
        return false;
    Parse(bytes.data(), bytes.size());
    return true;
}

void IniDocument::Parse(const char* data, std::size_t size) {
    lines_.clear();
    byteOrderMark_.clear();
    lineEnd_ = "\n";
    complete_ = true;
    if (!data)
        return;
    if (size > kMaxFileBytes) {
        size = kMaxFileBytes;
        complete_ = false;
    }
    std::size_t pos = 0;
    if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
        byteOrderMark_.assign(data, 3);
        pos = 3;
    }
    bool sawLineEnd = false;
    while (pos < size) {
        const void* found = std::memchr(data + pos, '\n', size - pos);
        std::size_t end =
            found ? static_cast<std::size_t>(static_cast<const char*>(found) - data) : size;
        std::size_t length = end - pos;
        bool crlf = length > 0 && data[end - 1] == '\r';
        if (crlf)
            --length;
        if (found && !sawLineEnd) {
            // The first line end decides how the lines this store adds end.
            lineEnd_ = crlf ? "\r\n" : "\n";
            sawLineEnd = true;
        }
        lines_.emplace_back(data + pos, length < kMaxLineBytes ? length : kMaxLineBytes);
        pos = end + 1;
    }
}

long IniDocument::FindSection(const char* section) const {
    std::string name = CleanName(section);
    if (name.empty())
        return -1;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        Parsed parsed = Classify(lines_[i]);
        if (parsed.kind == Parsed::Header && EqualNoCase(parsed.name, name))
            return static_cast<long>(i);
    }
    return -1;
}

std::size_t IniDocument::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && Classify(lines_[i]).kind != Parsed::Header)
        ++i;
    return i;
}

long IniDocument::FindKey(std::size_t header, const char* key) const {
    std::string name = CleanName(key);
    if (name.empty())
        return -1;
    std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        Parsed parsed = Classify(lines_[i]);
        if (parsed.kind == Parsed::Key && EqualNoCase(parsed.name, name))
            return static_cast<long>(i);
    }
    return -1;
}

std::string IniDocument::Get(const char* section, const char* key, const char* defaultValue,
                             std::size_t maxChars) const {
    long header = FindSection(section);
    long line = header >= 0 && key ? FindKey(static_cast<std::size_t>(header), key) : -1;
    if (line < 0) {
        std::string fallback = defaultValue ? defaultValue : "";
        while (!fallback.empty() && IsBlank(fallback.back()))
            fallback.pop_back();
        return Cut(fallback, maxChars);
    }
    std::string value = Classify(lines_[static_cast<std::size_t>(line)]).value;
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return Cut(value, maxChars);
}

bool IniDocument::HasSection(const char* section) const {
    return FindSection(section) >= 0;
}

bool IniDocument::HasKey(const char* section, const char* key) const {
    long header = FindSection(section);
    return header >= 0 && FindKey(static_cast<std::size_t>(header), key) >= 0;
}

void IniDocument::AppendSection(const char* section) {
    if (!lines_.empty() && !IsBlankLine(lines_.back()))
        lines_.emplace_back();
    lines_.push_back("[" + CleanName(section) + "]");
}

bool IniDocument::Set(const char* section, const char* key, const char* value) {
    std::string sectionName = CleanName(section);
    if (sectionName.empty())
        return false;
    if (!key) {
        for (long header = FindSection(section); header >= 0; header = FindSection(section)) {
            std::size_t first = static_cast<std::size_t>(header);
            lines_.erase(lines_.begin() + static_cast<long>(first),
                         lines_.begin() + static_cast<long>(SectionEnd(first)));
        }
        return true;
    }
    std::string keyName = CleanName(key);
    if (keyName.empty() || keyName.find('=') != std::string::npos || keyName[0] == '[' ||
        keyName[0] == ';')
        return false;
    if (!value) {
        long header = FindSection(section);
        if (header >= 0) {
            // Every copy goes, or deleting the first would bring back a stale second.
            for (long line = FindKey(static_cast<std::size_t>(header), key); line >= 0;
                 line = FindKey(static_cast<std::size_t>(header), key))
                lines_.erase(lines_.begin() + line);
        }
        return true;
    }
    if (HasLineBreak(value))
        return false;
    long header = FindSection(section);
    if (header < 0) {
        AppendSection(section);
        header = static_cast<long>(lines_.size()) - 1;
    }
    std::size_t first = static_cast<std::size_t>(header);
    long line = FindKey(first, key);
    if (line >= 0) {
        std::size_t at = static_cast<std::size_t>(line);
        lines_[at] = Classify(lines_[at]).name + "=" + value;
        return true;
    }
    // New keys go after the last line of the section, before the blank lines
    // that keep it apart from the next one.
    std::size_t at = SectionEnd(first);
    while (at > first + 1 && IsBlankLine(lines_[at - 1]))
        --at;
    lines_.insert(lines_.begin() + static_cast<long>(at), keyName + "=" + value);
    return true;
}

bool IniDocument::SetSection(const char* section, const char* content) {
    if (CleanName(section).empty())
        return false;
    if (!content)
        return Set(section, nullptr, nullptr);
    std::vector<std::string> entries;
    for (const char* entry = content; *entry; entry += std::strlen(entry) + 1) {
        if (HasLineBreak(entry))
            return false;
        std::string text = Trim(entry);
        if (!text.empty())
            entries.push_back(text);
    }
    long header = FindSection(section);
    if (header < 0) {
        AppendSection(section);
        header = static_cast<long>(lines_.size()) - 1;
    }
    std::size_t first = static_cast<std::size_t>(header);
    std::size_t end = SectionEnd(first);
    while (end > first + 1 && IsBlankLine(lines_[end - 1]))
        --end;
    lines_.erase(lines_.begin() + static_cast<long>(first + 1),
                 lines_.begin() + static_cast<long>(end));
    lines_.insert(lines_.begin() + static_cast<long>(first + 1), entries.begin(), entries.end());
    return true;
}

std::string IniDocument::Text() const {
    std::string text = byteOrderMark_;
    for (const std::string& line : lines_) {
        text += line;
        text += lineEnd_;
    }
    return text;
}

bool IniDocument::Save(const std::string& path) const {
    if (!complete_)
        return false;
    return WriteFileAtomically(path, Text());
}

// The same on every platform, over the platform's own IniRead.
std::size_t IniRead(const std::string& path, const char* section, const char* key,
                    const char* defaultValue, char* buffer, std::size_t bufferSize) {
    if (!buffer || bufferSize == 0)
        return 0;
    std::string value = IniRead(path, section, key, defaultValue, bufferSize - 1);
    return CopyText(buffer, bufferSize, value.c_str());
}

} // namespace halvane
