#include "engine/Engine.h"

#include <cmath>
#include <limits>

namespace halvane {

Engine::Engine() : outputMix_(brass_, bowing_) {
    for (int32_t& key : heldKeys_)
        key = kVacantKey;
    for (double& value : paramValues_)
        value = std::numeric_limits<double>::quiet_NaN();
    for (Voice& voice : voices_)
        voice.SetPwmSource(pitchModulation_.PwmSource());
    // Playable at once at the default rate; sampleRate_ stays 0, so the first
    // Reset rebuilds whatever rate it brings.
    Rebuild(kDefaultSampleRate);
    sampleRate_ = 0.0;
}

void Engine::Reset(double sampleRate) {
    if (!(std::isfinite(sampleRate) && sampleRate > 0.0))
        sampleRate = kDefaultSampleRate;
    if (sampleRate == sampleRate_)
        return;
    Rebuild(sampleRate);
}

void Engine::Rebuild(double sampleRate) {
    sampleRate_ = sampleRate;
    // At least one sample per control block, or rates below 1 kHz would never
    // advance the block frame.
    const double whole = std::floor(sampleRate);
    const int32_t perMs =
        whole < 2147483647.0 ? static_cast<int32_t>(whole) / 1000 : INT32_MAX / 1000;
    controlLength_ = perMs > 1 ? perMs : 1;

    pitchModulation_.Reset();
    increments_ = PhaseIncrementTable::ForSampleRate(sampleRate);
    brass_.SetSampleRate(sampleRate);
    bowing_.SetSampleRate(sampleRate);
    // The band-passes would otherwise keep the centre computed for the old rate.
    bowing_.SetTone(bowingTone_);
    outputMix_.SetSampleRate(sampleRate);
    for (Voice& voice : voices_)
        voice.Clear(sampleRate, increments_.get());
}

int32_t Engine::NoteToPitch(int note) const {
    return tuning_ ? tuning_->NoteToPitch(note) : note * 128;
}

int Engine::VoiceActivity() const {
    int bits = 0;
    for (int v = 0; v < kTridentVoices; ++v)
        if (voices_[v].Active())
            bits |= 1 << (8 - v);
    if (voiceCount_ > 7) {
        for (int v = kTridentVoices; v < kMaxVoices; ++v) {
            if (voices_[v].Active()) {
                bits |= 1;
                break;
            }
        }
    }
    return bits;
}

void Engine::SetVoices(int index, double value) {
    for (Voice& voice : voices_)
        voice.SetParameter(index, value);
}

} // namespace halvane
