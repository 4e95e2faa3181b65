#pragma once
// The background picture: the instrument's body, its sections, every label,
// scale and caption, the display windows and the maker's and instrument's
// names.

#include <cairo.h>

namespace halvane {

namespace artwork {

// A new 988 x 696 surface; the faces must be loaded.
cairo_surface_t* DrawBackground();

} // namespace artwork

} // namespace halvane
