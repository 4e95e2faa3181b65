// Text in the faces compiled into the library. The panel's styles name
// "Arial" and "Verdana"; Liberation Sans has Arial's metrics and DejaVu Sans
// stands in for Verdana. Any other name falls back to the Arial stand-in, so
// text is always drawn.

#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include "graphics/LICE.h"
#include "graphics/LICE_CachedFont.h"
#include "graphics/PixelBlend.h"

namespace halvane {

extern const unsigned char halvane_font_liberation_sans[];
extern const std::size_t halvane_font_liberation_sans_size;
extern const unsigned char halvane_font_dejavu_sans[];
extern const std::size_t halvane_font_dejavu_sans_size;

namespace {

constexpr int kMaxPixelHeight = 256;

bool SameName(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        const char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        const char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (ca != cb)
            return false;
    }
    return *a == *b;
}

const unsigned char* FaceData(const char* name) {
    if (name && (SameName(name, "Verdana") || SameName(name, "DejaVu Sans")))
        return halvane_font_dejavu_sans;
    return halvane_font_liberation_sans;
}

struct FontCache {
    std::mutex mutex;
    std::map<std::tuple<const unsigned char*, int, int>, std::unique_ptr<LICE_CachedFont>> fonts;
};

FontCache& TheFonts() {
    static FontCache cache;
    return cache;
}

// The cached font for a style, or null for a size that draws nothing. The
// caller holds the cache's lock.
LICE_CachedFont* FontFor(FontCache& cache, const IText& style) {
    if (style.size <= 0)
        return nullptr;
    const int height = style.size > kMaxPixelHeight ? kMaxPixelHeight : style.size;
    const unsigned char* data = FaceData(style.font);
    const int styleKey = static_cast<int>(style.style);
    auto key = std::make_tuple(data, height, styleKey);
    auto found = cache.fonts.find(key);
    if (found == cache.fonts.end()) {
        auto font = std::make_unique<LICE_CachedFont>(
            data, height, style.style == IText::kStyleBold, style.style == IText::kStyleItalic);
        found = cache.fonts.emplace(key, std::move(font)).first;
    }
    return found->second->Valid() ? found->second.get() : nullptr;
}

float TextWidth(LICE_CachedFont& font, const char* text) {
    float width = 0.0f;
    const char* p = text;
    int glyph = *p ? font.GlyphIndex(LICE_CachedFont::NextCodepoint(p)) : -1;
    while (glyph >= 0) {
        const int next = *p ? font.GlyphIndex(LICE_CachedFont::NextCodepoint(p)) : -1;
        width += font.Advance(glyph, next);
        glyph = next;
    }
    return width;
}

} // namespace

namespace LICE {

void MeasureText(const IText& style, const char* text, int& width, int& height) {
    width = height = 0;
    FontCache& cache = TheFonts();
    std::lock_guard<std::mutex> lock(cache.mutex);
    LICE_CachedFont* font = FontFor(cache, style);
    if (!font)
        return;
    height = static_cast<int>(std::ceil(font->Ascent() + font->Descent()));
    if (text)
        width = static_cast<int>(std::ceil(TextWidth(*font, text)));
}

void DrawText(LICE_MemBitmap& dst, const IText& style, const char* text, const IRect& rect,
              const IRect& clip) {
    if (!text || !*text || style.color.a <= 0)
        return;
    const IRect area = rect.Intersect(clip).Intersect(IRect(0, 0, dst.Width(), dst.Height()));
    if (area.Empty())
        return;
    FontCache& cache = TheFonts();
    std::lock_guard<std::mutex> lock(cache.mutex);
    LICE_CachedFont* font = FontFor(cache, style);
    if (!font)
        return;

    const float width = TextWidth(*font, text);
    float penX = static_cast<float>(rect.left);
    if (style.align == IText::kAlignCenter)
        penX += (static_cast<float>(rect.W()) - width) * 0.5f;
    else if (style.align == IText::kAlignFar)
        penX = static_cast<float>(rect.right) - width;
    // Whole-pixel baseline: horizontal strokes stay sharp.
    const float lineHeight = font->Ascent() + font->Descent();
    const int baseline = static_cast<int>(
        std::lround(static_cast<float>(rect.top) +
                    (static_cast<float>(rect.H()) - lineHeight) * 0.5f + font->Ascent()));

    auto clampChannel = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
    const uint32_t colour =
        lice_detail::Premultiply(clampChannel(style.color.a), clampChannel(style.color.r),
                                 clampChannel(style.color.g), clampChannel(style.color.b));

    const char* p = text;
    int glyph = font->GlyphIndex(LICE_CachedFont::NextCodepoint(p));
    while (glyph >= 0) {
        const int next = *p ? font->GlyphIndex(LICE_CachedFont::NextCodepoint(p)) : -1;
        const float whole = std::floor(penX);
        const int sub = static_cast<int>((penX - whole) * LICE_CachedFont::kSubpixelSteps);
        const LICE_CachedFont::Glyph& g = font->Rasterized(glyph, sub);
        const int gx = static_cast<int>(whole) + g.left;
        const int gy = baseline + g.top;
        const IRect box = IRect(gx, gy, gx + g.width, gy + g.height).Intersect(area);
        for (int y = box.top; y < box.bottom; ++y) {
            const uint8_t* cov = &g.coverage[static_cast<std::size_t>(y - gy) * g.width];
            uint32_t* d = dst.Bits() + static_cast<std::size_t>(y) * dst.RowSpan();
            for (int x = box.left; x < box.right; ++x) {
                const uint32_t c = cov[x - gx];
                if (c)
                    d[x] = lice_detail::Over(lice_detail::Scale255(colour, c), d[x]);
            }
        }
        penX += font->Advance(glyph, next);
        glyph = next;
    }
}

} // namespace LICE

} // namespace halvane
