#pragma once
// MIDI-learned controllers as the render loop applies them: for each controller
// number the parameter it moves and that parameter's plain value for each of the
// 128 controller values. The instrument fills it whenever a link changes (never
// while rendering), so the engine applies a controller at its control update
// without asking anyone above it.

#include <cstdint>
#include <memory>

namespace halvane {

class ControllerTable {
public:
    static constexpr int kControllers = 128;
    static constexpr int kValues = 128;

    ControllerTable() : values_(new double[kControllers * kValues]()) {
        for (int32_t& p : params_)
            p = -1;
    }

    // values: the parameter's plain value for controller values 0..127.
    void Link(int controller, int param, const double* values) {
        if (controller < 0 || controller >= kControllers)
            return;
        params_[controller] = param;
        for (int v = 0; v < kValues; ++v)
            values_[controller * kValues + v] = values[v];
    }
    void Unlink(int controller) {
        if (controller >= 0 && controller < kControllers)
            params_[controller] = -1;
    }

    // The linked parameter, or -1.
    int Param(int controller) const {
        return controller >= 0 && controller < kControllers ? params_[controller] : -1;
    }
    // Only for a linked controller and a value 0..127.
    double Value(int controller, int value) const { return values_[controller * kValues + value]; }

private:
    int32_t params_[kControllers];
    std::unique_ptr<double[]> values_;
};

// A parameter that a learned controller changed while rendering: reported to the
// instrument after the block, for the host's automation and the editor.
struct ControlledChange {
    int32_t param;
    uint8_t value; // the controller value, 0..127
};

} // namespace halvane
