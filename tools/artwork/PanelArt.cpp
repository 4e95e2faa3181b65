#include "PanelArt.h"

#include <cmath>
#include <cstring>

#include "ArtworkDesign.h"
#include "CairoKit.h"
#include "ControlArt.h"
#include "PanelLettering.h"
#include "editor/LayoutTable.h"
#include "plugin/PlugParam.h"

namespace halvane {

namespace artwork {

namespace {

void Body(cairo_t* cr) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, layout::kEditorHeight);
    cairo_pattern_add_color_stop_rgb(p, 0.0, kBodyTop.r, kBodyTop.g, kBodyTop.b);
    cairo_pattern_add_color_stop_rgb(p, 1.0, kBodyBottom.r, kBodyBottom.g, kBodyBottom.b);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);

    // Walnut end cheeks.
    for (int side = 0; side < 2; ++side) {
        const double x = side == 0 ? 0 : layout::kEditorWidth - 22;
        cairo_rectangle(cr, x, 0, 22, layout::kEditorHeight);
        cairo_pattern_t* wood = cairo_pattern_create_linear(x, 0, x + 22, 0);
        cairo_pattern_add_color_stop_rgb(wood, 0.0, 0.23, 0.13, 0.08);
        cairo_pattern_add_color_stop_rgb(wood, 0.5, 0.36, 0.21, 0.12);
        cairo_pattern_add_color_stop_rgb(wood, 1.0, 0.20, 0.11, 0.07);
        cairo_set_source(cr, wood);
        cairo_fill(cr);
        cairo_pattern_destroy(wood);
        // Grain.
        for (int k = 0; k < 9; ++k) {
            const double gx = x + 2.5 + k * 2.2;
            cairo_move_to(cr, gx, 0);
            for (int y = 0; y <= layout::kEditorHeight; y += 24)
                cairo_line_to(cr, gx + 0.7 * std::sin(y * 0.013 + k * 1.7), y);
            cairo_set_source_rgba(cr, 0.08, 0.04, 0.02, 0.22);
            cairo_set_line_width(cr, 0.6);
            cairo_stroke(cr);
        }
        cairo_rectangle(cr, side == 0 ? x + 21 : x, 0, 1, layout::kEditorHeight);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
        cairo_fill(cr);
    }
}

void Header(cairo_t* cr) {
    cairo_rectangle(cr, 22, 0, layout::kEditorWidth - 44, 88);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, 88);
    cairo_pattern_add_color_stop_rgb(p, 0.0, 0.12, 0.125, 0.14);
    cairo_pattern_add_color_stop_rgb(p, 1.0, kHeader.r, kHeader.g, kHeader.b);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_rectangle(cr, 22, 88, layout::kEditorWidth - 44, 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
    cairo_fill(cr);
    cairo_rectangle(cr, 40, 80, 120, 2);
    SetColour(cr, kAmber);
    cairo_fill(cr);
}

void SectionPanel(cairo_t* cr, const artwork::Section& s) {
    const IRect& b = s.box;
    RoundedRect(cr, b.left + 0.5, b.top + 0.5, b.W() - 1, b.H() - 1, 5);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, b.top, 0, b.bottom);
    cairo_pattern_add_color_stop_rgb(p, 0.0, kPanel.r * 1.06, kPanel.g * 1.06, kPanel.b * 1.06);
    cairo_pattern_add_color_stop_rgb(p, 1.0, kPanel.r * 0.92, kPanel.g * 0.92, kPanel.b * 0.92);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    SetColour(cr, kPanelEdgeDark);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    // Lit upper and left edges.
    cairo_set_source_rgba(cr, kPanelEdgeLight.r, kPanelEdgeLight.g, kPanelEdgeLight.b, 0.9);
    cairo_move_to(cr, b.left + 1.5, b.bottom - 6);
    cairo_line_to(cr, b.left + 1.5, b.top + 6);
    cairo_arc(cr, b.left + 6, b.top + 6, 4.5, M_PI, 1.5 * M_PI);
    cairo_line_to(cr, b.right - 6, b.top + 1.5);
    cairo_stroke(cr);
}

// A rule through a caption, broken around its text.
void CaptionRules(cairo_t* cr, const Lettering& l, int x0, int x1) {
    const double y = l.baseline - 3.5;
    cairo_set_line_width(cr, 1.0);
    SetColour(cr, kInkDim, 0.55);
    if (l.ink.left - 4 > x0) {
        cairo_move_to(cr, x0, y);
        cairo_line_to(cr, l.ink.left - 4, y);
        cairo_move_to(cr, x0 + 0.5, y);
        cairo_line_to(cr, x0 + 0.5, y + 4);
    }
    if (l.ink.right + 4 < x1) {
        cairo_move_to(cr, l.ink.right + 4, y);
        cairo_line_to(cr, x1, y);
        cairo_move_to(cr, x1 - 0.5, y);
        cairo_line_to(cr, x1 - 0.5, y + 4);
    }
    cairo_stroke(cr);
}

void TitleRule(cairo_t* cr, const Lettering& l, const artwork::Section& s) {
    const double y = l.baseline - 3.5;
    cairo_set_line_width(cr, 1.0);
    SetColour(cr, kInkDim, 0.35);
    // The rule stops short of any control standing in the title's band.
    double end = s.box.right - 8;
    for (const layout::ControlEntry& c : layout::kControls) {
        const IRect r = layout::ControlRect(c);
        if (r.top <= y + 1 && r.bottom >= y - 1 && r.left > l.ink.right && r.left - 6 < end)
            end = r.left - 6;
    }
    cairo_move_to(cr, l.ink.right + 6, y);
    cairo_line_to(cr, end, y);
    cairo_stroke(cr);
}

void WaveIcon(cairo_t* cr, const Lettering& l) {
    const double x = l.x, b = l.baseline - 0.5, t = b - 5;
    cairo_set_line_width(cr, 1.2);
    SetColour(cr, kScaleInk);
    // Each wave as a polyline over a 10 x 5 box: x, then 0 for the bottom
    // and 1 for the top.
    struct Point {
        double x, up;
    };
    static const Point kSaw[] = {{0, 0}, {5, 1}, {5, 0}, {10, 1}, {10, 0}};
    static const Point kPulse[] = {{0, 0}, {0, 1}, {5, 1}, {5, 0}, {10, 0}, {10, 1}};
    static const Point kPwm[] = {{0, 0}, {0, 1}, {3, 1}, {3, 0}, {7, 0}, {7, 1}, {10, 1}};
    const Point* points = l.text == "saw" ? kSaw : l.text == "pulse" ? kPulse : kPwm;
    const int count = l.text == "saw" ? 5 : l.text == "pulse" ? 6 : 7;
    for (int i = 0; i < count; ++i) {
        const double px = x + points[i].x, py = points[i].up > 0 ? t : b;
        if (i == 0)
            cairo_move_to(cr, px, py);
        else
            cairo_line_to(cr, px, py);
    }
    cairo_stroke(cr);
}

// Tick marks around a knob, printed on the panel under the knob's skirt.
void KnobScale(cairo_t* cr, const layout::ControlEntry& c) {
    const IRect r = layout::ControlRect(c);
    const double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
    const PlugParam* p = ParamByName(c.parameter);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    if (c.gearing == 1) {
        int n = p ? static_cast<int>(p->DisplayTexts().size()) : 0;
        if (n == 0 && p)
            n = static_cast<int>(p->Max() - p->Min()) + 1;
        for (int i = 0; i < n; ++i) {
            const double a = SwitchAngle(i, n);
            cairo_move_to(cr, cx + 16.0 * std::sin(a), cy - 16.0 * std::cos(a));
            cairo_line_to(cr, cx + 19.0 * std::sin(a), cy - 19.0 * std::cos(a));
        }
        SetColour(cr, kScaleInk);
        cairo_set_line_width(cr, 1.6);
        cairo_stroke(cr);
        return;
    }
    // Centre-detent knobs get a marked centre: signed ranges and the pans.
    const bool bipolar =
        p && ((p->Min() < 0.0 && p->Max() > 0.0) || std::strncmp(c.parameter, "Pan ", 4) == 0);
    for (int i = 0; i <= 10; ++i) {
        const double a = KnobAngle(i / 10.0);
        const bool major = i == 0 || i == 10 || (bipolar && i == 5);
        const double r0 = major ? 16.2 : 17.0;
        cairo_move_to(cr, cx + r0 * std::sin(a), cy - r0 * std::cos(a));
        cairo_line_to(cr, cx + 19.2 * std::sin(a), cy - 19.2 * std::cos(a));
        SetColour(cr, kScaleInk, major ? 1.0 : 0.7);
        cairo_set_line_width(cr, major ? 1.5 : 1.0);
        cairo_stroke(cr);
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

// A window set into the panel: dark glass with a shadow along its upper edge.
void Window(cairo_t* cr, const IRect& w) {
    RoundedRect(cr, w.left - 0.5, w.top - 0.5, w.W() + 1, w.H() + 1, 3);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
    cairo_fill(cr);
    RoundedRect(cr, w.left, w.top, w.W(), w.H(), 2.5);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, w.top, 0, w.bottom);
    cairo_pattern_add_color_stop_rgb(p, 0.0, 0.02, 0.03, 0.03);
    cairo_pattern_add_color_stop_rgb(p, 1.0, kDisplayGlow.r, kDisplayGlow.g, kDisplayGlow.b);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

// The symbol under the option menu's invisible button.
void MenuSymbol(cairo_t* cr) {
    const IRect& m = kMenuSymbol;
    RoundedRect(cr, m.left + 0.5, m.top + 0.5, m.W() - 1, m.H() - 1, 3);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, m.top, 0, m.bottom);
    cairo_pattern_add_color_stop_rgb(p, 0.0, 0.30, 0.31, 0.34);
    cairo_pattern_add_color_stop_rgb(p, 1.0, 0.15, 0.16, 0.18);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    UseFace(cr, kBold, 8.0);
    SetColour(cr, kInk);
    ShowText(cr, m.left + 7, m.top + 13.5, "MENU", 0.6);
    cairo_move_to(cr, m.right - 13, m.top + 8);
    cairo_line_to(cr, m.right - 7, m.top + 8);
    cairo_line_to(cr, m.right - 10, m.top + 12);
    cairo_close_path(cr);
    cairo_fill(cr);
}

// An unlit lamp where a detune light shows when its knob is off centre.
void LampSocket(cairo_t* cr, int x, int y) {
    cairo_arc(cr, x + 4, y + 4, 4.2, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.07, 0.07, 0.08);
    cairo_fill(cr);
    cairo_arc(cr, x + 4, y + 4, 3.4, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.30, 0.09, 0.06);
    cairo_fill(cr);
}

} // namespace

cairo_surface_t* DrawBackground() {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, layout::kEditorWidth,
                                                          layout::kEditorHeight);
    cairo_t* cr = cairo_create(surface);
    Body(cr);
    Header(cr);
    for (const artwork::Section& s : kSections)
        SectionPanel(cr, s);
    Window(cr, kNumberWindow);
    Window(cr, kNameWindow);
    Window(cr, kSplitWindow);
    MenuSymbol(cr);

    for (int i = 0; i < layout::kControlCount; ++i) {
        const layout::ControlEntry& c = layout::kControls[i];
        if (c.kind == layout::kKnob)
            KnobScale(cr, c);
        if (c.role == layout::kBrassDetuneIndicator || c.role == layout::kStringsDetuneIndicator)
            LampSocket(cr, c.rect.left, c.rect.top);
    }

    const std::vector<Lettering> lettering = PanelLettering(cr);
    for (const Lettering& l : lettering) {
        if (l.kind == Lettering::kWaveIcon) {
            WaveIcon(cr, l);
            continue;
        }
        UseFace(cr, l.face, l.size);
        SetColour(cr, l.kind == Lettering::kScale                        ? kScaleInk
                      : l.kind == Lettering::kName && l.face == kRegular ? kInkDim
                                                                         : kInk);
        ShowText(cr, l.x, l.baseline, l.text.c_str(), l.tracking);
        if (l.kind == Lettering::kTitle) {
            for (const artwork::Section& s : kSections)
                if (s.title && l.text == s.title)
                    TitleRule(cr, l, s);
        }
        if (l.kind == Lettering::kCaption) {
            for (int k = 0; k < kCaptionCount; ++k)
                if (l.text == kCaptions[k].text &&
                    std::fabs(l.baseline - kCaptions[k].baseline) < 0.5 &&
                    l.ink.left >= kCaptions[k].x0 && l.ink.right <= kCaptions[k].x1)
                    CaptionRules(cr, l, kCaptions[k].x0, kCaptions[k].x1);
        }
    }
    cairo_destroy(cr);
    return surface;
}

} // namespace artwork

} // namespace halvane
