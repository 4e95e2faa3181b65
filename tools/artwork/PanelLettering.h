#pragma once
// Every piece of lettering on the background, placed from the editor's control
// table: a label by each control, the scale texts of the rotary switches and
// levers, captions over groups of controls and the section titles. The
// background is drawn from this list and the tests check it, so what is
// checked is exactly what is printed.

#include <cairo.h>

#include <string>
#include <vector>

#include "ArtworkDesign.h"
#include "CairoKit.h"
#include "editor/LayoutTable.h"

namespace halvane {

namespace artwork {

struct Lettering {
    enum Kind { kLabel, kScale, kCaption, kTitle, kWaveIcon, kName };
    Kind kind = kLabel;
    std::string text; // one line; for a wave icon the wave: "saw", "pulse", "pwm"
    Face face = kBold;
    double size = kLabelSize;
    double tracking = 0.0;
    double x = 0.0;        // left end of the text
    double baseline = 0.0; // baseline of the text
    IRect ink;             // the pixels the text covers, rounded outwards
    int control = -1;      // index into layout::kControls, -1 for titles and captions
};

// The label text of a control (lines separated by '\n'), derived from its
// parameter's display name; empty for controls that carry their own picture or
// text.
std::string LabelText(const layout::ControlEntry& control);

// Lays out the panel's lettering, measuring with the faces set on cr.
std::vector<Lettering> PanelLettering(cairo_t* cr);

// Caption rules: (x0, x1, baseline) of the thin line each caption sits in.
struct CaptionRule {
    const char* text;
    int x0, x1, baseline;
};
extern const CaptionRule kCaptions[];
extern const int kCaptionCount;

} // namespace artwork

class PlugParam;

namespace artwork {
// The parameter record of a display name, with its defaults; null when there
// is none.
const PlugParam* ParamByName(const char* name);
} // namespace artwork

} // namespace halvane
