#pragma once
// The instrument: three sections on one keyboard, eight output channels.

#include "editor/EditorLayout.h"
#include "engine/Engine.h"
#include "shell/Synth.h"

namespace halvane {

class Halvane : public Synth {
public:
    static constexpr const char* kStateKey = "Halvane_1.1.3";
    static constexpr int kStateKeyLength = 13;
    static constexpr int kNumPrograms = 64;
    static constexpr int kNumOutputs = 8;

    explicit Halvane(vst::HostCallback host);
    ~Halvane() override;

    void ResetEngine() override;
    void ParamChanged(int index) override;
    void RenderBlock(double** inputs, double** outputs, int frames) override;
    void AllVoicesOff() override;
    void InitParamTable() override;
    bool WriteState(ChunkBuffer& chunk) override;
    int ReadState(const ChunkBuffer& chunk, int pos) override;

    // The polyphony and detune indicators.
    void EditorRefresh(bool trident, bool brassDetune, bool stringsDetune);

    void RefreshEditorParams() override;
    void ProgramSelected() override;
    // The host's idle calls feed the voice schedule display, which the option
    // menu shows and hides.
    void Idle() override;
    bool VoiceScheduleShown() const override;
    void ShowVoiceSchedule(bool show) override;

    const Engine& GetEngine() const { return engine_; }

protected:
    void LearnSwitchOff() override;

private:
    // The indicators follow the engine's flags when they were set.
    void RefreshIndicators();

    Engine engine_;
    EditorControls editorControls_;
};

} // namespace halvane
