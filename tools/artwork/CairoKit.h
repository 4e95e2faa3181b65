#pragma once
// Small helpers over Cairo for the artwork: the fonts, shapes with the panel's
// light, and writing PNG files.

#include <cairo.h>

#include <string>

#include "ArtworkDesign.h"

namespace halvane {

namespace artwork {

enum Face { kRegular, kBold };

// Loads the two faces the lettering uses; false when a file is missing or
// unreadable. Call once before drawing text.
bool LoadFaces(const std::string& regularPath, const std::string& boldPath);
void ReleaseFaces();

// Selects a face and pixel size on the context, with hinting for crisp small
// lettering.
void UseFace(cairo_t* cr, Face face, double size);
// Width and height of a single line of text in the context's current face,
// including the letter spacing.
double TextWidth(cairo_t* cr, const char* text, double tracking = 0.0);
// Draws one line of text with its baseline at y, starting at x, with extra
// spacing between letters.
void ShowText(cairo_t* cr, double x, double y, const char* text, double tracking = 0.0);

void SetColour(cairo_t* cr, Rgb c, double alpha = 1.0);
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);

// Writes the surface as a PNG; false on failure.
bool WritePng(cairo_surface_t* surface, const std::string& path);

} // namespace artwork

} // namespace halvane
