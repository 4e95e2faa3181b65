#pragma once
// VST 2.4 binary interface: the records, callbacks and numbers a host and a
// plug-in exchange, declared from the published layout. Only what the binding
// and our own test host use is named here; the static_asserts pin the sizes and
// offsets hosts rely on, for 64-bit and 32-bit builds alike.

#include <cstddef>
#include <cstdint>

namespace halvane {

#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALL __cdecl
#else
#define VSTCALL
#endif

namespace vst {

using VstInt32 = std::int32_t;
using VstIntPtr = std::intptr_t;

struct AEffect;

using HostCallback = VstIntPtr(VSTCALL*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                         VstIntPtr value, void* ptr, float opt);
using DispatcherProc = VstIntPtr(VSTCALL*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt);
using ProcessProc = void(VSTCALL*)(AEffect* effect, float** inputs, float** outputs,
                                   VstInt32 sampleFrames);
using ProcessDoubleProc = void(VSTCALL*)(AEffect* effect, double** inputs, double** outputs,
                                         VstInt32 sampleFrames);
using SetParameterProc = void(VSTCALL*)(AEffect* effect, VstInt32 index, float parameter);
using GetParameterProc = float(VSTCALL*)(AEffect* effect, VstInt32 index);

constexpr VstInt32 FourCC(char a, char b, char c, char d) {
    return static_cast<VstInt32>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                 (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                 (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                 static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr VstInt32 kEffectMagic = FourCC('V', 's', 't', 'P');

struct AEffect {
    VstInt32 magic;
    DispatcherProc dispatcher;
    ProcessProc process; // accumulating (deprecated in 2.4, still called by some hosts)
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 numInputs;
    VstInt32 numOutputs;
    VstInt32 flags;
    VstIntPtr resvd1;
    VstIntPtr resvd2;
    VstInt32 initialDelay;
    VstInt32 realQualities;
    VstInt32 offQualities;
    float ioRatio;
    void* object;
    void* user;
    VstInt32 uniqueID;
    VstInt32 version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

enum EffectFlags : VstInt32 {
    effFlagsHasEditor = 1 << 0,
    effFlagsCanMono = 1 << 3,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsCanDoubleReplacing = 1 << 12,
};

enum EffectOpcodes : VstInt32 {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetProgramNameIndexed = 29,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effIdle = 53,
    effGetParameterProperties = 56,
    effGetVstVersion = 58,
    effGetMidiKeyName = 66,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effGetSpeakerArrangement = 69,
    effStartProcess = 71,
    effStopProcess = 72,
    effSetProcessPrecision = 77,
};

enum HostOpcodes : VstInt32 {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterIOChanged = 13,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterCanDo = 37,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

enum ProcessLevels : VstInt32 {
    kVstProcessLevelUnknown = 0,
    kVstProcessLevelUser = 1,
    kVstProcessLevelRealtime = 2,
    kVstProcessLevelPrefetch = 3,
    kVstProcessLevelOffline = 4,
};

enum PlugCategory : VstInt32 {
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
};

// Published string limits (terminator included). Common hosts pass larger
// buffers, but some pass exactly these.
constexpr std::size_t kVstMaxProgNameLen = 24;
constexpr std::size_t kVstMaxParamStrLen = 8;
constexpr std::size_t kVstMaxVendorStrLen = 64;
constexpr std::size_t kVstMaxProductStrLen = 64;
constexpr std::size_t kVstMaxEffectNameLen = 32;

enum EventTypes : VstInt32 {
    kVstMidiType = 1,
    kVstSysExType = 6,
};

struct VstEvent {
    VstInt32 type;
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    char data[16];
};

struct VstEvents {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2]; // really numEvents entries
};

struct VstMidiEvent {
    VstInt32 type;
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 noteLength;
    VstInt32 noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

struct VstMidiSysexEvent {
    VstInt32 type;
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 dumpBytes;
    VstIntPtr resvd1;
    char* sysexDump;
    VstIntPtr resvd2;
};

enum TimeInfoFlags : VstInt32 {
    kVstTransportChanged = 1,
    kVstTransportPlaying = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstTransportRecording = 1 << 3,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
    kVstSmpteValid = 1 << 14,
    kVstClockValid = 1 << 15,
};

struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    VstInt32 timeSigNumerator;
    VstInt32 timeSigDenominator;
    VstInt32 smpteOffset;
    VstInt32 smpteFrameRate;
    VstInt32 samplesToNextClock;
    VstInt32 flags;
};

enum PinFlags : VstInt32 {
    kVstPinIsActive = 1 << 0,
    kVstPinIsStereo = 1 << 1,
    kVstPinUseSpeaker = 1 << 2,
};

struct VstPinProperties {
    char label[64];
    VstInt32 flags;
    VstInt32 arrangementType;
    char shortLabel[8];
    char future[48];
};

enum SpeakerArrangementType : VstInt32 {
    kSpeakerArrUserDefined = -2,
    kSpeakerArrEmpty = -1,
    kSpeakerArrMono = 0,
    kSpeakerArrStereo = 1,
};

struct VstSpeakerProperties {
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    VstInt32 type;
    char future[28];
};

struct VstSpeakerArrangement {
    VstInt32 type;
    VstInt32 numChannels;
    VstSpeakerProperties speakers[8];
};

struct MidiKeyName {
    VstInt32 thisProgramIndex;
    VstInt32 thisKeyNumber;
    char keyName[64];
    VstInt32 reserved;
    VstInt32 flags;
};

struct ERect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

// Layout checks against the published ABI.
static_assert(sizeof(VstMidiEvent) == 32, "VstMidiEvent is 32 bytes");
static_assert(sizeof(VstEvent) == 32, "VstEvent is 32 bytes");
static_assert(offsetof(VstMidiEvent, midiData) == 24, "MIDI bytes at offset 24");
static_assert(sizeof(VstPinProperties) == 128, "VstPinProperties is 128 bytes");
static_assert(offsetof(VstPinProperties, flags) == 64, "pin flags after the 64-byte label");
static_assert(offsetof(VstPinProperties, shortLabel) == 72, "short label at offset 72");
static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo is 88 bytes");
static_assert(sizeof(VstSpeakerProperties) == 112, "VstSpeakerProperties is 112 bytes");
static_assert(sizeof(VstSpeakerArrangement) == 8 + 8 * 112, "VstSpeakerArrangement layout");
static_assert(sizeof(ERect) == 8, "ERect is four 16-bit values");
static_assert(sizeof(MidiKeyName) == 80, "MidiKeyName is 80 bytes");
#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(sizeof(AEffect) == 192, "AEffect is 192 bytes on 64-bit");
static_assert(offsetof(AEffect, dispatcher) == 8, "dispatcher offset");
static_assert(offsetof(AEffect, numPrograms) == 40, "numPrograms offset");
static_assert(offsetof(AEffect, flags) == 56, "flags offset");
static_assert(offsetof(AEffect, resvd1) == 64, "resvd1 offset");
static_assert(offsetof(AEffect, initialDelay) == 80, "initialDelay offset");
static_assert(offsetof(AEffect, ioRatio) == 92, "ioRatio offset");
static_assert(offsetof(AEffect, object) == 96, "object offset");
static_assert(offsetof(AEffect, uniqueID) == 112, "uniqueID offset");
static_assert(offsetof(AEffect, processReplacing) == 120, "processReplacing offset");
static_assert(offsetof(AEffect, processDoubleReplacing) == 128, "processDoubleReplacing offset");
static_assert(sizeof(VstMidiSysexEvent) == 48, "VstMidiSysexEvent is 48 bytes on 64-bit");
static_assert(offsetof(VstEvents, events) == 16, "event pointers after the reserved word");
#elif UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(AEffect) == 144, "AEffect is 144 bytes on 32-bit");
static_assert(offsetof(AEffect, dispatcher) == 4, "dispatcher offset");
static_assert(offsetof(AEffect, numPrograms) == 20, "numPrograms offset");
static_assert(offsetof(AEffect, flags) == 36, "flags offset");
static_assert(offsetof(AEffect, initialDelay) == 48, "initialDelay offset");
static_assert(offsetof(AEffect, object) == 64, "object offset");
static_assert(offsetof(AEffect, uniqueID) == 72, "uniqueID offset");
static_assert(offsetof(AEffect, processReplacing) == 80, "processReplacing offset");
static_assert(sizeof(VstMidiSysexEvent) == 32, "VstMidiSysexEvent is 32 bytes on 32-bit");
static_assert(offsetof(VstEvents, events) == 8, "event pointers after the reserved word");
#endif

} // namespace vst

} // namespace halvane
