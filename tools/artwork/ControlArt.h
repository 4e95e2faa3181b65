#pragma once
// The control pictures: knob strips, rotary switches, buttons, levers, slides,
// the program buttons, the learn switch and the indicators. Each is drawn at
// exactly the size and frame count of the editor's bitmap table.

#include <cairo.h>

namespace halvane {

namespace artwork {

// The picture of a bitmap id other than the background, as a new ARGB
// surface of the table's size; null for an id it does not know.
cairo_surface_t* DrawControlBitmap(int id);

// Angle in radians, clockwise from straight up, of position i of n on a
// rotary switch, and of a knob at value v (0..1).
double SwitchAngle(int i, int n);
double KnobAngle(double v);

} // namespace artwork

} // namespace halvane
