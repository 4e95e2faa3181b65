#pragma once
// The drawing library beneath the editor: a memory bitmap of 32-bit
// premultiplied ARGB pixels (the editor's back buffer and every decoded PNG),
// blitting one frame of a vertical strip with an opacity, filling rectangles,
// and text in the fonts compiled into the library. Platform-neutral: the
// windows only copy finished pixels to the screen.
//
// Every drawing call takes a clip rectangle in destination pixels and never
// writes outside it or outside the destination bitmap.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/GraphicsTypes.h"

// Pixels are 0xAARRGGBB in one uint32_t, premultiplied by alpha, rows from the
// top, RowSpan() pixels apart.
class LICE_MemBitmap {
public:
    LICE_MemBitmap() = default;
    LICE_MemBitmap(int width, int height); // every pixel transparent black

    // Resizes and clears to transparent black; a size of zero or less gives an
    // empty bitmap. May allocate.
    void Resize(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int RowSpan() const { return width_; }
    uint32_t* Bits() { return pixels_.data(); }
    const uint32_t* Bits() const { return pixels_.data(); }
    // 0 outside the bitmap.
    uint32_t Pixel(int x, int y) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
};

// A bitmap as a control holds it: the decoded image and how it divides into
// frames (stacked vertically unless framesAreHorizontal).
struct IBitmap {
    std::shared_ptr<const LICE_MemBitmap> image;
    int width = 0;  // the whole image
    int height = 0; // the whole image
    int frames = 1;
    bool framesAreHorizontal = false;

    int FrameWidth() const { return framesAreHorizontal && frames > 0 ? width / frames : width; }
    int FrameHeight() const {
        return !framesAreHorizontal && frames > 0 ? height / frames : height;
    }
    bool Valid() const { return image != nullptr; }
};

namespace LICE {

// Decodes a PNG file held in memory. False, with out unchanged, for anything
// that is not a complete, valid PNG.
bool DecodePng(const unsigned char* data, std::size_t size, LICE_MemBitmap& out);

// The bitmap of the editor's resource id (a PNG compiled into the library),
// decoded once per process and then shared from a cache keyed by fileName.
// Null when fileName does not end in ".png" (any letter case), when there is no
// such resource or when it does not decode. Thread-safe.
std::shared_ptr<const LICE_MemBitmap> LoadPngResource(int id, const char* fileName);

// Copies frame (1-based, of bitmap.frames) of the strip with its top-left at
// (x, y), blended over dst with the opacity weight (0..1).
void DrawFrame(LICE_MemBitmap& dst, const IBitmap& bitmap, int frame, int x, int y, float weight,
               const IRect& clip);

// Blends colour c over the rectangle; alpha 0 draws nothing.
void FillRect(LICE_MemBitmap& dst, const IRect& rect, IColor c, const IRect& clip);

// Draws UTF-8 text in the style inside rect, aligned horizontally as the style
// says and centred vertically, clipped to both rect and clip.
void DrawText(LICE_MemBitmap& dst, const IText& style, const char* text, const IRect& rect,
              const IRect& clip);

// The width and height in pixels that DrawText would take for the text.
void MeasureText(const IText& style, const char* text, int& width, int& height);

} // namespace LICE
