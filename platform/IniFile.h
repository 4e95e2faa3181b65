#pragma once
// The settings-file store: a small INI reader and writer that behaves like the
// Windows private-profile functions the instrument was written against, so the
// same settings file reads the same on every platform.
//
// Names of sections and keys compare without regard to ASCII case; values are
// returned with surrounding blanks trimmed and one matching pair of quotes
// ("..." or '...') removed. When a section or key appears twice, the first one
// is the one read and written. Lines this store does not understand (comments,
// junk, lines without '=') are kept as they are when the file is rewritten.
//
// Every write goes through a temporary file that replaces the old one only when
// it has been written completely, so a failed write leaves the old file intact.

#include <cstddef>
#include <string>
#include <vector>

namespace halvane {

// One settings file held in memory as its lines. Not thread-safe by itself;
// the free functions below serialise the read-modify-write cycles of a process.
class IniDocument {
public:
    // Longest line kept; the rest of a longer line is dropped on reading.
    static constexpr std::size_t kMaxLineBytes = 64 * 1024;
    // Largest file read. A larger file is read up to here and then refuses to
    // be saved, so a rewrite never cuts off what was not read.
    static constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

    // Replaces the document by the file's contents. Returns false (and leaves
    // an empty document) when the file is missing, a folder or unreadable.
    bool Load(const std::string& path);
    // Replaces the document by the given bytes (any bytes are accepted).
    void Parse(const char* data, std::size_t size);

    // The value of key in the first section named section, or defaultValue
    // (trailing blanks removed, null reads as "") when either is missing;
    // at most maxChars characters in both cases.
    std::string Get(const char* section, const char* key, const char* defaultValue,
                    std::size_t maxChars) const;
    bool HasSection(const char* section) const;
    bool HasKey(const char* section, const char* key) const;

    // Sets key to value in the first section named section, in place when the
    // key is there, else as a new line at the end of the section (the section
    // is appended to the document when missing). A null value deletes the key,
    // a null key deletes every section of that name. Returns false, changing
    // nothing, for a null or blank section name, a blank key, a key holding
    // '=', or any name or value holding a line break.
    bool Set(const char* section, const char* key, const char* value);
    // Replaces every line of the first section named section by the entries of
    // content, a list of "key=value" texts each ended by '\0' with one more
    // '\0' after the last (so "" empties the section but keeps its header).
    // The section is created when missing; a null content deletes it.
    bool SetSection(const char* section, const char* content);

    // The document as file bytes, line ends as found in the loaded file.
    std::string Text() const;
    // Writes Text() to path through a temporary file in the same folder.
    bool Save(const std::string& path) const;

private:
    struct Parsed;
    static Parsed Classify(const std::string& line);
    // Index of the header line of the first section named section, or -1.
    long FindSection(const char* section) const;
    // One past the last line belonging to the section whose header is at header.
    std::size_t SectionEnd(std::size_t header) const;
    long FindKey(std::size_t header, const char* key) const;
    void AppendSection(const char* section);

    std::vector<std::string> lines_;
    std::string byteOrderMark_;
    std::string lineEnd_ = "\n";
    bool complete_ = true;
};

// GetPrivateProfileStringA: the value of section/key in the file at path, or the
// default when the file, section or key is missing; at most maxChars characters
// (the Windows buffer size minus one). A null section or key reads the default.
std::string IniRead(const std::string& path, const char* section, const char* key,
                    const char* defaultValue, std::size_t maxChars);
// The same into a caller's buffer of bufferSize bytes, always terminated;
// returns the number of characters copied, as GetPrivateProfileStringA does.
std::size_t IniRead(const std::string& path, const char* section, const char* key,
                    const char* defaultValue, char* buffer, std::size_t bufferSize);

// WritePrivateProfileStringA: creates the file and section when missing; a null
// value deletes the key, a null key deletes the section. False when the file
// could not be written (the old file then stays as it was).
bool IniWrite(const std::string& path, const char* section, const char* key, const char* value);

// WritePrivateProfileSectionA: content is a '\0'-separated, double-'\0'-ended
// list of "key=value" entries; "" empties the section, keeping its header.
bool IniWriteSection(const std::string& path, const char* section, const char* content);

} // namespace halvane
