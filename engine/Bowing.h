#pragma once
// The strings' bow-stroke accent: at the first strings key of a phrase a shared
// envelope swells and decays, and while it is up a band-passed copy of the
// strings signal is added.

#include "engine/Envelope.h"
#include "engine/Filter.h"

namespace halvane {

class Bowing {
public:
    Bowing(); // fixed envelope settings: attack 0.35, decay 0.44, sustain 0, release 0.44

    // New rate: both band-passes take it with Q 0.82, states cleared, coefficients
    // recomputed from the angular cutoff they hold; the envelope goes idle at 0.
    void SetSampleRate(double sampleRate);
    void SetLevel(double level) { level_ = level; }
    // "Strings Bowing Tone" x: centre 600 + 2400 x^2 Hz at the filters' present rate.
    void SetTone(double x);

    void Trigger() { envelope_.Trigger(); }
    void Release() { envelope_.Release(); }
    // One envelope step: once per control tick, and once per sample while the
    // strings and the bowing are on (both counted by the caller).
    void StepEnvelope() { envelope_.Step(); }

    // Per sample while the bowing switch is on; i is the sub-block sample index
    // (the envelope is stepped once more here for i > 0).
    void Process(double& left, double& right, bool stereo, int i);

    const Envelope& Env() const { return envelope_; }
    double Level() const { return level_; }
    // Centre of the band-passes in Hz, from the angular cutoff and the rate they hold.
    double CentreHz() const;
    const BandPass& LeftFilter() const { return left_; }
    const BandPass& RightFilter() const { return right_; }

private:
    Envelope envelope_;
    BandPass left_;
    BandPass right_;
    double level_ = 0.5;
};

} // namespace halvane
