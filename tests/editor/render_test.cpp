// The panel painted offscreen after a scripted session: what the pixels of
// the back buffer show for knobs, buttons, lights and the voice schedule. The
// picture is also written to editor-session.png in the test's folder.

#include <cairo.h>
#include <gtest/gtest.h>

#include "editor/IBitmapControl.h"
#include "editor/IZuVoiceDebugger.h"
#include "sound/ParamIds.h"
#include "support/EditorFixture.h"

namespace halvane {

using namespace editortest;

namespace {

// The pixels of a rectangle of the back buffer.
std::vector<uint32_t> Pixels(const LICE_MemBitmap& bitmap, const IRect& r) {
    std::vector<uint32_t> pixels;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            pixels.push_back(bitmap.Pixel(x, y));
    return pixels;
}

void WritePng(const LICE_MemBitmap& bitmap, const char* path) {
    // Premultiplied 0xAARRGGBB words are cairo's ARGB32 layout.
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(bitmap.Bits())), CAIRO_FORMAT_ARGB32,
        bitmap.Width(), bitmap.Height(), bitmap.RowSpan() * 4);
    cairo_surface_write_to_png(surface, path);
    cairo_surface_destroy(surface);
}

} // namespace

TEST_F(EditorTest, PanelAfterAScriptedSession) {
    ui->Tick();
    ui->Tick();
    const LICE_MemBitmap& panel = gui->BackBuffer();
    ASSERT_EQ(panel.Width(), 988);
    auto* background = dynamic_cast<IBitmapControl*>(gui->GetControl(0));
    ASSERT_TRUE(background && background->Bitmap().Valid()) << "the bitmaps are built in";

    IControl* cutoff = ControlOf(ParamId::kVcfCutoff);
    const auto cutoffBefore = Pixels(panel, cutoff->GetRect());
    ui->Drag(Cx(cutoff), Cy(cutoff), Cx(cutoff), Cy(cutoff) + 60);
    IControl* button = ControlOf(ParamId::kStrings4);
    const auto buttonBefore = Pixels(panel, button->GetRect());
    ui->Click(Cx(button), Cy(button));
    ui->Click(131, 138); // "Range Synthe" to its first value
    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kDetuneBrass, 0.75f);
    plug->GetAEffect()->setParameter(plug->GetAEffect(), ParamId::kDetuneStrings, 0.5f);
    ui->menuAnswers.push_back({14}); // show the voice schedule
    ui->Click(620, 350);
    auto* schedule = dynamic_cast<IZuVoiceDebugger*>(Row(kVoiceScheduleRow));
    schedule->SetMask((1 << 8) | 1);
    ui->Tick();
    ui->Tick();

    EXPECT_NE(Pixels(panel, cutoff->GetRect()), cutoffBefore) << "the knob turned";
    EXPECT_NE(Pixels(panel, button->GetRect()), buttonBefore) << "the button changed picture";

    // The lit and unlit cells are filled opaque; their corners hold no label.
    const IRect first = schedule->CellRect(0), second = schedule->CellRect(1),
                last = schedule->CellRect(8);
    EXPECT_EQ(panel.Pixel(first.left + 1, first.top + 1), 0xFFFF7F00u);
    EXPECT_EQ(panel.Pixel(second.left + 1, second.top + 1), 0xFF7F7F7Fu);
    EXPECT_EQ(panel.Pixel(last.left + 1, last.top + 1), 0xFFFF7F00u);

    // A hidden light leaves the background showing; a shown one covers it.
    const LICE_MemBitmap& art = *background->Bitmap().Pixels();
    const IRect strings = Row(kStringsDetuneRow)->GetRect();
    const IRect brass = Row(kBrassDetuneRow)->GetRect();
    ASSERT_TRUE(Row(kStringsDetuneRow)->IsHidden());
    EXPECT_EQ(Pixels(panel, strings), Pixels(art, strings));
    ASSERT_FALSE(Row(kBrassDetuneRow)->IsHidden());
    EXPECT_NE(Pixels(panel, brass), Pixels(art, brass));

    // Hiding the schedule again repaints its place from the background.
    ui->menuAnswers.push_back({14});
    ui->Click(620, 350);
    WritePng(panel, "editor-session-shown.png");
    ui->Tick();
    ui->Tick();
    EXPECT_EQ(Pixels(panel, schedule->GetRect()), Pixels(art, schedule->GetRect()));
    WritePng(panel, "editor-session.png");
}

} // namespace halvane
