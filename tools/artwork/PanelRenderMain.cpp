// halvane-panel: the whole editor panel at its default values, drawn offscreen
// with the plug-in's drawing library from the embedded pictures.
//
//   halvane-panel OUTPUT.png [--set "Name=normalised value"]...

#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "PanelRender.h"

using namespace halvane;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: halvane-panel OUTPUT.png [--set \"Name=value\"]...\n");
        return 2;
    }
    PanelRender panel;
    if (!panel.Ready()) {
        std::fprintf(stderr, "halvane-panel: the embedded pictures are missing\n");
        return 1;
    }
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string setting = argv[i + 1];
        const std::size_t eq = setting.find('=');
        if (std::strcmp(argv[i], "--set") != 0 || eq == std::string::npos) {
            std::fprintf(stderr, "halvane-panel: expected --set \"Name=value\"\n");
            return 2;
        }
        panel.SetParameter(setting.substr(0, eq).c_str(),
                           std::strtod(setting.c_str() + eq + 1, nullptr));
    }
    LICE_MemBitmap bitmap(layout::kEditorWidth, layout::kEditorHeight);
    panel.Paint(bitmap, IRect(0, 0, bitmap.Width(), bitmap.Height()));
    // The bitmap's pixels are Cairo's ARGB32 layout: premultiplied, native order.
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(bitmap.Bits()), CAIRO_FORMAT_ARGB32, bitmap.Width(),
        bitmap.Height(), bitmap.RowSpan() * 4);
    const bool ok = cairo_surface_write_to_png(surface, argv[1]) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!ok) {
        std::fprintf(stderr, "halvane-panel: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
