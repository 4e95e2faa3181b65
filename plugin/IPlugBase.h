#pragma once
// The plug-in frame: parameters, programs, channels and state, independent of
// any particular host binding. The virtual operations are declared in the order
// derived classes rely on; the binding (IPlugVST) supplies the host queries.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Lock.h"
#include "plugin/ChunkBuffer.h"
#include "plugin/MidiQueue.h"
#include "plugin/PlugParam.h"

namespace halvane {

class IGraphics;

// What the host told us about its transport, in the units the host uses.
struct HostTimeInfo {
    double samplePos = 0.0;
    double ppqPos = 0.0;
    double tempo = 0.0;
    double lastBar = 0.0;
    double cycleStart = 0.0;
    double cycleEnd = 0.0;
    int numerator = 0;
    int denominator = 0;
    bool transportIsRunning = false;
    bool transportLoopEnabled = false;
};

class IPlugBase {
public:
    static constexpr int kMaxNameLength = 127;
    static constexpr int kMaxProgramNameLength = 255;
    static constexpr int32_t kChunkMagic = 0x70666674; // "tffp" read little-endian
    static constexpr int32_t kChunkVersion = 0x00010000;
    static constexpr int kMinScratchFrames = 64;
    static constexpr int kMaxScratchFrames = 16384;

    struct ChannelIO {
        int inputs;
        int outputs;
    };

    struct Channel {
        bool connected = true;
        double** slot = nullptr; // this channel's entry in the array RenderBlock gets
        std::vector<double> scratch;
        std::string label;
        float* hostOutput = nullptr; // the host's single-precision buffer this block
    };

    struct Program {
        bool initialised = false;
        std::string name = "empty";
        ChunkBuffer state;
    };

    IPlugBase(int nParams, const char* channelIOStr, int nPrograms, const char* effectName,
              const char* productName, const char* vendorName, int32_t uniqueId, int32_t version,
              bool isInstrument, bool takesMidi, bool takesChunks);

    // Virtual operations, in slot order.
    virtual ~IPlugBase();                                                    // 0
    virtual void ResetEngine() {}                                            // 1
    virtual void ParamChanged(int /*index*/) {}                              // 2
    virtual void RenderBlock(double** inputs, double** outputs, int frames); // 3
    virtual void EditorOpened() {}                                           // 4
    virtual void EditorClosed() {}                                           // 5
    virtual void Idle() {}                                                   // 6
    virtual void Activate(bool /*on*/) {}                                    // 7
    virtual void HandleMidiMessage(const MidiEvent& event);                  // 8
    virtual void HandleSysEx(const SysExEvent& /*event*/) {}                 // 9
    virtual bool MidiKeyName(int key, char* text, std::size_t size);         // 10
    virtual bool WriteState(ChunkBuffer& chunk);                             // 11
    virtual int ReadState(const ChunkBuffer& chunk, int pos);                // 12
    virtual bool StateMatches(const double* values, int count) const;        // 13
    virtual void EditorResizedHook(IGraphics* /*editor*/) {}                 // 14
    virtual bool Query15() const { return false; }                           // 15
    virtual void HostOpenedHook() {}                                         // 16
    virtual void Hook17() {}                                                 // 17
    virtual void SetParamFromEditor(int index, double normalized);           // 18
    virtual void BeginParamGesture(int /*index*/) {}                         // 19
    virtual void AutomateParam(int /*index*/, double /*normalized*/) {}      // 20
    virtual void EndParamGesture(int /*index*/) {}                           // 21
    virtual void ProgramsChanged() {}                                        // 22
    virtual bool IsRenderingOffline() { return false; }                      // 23
    virtual int HostSamplePosition() { return 0; }                           // 24
    virtual double HostTempo() { return 0.0; }                               // 25
    virtual void HostTimeSignature(int* numerator, int* denominator);        // 26
    virtual void HostTime(HostTimeInfo* /*info*/) {}                         // 27
    virtual int HostId() { return hostId_; }                                 // 28
    virtual int Query29() const { return 0; }                                // 29
    virtual void EditorResized();                                            // 30
    virtual void HostOpened() {}                                             // 31
    virtual void AttachEditor(IGraphics* editor);                            // 32
    virtual void SetLatency(int frames) { latency_ = frames; }               // 33
    virtual bool SendMidiEvent(const MidiEvent& /*event*/) { return false; } // 34
    virtual bool SendSysEx(const SysExEvent& /*event*/) { return false; }    // 35
    virtual void RefreshEditorParams();                                      // 36
    virtual int UnserializePresets(const ChunkBuffer& chunk, int pos);       // 37
    virtual void ModifyCurrentPreset(const char* name);                      // 38
    virtual void Hook39() {}                                                 // 39
    virtual void ProgramSelected() {}                                        // 40
    virtual void SetSampleRate(double rate) { sampleRate_ = rate; }          // 41
    virtual void SetBlockSize(int frames);                                   // 42

    // Parameters.
    int NParams() const { return static_cast<int>(params_.size()); }
    bool IsValidParam(int index) const { return index >= 0 && index < NParams(); }
    PlugParam* GetParam(int index) { return IsValidParam(index) ? &params_[index] : nullptr; }
    const PlugParam* GetParam(int index) const {
        return IsValidParam(index) ? &params_[index] : nullptr;
    }

    // State and programs.
    bool SerializeParams(ChunkBuffer& chunk);
    int UnserializeParams(const ChunkBuffer& chunk, int pos);
    bool SerializePresets(ChunkBuffer& chunk);
    bool RestoreProgram(int index);
    void FillEmptyPrograms();
    const char* ProgramName(int index) const;
    int NPrograms() const { return static_cast<int>(programs_.size()); }
    bool IsValidProgram(int index) const { return index >= 0 && index < NPrograms(); }
    int CurrentProgram() const { return currentProgram_; }
    Program* GetProgram(int index) { return IsValidProgram(index) ? &programs_[index] : nullptr; }
    const Program* GetProgram(int index) const {
        return IsValidProgram(index) ? &programs_[index] : nullptr;
    }
    // Program (.fxp) and bank (.fxb) files. They take no lock: callers hold it.
    bool SaveProgramFile(const std::string& path);
    bool SaveBankFile(const std::string& path);
    bool LoadProgramFile(const std::string& path);
    bool LoadBankFile(const std::string& path);
    static void WriteChunkHeader(ChunkBuffer& chunk);
    // Returns the position after the header (0 without one); version 0 without one.
    static int ReadChunkHeader(const ChunkBuffer& chunk, int32_t* version);

    // Channels.
    int NInChannels() const { return static_cast<int>(inChannels_.size()); }
    int NOutChannels() const { return static_cast<int>(outChannels_.size()); }
    const char* InputLabel(int index) const;
    const char* OutputLabel(int index) const;
    void SetInputLabel(int index, const char* label);
    void SetOutputLabel(int index, const char* label);
    bool IsInChannelConnected(int index) const;
    bool IsOutChannelConnected(int index) const;
    // True when some channel configuration matches; -1 matches any count.
    bool LegalIO(int nIn, int nOut) const;
    const std::vector<ChannelIO>& ChannelConfigurations() const { return channelIO_; }

    RecursiveLock& Lock() { return lock_; }
    IGraphics* Editor() { return editor_; }
    const char* EffectName() const { return effectName_; }
    const char* ProductName() const { return productName_; }
    const char* VendorName() const { return vendorName_; }
    int32_t UniqueId() const { return uniqueId_; }
    int32_t Version() const { return version_; }
    // major * 10000 + minor * 100 + third component: 1.1.4 -> 10104.
    int32_t DecimalVersion() const;
    double SampleRate() const { return sampleRate_; }
    int BlockSize() const { return blockSize_; }
    int Latency() const { return latency_; }
    int TailSize() const { return tailSize_; }
    int HostVersion() const { return hostVersion_; }
    bool IsInstrument() const { return isInstrument_; }
    bool TakesMidi() const { return takesMidi_; }
    bool TakesChunks() const { return takesChunks_; }

protected:
    // Frames the scratch buffers hold; the audio callbacks render in pieces of
    // at most this many so no host can make them write past the end.
    int ScratchFrames() const { return scratchFrames_; }

    std::vector<Channel> inChannels_;
    std::vector<Channel> outChannels_;
    std::vector<double*> inPtrs_;
    std::vector<double*> outPtrs_;

    std::vector<PlugParam> params_;
    std::vector<Program> programs_;
    int currentProgram_ = 0;

    int hostId_ = -1;
    int hostVersion_ = 0;
    IGraphics* editor_ = nullptr; // owned by the instrument layer that creates it

private:
    void ParseChannelIO(const char* text);

    RecursiveLock lock_;
    char effectName_[kMaxNameLength + 1] = {};
    char productName_[kMaxNameLength + 1] = {};
    char vendorName_[kMaxNameLength + 1] = {};
    int32_t uniqueId_;
    int32_t version_;
    bool takesChunks_;
    bool isInstrument_;
    bool takesMidi_;
    double sampleRate_ = 44100.0;
    int blockSize_ = 0;
    int scratchFrames_ = 0;
    int latency_ = 0;
    int tailSize_ = 0;
    std::vector<ChannelIO> channelIO_;
};

} // namespace halvane
