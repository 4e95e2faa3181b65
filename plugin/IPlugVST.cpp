#include "plugin/IPlugVST.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "graphics/IGraphics.h"
#include "platform/Text.h"

namespace halvane {

using namespace vst;

IPlugVST::IPlugVST(HostCallback host, int nParams, const char* channelIOStr, int nPrograms,
                   const char* effectName, const char* productName, const char* vendorName,
                   int32_t uniqueId, int32_t version, bool isInstrument, bool takesMidi,
                   bool takesChunks)
    : IPlugBase(nParams, channelIOStr, nPrograms, effectName, productName, vendorName, uniqueId,
                version, isInstrument, takesMidi, takesChunks),
      host_(host) {
    effect_.magic = kEffectMagic;
    effect_.dispatcher = VSTDispatcher;
    effect_.process = VSTProcess;
    effect_.setParameter = VSTSetParameter;
    effect_.getParameter = VSTGetParameter;
    effect_.processReplacing = VSTProcessReplacing;
    effect_.processDoubleReplacing = VSTProcessDoubleReplacing;
    effect_.numPrograms = nPrograms;
    effect_.numParams = nParams;
    effect_.numInputs = NInChannels();
    effect_.numOutputs = NOutChannels();
    effect_.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing;
    if (takesChunks)
        effect_.flags |= effFlagsProgramChunks;
    if (LegalIO(1, -1))
        effect_.flags |= effFlagsCanMono;
    if (isInstrument)
        effect_.flags |= effFlagsIsSynth;
    effect_.initialDelay = Latency();
    effect_.ioRatio = 1.0f;
    effect_.object = this;
    effect_.uniqueID = uniqueId;
    effect_.version = DecimalVersion();

    auto arrangementType = [](int channels) {
        switch (channels) {
        case 0:
            return kSpeakerArrEmpty;
        case 1:
            return kSpeakerArrMono;
        case 2:
            return kSpeakerArrStereo;
        default:
            return kSpeakerArrUserDefined;
        }
    };
    inputArrangement_.type = arrangementType(NInChannels());
    inputArrangement_.numChannels = NInChannels();
    outputArrangement_.type = arrangementType(NOutChannels());
    outputArrangement_.numChannels = NOutChannels();

    for (Channel& c : inChannels_)
        c.connected = true;
    for (Channel& c : outChannels_)
        c.connected = true;
    SetBlockSize(1024);
}

IPlugVST::~IPlugVST() = default;

IPlugVST* IPlugVST::FromEffect(AEffect* effect) {
    return effect ? static_cast<IPlugVST*>(effect->object) : nullptr;
}

VstIntPtr IPlugVST::CallHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
    return host_ ? host_(&effect_, opcode, index, value, ptr, opt) : 0;
}

// ---------------------------------------------------------------------------
// Host queries

void IPlugVST::BeginParamGesture(int index) {
    CallHost(audioMasterBeginEdit, index);
}

void IPlugVST::AutomateParam(int index, double normalized) {
    CallHost(audioMasterAutomate, index, 0, nullptr, static_cast<float>(normalized));
}

void IPlugVST::EndParamGesture(int index) {
    CallHost(audioMasterEndEdit, index);
}

void IPlugVST::ProgramsChanged() {
    CallHost(audioMasterUpdateDisplay);
}

bool IPlugVST::IsRenderingOffline() {
    return CallHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

int IPlugVST::HostSamplePosition() {
    const auto* t = reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, 0));
    if (!t || !(t->samplePos >= 0.0))
        return 0;
    return static_cast<int>(std::min(std::floor(t->samplePos + 0.5), 2147483647.0));
}

double IPlugVST::HostTempo() {
    const auto* t =
        reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, kVstTempoValid));
    if (t && (t->flags & kVstTempoValid) && t->tempo >= 0.0)
        return t->tempo;
    return 0.0;
}

void IPlugVST::HostTimeSignature(int* numerator, int* denominator) {
    int num = 0, den = 0;
    const auto* t =
        reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, kVstTimeSigValid));
    if (t && (t->flags & kVstTimeSigValid) && t->timeSigNumerator >= 0 &&
        t->timeSigDenominator >= 0) {
        num = t->timeSigNumerator;
        den = t->timeSigDenominator;
    }
    if (numerator)
        *numerator = num;
    if (denominator)
        *denominator = den;
}

void IPlugVST::HostTime(HostTimeInfo* info) {
    constexpr VstInt32 wanted =
        kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
    const auto* t = reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, wanted));
    if (!info || !t || !(t->flags & wanted))
        return;
    info->samplePos = t->samplePos;
    if ((t->flags & kVstPpqPosValid) && t->ppqPos >= 0.0)
        info->ppqPos = t->ppqPos;
    if ((t->flags & kVstTempoValid) && t->tempo > 0.0)
        info->tempo = t->tempo;
    if ((t->flags & kVstBarsValid) && t->barStartPos >= 0.0)
        info->lastBar = t->barStartPos;
    if ((t->flags & kVstCyclePosValid) && t->cycleStartPos >= 0.0 && t->cycleEndPos >= 0.0) {
        info->cycleStart = t->cycleStartPos;
        info->cycleEnd = t->cycleEndPos;
    }
    if ((t->flags & kVstTimeSigValid) && t->timeSigNumerator > 0 && t->timeSigDenominator > 0) {
        info->numerator = t->timeSigNumerator;
        info->denominator = t->timeSigDenominator;
    }
    info->transportIsRunning = (t->flags & kVstTransportPlaying) != 0;
    info->transportLoopEnabled = (t->flags & kVstTransportCycleActive) != 0;
}

int IPlugVST::HostId() {
    if (hostId_ != -1)
        return hostId_;
    char product[256] = {};
    CallHost(audioMasterGetProductString, 0, 0, product);
    product[sizeof(product) - 1] = '\0';
    hostId_ = 0;
    if (product[0] == '\0')
        return hostId_;

    const VstIntPtr v = CallHost(audioMasterGetVendorVersion);
    if (v > 0 && v < 100000000) {
        const int decimal = static_cast<int>(v);
        hostVersion_ = (decimal / 10000) * 65536 + (decimal / 100 % 100) * 256 + decimal % 100;
    }
    for (char* p = product; *p; ++p)
        *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));

    static const struct {
        const char* text;
        int id;
    } kHosts[] = {
        {"cubase", 3},      {"reaper", 1},      {"nuendo", 4},     {"cakewalk", 5},
        {"samplitude", 8},  {"fruity", 7},      {"live", 9},       {"orion", 18},
        {"renoise", 29},    {"melodyne", 12},   {"vstmanlib", 13}, {"aulab", 14},
        {"garageband", 22}, {"forte", 15},      {"chainer", 16},   {"audition", 17},
        {"ardour", 28},     {"standalone", 24}, {"sawstudio", 20}, {"logic", 21},
        {"digital", 23},    {"audiomulch", 25}, {"presonus", 26},  {"vst3plugintesthost", 27},
        {"protools", 2},    {"openmpt", 30},
    };
    for (const auto& host : kHosts) {
        if (std::strstr(product, host.text)) {
            hostId_ = host.id;
            break;
        }
    }
    return hostId_;
}

bool IPlugVST::HostVendorRequiresProgramChunks() {
    if (vendorChecked_)
        return vendorRequiresProgramChunks_;
    char vendor[256] = {};
    CallHost(audioMasterGetVendorString, 0, 0, vendor);
    vendor[sizeof(vendor) - 1] = '\0';
    for (char* p = vendor; *p; ++p)
        *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    vendorRequiresProgramChunks_ =
        std::strcmp(vendor, "native instruments") == 0 || std::strcmp(vendor, "juce vst host") == 0;
    vendorChecked_ = true;
    return vendorRequiresProgramChunks_;
}

void IPlugVST::EditorResized() {
    if (editor_) {
        editRect_.bottom = static_cast<std::int16_t>(editor_->Height());
        editRect_.right = static_cast<std::int16_t>(editor_->Width());
        // The host sizes its own window around ours.
        if (editor_->WindowIsOpen())
            CallHost(audioMasterSizeWindow, editor_->Width(), editor_->Height());
    }
    IPlugBase::EditorResized();
}

void IPlugVST::HostOpened() {
    if (hostOpened_)
        return;
    const int id = HostId();
    if (id == 15 || id == 17 || id == 18 || id == 20) {
        for (int i = 2; i < NInChannels(); ++i) {
            inChannels_[i].connected = false;
            *inChannels_[i].slot = inChannels_[i].scratch.data();
        }
        for (int i = 2; i < NOutChannels(); ++i)
            outChannels_[i].connected = true;
    }
    int nIn = 0, nOut = 0;
    for (const Channel& c : inChannels_)
        nIn += c.connected ? 1 : 0;
    for (const Channel& c : outChannels_)
        nOut += c.connected ? 1 : 0;
    effect_.numInputs = nIn;
    effect_.numOutputs = nOut;
    HostOpenedHook();
    hostOpened_ = true;
}

void IPlugVST::AttachEditor(IGraphics* editor) {
    ScopedLock hold(Lock());
    IPlugBase::AttachEditor(editor);
    if (!editor)
        return;
    effect_.flags |= effFlagsHasEditor;
    editRect_.top = 0;
    editRect_.left = 0;
    editRect_.bottom = static_cast<std::int16_t>(editor->Height());
    editRect_.right = static_cast<std::int16_t>(editor->Width());
}

void IPlugVST::SetLatency(int frames) {
    IPlugBase::SetLatency(frames);
    effect_.initialDelay = frames;
}

bool IPlugVST::SendMidiEvent(const MidiEvent& event) {
    VstMidiEvent midi{};
    midi.type = kVstMidiType;
    midi.byteSize = sizeof(VstMidiEvent);
    midi.deltaFrames = event.offset;
    midi.midiData[0] = static_cast<char>(event.status);
    midi.midiData[1] = static_cast<char>(event.data1);
    midi.midiData[2] = static_cast<char>(event.data2);
    VstEvents list{};
    list.numEvents = 1;
    list.events[0] = reinterpret_cast<VstEvent*>(&midi);
    return CallHost(audioMasterProcessEvents, 0, 0, &list) == 1;
}

bool IPlugVST::SendSysEx(const SysExEvent& event) {
    VstMidiSysexEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof(VstMidiSysexEvent);
    sysex.deltaFrames = event.offset;
    sysex.dumpBytes = event.size;
    sysex.sysexDump = reinterpret_cast<char*>(const_cast<uint8_t*>(event.data));
    VstEvents list{};
    list.numEvents = 1;
    list.events[0] = reinterpret_cast<VstEvent*>(&sysex);
    return CallHost(audioMasterProcessEvents, 0, 0, &list) == 1;
}

// ---------------------------------------------------------------------------
// Callbacks of the effect record

VstIntPtr IPlugVST::VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                  void* ptr, float opt) {
    IPlugVST* plug = FromEffect(effect);
    if (!plug)
        return 0;
    plug->Lock().Enter();
    if (opcode == effClose) {
        plug->Lock().Leave();
        delete plug;
        return 0;
    }
    VstIntPtr result = 0;
    try {
        result = plug->Dispatch(opcode, index, value, ptr, opt);
    } catch (...) {
        // Nothing may be thrown into a host; a failed request answers 0.
        result = 0;
    }
    plug->Lock().Leave();
    // The editor's window handles its events and timer outside the lock, as
    // window messages arrive outside the dispatcher elsewhere: a modal menu or
    // dialog must not hold up the audio thread.
    if (opcode == effEditIdle && plug->Editor()) {
        try {
            plug->Editor()->Idle();
        } catch (...) {
        }
    }
    return result;
}

void IPlugVST::VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    if (IPlugVST* plug = FromEffect(effect))
        plug->ProcessSingle(inputs, outputs, frames, Accumulate::kAdd);
}

void IPlugVST::VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs,
                                   VstInt32 frames) {
    if (IPlugVST* plug = FromEffect(effect))
        plug->ProcessSingle(inputs, outputs, frames, Accumulate::kReplace);
}

void IPlugVST::VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                         VstInt32 frames) {
    if (IPlugVST* plug = FromEffect(effect))
        plug->ProcessDouble(inputs, outputs, frames);
}

void IPlugVST::VSTSetParameter(AEffect* effect, VstInt32 index, float value) {
    IPlugVST* plug = FromEffect(effect);
    if (!plug)
        return;
    ScopedLock hold(plug->Lock());
    PlugParam* param = plug->GetParam(index);
    if (!param)
        return;
    if (plug->editor_)
        plug->editor_->SetParameterFromPlug(index, static_cast<double>(value), true);
    param->SetFromNormalized(static_cast<double>(value));
    plug->ParamChanged(index);
}

float IPlugVST::VSTGetParameter(AEffect* effect, VstInt32 index) {
    IPlugVST* plug = FromEffect(effect);
    if (!plug)
        return 0.0f;
    ScopedLock hold(plug->Lock());
    const PlugParam* param = plug->GetParam(index);
    return param ? static_cast<float>(param->GetNormalized()) : 0.0f;
}

} // namespace halvane
