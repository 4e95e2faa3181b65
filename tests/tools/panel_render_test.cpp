// The whole panel drawn offscreen from the embedded pictures: the picture the
// README shows, and the editor's way of repainting one control.

#include <gtest/gtest.h>

#include <cairo.h>

#include "PanelRender.h"

namespace halvane {

namespace {

const IRect kWhole(0, 0, layout::kEditorWidth, layout::kEditorHeight);

IRect RectOf(const char* parameterOrNull, layout::ControlRole role = layout::kParameter) {
    for (const layout::ControlEntry& c : layout::kControls)
        if ((parameterOrNull && c.parameter && std::string(c.parameter) == parameterOrNull) ||
            (!parameterOrNull && c.role == role))
            return layout::ControlRect(c);
    return IRect();
}

bool SamePixels(const LICE_MemBitmap& a, const LICE_MemBitmap& b, const IRect& r) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y))
                return false;
    return true;
}

} // namespace

TEST(PanelRender, DefaultPanelIsOpaqueAndWrittenAsPng) {
    PanelRender panel;
    ASSERT_TRUE(panel.Ready());
    LICE_MemBitmap picture(layout::kEditorWidth, layout::kEditorHeight);
    panel.Paint(picture, kWhole);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            ASSERT_EQ(picture.Pixel(x, y) >> 24, 0xFFu) << x << "," << y;

    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(picture.Bits()), CAIRO_FORMAT_ARGB32, picture.Width(),
        picture.Height(), picture.RowSpan() * 4);
    EXPECT_EQ(cairo_surface_write_to_png(surface, "panel_default.png"), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(surface);
}

TEST(PanelRender, RepaintingOneControlMatchesAFullRepaint) {
    PanelRender panel;
    ASSERT_TRUE(panel.Ready());
    LICE_MemBitmap incremental(layout::kEditorWidth, layout::kEditorHeight);
    panel.Paint(incremental, kWhole);

    // Turning a knob and repainting only its rectangle gives the same pixels
    // as painting everything afresh; the rest of the panel is untouched.
    const IRect cutoff = RectOf("VCF Cutoff");
    LICE_MemBitmap before = incremental;
    panel.SetParameter("VCF Cutoff", 0.25);
    panel.Paint(incremental, cutoff);
    LICE_MemBitmap full(layout::kEditorWidth, layout::kEditorHeight);
    panel.Paint(full, kWhole);
    EXPECT_TRUE(SamePixels(incremental, full, kWhole));
    EXPECT_FALSE(SamePixels(before, full, cutoff)) << "the knob did not move";

    // The detune light is dark while its knob is centred and lit otherwise;
    // Trident mode switches the polyphony window.
    const IRect light = RectOf(nullptr, layout::kBrassDetuneIndicator);
    const IRect poly = RectOf(nullptr, layout::kPolyphonyIndicator);
    before = full;
    panel.SetParameter("Detune Brass", 0.75);
    panel.SetParameter("Trident Mode", 0.0);
    panel.Paint(full, light);
    panel.Paint(full, poly);
    EXPECT_FALSE(SamePixels(before, full, light));
    EXPECT_FALSE(SamePixels(before, full, poly));
}

} // namespace halvane
