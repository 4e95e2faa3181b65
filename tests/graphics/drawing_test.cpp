// The drawing library: PNG decoding, blitting frames with opacity, filling and
// text, checked against pixels worked out by hand.

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <vector>

#include "graphics/LICE.h"

namespace halvane {

namespace {

// Encodes straight (not premultiplied) BGRA pixels as a PNG with libpng's
// writer, independently of the decoder under test.
std::vector<unsigned char> EncodePng(const std::vector<uint32_t>& pixels, int w, int h) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr));
    std::vector<unsigned char> bytes(size);
    EXPECT_TRUE(
        png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr));
    bytes.resize(size);
    return bytes;
}

int Channel(uint32_t p, int shift) {
    return static_cast<int>((p >> shift) & 0xFF);
}

void ExpectPixelNear(uint32_t actual, uint32_t expected, int tolerance = 1) {
    for (int shift : {24, 16, 8, 0})
        EXPECT_NEAR(Channel(actual, shift), Channel(expected, shift), tolerance)
            << std::hex << "actual 0x" << actual << " expected 0x" << expected;
}

IBitmap Strip(const LICE_MemBitmap& image, int frames) {
    IBitmap b;
    b.image = std::make_shared<LICE_MemBitmap>(image);
    b.width = image.Width();
    b.height = image.Height();
    b.frames = frames;
    return b;
}

const IRect kAll(0, 0, 10000, 10000);

} // namespace

TEST(PngDecoding, KnownPixelsArePremultipliedAndOthersRefused) {
    // 3 x 2: opaque red, half-transparent white, fully transparent green;
    // opaque blue, quarter-alpha grey (200), opaque black.
    const std::vector<uint32_t> straight = {0xFFFF0000, 0x80FFFFFF, 0x0000FF00,
                                            0xFF0000FF, 0x40C8C8C8, 0xFF000000};
    const std::vector<unsigned char> png = EncodePng(straight, 3, 2);

    LICE_MemBitmap bitmap;
    ASSERT_TRUE(LICE::DecodePng(png.data(), png.size(), bitmap));
    ASSERT_EQ(bitmap.Width(), 3);
    ASSERT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(bitmap.Pixel(0, 0), 0xFFFF0000u);
    ExpectPixelNear(bitmap.Pixel(1, 0), 0x80808080u); // 255 * 128 / 255
    EXPECT_EQ(bitmap.Pixel(2, 0), 0u);                // no colour left under alpha 0
    EXPECT_EQ(bitmap.Pixel(0, 1), 0xFF0000FFu);
    ExpectPixelNear(bitmap.Pixel(1, 1), 0x40323232u); // 200 * 64 / 255 = 50
    EXPECT_EQ(bitmap.Pixel(2, 1), 0xFF000000u);
    EXPECT_EQ(bitmap.Pixel(3, 0), 0u); // outside

    // Truncated at every length: refused, and the bitmap keeps what it had.
    for (std::size_t cut = 0; cut < png.size(); cut += (cut < 64 ? 1 : 7)) {
        LICE_MemBitmap keep(1, 1);
        EXPECT_FALSE(LICE::DecodePng(png.data(), cut, keep)) << "cut at " << cut;
        EXPECT_EQ(keep.Width(), 1);
        EXPECT_EQ(keep.Height(), 1);
    }
    // A damaged image stream (CRC mismatch in the compressed data), a forged
    // header size, not a PNG at all, and no data.
    std::vector<unsigned char> corrupt = png;
    corrupt[corrupt.size() - 20] ^= 0x5A;
    LICE_MemBitmap out;
    EXPECT_FALSE(LICE::DecodePng(corrupt.data(), corrupt.size(), out));
    std::vector<unsigned char> huge = png;
    huge[16] = 0x7F; // width's top byte: two billion pixels wide
    EXPECT_FALSE(LICE::DecodePng(huge.data(), huge.size(), out));
    const unsigned char text[] = "certainly not a picture of anything";
    EXPECT_FALSE(LICE::DecodePng(text, sizeof text, out));
    EXPECT_FALSE(LICE::DecodePng(nullptr, 100, out));
    EXPECT_EQ(out.Width(), 0);
}

TEST(Blitting, FrameSelectionOpacityAndClipping) {
    // A 2 x 6 strip of three frames: opaque red, opaque green, half-alpha blue.
    LICE_MemBitmap strip(2, 6);
    const uint32_t colours[] = {0xFFFF0000, 0xFF00FF00, 0x80000080};
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 2; ++x)
            strip.Bits()[y * 2 + x] = colours[y / 2];
    const IBitmap b = Strip(strip, 3);
    EXPECT_EQ(b.FrameHeight(), 2);

    LICE_MemBitmap dst(4, 4);
    for (int i = 0; i < 16; ++i)
        dst.Bits()[i] = 0xFF404040;

    // Frame 2 at full weight replaces the pixels it covers, and no others.
    LICE::DrawFrame(dst, b, 2, 1, 1, 1.0f, kAll);
    EXPECT_EQ(dst.Pixel(1, 1), 0xFF00FF00u);
    EXPECT_EQ(dst.Pixel(2, 2), 0xFF00FF00u);
    EXPECT_EQ(dst.Pixel(0, 0), 0xFF404040u);
    EXPECT_EQ(dst.Pixel(3, 3), 0xFF404040u);

    // Frame 1 at weight 0.25 over grey 0x40: 255/4 + 64*3/4 = 112 red,
    // 64*3/4 = 48 green and blue.
    LICE::DrawFrame(dst, b, 1, 0, 0, 0.25f, IRect(0, 0, 1, 1));
    ExpectPixelNear(dst.Pixel(0, 0), 0xFF703030u);
    EXPECT_EQ(dst.Pixel(1, 1), 0xFF00FF00u) << "outside the clip";

    // Frame 3 (premultiplied half-alpha blue) over green: blue 128, green 127.
    LICE::DrawFrame(dst, b, 3, 1, 1, 1.0f, kAll);
    ExpectPixelNear(dst.Pixel(1, 1), 0xFF007F80u);

    // Frames out of range are limited; weight 0 draws nothing; a frame
    // hanging off the destination is cut, not wrapped.
    LICE::DrawFrame(dst, b, 99, 3, 3, 1.0f, kAll);
    ExpectPixelNear(dst.Pixel(3, 3), 0xFF2020A0u); // 128 + 64 * 127/255 blue
    const uint32_t before = dst.Pixel(0, 3);
    LICE::DrawFrame(dst, b, 1, 0, 3, 0.0f, kAll);
    EXPECT_EQ(dst.Pixel(0, 3), before);
    LICE::DrawFrame(dst, b, 0, -1, -1, 1.0f, kAll); // frame 1, its corner lands at (0, 0)
    EXPECT_EQ(dst.Pixel(0, 0), 0xFFFF0000u);

    // Fills: alpha 0 draws nothing, opaque replaces, half alpha blends.
    LICE::FillRect(dst, IRect(0, 0, 4, 4), IColor(0, 255, 255, 255), kAll);
    EXPECT_EQ(dst.Pixel(0, 0), 0xFFFF0000u);
    LICE::FillRect(dst, IRect(0, 0, 2, 2), IColor(255, 10, 20, 30), IRect(1, 1, 4, 4));
    EXPECT_EQ(dst.Pixel(1, 1), 0xFF0A141Eu);
    EXPECT_EQ(dst.Pixel(0, 0), 0xFFFF0000u) << "outside the clip";
    LICE::FillRect(dst, IRect(3, 0, 4, 1), IColor(128, 255, 255, 255), kAll);
    ExpectPixelNear(dst.Pixel(3, 0), 0xFF9F9F9Fu); // 128 + 64 * 127/255
    // A rectangle entirely off the bitmap is harmless.
    LICE::FillRect(dst, IRect(-50, -50, -10, -10), IColor(255, 1, 2, 3), kAll);
    LICE::FillRect(dst, IRect(10, 10, 50, 50), IColor(255, 1, 2, 3), kAll);
}

namespace {

// The box of pixels that differ from the background colour.
IRect InkBox(const LICE_MemBitmap& b, uint32_t background) {
    IRect box;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Pixel(x, y) != background)
                box = box.Union(IRect(x, y, x + 1, y + 1));
    return box;
}

} // namespace

TEST(Text, AlignedMeasuredAndClippedToItsRectangle) {
    const uint32_t white = 0xFFFFFFFF;
    LICE_MemBitmap page(200, 40);
    IText style("Arial", 15, IColor(255, 0, 0, 0), IText::kAlignCenter);

    int w = 0, h = 0;
    LICE::MeasureText(style, "Funky Flanged Brass", w, h);
    EXPECT_GT(w, 100); // some 6 to 7 pixels a letter at a 15-pixel line
    EXPECT_LT(w, 160);
    EXPECT_EQ(h, 15);
    int wider = 0;
    LICE::MeasureText(style, "Funky Flanged Brass!", wider, h);
    EXPECT_GT(wider, w);
    // Verdana's stand-in is a wider face than Arial's.
    IText verdana = style;
    verdana.font = "Verdana";
    int verdanaWidth = 0;
    LICE::MeasureText(verdana, "Funky Flanged Brass", verdanaWidth, h);
    EXPECT_GT(verdanaWidth, w);

    // Centred: the ink sits in the middle of the rectangle, within the
    // measured width, and stays inside the rectangle vertically.
    const IRect rect(20, 10, 180, 30);
    auto draw = [&](const IText& s, const char* text, const IRect& r, const IRect& clip) {
        for (int i = 0; i < page.Width() * page.Height(); ++i)
            page.Bits()[i] = white;
        LICE::DrawText(page, s, text, r, clip);
        return InkBox(page, white);
    };
    IRect ink = draw(style, "Funky Flanged Brass", rect, kAll);
    ASSERT_FALSE(ink.Empty());
    EXPECT_NEAR((ink.left + ink.right) / 2.0, (rect.left + rect.right) / 2.0, 2.0);
    EXPECT_LE(ink.W(), w + 1);
    EXPECT_GE(ink.top, rect.top);
    EXPECT_LE(ink.bottom, rect.bottom);

    IText near = style, far = style;
    near.align = IText::kAlignNear;
    far.align = IText::kAlignFar;
    ink = draw(near, "Brass", rect, kAll);
    EXPECT_NEAR(ink.left, rect.left, 2);
    ink = draw(far, "Brass", rect, kAll);
    EXPECT_NEAR(ink.right, rect.right, 2);

    // Text longer than its rectangle is cut at the rectangle's edges, and the
    // clip rectangle cuts it further.
    const IRect narrow(50, 10, 90, 30);
    ink = draw(style, "A program name far too long to fit", narrow, kAll);
    EXPECT_GE(ink.left, narrow.left);
    EXPECT_LE(ink.right, narrow.right);
    EXPECT_GT(ink.W(), 30); // it does fill the rectangle
    ink = draw(style, "A program name far too long to fit", narrow, IRect(60, 0, 70, 40));
    EXPECT_GE(ink.left, 60);
    EXPECT_LE(ink.right, 70);

    // Transparent colour, empty text and a zero size draw nothing; unknown
    // faces and malformed UTF-8 still draw.
    IText clear = style;
    clear.color = IColor(0, 0, 0, 0);
    EXPECT_TRUE(draw(clear, "Brass", rect, kAll).Empty());
    EXPECT_TRUE(draw(style, "", rect, kAll).Empty());
    IText none = style;
    none.size = 0;
    EXPECT_TRUE(draw(none, "Brass", rect, kAll).Empty());
    IText unknown = style;
    unknown.font = "Comic Nothing";
    EXPECT_FALSE(draw(unknown, "Brass", rect, kAll).Empty());
    EXPECT_FALSE(draw(style, "Br\xC3\xA4ss \xFF\xFE\xE2\x82", rect, kAll).Empty());

    // Bold is wider than regular; italic leans but keeps its place.
    IText bold = style;
    bold.style = IText::kStyleBold;
    int boldWidth = 0;
    LICE::MeasureText(bold, "Funky Flanged Brass", boldWidth, h);
    EXPECT_GT(boldWidth, w);
    IText italic = style;
    italic.style = IText::kStyleItalic;
    EXPECT_FALSE(draw(italic, "Brass", rect, kAll).Empty());
}

} // namespace halvane
