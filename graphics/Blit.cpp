// Copying frames of bitmap strips and filling rectangles, clipped to the
// destination and to the caller's clip rectangle.

#include "graphics/LICE.h"
#include "graphics/PixelBlend.h"

namespace halvane {

using lice_detail::Over;
using lice_detail::Premultiply;
using lice_detail::Scale255;

namespace {

IRect BitmapBounds(const LICE_MemBitmap& b) {
    return IRect(0, 0, b.Width(), b.Height());
}

} // namespace

namespace LICE {

void DrawFrame(LICE_MemBitmap& dst, const IBitmap& bitmap, int frame, int x, int y, float weight,
               const IRect& clip) {
    if (bitmap.frames < 1 || !(weight > 0.0f))
        return;
    const LICE_MemBitmap* pixels = bitmap.Pixels();
    if (!pixels)
        return;
    const LICE_MemBitmap& src = *pixels;
    const int fw = bitmap.FrameWidth();
    const int fh = bitmap.FrameHeight();
    if (frame < 1)
        frame = 1;
    if (frame > bitmap.frames)
        frame = bitmap.frames;
    int srcLeft = bitmap.framesAreHorizontal ? (frame - 1) * fw : 0;
    int srcTop = bitmap.framesAreHorizontal ? 0 : (frame - 1) * fh;
    // The frame's own source rectangle limits the copy too, so a strip whose
    // declared size exceeds the decoded image never reads past it.
    IRect frameSrc = IRect(srcLeft, srcTop, srcLeft + fw, srcTop + fh).Intersect(BitmapBounds(src));
    if (frameSrc.Empty())
        return;
    IRect target = IRect(x + frameSrc.left - srcLeft, y + frameSrc.top - srcTop,
                         x + frameSrc.right - srcLeft, y + frameSrc.bottom - srcTop)
                       .Intersect(clip)
                       .Intersect(BitmapBounds(dst));
    if (target.Empty())
        return;
    const int dx = srcLeft - x; // source = destination + (dx, dy)
    const int dy = srcTop - y;
    const uint32_t m = weight >= 1.0f ? 255u : static_cast<uint32_t>(weight * 255.0f + 0.5f);
    if (m == 0)
        return;
    const int width = target.W();
    for (int row = target.top; row < target.bottom; ++row) {
        const uint32_t* s =
            src.Bits() + static_cast<std::size_t>(row + dy) * src.RowSpan() + (target.left + dx);
        uint32_t* d = dst.Bits() + static_cast<std::size_t>(row) * dst.RowSpan() + target.left;
        if (m == 255) {
            for (int i = 0; i < width; ++i)
                d[i] = Over(s[i], d[i]);
        } else {
            for (int i = 0; i < width; ++i)
                d[i] = Over(Scale255(s[i], m), d[i]);
        }
    }
}

void FillRect(LICE_MemBitmap& dst, const IRect& rect, IColor c, const IRect& clip) {
    if (c.a <= 0)
        return;
    IRect target = rect.Intersect(clip).Intersect(BitmapBounds(dst));
    if (target.Empty())
        return;
    auto channel = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
    const uint32_t p = Premultiply(channel(c.a), channel(c.r), channel(c.g), channel(c.b));
    for (int row = target.top; row < target.bottom; ++row) {
        uint32_t* d = dst.Bits() + static_cast<std::size_t>(row) * dst.RowSpan() + target.left;
        if ((p >> 24) == 255) {
            for (int i = 0; i < target.W(); ++i)
                d[i] = p;
        } else {
            for (int i = 0; i < target.W(); ++i)
                d[i] = Over(p, d[i]);
        }
    }
}

} // namespace LICE

} // namespace halvane
