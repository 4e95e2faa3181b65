#pragma once
// The maker's instrument base: MIDI intake and the MIDI queue, the per-user
// settings, MIDI learn and the program commands, shared by its instruments.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "plugin/IPlugVST.h"
#include "plugin/MidiQueue.h"

class IGraphics;
class TuningClient;

class Synth : public IPlugVST {
public:
    static constexpr int kControllers = 120; // controller numbers 0..119 can be mapped

    Synth(vst::HostCallback host, int nParams, const char* channelIOStr, int nPrograms,
          const char* effectName, const char* productName, const char* vendorName,
          int32_t uniqueId, int32_t version);
    ~Synth() override;

    // Further virtual operations, after the frame's.
    virtual void AllVoicesOff() {}            // 43
    virtual void InitParamTable() {}          // 44
    virtual void SelectProgram(int index);    // 45
    virtual void InitProgram();               // 46
    virtual void PasteProgram();              // 47

    void ResetEngine() override;
    void Activate(bool on) override;
    void HandleMidiMessage(const MidiEvent& event) override;

    MidiQueue& Midi() { return midiQueue_; }
    TuningClient* Tuning() { return tuning_.get(); }
    int SamplesPerMs() const { return samplesPerMs_; }

    bool MidiThru() const { return midiThru_; }
    void SetMidiThru(bool on) { midiThru_ = on; }
    bool IgnoreProgramChange() const { return ignoreProgramChange_; }
    void SetIgnoreProgramChange(bool on) { ignoreProgramChange_ = on; }

    // MIDI learn.
    const std::array<int32_t, kControllers>& ControllerMap() const { return controllerMap_; }
    void SetControllerMapping(int controller, int32_t param);
    bool LearnActive() const { return learnActive_; }
    // The editor's learn switch: right button unlearns; value > 0 arms learning.
    void LearnSwitchClicked(double value, bool rightButton);
    void ApplyLearn();
    // A mapped controller reaching its time in the render loop.
    void ApplyController(int controller, int value);

    // Settings file.
    enum class ConfigStatus { kOk, kFileMissing };
    ConfigStatus ReadConfiguration();
    void WriteConfiguration(bool midiGlobalsOnly);

    // The startup bank (or the built-in bank) at the end of construction.
    void LoadStartupBank();

    // Program commands.
    void CopyProgram();
    bool CopyBufferEmpty() const { return copyBuffer_.Empty(); }

protected:
    // Starts learning for parameter changes; the instrument calls this first
    // thing in its parameter-change handler.
    void LearnHook(int paramIndex);
    // Learning ended: the editor turns its learn switch off (as a value from the
    // instrument, so nothing reaches the host).
    virtual void LearnSwitchOff() {}

    MidiQueue midiQueue_;
    std::unique_ptr<TuningClient> tuning_;

    bool midiThru_ = false;
    bool ignoreProgramChange_ = false;
    std::array<int32_t, kControllers> controllerMap_;
    int samplesPerMs_ = 0;

    bool learnActive_ = false;
    bool unlearnMode_ = false;
    int learnedController_ = -1;
    int learnedParam_ = -1;

    ChunkBuffer copyBuffer_;
    int copySource_ = -1;
};
