#pragma once
// The whole panel drawn offscreen with the drawing library, as the editor
// paints it: the background, then every control of the layout in creation
// order with the picture its value selects. Values are the parameters'
// defaults unless set. Used for the README's picture, its test and the
// drawing benchmarks.

#include <string>
#include <vector>

#include "editor/LayoutTable.h"
#include "graphics/LICE.h"

namespace halvane {

class PanelRender {
public:
    PanelRender(); // loads every bitmap from the embedded resources

    // False when a bitmap of the table could not be loaded.
    bool Ready() const { return ready_; }

    // Sets the normalised value of every control bound to the parameter.
    void SetParameter(const char* name, double normalized);
    void SetProgram(int number, const char* name) {
        program_ = number;
        programName_ = name;
    }

    // Paints whatever overlaps clip: the background and the controls on it.
    void Paint(LICE_MemBitmap& dst, const IRect& clip) const;

private:
    IBitmap Bitmap(int id) const;
    void PaintControl(LICE_MemBitmap& dst, int index, const IRect& clip) const;

    bool ready_ = true;
    std::vector<IBitmap> bitmaps_; // by position in layout::kBitmaps
    double values_[layout::kControlCount] = {};
    int program_ = 0;
    std::string programName_ = "Init";
};

} // namespace halvane
