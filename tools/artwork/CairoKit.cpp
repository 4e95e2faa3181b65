#include "CairoKit.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstring>

namespace artwork {

namespace {

FT_Library library = nullptr;
FT_Face ftFaces[2] = {nullptr, nullptr};
cairo_font_face_t* faces[2] = {nullptr, nullptr};

// One UTF-8 character (lead byte and its continuation bytes); advances p.
// Splitting a character would put Cairo's context into an error state.
std::string NextCharacter(const char*& p) {
    const char* start = p++;
    while ((static_cast<unsigned char>(*p) & 0xC0) == 0x80)
        ++p;
    return std::string(start, p);
}

} // namespace

bool LoadFaces(const std::string& regularPath, const std::string& boldPath) {
    ReleaseFaces();
    if (FT_Init_FreeType(&library) != 0)
        return false;
    const std::string* paths[2] = {&regularPath, &boldPath};
    for (int i = 0; i < 2; ++i) {
        if (FT_New_Face(library, paths[i]->c_str(), 0, &ftFaces[i]) != 0)
            return false;
        faces[i] = cairo_ft_font_face_create_for_ft_face(ftFaces[i], 0);
    }
    return true;
}

void ReleaseFaces() {
    for (int i = 0; i < 2; ++i) {
        if (faces[i])
            cairo_font_face_destroy(faces[i]);
        faces[i] = nullptr;
        if (ftFaces[i])
            FT_Done_Face(ftFaces[i]);
        ftFaces[i] = nullptr;
    }
    if (library)
        FT_Done_FreeType(library);
    library = nullptr;
}

void UseFace(cairo_t* cr, Face face, double size) {
    cairo_set_font_face(cr, faces[face]);
    cairo_set_font_size(cr, size);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

double TextWidth(cairo_t* cr, const char* text, double tracking) {
    cairo_text_extents_t e;
    if (tracking == 0.0) {
        cairo_text_extents(cr, text, &e);
        return e.x_advance;
    }
    // Letter by letter, as ShowText sets tracked text.
    double width = 0.0;
    for (const char* p = text; *p;) {
        const std::string one = NextCharacter(p);
        cairo_text_extents(cr, one.c_str(), &e);
        width += e.x_advance + (*p ? tracking : 0.0);
    }
    return width;
}

void ShowText(cairo_t* cr, double x, double y, const char* text, double tracking) {
    if (tracking == 0.0) {
        cairo_move_to(cr, x, y);
        cairo_show_text(cr, text);
        return;
    }
    for (const char* p = text; *p;) {
        const std::string one = NextCharacter(p);
        cairo_move_to(cr, x, y);
        cairo_show_text(cr, one.c_str());
        cairo_text_extents_t e;
        cairo_text_extents(cr, one.c_str(), &e);
        x += e.x_advance + tracking;
    }
}

void SetColour(cairo_t* cr, Rgb c, double alpha) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

bool WritePng(cairo_surface_t* surface, const std::string& path) {
    cairo_surface_flush(surface);
    return cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

} // namespace artwork
