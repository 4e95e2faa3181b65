#pragma once
// A small VST 2.4 host of our own: loads a plug-in library through its exported
// entry point and drives one instance the way a host application does, while
// recording every call the plug-in makes back to the host. The integration
// tests and the command-line renderer both stand on it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/DynamicLibrary.h"
#include "plugin/vst2_abi.h"

namespace halvane {

namespace vsthost {

// One loaded plug-in library (shared by the instances made from it).
class PluginLibrary {
public:
    using EntryPoint = vst::AEffect* (*)(vst::HostCallback);

    // Opens the library and finds VSTPluginMain (or, failing that, main).
    static std::shared_ptr<PluginLibrary> Open(const std::string& path, std::string& error);
    ~PluginLibrary();

    EntryPoint Entry() const { return entry_; }
    EntryPoint MainEntry() const { return main_; }
    const std::string& Path() const { return path_; }
    void* Symbol(const char* name) const;

private:
    PluginLibrary() = default;
    DynamicLibrary library_;
    EntryPoint entry_ = nullptr;
    EntryPoint main_ = nullptr;
    std::string path_;
};

// A short MIDI message at a sample offset of the next block.
struct MidiMessage {
    int32_t offset = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

// A VstEvents list of any length (the record ends in a variable-length array of
// event pointers, so it is laid out in raw storage).
class EventList {
public:
    void Add(vst::VstEvent* event) { events_.push_back(event); }
    template <typename T> void Add(T* event) { Add(reinterpret_cast<vst::VstEvent*>(event)); }
    void SetCount(int count) { count_ = count; } // to lie about the count (-1: the real one)
    vst::VstEvents* Get();

private:
    std::vector<vst::VstEvent*> events_;
    std::vector<unsigned char> storage_;
    int count_ = -1;
};

// One call the plug-in made to the host.
struct HostCall {
    int32_t opcode = 0;
    int32_t index = 0;
    intptr_t value = 0;
    float opt = 0.0f;
    bool nullEffect = false;
    std::vector<MidiMessage> midi; // for audioMasterProcessEvents: the MIDI events sent
    int sysexEvents = 0;
};

// What the host says about itself when the plug-in asks.
struct HostIdentity {
    std::string product = "Halvane Test Host";
    std::string vendor = "Kelpmoor Music";
    intptr_t vendorVersion = 10000;
    bool answerZero = false; // a host that answers 0 to everything
};

class Host {
public:
    enum class Precision { kSingleReplacing, kSingleAccumulating, kDouble };

    // Creates one instance through the library's entry point (VSTPluginMain, or
    // main when useMain is set). Null with an error text when that fails.
    static std::unique_ptr<Host> Create(std::shared_ptr<PluginLibrary> library, std::string& error,
                                        HostIdentity identity = {}, bool useMain = false);
    ~Host(); // closes the instance unless Abandon() was called

    vst::AEffect* Effect() const { return effect_; }

    // Raw access.
    intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    void SetParameter(int index, float value);
    float GetParameter(int index);

    // The usual start-up of a host: open, sample rate, block size, resume.
    void Start(double sampleRate, int blockSize);
    void Suspend() { Dispatch(vst::effMainsChanged, 0, 0); }
    void Resume() { Dispatch(vst::effMainsChanged, 0, 1); }
    void Close();   // effClose; the instance is gone afterwards
    void Abandon(); // forget the instance without closing it (a scan that never closes)

    // Texts.
    std::string EffectName();
    std::string VendorString();
    std::string ProductString();
    std::string ParamName(int index);
    std::string ParamLabel(int index);
    std::string ParamDisplay(int index);
    std::string ProgramName();
    std::string ProgramNameIndexed(int index);
    std::string OutputLabel(int index);
    int NumParams() const { return effect_ ? effect_->numParams : 0; }
    int NumPrograms() const { return effect_ ? effect_->numPrograms : 0; }
    int NumOutputs() const { return effect_ ? effect_->numOutputs : 0; }
    int NumInputs() const { return effect_ ? effect_->numInputs : 0; }
    // Index of the parameter the plug-in calls name, or -1.
    int FindParam(const std::string& name);
    // Index of the program named name, or -1.
    int FindProgram(const std::string& name);
    // Sets a parameter from text as a host's text entry does (effString2Parameter).
    bool SetParamFromText(int index, const std::string& text);

    // Chunks: bank (isBank) or program; empty when the plug-in gives none.
    std::vector<uint8_t> GetChunk(bool isBank);
    bool SetChunk(const std::vector<uint8_t>& data, bool isBank);

    // MIDI for the next block; sends effProcessEvents at once.
    void SendMidi(const std::vector<MidiMessage>& messages);
    void SendEvents(vst::VstEvents* events) { Dispatch(vst::effProcessEvents, 0, 0, events); }

    // Renders frames into the output buffers (one per output channel). With
    // kSingleAccumulating the buffers keep what they held and the plug-in adds.
    void Process(int frames, Precision precision = Precision::kSingleReplacing);
    const std::vector<std::vector<float>>& Outputs() const { return outputs_; }
    const std::vector<std::vector<double>>& OutputsDouble() const { return outputsDouble_; }
    std::vector<std::vector<float>>& MutableOutputs() { return outputs_; }

    // Calls the plug-in made to the host, oldest first.
    const std::vector<HostCall>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    int CountCalls(int32_t opcode) const;

    // The time info the host answers audioMasterGetTime with.
    vst::VstTimeInfo& TimeInfo() { return timeInfo_; }
    HostIdentity& Identity() { return identity_; }
    int ProcessLevel = vst::kVstProcessLevelRealtime;

private:
    Host() = default;
    static vst::VstIntPtr VSTCALL Callback(vst::AEffect* effect, vst::VstInt32 opcode,
                                           vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                                           float opt);
    vst::VstIntPtr Answer(vst::AEffect* effect, vst::VstInt32 opcode, vst::VstInt32 index,
                          vst::VstIntPtr value, void* ptr, float opt);
    void EnsureBuffers(int frames);

    std::shared_ptr<PluginLibrary> library_;
    vst::AEffect* effect_ = nullptr;
    HostIdentity identity_;
    std::vector<HostCall> calls_;
    std::vector<std::vector<float>> outputs_;
    std::vector<std::vector<double>> outputsDouble_;
    std::vector<std::vector<float>> inputs_;
    std::vector<std::vector<double>> inputsDouble_;
    double sampleRate_ = 44100.0;
    int blockSize_ = 1024;
    vst::VstTimeInfo timeInfo_{};
};

} // namespace vsthost

} // namespace halvane
