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

namespace halvane {

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

// A PNG picture built into the library, one per process, shared by every
// editor. Its size is read from the header when it is first asked for; the
// pixels are decoded the first time anything draws it. Building an editor
// therefore decodes nothing, and an instance whose window never opens never
// pays for the pictures. Thread-safe.
class LICE_PngResource {
public:
    // data must stay valid as long as this object (module resources do).
    LICE_PngResource(const unsigned char* data, std::size_t size, int width, int height);
    ~LICE_PngResource();
    LICE_PngResource(const LICE_PngResource&) = delete;
    LICE_PngResource& operator=(const LICE_PngResource&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Null when the data does not decode, or decodes to another size than
    // its header promised.
    const LICE_MemBitmap* Pixels() const;

private:
    struct Decoded;
    const unsigned char* data_;
    std::size_t size_;
    int width_;
    int height_;
    std::unique_ptr<Decoded> decoded_;
};

// A bitmap as a control holds it: the picture (decoded pixels, or a built-in
// PNG decoded when first drawn) and how it divides into frames (stacked
// vertically unless framesAreHorizontal).
struct IBitmap {
    std::shared_ptr<const LICE_MemBitmap> image;
    std::shared_ptr<const LICE_PngResource> resource; // used when image is null
    int width = 0;                                    // the whole image
    int height = 0;                                   // the whole image
    int frames = 1;
    bool framesAreHorizontal = false;

    int FrameWidth() const { return framesAreHorizontal && frames > 0 ? width / frames : width; }
    int FrameHeight() const {
        return !framesAreHorizontal && frames > 0 ? height / frames : height;
    }
    bool Valid() const { return image != nullptr || resource != nullptr; }
    // The pixels to draw; decodes a built-in picture on first use. Null when
    // there are none.
    const LICE_MemBitmap* Pixels() const {
        return image ? image.get() : resource ? resource->Pixels() : nullptr;
    }
};

namespace LICE {

// Decodes a PNG file held in memory. False, with out unchanged, for anything
// that is not a complete, valid PNG.
bool DecodePng(const unsigned char* data, std::size_t size, LICE_MemBitmap& out);

// Width and height from a PNG's signature and header chunk, without decoding;
// false for anything that does not start like a PNG of a sensible size.
bool ReadPngSize(const unsigned char* data, std::size_t size, int& width, int& height);

// The built-in picture of the editor's resource id, one object per process
// kept in a cache keyed by fileName, not yet decoded. Null when fileName does
// not end in ".png" (any letter case), when there is no such resource or when
// its header is not a PNG's. Thread-safe.
std::shared_ptr<const LICE_PngResource> FindPngResource(int id, const char* fileName);

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

} // namespace halvane
