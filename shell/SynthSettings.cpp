// Settings file of the instrument base.
#include "shell/Synth.h"

Synth::ConfigStatus Synth::ReadConfiguration() {
    return ConfigStatus::kFileMissing;
}

void Synth::WriteConfiguration(bool /*midiGlobalsOnly*/) {}

void Synth::LoadStartupBank() {}
