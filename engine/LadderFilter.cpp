#include "engine/LadderFilter.h"

namespace halvane {

LadderFilter::LadderFilter() {
    SetSampleRate(44100.0);
}

void LadderFilter::SetSampleRate(double sampleRate) {
    const double rate = LadderTables::UsableRate(sampleRate);
    if (!tables_ || rate != sampleRate_) {
        tables_ = LadderTables::ForSampleRate(rate);
        sampleRate_ = tables_->SampleRate();
    }
    currentCutoff_ = 0;
    cachedIndex_ = kRecompute;
    g4_ = g_ = t_ = k_ = outputGain_ = normaliser_ = 0.0;
    g2_ = g3_ = 0.0;
    s1_ = 0.0;
    s2_ = 1.0;
    s3_ = 0.0;
    s4_ = -1.0;
}

void LadderFilter::SetResonance(double r) {
    resonance_ = r > 0.0 ? (r < 1.0 ? r : 1.0) : 0.0;
    cachedIndex_ = kRecompute;
}

} // namespace halvane
