#pragma once
// The instrument's 93 parameters: names, kinds, ranges, defaults, steps, shapes
// and how each value is shown.

#include <cstddef>

#include "plugin/PlugParam.h"

namespace halvane {

// Initialises params[0..92]; the records must be freshly created.
void InitHalvaneParams(PlugParam* params, int count);

// Display functions, shared by several parameters.
void DisplayDecibels(double value, char* out, std::size_t size);
void DisplayCutoff(double value, char* out, std::size_t size);
void DisplayEgIntensity(double value, char* out, std::size_t size);
void DisplayPan(double value, char* out, std::size_t size);

} // namespace halvane
