#pragma once
// One font face at one pixel size and style, with the glyphs it has drawn so
// far kept as coverage masks. Glyphs are rasterised at four horizontal
// sub-pixel offsets, so text keeps the face's spacing at small sizes instead of
// snapping every letter to whole pixels.
//
// Not thread-safe: the text renderer holds its lock while it uses one.

#include <cstdint>
#include <memory>
#include <vector>

namespace halvane {

class LICE_CachedFont {
public:
    static constexpr int kSubpixelSteps = 4;

    struct Glyph {
        int left = 0; // offset of the mask from the pen position
        int top = 0;  // offset of the mask from the baseline (negative is above)
        int width = 0;
        int height = 0;
        std::vector<uint8_t> coverage; // width x height, 0..255
    };

    // fontData must stay valid for the font's lifetime (the faces are compiled
    // into the library). Bold widens and italic slants the regular outlines.
    LICE_CachedFont(const unsigned char* fontData, int pixelHeight, bool bold, bool italic);
    ~LICE_CachedFont();
    LICE_CachedFont(const LICE_CachedFont&) = delete;
    LICE_CachedFont& operator=(const LICE_CachedFont&) = delete;

    bool Valid() const;
    // Distances from the baseline in pixels, both positive.
    float Ascent() const;
    float Descent() const;

    int GlyphIndex(uint32_t codepoint);
    // Pen advance after the glyph, with the kerning towards the next glyph
    // (next < 0 for none).
    float Advance(int glyph, int next);
    // subpixel in 0..kSubpixelSteps-1: the pen's fractional position in steps.
    const Glyph& Rasterized(int glyph, int subpixel);

    // Decodes one UTF-8 code point and advances p; malformed bytes give U+FFFD.
    static uint32_t NextCodepoint(const char*& p);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace halvane
