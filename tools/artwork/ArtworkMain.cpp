// halvane-artwork: draws every picture of the editor's bitmap table.
//
//   halvane-artwork REGULAR_TTF BOLD_TTF OUTPUT_FOLDER
//
// writes each bitmap under its file name's last part (back.png, halknob.png,
// ...) into the folder, at exactly the table's size.

#include <cstdio>
#include <string>

#include "CairoKit.h"
#include "ControlArt.h"
#include "PanelArt.h"
#include "editor/LayoutTable.h"

using namespace halvane;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: halvane-artwork REGULAR_TTF BOLD_TTF OUTPUT_FOLDER\n");
        return 2;
    }
    if (!artwork::LoadFaces(argv[1], argv[2])) {
        std::fprintf(stderr, "halvane-artwork: cannot load the fonts %s and %s\n", argv[1],
                     argv[2]);
        return 1;
    }
    int status = 0;
    for (const layout::BitmapEntry& entry : layout::kBitmaps) {
        cairo_surface_t* surface = entry.id == layout::kBackgroundBitmap
                                       ? artwork::DrawBackground()
                                       : artwork::DrawControlBitmap(entry.id);
        std::string name = entry.fileName;
        name = name.substr(name.rfind('/') + 1);
        const std::string path = std::string(argv[3]) + "/" + name;
        if (!surface || cairo_image_surface_get_width(surface) != entry.width ||
            cairo_image_surface_get_height(surface) != entry.height ||
            !artwork::WritePng(surface, path)) {
            std::fprintf(stderr, "halvane-artwork: cannot write %s\n", path.c_str());
            status = 1;
        }
        if (surface)
            cairo_surface_destroy(surface);
    }
    artwork::ReleaseFaces();
    return status;
}
