#include "BenchSetup.h"

#include <string>
#include <utility>

#include "plugin/PlugParam.h"
#include "sound/ParamIds.h"
#include "sound/ParamTable.h"

namespace halvane {

namespace bench {

namespace {

void ApplyLoad(Engine& e, Load load) {
    auto set = [&e](int index, double value) { e.SetParameter(index, value); };
    const bool synthe = load == Load::kSynthe || load == Load::kAll;
    const bool brass = load == Load::kBrass || load == Load::kAll;
    const bool strings = load == Load::kStrings || load == Load::kAll;
    set(ParamId::kOutputSynthe, synthe ? 1.0 : 0.0);
    set(ParamId::kOutputBrass, brass ? 1.0 : 0.0);
    set(ParamId::kOutputStrings, strings ? 1.0 : 0.0);
    if (synthe) {
        set(ParamId::kVco1Wave, 1.0);   // pulse
        set(ParamId::kVco2Octave, 2.0); // 8'
        set(ParamId::kVco2Detune, 0.1);
        set(ParamId::kVcfCutoff, 0.45);
        set(ParamId::kVcfResonance, 0.6);
        set(ParamId::kVcfEgIntensity, 4000.0);
        set(ParamId::kVcfDecay, 0.7); // a slow decay keeps the cutoff moving
        set(ParamId::kVcfSustain, 0.2);
    }
    if (brass) {
        set(ParamId::kBrass8, 1.0);
        set(ParamId::kDetuneBrass, 0.2);
        set(ParamId::kBrassEgIntensity, 3000.0);
        set(ParamId::kBrassDecay, 0.7);
        set(ParamId::kBrassSustain, 0.3);
        set(ParamId::kBrassResonance, 0.4);
    }
    if (strings) {
        set(ParamId::kStrings16, 1.0);
        set(ParamId::kStrings4, 1.0);
        set(ParamId::kDetuneStrings, -0.15);
        set(ParamId::kStringsAttack, 0.0);
        set(ParamId::kStringsVibrato, 0.0);
        set(ParamId::kStringsVibratoIntensity, 0.5);
        set(ParamId::kStringsEnsemble, 0.0);
        set(ParamId::kStereoEnsemble, 1.0);
        set(ParamId::kStringsBowing, 1.0);
        set(ParamId::kStringsEqHigh, 3.0);
        set(ParamId::kStringsEqLow, -3.0);
    }
    if (load == Load::kAll) {
        set(ParamId::kFlangerSynthe, 1.0);
        set(ParamId::kFlangerBrass, 1.0);
        set(ParamId::kFlangerStrings, 1.0);
        set(ParamId::kStereoFlanger, 1.0);
    }
}

} // namespace

VoicePath PathNamed(const char* name) {
    const std::string n = name ? name : "";
    if (n == "scalar")
        return VoicePath::kScalar;
    if (n == "sse2")
        return VoicePath::kSse2;
    if (n == "avx2")
        return VoicePath::kAvx2;
    return VoicePath::kAuto;
}

const char* PathName(VoicePath path) {
    switch (path) {
    case VoicePath::kScalar:
        return "scalar";
    case VoicePath::kSse2:
        return "sse2";
    case VoicePath::kAvx2:
        return "avx2";
    default:
        return "auto";
    }
}

Rig::Rig(Load load, int voices, bool trident, VoicePath path)
    : engine_(std::make_unique<Engine>()),
      buffer_(new double[static_cast<std::size_t>(Engine::kOutputs) * kBlock]) {
    for (int c = 0; c < Engine::kOutputs; ++c)
        out_[c] = buffer_.get() + c * kBlock;
    PlugParam params[kNumParams];
    InitHalvaneParams(params, kNumParams);
    engine_->SetVoicePath(path);
    engine_->Reset(kRate);
    for (int i = 0; i < kNumParams; ++i)
        engine_->SetParameter(i, params[i].Value());
    engine_->SetParameter(ParamId::kTridentMode, trident ? 1.0 : 0.0);
    ApplyLoad(*engine_, load);
    // Keys spread over five octaves.
    for (int k = 0; k < voices; ++k)
        engine_->NoteOn(36 + (k * 37) % 60, 100);
    RenderBlocks(kBlocksPerSecond / 4); // past every attack
}

void Rig::RenderBlocks(int blocks) {
    for (int b = 0; b < blocks; ++b)
        engine_->Render(nullptr, 0, out_, kBlock);
}

} // namespace bench

} // namespace halvane
