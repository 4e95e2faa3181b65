#pragma once

namespace halvane {

// Three-phase triangle oscillator behind every slow modulation of the instrument,
// stepped once per control tick. The phase runs over [-1, 1), one cycle per 2, so
// a rate of f Hz at 1000 ticks per second is the increment 2 f / 1000 and one
// cycle lasts 2 / increment steps. The second and third phases run a third and
// two thirds of a cycle ahead.

class LFO {
public:
    // Phase step per control tick. A value that is not a finite number counts as
    // 0, so the oscillator stands still instead of losing its phase.
    void SetIncrement(double increment);
    double Increment() const { return increment_; }

    // The outputs come from the phases as they were before this step; then the
    // phases advance and wrap.
    void Step();

    // Triangle -1..+1: -1 at phase 0, +1 at phase -1.
    double Bipolar() const { return bipolar_; }
    // Triangle 0..1 in phase with Bipolar(), and the same one 120 and 240 degrees
    // ahead.
    double Unipolar() const { return unipolar_; }
    double Unipolar2() const { return unipolar2_; }
    double Unipolar3() const { return unipolar3_; }

    double Phase() const { return phase_; }
    double Phase2() const { return phase2_; }
    double Phase3() const { return phase3_; }

private:
    double bipolar_ = 0.0;
    double unipolar_ = 0.0;
    double unipolar2_ = 0.0;
    double unipolar3_ = 0.0;
    double phase_ = 0.0;
    double phase2_ = 2.0 / 3.0;
    // Outside [-1, 1) until the first step wraps it: the first Unipolar3() is 4/3.
    double phase3_ = 4.0 / 3.0;
    double increment_ = 0.0;
};

} // namespace halvane
