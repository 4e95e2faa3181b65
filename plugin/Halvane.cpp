#include "plugin/Halvane.h"

#include <cstring>

#include "editor/IBitmapControl.h"
#include "editor/IZuPresetMenu.h"
#include "editor/IZuSwitchMidiLearn.h"
#include "editor/IZuVoiceDebugger.h"
#include "graphics/IGraphics.h"
#include "sound/ParamIds.h"
#include "sound/ParamTable.h"
#include "sound/TuningClient.h"

namespace halvane {

namespace {

constexpr int32_t kUniqueId = vst::FourCC('H', 'a', 'l', '3');
constexpr int32_t kVersion = 0x00010104; // 1.1.4

const char* const kOutputLabels[Halvane::kNumOutputs] = {
    "Total L", "Total R", "Synth L", "Synth R", "Brass L", "Brass R", "Strings L", "Strings R"};

} // namespace

Halvane::Halvane(vst::HostCallback host)
    : Synth(host, kNumParams, "0-2 0-4 0-6 0-8", kNumPrograms, "Halvane", "", "Kelpmoor Music",
            kUniqueId, kVersion) {
    engine_.SetTuning(Tuning());
    engine_.SetControllers(&Controllers());
    for (int i = 0; i < kNumOutputs; ++i)
        SetOutputLabel(i, kOutputLabels[i]);
    ReadConfiguration();
    InitParamTable();
    // The map read above links parameters whose ranges were only just set.
    SyncControllerTable();
    if (IGraphics* graphics = Graphics()) {
        editorControls_ = BuildEditorLayout(*graphics, *this);
        RefreshEditorParams();
        AttachEditor(graphics);
    }
    LoadStartupBank();
}

Halvane::~Halvane() = default;

void Halvane::ResetEngine() {
    ScopedLock hold(Lock());
    Synth::ResetEngine();
    engine_.Reset(SampleRate());
}

void Halvane::ParamChanged(int index) {
    ScopedLock hold(Lock());
    LearnHook(index);
    if (const PlugParam* param = GetParam(index))
        engine_.SetParameter(index, param->Value());
    RefreshIndicators();
}

void Halvane::RenderBlock(double** /*inputs*/, double** outputs, int frames) {
    ScopedLock hold(Lock());
    MidiQueue& midi = Midi();
    const int due = frames > 0 ? midi.CountBefore(frames) : 0;
    const int taken = engine_.Render(midi.Data(), due, outputs, frames);
    if (frames > 0)
        midi.Consume(taken, frames);
    // What learned controllers changed reaches the host and the editor now that
    // the block is done.
    for (int i = 0; i < engine_.ControlledChangeCount(); ++i) {
        const ControlledChange& change = engine_.ControlledChangeAt(i);
        ReportControlledParam(change.param, change.value / 127.0);
    }
    RefreshIndicators();
}

void Halvane::RefreshIndicators() {
    if (engine_.TakeIndicatorChange())
        EditorRefresh(engine_.Trident(), engine_.BrassDetuned(), engine_.StringsDetuned());
}

void Halvane::AllVoicesOff() {
    ScopedLock hold(Lock());
    engine_.AllVoicesOff();
}

void Halvane::InitParamTable() {
    InitHalvaneParams(params_.data(), NParams());
}

bool Halvane::WriteState(ChunkBuffer& chunk) {
    chunk.PutBytes(kStateKey, kStateKeyLength);
    chunk.Put(static_cast<int32_t>(CurrentProgram()));
    chunk.PutString(IsValidProgram(CurrentProgram()) ? ProgramName(CurrentProgram()) : "");
    for (const PlugParam& p : params_)
        chunk.Put(p.Value());
    return !chunk.Empty();
}

int Halvane::ReadState(const ChunkBuffer& chunk, int pos) {
    char key[kStateKeyLength];
    if (chunk.GetBytes(key, kStateKeyLength, pos) >= 0 &&
        std::memcmp(key, kStateKey, kStateKeyLength) == 0) {
        // The stored program index and name only describe where the state came from.
        int32_t index = 0;
        pos = chunk.Get(&index, pos + kStateKeyLength);
        std::string name;
        pos = chunk.GetString(name, pos);
    }
    return UnserializeParams(chunk, pos);
}

void Halvane::EditorRefresh(bool trident, bool brassDetune, bool stringsDetune) {
    if (editorControls_.polyphony)
        editorControls_.polyphony->TakeValueFromInstrument(trident ? 0.0 : 1.0);
    if (editorControls_.brassDetune && editorControls_.brassDetune->IsHidden() == brassDetune)
        editorControls_.brassDetune->SetHidden(!brassDetune);
    if (editorControls_.stringsDetune && editorControls_.stringsDetune->IsHidden() == stringsDetune)
        editorControls_.stringsDetune->SetHidden(!stringsDetune);
}

void Halvane::RefreshEditorParams() {
    ScopedLock hold(Lock());
    Synth::RefreshEditorParams();
    if (!Editor())
        return;
    if (Editor()->WindowIsOpen())
        EditorRefresh(engine_.Trident(), engine_.BrassDetuned(), engine_.StringsDetuned());
    if (editorControls_.programDisplay)
        editorControls_.programDisplay->SetDirty();
}

void Halvane::ProgramSelected() {
    RefreshEditorParams();
}

void Halvane::Idle() {
    ScopedLock hold(Lock());
    IZuVoiceDebugger* schedule = editorControls_.voiceSchedule;
    if (schedule && Editor() && Editor()->WindowIsOpen() && !schedule->IsHidden())
        schedule->SetMask(engine_.VoiceActivity());
}

bool Halvane::VoiceScheduleShown() const {
    return editorControls_.voiceSchedule && !editorControls_.voiceSchedule->IsHidden();
}

void Halvane::ShowVoiceSchedule(bool show) {
    // Hiding keeps the last mask, shown again as it was.
    if (editorControls_.voiceSchedule)
        editorControls_.voiceSchedule->SetHidden(!show);
}

void Halvane::LearnSwitchOff() {
    if (editorControls_.learnSwitch)
        editorControls_.learnSwitch->TakeValueFromInstrument(0.0);
}

} // namespace halvane
