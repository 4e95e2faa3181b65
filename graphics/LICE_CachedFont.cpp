#include "graphics/LICE_CachedFont.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

// The font renderer is compiled into this file only, with internal linkage, so
// none of its symbols can meet another copy in the host process.
#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

namespace halvane {

namespace {

constexpr float kItalicSlant = 0.2f; // horizontal shift per unit of height
constexpr uint32_t kReplacement = 0xFFFD;

} // namespace

struct LICE_CachedFont::Impl {
    stbtt_fontinfo info{};
    bool valid = false;
    bool bold = false;
    bool italic = false;
    float scale = 0.0f;
    float ascent = 0.0f;
    float descent = 0.0f;
    int asciiGlyphs[128];
    std::unordered_map<uint32_t, int> otherGlyphs;
    std::unordered_map<uint64_t, Glyph> masks;

    Glyph Rasterize(int glyph, int subpixel);
};

LICE_CachedFont::LICE_CachedFont(const unsigned char* fontData, int pixelHeight, bool bold,
                                 bool italic)
    : impl_(std::make_unique<Impl>()) {
    Impl& f = *impl_;
    std::fill(std::begin(f.asciiGlyphs), std::end(f.asciiGlyphs), -1);
    f.bold = bold;
    f.italic = italic;
    if (!fontData || pixelHeight <= 0)
        return;
    const int offset = stbtt_GetFontOffsetForIndex(fontData, 0);
    if (offset < 0 || !stbtt_InitFont(&f.info, fontData, offset))
        return;
    // The size is the height from the highest ascender to the lowest
    // descender, as the panel's text rectangles are laid out for.
    f.scale = stbtt_ScaleForPixelHeight(&f.info, static_cast<float>(pixelHeight));
    int ascent = 0, descent = 0, lineGap = 0;
    stbtt_GetFontVMetrics(&f.info, &ascent, &descent, &lineGap);
    f.ascent = static_cast<float>(ascent) * f.scale;
    f.descent = static_cast<float>(-descent) * f.scale;
    f.valid = true;
}

LICE_CachedFont::~LICE_CachedFont() = default;

bool LICE_CachedFont::Valid() const {
    return impl_->valid;
}
float LICE_CachedFont::Ascent() const {
    return impl_->ascent;
}
float LICE_CachedFont::Descent() const {
    return impl_->descent;
}

int LICE_CachedFont::GlyphIndex(uint32_t codepoint) {
    Impl& f = *impl_;
    if (!f.valid)
        return 0;
    if (codepoint < 128) {
        int& slot = f.asciiGlyphs[codepoint];
        if (slot < 0)
            slot = stbtt_FindGlyphIndex(&f.info, static_cast<int>(codepoint));
        return slot;
    }
    auto found = f.otherGlyphs.find(codepoint);
    if (found != f.otherGlyphs.end())
        return found->second;
    const int index = stbtt_FindGlyphIndex(&f.info, static_cast<int>(codepoint));
    f.otherGlyphs.emplace(codepoint, index);
    return index;
}

float LICE_CachedFont::Advance(int glyph, int next) {
    Impl& f = *impl_;
    if (!f.valid)
        return 0.0f;
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&f.info, glyph, &advance, &bearing);
    if (next >= 0)
        advance += stbtt_GetGlyphKernAdvance(&f.info, glyph, next);
    return static_cast<float>(advance) * f.scale + (f.bold ? 1.0f : 0.0f);
}

const LICE_CachedFont::Glyph& LICE_CachedFont::Rasterized(int glyph, int subpixel) {
    Impl& f = *impl_;
    subpixel = std::clamp(subpixel, 0, kSubpixelSteps - 1);
    const uint64_t key = static_cast<uint64_t>(static_cast<uint32_t>(glyph)) * kSubpixelSteps +
                         static_cast<uint64_t>(subpixel);
    auto found = f.masks.find(key);
    if (found != f.masks.end())
        return found->second;
    return f.masks.emplace(key, f.Rasterize(glyph, subpixel)).first->second;
}

LICE_CachedFont::Glyph LICE_CachedFont::Impl::Rasterize(int glyph, int subpixel) {
    Glyph out;
    if (!valid)
        return out;
    stbtt_vertex* vertices = nullptr;
    const int count = stbtt_GetGlyphShape(&info, glyph, &vertices);
    if (count <= 0 || !vertices)
        return out;
    if (italic) {
        for (int i = 0; i < count; ++i) {
            stbtt_vertex& v = vertices[i];
            v.x = static_cast<stbtt_vertex_type>(v.x + std::lround(kItalicSlant * v.y));
            v.cx = static_cast<stbtt_vertex_type>(v.cx + std::lround(kItalicSlant * v.cy));
            v.cx1 = static_cast<stbtt_vertex_type>(v.cx1 + std::lround(kItalicSlant * v.cy1));
        }
    }
    // Bounds over every point, control points included: a curve never leaves
    // the hull of its points.
    float minX = 1e9f, minY = 1e9f, maxX = -1e9f, maxY = -1e9f;
    for (int i = 0; i < count; ++i) {
        const stbtt_vertex& v = vertices[i];
        const float xs[] = {static_cast<float>(v.x), static_cast<float>(v.cx)};
        const float ys[] = {static_cast<float>(v.y), static_cast<float>(v.cy)};
        const int points = v.type == STBTT_vcurve ? 2 : 1;
        for (int k = 0; k < points; ++k) {
            minX = std::min(minX, xs[k]);
            maxX = std::max(maxX, xs[k]);
            minY = std::min(minY, ys[k]);
            maxY = std::max(maxY, ys[k]);
        }
    }
    const float shiftX = static_cast<float>(subpixel) / kSubpixelSteps;
    const int x0 = static_cast<int>(std::floor(minX * scale + shiftX));
    const int x1 = static_cast<int>(std::ceil(maxX * scale + shiftX));
    const int y0 = static_cast<int>(std::floor(-maxY * scale));
    const int y1 = static_cast<int>(std::ceil(-minY * scale));
    const int w = x1 - x0;
    const int h = y1 - y0;
    if (w > 0 && h > 0 && w < 4096 && h < 4096) {
        std::vector<uint8_t> mask(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
        stbtt__bitmap target{w, h, w, mask.data()};
        stbtt_Rasterize(&target, 0.35f, vertices, count, scale, scale, shiftX, 0.0f, x0, y0, 1,
                        info.userdata);
        out.left = x0;
        out.top = y0;
        out.width = w;
        out.height = h;
        if (bold) {
            // One pixel wider: each pixel takes the stronger of itself and its
            // left neighbour.
            out.width = w + 1;
            out.coverage.assign(static_cast<std::size_t>(out.width) * h, 0);
            for (int y = 0; y < h; ++y) {
                const uint8_t* s = &mask[static_cast<std::size_t>(y) * w];
                uint8_t* d = &out.coverage[static_cast<std::size_t>(y) * out.width];
                for (int x = 0; x <= w; ++x) {
                    const uint8_t here = x < w ? s[x] : 0;
                    const uint8_t left = x > 0 ? s[x - 1] : 0;
                    d[x] = std::max(here, left);
                }
            }
        } else {
            out.coverage = std::move(mask);
        }
    }
    stbtt_FreeShape(&info, vertices);
    return out;
}

uint32_t LICE_CachedFont::NextCodepoint(const char*& p) {
    const auto* s = reinterpret_cast<const unsigned char*>(p);
    const unsigned char c = s[0];
    if (c < 0x80) {
        ++p;
        return c;
    }
    int length = 0;
    uint32_t cp = 0;
    uint32_t least = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2;
        cp = c & 0x1Fu;
        least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        cp = c & 0x0Fu;
        least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        cp = c & 0x07u;
        least = 0x10000;
    } else {
        ++p;
        return kReplacement;
    }
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            p += i; // a terminating zero is never skipped
            return kReplacement;
        }
        cp = cp << 6 | (s[i] & 0x3Fu);
    }
    p += length;
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return kReplacement;
    return cp;
}

} // namespace halvane
