#include "CairoKit.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include <png.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace halvane {

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

namespace {

// libpng reports errors by longjmp to here; nothing on this frame is read
// after such a jump.
bool WriteImage(png_structp png, png_infop info, std::FILE* file, const unsigned char* data,
                int width, int height, int stride, std::vector<unsigned char>& row) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        // Cairo keeps premultiplied native-endian ARGB; PNG wants straight RGBA.
        const auto* in =
            reinterpret_cast<const uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = in[x];
            const unsigned a = p >> 24;
            unsigned char* out = &row[static_cast<std::size_t>(x) * 4];
            for (int c = 0; c < 3; ++c) {
                const unsigned v = (p >> (16 - 8 * c)) & 0xFF;
                out[c] = static_cast<unsigned char>(a ? (v * 255 + a / 2) / a : 0);
            }
            out[3] = static_cast<unsigned char>(a);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

} // namespace

// Written with libpng rather than Cairo's writer so the filter can be chosen:
// the plug-in decodes every picture while its first instance is made, and
// "sub" is the cheapest filter to undo (Cairo's adaptive choice mostly picks
// "Paeth", the dearest), at little cost in size for this artwork.
bool WritePng(cairo_surface_t* surface, const std::string& path) {
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    if (!data || width <= 0 || height <= 0)
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 4);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool ok = png && info && WriteImage(png, info, file, data, width, height, stride, row);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

} // namespace artwork

} // namespace halvane
