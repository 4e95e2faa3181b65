#pragma once
// The VST 2.4 binding: the effect record handed to the host, the dispatcher,
// the audio and parameter callbacks, and the queries we send to the host.

#include <cstdint>

#include "plugin/IPlugBase.h"
#include "plugin/vst2_abi.h"

namespace halvane {

class IPlugVST : public IPlugBase {
public:
    IPlugVST(vst::HostCallback host, int nParams, const char* channelIOStr, int nPrograms,
             const char* effectName, const char* productName, const char* vendorName,
             int32_t uniqueId, int32_t version, bool isInstrument, bool takesMidi,
             bool takesChunks);
    ~IPlugVST() override;

    vst::AEffect* GetAEffect() { return &effect_; }
    static IPlugVST* FromEffect(vst::AEffect* effect);

    // Host queries.
    void BeginParamGesture(int index) override;
    void AutomateParam(int index, double normalized) override;
    void EndParamGesture(int index) override;
    void ProgramsChanged() override;
    bool IsRenderingOffline() override;
    int HostSamplePosition() override;
    double HostTempo() override;
    void HostTimeSignature(int* numerator, int* denominator) override;
    void HostTime(HostTimeInfo* info) override;
    int HostId() override;
    void EditorResized() override;
    void HostOpened() override;
    void AttachEditor(IGraphics* editor) override;
    void SetLatency(int frames) override;
    bool SendMidiEvent(const MidiEvent& event) override;
    bool SendSysEx(const SysExEvent& event) override;

    // True when the host's vendor is one that must always receive program
    // chunks ("native instruments", "juce vst host"); asked once and cached.
    bool HostVendorRequiresProgramChunks();
    uint32_t HostExtensions() const { return hostExtensions_; }

    // The entry points of the effect record.
    static vst::VstIntPtr VSTCALL VSTDispatcher(vst::AEffect* effect, vst::VstInt32 opcode,
                                                vst::VstInt32 index, vst::VstIntPtr value,
                                                void* ptr, float opt);
    static void VSTCALL VSTProcess(vst::AEffect* effect, float** inputs, float** outputs,
                                   vst::VstInt32 frames);
    static void VSTCALL VSTProcessReplacing(vst::AEffect* effect, float** inputs, float** outputs,
                                            vst::VstInt32 frames);
    static void VSTCALL VSTProcessDoubleReplacing(vst::AEffect* effect, double** inputs,
                                                  double** outputs, vst::VstInt32 frames);
    static void VSTCALL VSTSetParameter(vst::AEffect* effect, vst::VstInt32 index, float value);
    static float VSTCALL VSTGetParameter(vst::AEffect* effect, vst::VstInt32 index);

protected:
    vst::VstIntPtr CallHost(vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                            void* ptr = nullptr, float opt = 0.0f);

private:
    vst::VstIntPtr Dispatch(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value,
                            void* ptr, float opt);
    vst::VstIntPtr GetChunk(void** data, bool isBank);
    vst::VstIntPtr SetChunk(const void* data, vst::VstIntPtr size, bool isBank);
    vst::VstIntPtr String2Parameter(int index, const char* text);
    vst::VstIntPtr CanDo(const char* text);
    bool GetPinProperties(bool output, int index, vst::VstPinProperties* pin) const;
    void ProcessEvents(const vst::VstEvents* events);
    void SetSpeakerArrangement(const vst::VstSpeakerArrangement* arrangement, bool output);

    enum class Accumulate { kReplace, kAdd };
    void ProcessSingle(float** inputs, float** outputs, int frames, Accumulate mode);
    void ProcessDouble(double** inputs, double** outputs, int frames);

    vst::AEffect effect_{};
    vst::HostCallback host_;
    vst::ERect editRect_{};
    vst::VstSpeakerArrangement inputArrangement_{};
    vst::VstSpeakerArrangement outputArrangement_{};
    ChunkBuffer programChunk_;
    ChunkBuffer bankChunk_;
    bool vendorChecked_ = false;
    bool vendorRequiresProgramChunks_ = false;
    uint32_t hostExtensions_ = 0;
    bool hostOpened_ = false;
};

} // namespace halvane
