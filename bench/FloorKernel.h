#pragma once
// The floor the engine's voices are measured against: the same per-voice,
// per-sample operation mix written by hand with AVX2, four voices per vector of
// doubles. Per voice and sample: four wavetable reads from 28-bit fixed-point
// phases, five exponential envelope steps, the four-pole ladder with its input and
// state clean-up and alternating offset, one biquad. No note handling, no control
// rate work, no branches: what a voice costs at the least on this machine.

#include <memory>

namespace halvane {

namespace bench {

class FloorKernel {
public:
    // voices: a multiple of 4.
    explicit FloorKernel(int voices);
    ~FloorKernel();
    FloorKernel(const FloorKernel&) = delete;
    FloorKernel& operator=(const FloorKernel&) = delete;

    // Whether this processor runs AVX2 (the kernel does nothing otherwise).
    static bool Supported();

    // frames samples of every voice, summed into out (frames doubles).
    void Render(double* out, int frames);

    struct State; // the voices' state, structure of arrays

private:
    std::unique_ptr<State> state_;
};

} // namespace bench

} // namespace halvane
