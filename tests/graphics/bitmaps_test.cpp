// The editor's pictures as the plug-in carries them: every bitmap of the
// layout's table present under its id, decoded at its exact size, and shared
// between editors through the process-wide cache.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "editor/LayoutTable.h"
#include "graphics/LICE.h"
#include "platform/Resources.h"

namespace halvane {

TEST(EditorBitmaps, EveryIdIsEmbeddedAtItsSizeWithWholeFrames) {
    for (const layout::BitmapEntry& entry : layout::kBitmaps) {
        SCOPED_TRACE(entry.fileName);
        auto bitmap = LICE::LoadPngResource(entry.id, entry.fileName);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->Width(), entry.width);
        EXPECT_EQ(bitmap->Height(), entry.height);
        ASSERT_EQ(entry.height % entry.frames, 0);
        // Every frame has something drawn in it: no empty frames at the end of
        // a strip that would show a blank control.
        const int fh = entry.height / entry.frames;
        for (int f = 0; f < entry.frames; ++f) {
            bool drawn = false;
            for (int y = f * fh; y < (f + 1) * fh && !drawn; ++y)
                for (int x = 0; x < entry.width && !drawn; ++x)
                    drawn = (bitmap->Pixel(x, y) >> 24) != 0;
            EXPECT_TRUE(drawn) << "frame " << f + 1;
        }
        // Consecutive frames of a strip differ (a knob turns, a key lights).
        if (entry.frames > 1) {
            bool differ = false;
            for (int y = 0; y < fh && !differ; ++y)
                for (int x = 0; x < entry.width && !differ; ++x)
                    differ = bitmap->Pixel(x, y) != bitmap->Pixel(x, y + fh);
            EXPECT_TRUE(differ);
        }
    }
    // The background covers the whole editor: no transparent pixel.
    auto back = LICE::LoadPngResource(101, "resources/img/back.png");
    ASSERT_NE(back, nullptr);
    for (int y = 0; y < back->Height(); y += 7)
        for (int x = 0; x < back->Width(); x += 5)
            ASSERT_EQ(back->Pixel(x, y) >> 24, 0xFFu) << x << "," << y;
}

TEST(EditorBitmaps, NamesMustBePngAndUnknownOrDamagedPicturesGiveNothing) {
    EXPECT_NE(LICE::LoadPngResource(123, "resources/img/LED.PNG"), nullptr);
    EXPECT_EQ(LICE::LoadPngResource(123, "resources/img/led.bmp"), nullptr);
    EXPECT_EQ(LICE::LoadPngResource(123, "resources/img/led"), nullptr);
    EXPECT_EQ(LICE::LoadPngResource(123, "png"), nullptr);
    EXPECT_EQ(LICE::LoadPngResource(123, nullptr), nullptr);
    EXPECT_EQ(LICE::LoadPngResource(999, "resources/img/nothing.png"), nullptr);
    // A registered resource that is not a PNG decodes to nothing.
    static const unsigned char junk[] = "not a picture";
    ASSERT_TRUE(RegisterResource(998, "PNG", junk, sizeof junk));
    EXPECT_EQ(LICE::LoadPngResource(998, "resources/img/junk.png"), nullptr);
    EXPECT_EQ(LICE::FindPngResource(998, "resources/img/junk.png"), nullptr);

    // A picture cut short keeps the size its header gives, for the layout,
    // but has no pixels: the control it belongs to draws nothing.
    ResourceData led;
    ASSERT_TRUE(FindResource(123, "PNG", led));
    ASSERT_GT(led.size, 60u);
    ASSERT_TRUE(RegisterResource(997, "PNG", led.data, led.size - 20));
    auto cut = LICE::FindPngResource(997, "resources/img/cut.png");
    ASSERT_NE(cut, nullptr);
    auto whole = LICE::LoadPngResource(123, "resources/img/led.png");
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(cut->Width(), whole->Width());
    EXPECT_EQ(cut->Height(), whole->Height());
    EXPECT_EQ(cut->Pixels(), nullptr);
    EXPECT_EQ(LICE::LoadPngResource(997, "resources/img/cut.png"), nullptr);
    IBitmap bitmap;
    bitmap.resource = cut;
    bitmap.width = cut->Width();
    bitmap.height = cut->Height();
    LICE_MemBitmap dst(8, 8);
    LICE::DrawFrame(dst, bitmap, 1, 0, 0, 1.0f, IRect(0, 0, 8, 8));
    EXPECT_EQ(dst.Pixel(3, 3), 0u);
}

TEST(EditorBitmaps, TwoThreadsShareOneDecodedBitmap) {
    // Two editors opening at once ask for every bitmap together; each name
    // is decoded once and both get the same pixels.
    std::vector<std::shared_ptr<const LICE_MemBitmap>> first, second;
    auto load = [](std::vector<std::shared_ptr<const LICE_MemBitmap>>& out) {
        for (int round = 0; round < 20; ++round)
            for (const layout::BitmapEntry& entry : layout::kBitmaps)
                out.push_back(LICE::LoadPngResource(entry.id, entry.fileName));
    };
    std::thread a(load, std::ref(first));
    std::thread b(load, std::ref(second));
    a.join();
    b.join();
    ASSERT_EQ(first.size(), second.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        ASSERT_NE(first[i], nullptr);
        EXPECT_EQ(first[i].get(), second[i].get());
        EXPECT_EQ(first[i].get(), first[i % std::size(layout::kBitmaps)].get());
    }
}

} // namespace halvane
