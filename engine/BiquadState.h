#pragma once
// The memory of a second-order section: two past inputs and outputs, and the
// tiny offset, alternating in sign every sample, that keeps them out of the
// denormal range. An input or output that is not a finite number is replaced
// by 0, so one bad sample cannot lock a filter up; the states only ever hold
// such cleaned inputs and outputs (or the zeros of Clear), so they are finite
// and need no test of their own.

#include <cmath>

namespace halvane {

struct BiquadState {
    static constexpr double kOffset = 1e-13;

    double x1 = 0.0;
    double x2 = 0.0;
    double y1 = 0.0;
    double y2 = 0.0;
    double offset = kOffset;

    // Cleans the input and the states before a sample is computed; returns the input.
    double Begin(double x) {
        x = std::isfinite(x) ? x + offset : 0.0;
        // Finite plus an offset far below their resolution near the top of the
        // range stays finite.
        x1 += offset;
        x2 += offset;
        y1 += offset;
        y2 += offset;
        offset = -offset;
        return x;
    }

    // Shifts the new sample in; returns the output (0 when it is not finite).
    double End(double x, double y) {
        if (!std::isfinite(y))
            y = 0.0;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    void Clear() { x1 = x2 = y1 = y2 = 0.0; }
};

} // namespace halvane
