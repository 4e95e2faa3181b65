#pragma once
// The Brass section's shared stage: one resonant filter and one envelope after
// the sum of all voices. The envelope both sweeps the cutoff and is the
// section's amplifier, so a chord can swell as one.

#include <cstdint>

#include "engine/Envelope.h"
#include "engine/LadderFilter.h"

namespace halvane {

class BrassSection {
public:
    // New rate: the filter is cleared for it, the envelope goes idle at 0.
    void SetSampleRate(double sampleRate);

    LadderFilter& Filter() { return filter_; }
    Envelope& Env() { return envelope_; }
    const LadderFilter& Filter() const { return filter_; }
    const Envelope& Env() const { return envelope_; }

    // "Brass EG Intensity" in pitch units (0..12289).
    void SetEgIntensity(double units) { egIntensity_ = units; }
    // Set at every brass note-on: ((velocity/127 - 1) * v + 1), or 1 when v <= 0.
    void SetVelocityFactor(double factor) { velocityFactor_ = factor; }
    double VelocityFactor() const { return velocityFactor_; }
    // "Brass Cutoff" 0..1: target pitch truncate(17280 * v), gliding while the
    // envelope runs.
    void SetCutoff(double v);
    void SetResonance(double r) { filter_.SetResonance(r); }
    // The panned gains of the section (both halved when both footages are on).
    void SetGains(double left, double right) {
        gainLeft_ = left;
        gainRight_ = right;
    }

    void Trigger() { envelope_.Trigger(); }
    void Release() { envelope_.Release(); }
    bool EnvelopeRunning() const { return envelope_.Running(); }

    // Once per control tick: steps the envelope once and recomputes the
    // cutoff modulation depth = velocity factor * intensity.
    void ControlTick();

    // Per sample, with the sub-block's sample index i (the envelope is stepped
    // here only for i > 0: the control tick stepped it for i = 0).
    void Process(double brassSum, int i, double& left, double& right);

    double ModulationDepth() const { return depth_; }
    double EgIntensity() const { return egIntensity_; }
    double GainLeft() const { return gainLeft_; }
    double GainRight() const { return gainRight_; }

private:
    LadderFilter filter_;
    Envelope envelope_;
    double egIntensity_ = 0.0;
    double velocityFactor_ = 1.0;
    double depth_ = 0.0;
    // Those of the centred pan with one footage, the instrument's defaults.
    double gainLeft_ = 0.5;
    double gainRight_ = 0.5;
};

} // namespace halvane
