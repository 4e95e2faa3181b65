#include "ControlArt.h"

#include <cmath>

#include "ArtworkDesign.h"
#include "CairoKit.h"
#include "editor/LayoutTable.h"

namespace halvane {

namespace artwork {

namespace {

constexpr double kKnobSweep = 135.0 * M_PI / 180.0;

// Half the arc a rotary switch's positions spread over.
double SwitchSweep(int n) {
    return (n == 3 ? 50.0 : n == 4 ? 75.0 : 90.0) * M_PI / 180.0;
}

// A soft shadow below and right of a circle: the light comes from the upper left.
void CircleShadow(cairo_t* cr, double cx, double cy, double r) {
    cairo_pattern_t* p =
        cairo_pattern_create_radial(cx + 1.2, cy + 2.0, r * 0.7, cx + 1.2, cy + 2.0, r + 3.0);
    cairo_pattern_add_color_stop_rgba(p, 0.0, 0, 0, 0, 0.55);
    cairo_pattern_add_color_stop_rgba(p, 1.0, 0, 0, 0, 0.0);
    cairo_set_source(cr, p);
    cairo_arc(cr, cx + 1.2, cy + 2.0, r + 3.0, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void LinearFill(cairo_t* cr, double x0, double y0, double x1, double y1, Rgb a, Rgb b) {
    cairo_pattern_t* p = cairo_pattern_create_linear(x0, y0, x1, y1);
    cairo_pattern_add_color_stop_rgb(p, 0.0, a.r, a.g, a.b);
    cairo_pattern_add_color_stop_rgb(p, 1.0, b.r, b.g, b.b);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
}

// One knob at the origin of a 40 x 40 frame: a fluted skirt, a cap lit from
// the upper left and a pointer line at angle (clockwise from up).
void Knob(cairo_t* cr, double angle, bool ivory, bool chickenHead) {
    const double cx = 20.0, cy = 20.0;
    CircleShadow(cr, cx, cy, 14.5);
    // Skirt.
    cairo_arc(cr, cx, cy, 15.0, 0, 2 * M_PI);
    LinearFill(cr, cx - 15, cy - 15, cx + 15, cy + 15, Hex(0x5C6067), Hex(0x141517));
    cairo_new_path(cr);
    // Flutes turn with the knob so every frame shows the rotation.
    cairo_set_line_width(cr, 1.0);
    for (int k = 0; k < 24; ++k) {
        const double a = angle + k * 2 * M_PI / 24;
        const double light = 0.5 + 0.5 * std::cos(a + M_PI / 4); // facing the light
        cairo_set_source_rgba(cr, 1, 1, 1, 0.05 + 0.12 * light);
        cairo_move_to(cr, cx + 12.6 * std::sin(a), cy - 12.6 * std::cos(a));
        cairo_line_to(cr, cx + 14.6 * std::sin(a), cy - 14.6 * std::cos(a));
        cairo_stroke(cr);
    }
    // Cap.
    const double capR = chickenHead ? 9.5 : 11.5;
    cairo_arc(cr, cx, cy, capR + 0.8, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, capR, 0, 2 * M_PI);
    if (ivory)
        LinearFill(cr, cx - capR, cy - capR, cx + capR, cy + capR, Hex(0xFBF6E9), Hex(0xB9B19C));
    else
        LinearFill(cr, cx - capR, cy - capR, cx + capR, cy + capR, Hex(0x5A5E66), Hex(0x202226));
    cairo_new_path(cr);
    // A soft highlight towards the light.
    cairo_pattern_t* hl =
        cairo_pattern_create_radial(cx - 4, cy - 5, 0.5, cx - 4, cy - 5, capR * 0.9);
    cairo_pattern_add_color_stop_rgba(hl, 0.0, 1, 1, 1, ivory ? 0.45 : 0.22);
    cairo_pattern_add_color_stop_rgba(hl, 1.0, 1, 1, 1, 0.0);
    cairo_set_source(cr, hl);
    cairo_arc(cr, cx, cy, capR, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(hl);

    const double s = std::sin(angle), c = -std::cos(angle);
    if (chickenHead) {
        // A pointed bar across the cap, like the rotary selectors of the
        // era, with a white line along it.
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_rotate(cr, angle);
        cairo_move_to(cr, 0, -14.5);
        cairo_line_to(cr, 4.2, -4);
        cairo_line_to(cr, 3.6, 8.5);
        cairo_line_to(cr, -3.6, 8.5);
        cairo_line_to(cr, -4.2, -4);
        cairo_close_path(cr);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
        cairo_set_line_width(cr, 1.6);
        cairo_stroke_preserve(cr);
        if (ivory)
            cairo_set_source_rgb(cr, 0.93, 0.90, 0.82);
        else
            cairo_set_source_rgb(cr, 0.22, 0.23, 0.26);
        cairo_fill(cr);
        cairo_restore(cr);
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2.0);
    if (ivory && !chickenHead)
        cairo_set_source_rgb(cr, 0.13, 0.13, 0.14);
    else if (ivory)
        cairo_set_source_rgb(cr, 0.75, 0.25, 0.12);
    else
        SetColour(cr, kInk);
    cairo_move_to(cr, cx + 4.0 * s, cy + 4.0 * c);
    cairo_line_to(cr, cx + (chickenHead ? 12.5 : 10.5) * s, cy + (chickenHead ? 12.5 : 10.5) * c);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

Rgb CapColour(int id, bool* darkText) {
    switch (id) {
    case 106:
    case 110:
        *darkText = true;
        return kSilver;
    case 107:
    case 111:
        *darkText = false;
        return kGraphite;
    case 108:
    case 112:
        *darkText = true;
        return kIvory;
    default:
        *darkText = true;
        return kAmber;
    }
}

Rgb Shade(Rgb c, double f) {
    return {c.r * f, c.g * f, c.b * f};
}
Rgb Tint(Rgb c, double f) {
    return {c.r + (1 - c.r) * f, c.g + (1 - c.g) * f, c.b + (1 - c.b) * f};
}

// A key of a button pair in a 24 x 40 frame: a lamp above the key, lit in the
// "on" picture; the pressed frame sits lower with less shadow.
void Button(cairo_t* cr, int id, bool on, bool pressed) {
    bool dark = false;
    const Rgb cap = CapColour(id, &dark);
    const double drop = pressed ? 1.5 : 0.0;
    // Lamp.
    RoundedRect(cr, 6.5, 2.5, 11, 4, 1.5);
    cairo_set_source_rgb(cr, 0.06, 0.06, 0.07);
    cairo_fill(cr);
    RoundedRect(cr, 7.5, 3.2, 9, 2.6, 1.2);
    if (on)
        SetColour(cr, kLedRed);
    else
        cairo_set_source_rgb(cr, 0.24, 0.09, 0.07);
    cairo_fill(cr);
    if (on) {
        cairo_pattern_t* glow = cairo_pattern_create_radial(12, 4.5, 0.5, 12, 4.5, 9);
        cairo_pattern_add_color_stop_rgba(glow, 0, 1, 0.35, 0.2, 0.45);
        cairo_pattern_add_color_stop_rgba(glow, 1, 1, 0.35, 0.2, 0.0);
        cairo_set_source(cr, glow);
        cairo_rectangle(cr, 0, 0, 24, 10);
        cairo_fill(cr);
        cairo_pattern_destroy(glow);
    }
    // Well and shadow.
    RoundedRect(cr, 2, 9, 20, 30, 2.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_fill(cr);
    if (!pressed) {
        RoundedRect(cr, 3.5, 11.5, 18, 27, 2);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
        cairo_fill(cr);
    }
    // Key.
    const double top = 10.0 + drop;
    const double h = 26.5 - drop * 0.5;
    RoundedRect(cr, 3, top, 18, h, 2);
    const Rgb face = pressed ? Shade(cap, 0.88) : cap;
    LinearFill(cr, 3, top, 3, top + h, Tint(face, 0.18), Shade(face, 0.78));
    cairo_new_path(cr);
    // Bevel: light top edge, dark bottom edge.
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 1, 1, 1, dark ? 0.45 : 0.22);
    cairo_move_to(cr, 5, top + 0.5);
    cairo_line_to(cr, 19, top + 0.5);
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_move_to(cr, 5, top + h - 0.5);
    cairo_line_to(cr, 19, top + h - 0.5);
    cairo_stroke(cr);
    // A grip line across the key.
    cairo_set_source_rgba(cr, dark ? 0 : 1, dark ? 0 : 1, dark ? 0 : 1, dark ? 0.18 : 0.12);
    cairo_move_to(cr, 6, top + h - 6.5);
    cairo_line_to(cr, 18, top + h - 6.5);
    cairo_stroke(cr);
}

// The dark slot a lever or a slide moves in, its lower lip catching the light.
void Slot(cairo_t* cr, double x, double y, double w, double h) {
    RoundedRect(cr, x, y, w, h, 2.5);
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.06);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.17);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// The two-position lever in a 14 x 20 frame; up is the second frame.
void Lever(cairo_t* cr, bool up) {
    Slot(cr, 3.5, 2.5, 7, 15);
    const double y = up ? 1.5 : 9.5;
    cairo_rectangle(cr, 5.5, up ? 6 : 10, 3, 4);
    cairo_set_source_rgb(cr, 0.5, 0.52, 0.55);
    cairo_fill(cr);
    RoundedRect(cr, 2, y, 10, 8.5, 2.5);
    LinearFill(cr, 2, y, 12, y + 8.5, Hex(0xE8EAEE), Hex(0x7D8187));
    cairo_new_path(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
    cairo_set_line_width(cr, 1);
    RoundedRect(cr, 2.5, y + 0.5, 9, 7.5, 2.2);
    cairo_stroke(cr);
}

// The three-position slide in a 30 x 14 frame.
void Slide(cairo_t* cr, int position) {
    Slot(cr, 1.5, 4.5, 27, 5);
    const double x = 1.0 + position * 9.0;
    RoundedRect(cr, x + 0.8, 2.2, 10, 11, 1.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
    cairo_fill(cr);
    RoundedRect(cr, x, 1, 10, 11, 1.5);
    LinearFill(cr, x, 1, x + 10, 12, Hex(0xF2EEE4), Hex(0x8E8A80));
    cairo_new_path(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_move_to(cr, x + 5, 3);
    cairo_line_to(cr, x + 5, 10);
    cairo_stroke(cr);
}

// Previous and next: a round key with an arrow, in a 22 x 22 frame.
void ArrowKey(cairo_t* cr, bool next, bool pressed) {
    const double cx = 11, cy = 11 + (pressed ? 0.8 : 0.0);
    if (!pressed)
        CircleShadow(cr, 11, 11, 8);
    cairo_arc(cr, cx, cy, 8.5, 0, 2 * M_PI);
    LinearFill(cr, cx - 8, cy - 8, cx + 8, cy + 8, pressed ? Hex(0x3A3D42) : Hex(0x5C6067),
               Hex(0x1C1D20));
    cairo_new_path(cr);
    const double d = next ? 1.0 : -1.0;
    cairo_move_to(cr, cx + 3.5 * d, cy);
    cairo_line_to(cr, cx - 2.5 * d, cy - 4);
    cairo_line_to(cr, cx - 2.5 * d, cy + 4);
    cairo_close_path(cr);
    SetColour(cr, kInk, pressed ? 0.7 : 1.0);
    cairo_fill(cr);
}

// The learn switch, 50 x 22: a key with its word and a lamp lit while on.
void LearnKey(cairo_t* cr, const char* word, bool on) {
    RoundedRect(cr, 1, 1.5, 48, 19, 3);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_fill(cr);
    RoundedRect(cr, 1.5, 1.5 + (on ? 0.7 : 0.0), 47, 18, 2.5);
    LinearFill(cr, 1.5, 1.5, 1.5, 19.5, on ? Hex(0x3F4248) : Hex(0x4B4F56), Hex(0x222428));
    cairo_new_path(cr);
    cairo_arc(cr, 7.5, 11, 2.4, 0, 2 * M_PI);
    if (on)
        SetColour(cr, kLedRed);
    else
        cairo_set_source_rgb(cr, 0.28, 0.1, 0.08);
    cairo_fill(cr);
    // The word fills the space right of the lamp, smaller for the longer word.
    const double left = 12.5, room = 34.0;
    double size = 8.0;
    UseFace(cr, kBold, size);
    while (TextWidth(cr, word, 0.4) > room && size > 6.5) {
        size -= 0.25;
        UseFace(cr, kBold, size);
    }
    SetColour(cr, kInk, on ? 1.0 : 0.85);
    const double w = TextWidth(cr, word, 0.4);
    ShowText(cr, std::round(left + (room - w) / 2), 14.5, word, 0.4);
}

// The polyphony indicator, 30 x 20: the voice count in a small window.
void PolyWindow(cairo_t* cr, const char* digits) {
    RoundedRect(cr, 0.5, 0.5, 29, 19, 2.5);
    SetColour(cr, kDisplay);
    cairo_fill(cr);
    UseFace(cr, kBold, 12.0);
    const double w = TextWidth(cr, digits);
    SetColour(cr, kAmber);
    ShowText(cr, (30 - w) / 2, 14.5, digits);
}

void Led(cairo_t* cr) {
    cairo_pattern_t* p = cairo_pattern_create_radial(3.2, 3.2, 0.3, 4, 4, 4);
    cairo_pattern_add_color_stop_rgb(p, 0.0, 1.0, 0.85, 0.75);
    cairo_pattern_add_color_stop_rgb(p, 0.5, 1.0, 0.29, 0.18);
    cairo_pattern_add_color_stop_rgb(p, 1.0, 0.55, 0.08, 0.04);
    cairo_set_source(cr, p);
    cairo_arc(cr, 4, 4, 3.6, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

} // namespace

double KnobAngle(double v) {
    return -kKnobSweep + 2.0 * kKnobSweep * v;
}

double SwitchAngle(int i, int n) {
    const double sweep = SwitchSweep(n);
    return n < 2 ? 0.0 : -sweep + 2.0 * sweep * i / (n - 1);
}

cairo_surface_t* DrawControlBitmap(int id) {
    const layout::BitmapEntry* entry = layout::FindBitmap(id);
    if (!entry || id == layout::kBackgroundBitmap)
        return nullptr;
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, entry->width, entry->height);
    cairo_t* cr = cairo_create(surface);
    const int frames = entry->frames;
    const double fh = static_cast<double>(entry->height) / frames;
    for (int f = 0; f < frames; ++f) {
        cairo_save(cr);
        cairo_rectangle(cr, 0, f * fh, entry->width, fh);
        cairo_clip(cr);
        cairo_translate(cr, 0, f * fh);
        switch (id) {
        case 114:
        case 115:
            Knob(cr, KnobAngle(f / static_cast<double>(frames - 1)), id == 115, false);
            break;
        case 102:
        case 103:
        case 104:
        case 105:
            Knob(cr, SwitchAngle(f, frames), id != 103, true);
            break;
        case 106:
        case 107:
        case 108:
        case 109:
        case 110:
        case 111:
        case 112:
        case 113:
            Button(cr, id, id >= 110, f == 1);
            break;
        case 116:
            Lever(cr, f == 1);
            break;
        case 117:
            Slide(cr, f);
            break;
        case 118:
        case 119:
            ArrowKey(cr, id == 119, f == 1);
            break;
        case 120:
            LearnKey(cr, "LEARN", f == 1);
            break;
        case 121:
            LearnKey(cr, "UNLEARN", f == 1);
            break;
        case 122:
            // Frame 1 while "Trident Mode" is on: eight voices.
            PolyWindow(cr, f == 0 ? "8" : "64");
            break;
        case 123:
            Led(cr);
            break;
        default:
            break;
        }
        cairo_restore(cr);
    }
    cairo_destroy(cr);
    return surface;
}

} // namespace artwork

} // namespace halvane
