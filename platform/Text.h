#pragma once
// Bounded text helpers. Every copy of a text into a fixed buffer goes through
// these, so a long name can never run past the end of a host's or our own buffer.

#include <algorithm>
#include <cctype>
#include <charconv>
#include <clocale>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

namespace halvane {

// Copies at most size - 1 characters of src and always terminates (when size > 0).
// A null src copies as the empty text. Returns the number of characters written.
inline std::size_t CopyText(char* dst, std::size_t size, const char* src) {
    if (!dst || size == 0)
        return 0;
    std::size_t n = 0;
    if (src) {
        while (n + 1 < size && src[n] != '\0') {
            dst[n] = src[n];
            ++n;
        }
    }
    dst[n] = '\0';
    return n;
}

template <std::size_t N> inline std::size_t CopyText(char (&dst)[N], const char* src) {
    return CopyText(dst, N, src);
}

// snprintf that always terminates and never reports more than it wrote.
#if defined(__GNUC__)
__attribute__((format(printf, 3, 4)))
#endif
inline int
FormatText(char* dst, std::size_t size, const char* format, ...) {
    if (!dst || size == 0)
        return 0;
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(dst, size, format, args);
    va_end(args);
    if (n < 0) {
        dst[0] = '\0';
        return 0;
    }
    return static_cast<std::size_t>(n) >= size ? static_cast<int>(size - 1) : n;
}

// Reads the leading decimal number of a text the way atof does (blanks skipped,
// a sign, digits, a fraction, an exponent; nothing readable gives 0), but always
// with a dot as the decimal separator, whatever locale the host has set.
inline double ParseDecimal(const char* text) {
    if (!text)
        return 0.0;
    while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    if (*text == '+')
        ++text;
    double value = 0.0;
    const char* end = text + std::strlen(text);
    const auto result = std::from_chars(text, end, value);
    return result.ec == std::errc() ? value : 0.0;
}

// Reads the leading decimal integer of a text the way atoi does (blanks
// skipped, a sign, digits; anything else ends it; nothing readable gives 0),
// but held to 32 bits where atoi would overflow.
inline int32_t ParseInteger(const char* text) {
    if (!text)
        return 0;
    while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = std::min(value * 10 + (*text - '0'), kLimit);
    if (negative)
        return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min(value, kLimit - 1));
}

// Hosts may run with a locale whose decimal separator is a comma; texts we
// show and store always use a dot. Replaces the locale's separator in place.
inline void UseDotDecimal(char* text) {
    const lconv* conv = std::localeconv();
    if (!text || !conv || !conv->decimal_point || conv->decimal_point[0] == '.' ||
        conv->decimal_point[0] == '\0' || conv->decimal_point[1] != '\0')
        return;
    for (char* p = text; *p != '\0'; ++p)
        if (*p == conv->decimal_point[0])
            *p = '.';
}

} // namespace halvane
