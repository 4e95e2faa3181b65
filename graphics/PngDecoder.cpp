// PNG decoding through libpng's simplified reader. Its error handling stays
// inside libpng (a long jump back into png_image_*), so a damaged file only
// makes a call return 0: nothing is printed and nothing is thrown.

#include <png.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "graphics/LICE.h"

// Debian's static libpng is built as position-independent executable code: its
// one reference to the C library's stderr cannot be linked into a shared
// library. The build renames that reference to this variable (see
// cmake/PrivateLibs.cmake), defined here, hidden, beside the only caller of
// libpng so it is always linked in. libpng writes there only from its default
// error handlers, which the simplified reader never installs.
extern "C" {
std::FILE* halvane_libpng_stderr = stderr;
}

namespace halvane {

namespace {

// Larger images than the editor could ever show are refused before any
// allocation, so a forged header cannot ask for gigabytes.
constexpr png_uint_32 kMaxSide = 16384;

uint32_t BigEndian32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// True when the chunks after the signature lie within the data and end with
// IEND. libpng's reader accepts a file cut off after its image data; a cut
// file is damaged all the same, and nothing of it should be shown.
bool ChunksComplete(const unsigned char* data, std::size_t size) {
    std::size_t at = 8;
    while (size - at >= 12) {
        const std::size_t length = BigEndian32(data + at);
        if (length > size - at - 12)
            return false;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0)
            return true;
        at += 12 + length;
    }
    return false;
}

} // namespace

namespace LICE {

bool ReadPngSize(const unsigned char* data, std::size_t size, int& width, int& height) {
    // Signature, then the IHDR chunk: length 13, type, width, height.
    if (!data || size < 24 || png_sig_cmp(data, 0, 8) != 0 || BigEndian32(data + 8) != 13 ||
        std::memcmp(data + 12, "IHDR", 4) != 0)
        return false;
    const uint32_t w = BigEndian32(data + 16);
    const uint32_t h = BigEndian32(data + 20);
    if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide)
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool DecodePng(const unsigned char* data, std::size_t size, LICE_MemBitmap& out) {
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0 || !ChunksComplete(data, size))
        return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size))
        return false;
    if (image.width == 0 || image.height == 0 || image.width > kMaxSide ||
        image.height > kMaxSide) {
        png_image_free(&image);
        return false;
    }
    // BGRA bytes are 0xAARRGGBB words on a little-endian machine.
    image.format = PNG_FORMAT_BGRA;
    LICE_MemBitmap decoded(static_cast<int>(image.width), static_cast<int>(image.height));
    if (!png_image_finish_read(&image, nullptr, decoded.Bits(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    uint32_t* p = decoded.Bits();
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t v = p[i];
        const uint32_t a = v >> 24;
        if (a == 255)
            continue;
        if (a == 0) {
            p[i] = 0;
            continue;
        }
        auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
        p[i] = a << 24 | mul((v >> 16) & 0xFF) << 16 | mul((v >> 8) & 0xFF) << 8 | mul(v & 0xFF);
    }
    out = std::move(decoded);
    return true;
}

} // namespace LICE

} // namespace halvane
