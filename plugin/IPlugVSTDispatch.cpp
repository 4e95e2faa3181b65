// The dispatcher: every host request other than audio and parameter values.

#include <algorithm>
#include <cstring>
#include <limits>

#include "graphics/IGraphics.h"
#include "platform/Text.h"
#include "plugin/IPlugVST.h"

namespace halvane {

using namespace vst;

namespace {

constexpr std::size_t kParamTextBytes = 32;
constexpr std::size_t kProgramNameBytes = 25;
constexpr std::size_t kEffectNameBytes = 32;
constexpr std::size_t kVendorTextBytes = 64;
constexpr std::size_t kHostTextLimit = 1024; // longest text we read from a host pointer

constexpr VstIntPtr kVendorSpecificReply = 0xBEEF;
constexpr VstIntPtr kCockosReply = static_cast<VstIntPtr>(0xBEEF0000u);
constexpr VstIntPtr kIdentifyReply = FourCC('N', 'v', 'E', 'f');
constexpr VstIntPtr kVstVersion = 2400;

bool FitsInt(VstIntPtr value) {
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

// Copies a host text into our own buffer, reading no further than the limit.
std::string HostText(const void* ptr) {
    const char* text = static_cast<const char*>(ptr);
    std::size_t n = 0;
    while (n < kHostTextLimit && text[n] != '\0')
        ++n;
    return std::string(text, n);
}

// An event before the block start plays at its start; one absurdly far ahead
// is held to about twenty seconds so it cannot wait for hours.
VstInt32 ClampOffset(VstInt32 offset) {
    return std::clamp<VstInt32>(offset, 0, 1 << 20);
}

} // namespace

VstIntPtr IPlugVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
    switch (opcode) {
    case effOpen:
        HostOpened();
        for (int i = 0; i < NParams(); ++i)
            ParamChanged(i);
        return 0;

    case effSetProgram:
        ModifyCurrentPreset(nullptr);
        if (FitsInt(value))
            RestoreProgram(static_cast<int>(value));
        return 0;

    case effGetProgram:
        return CurrentProgram();

    case effSetProgramName:
        if (ptr) {
            const std::string name = HostText(ptr);
            ModifyCurrentPreset(name.c_str());
            ProgramSelected();
        }
        return 0;

    case effGetProgramName:
        if (ptr)
            CopyText(static_cast<char*>(ptr), kProgramNameBytes, ProgramName(CurrentProgram()));
        return 0;

    case effGetParamLabel:
        if (ptr && IsValidParam(index))
            CopyText(static_cast<char*>(ptr), kParamTextBytes, GetParam(index)->DisplayLabel());
        return 0;

    case effGetParamDisplay:
        if (ptr && IsValidParam(index)) {
            const PlugParam* p = GetParam(index);
            p->FormatDisplay(p->Value(), false, static_cast<char*>(ptr), kParamTextBytes, true);
        }
        return 0;

    case effGetParamName:
        if (ptr && IsValidParam(index))
            CopyText(static_cast<char*>(ptr), kParamTextBytes, GetParam(index)->Name());
        return 0;

    case effSetSampleRate:
        SetSampleRate(static_cast<double>(opt));
        ResetEngine();
        return 0;

    case effSetBlockSize:
        SetBlockSize(
            static_cast<int>(std::clamp<VstIntPtr>(value, 0, std::numeric_limits<int>::max())));
        ResetEngine();
        return 0;

    case effMainsChanged:
        if (value != 0) {
            Activate(true);
        } else {
            Activate(false);
            ResetEngine();
        }
        return 0;

    case effEditGetRect:
        if (ptr && editor_) {
            *static_cast<ERect**>(ptr) = &editRect_;
            return 1;
        }
        return 0;

    case effEditOpen:
        if (editor_ && editor_->OpenWindow(ptr)) {
            // Hosts that size their window from the request rather than effEditGetRect.
            CallHost(audioMasterSizeWindow, editor_->Width(), editor_->Height());
            EditorOpened();
            return 1;
        }
        return 0;

    case effEditClose:
        if (editor_) {
            EditorClosed();
            editor_->CloseWindow();
            return 1;
        }
        return 0;

    case effEditIdle:
    case effIdle:
        Idle();
        return 0;

    case effIdentify:
        return kIdentifyReply;

    case effGetChunk:
        if (!ptr)
            return 0;
        return GetChunk(static_cast<void**>(ptr), index == 0);

    case effSetChunk:
        if (!ptr)
            return 0;
        return SetChunk(ptr, value, index == 0);

    case effProcessEvents:
        if (!ptr)
            return 0;
        ProcessEvents(static_cast<const VstEvents*>(ptr));
        return 1;

    case effCanBeAutomated:
        return 1;

    case effString2Parameter:
        return String2Parameter(index, ptr ? HostText(ptr).c_str() : nullptr);

    case effGetProgramNameIndexed: {
        if (!ptr)
            return 0;
        char* out = static_cast<char*>(ptr);
        CopyText(out, kProgramNameBytes, ProgramName(index));
        return out[0] != '\0' ? 1 : 0;
    }

    case effGetInputProperties:
    case effGetOutputProperties:
        return GetPinProperties(opcode == effGetOutputProperties, index,
                                static_cast<VstPinProperties*>(ptr))
                   ? 1
                   : 0;

    case effGetPlugCategory:
        return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;

    case effProcessVarIo:
        return 0;

    case effSetSpeakerArrangement:
        SetSpeakerArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value), false);
        SetSpeakerArrangement(static_cast<const VstSpeakerArrangement*>(ptr), true);
        return 1;

    case effGetEffectName:
        if (!ptr)
            return 0;
        CopyText(static_cast<char*>(ptr), kEffectNameBytes, EffectName());
        return 1;

    case effGetVendorString:
        if (!ptr)
            return 0;
        CopyText(static_cast<char*>(ptr), kVendorTextBytes, VendorName());
        return 1;

    case effGetProductString:
        if (!ptr)
            return 0;
        CopyText(static_cast<char*>(ptr), kVendorTextBytes, ProductName());
        return 1;

    case effGetVendorVersion:
        return DecimalVersion();

    case effVendorSpecific:
        if (index == 7 && ptr) {
            if (FitsInt(value) && IsValidParam(static_cast<int>(value)))
                GetParam(static_cast<int>(value))
                    ->FormatDisplay(static_cast<double>(opt), true, static_cast<char*>(ptr),
                                    kParamTextBytes, true);
            return kVendorSpecificReply;
        }
        if (index == 8 && FitsInt(value) && IsValidParam(static_cast<int>(value)) &&
            GetParam(static_cast<int>(value))->GetKind() != PlugParam::kContinuous)
            return kVendorSpecificReply;
        return 0;

    case effCanDo:
        return CanDo(ptr ? HostText(ptr).c_str() : nullptr);

    case effGetTailSize:
        return TailSize();

    case effGetVstVersion:
        return kVstVersion;

    case effGetMidiKeyName: {
        if (!ptr)
            return 0;
        auto* key = static_cast<vst::MidiKeyName*>(ptr);
        key->keyName[0] = '\0';
        return MidiKeyName(key->thisKeyNumber, key->keyName, sizeof(key->keyName)) ? 1 : 0;
    }

    case effGetSpeakerArrangement:
        if (value)
            *reinterpret_cast<VstSpeakerArrangement**>(value) = &inputArrangement_;
        if (ptr)
            *static_cast<VstSpeakerArrangement**>(ptr) = &outputArrangement_;
        return 1;

    default:
        return 0;
    }
}

VstIntPtr IPlugVST::GetChunk(void** data, bool isBank) {
    if (HostVendorRequiresProgramChunks())
        isBank = false;
    ChunkBuffer& chunk = isBank ? bankChunk_ : programChunk_;
    chunk.Clear();
    WriteChunkHeader(chunk);
    bool ok;
    if (isBank) {
        ModifyCurrentPreset(nullptr);
        ok = SerializePresets(chunk);
    } else {
        ok = WriteState(chunk) && chunk.PutString(ProgramName(CurrentProgram()));
    }
    if (!ok || chunk.Empty())
        return 0;
    *data = chunk.Data();
    return chunk.Size();
}

VstIntPtr IPlugVST::SetChunk(const void* data, VstIntPtr size, bool isBank) {
    const bool vendorRule = HostVendorRequiresProgramChunks();
    if (vendorRule)
        isBank = false;
    if (size < 0 || size > std::numeric_limits<int32_t>::max())
        return 0;
    // The host may hand back the very buffer an earlier request gave it, so the
    // bytes are copied out before either buffer is reused.
    ChunkBuffer incoming;
    if (!incoming.PutBytes(data, static_cast<int>(size)))
        return 0;

    ChunkBuffer& chunk = isBank ? bankChunk_ : programChunk_;
    chunk = incoming;
    int32_t version = 0;
    int pos = ReadChunkHeader(chunk, &version);

    if (isBank && version >= kChunkVersion) {
        pos = UnserializePresets(chunk, pos);
    } else {
        pos = ReadState(chunk, pos);
        if (pos >= 0 && pos < chunk.Size()) {
            // A name that cannot be read leaves the old one and fails the request.
            std::string name;
            pos = chunk.GetString(name, pos);
            ModifyCurrentPreset(name.c_str());
        } else if (pos >= 0) {
            ModifyCurrentPreset(nullptr);
        } else {
            ModifyCurrentPreset("");
        }

        if (vendorRule && pos != chunk.Size()) {
            // Some hosts hand a bank back through the program path: try it as one.
            // Without a bank header nothing more is read and the program read's
            // result stands.
            bankChunk_ = std::move(incoming);
            int32_t bankVersion = 0;
            const int bankPos = ReadChunkHeader(bankChunk_, &bankVersion);
            if (bankVersion >= kChunkVersion) {
                pos = UnserializePresets(bankChunk_, bankPos);
                if (pos < 0)
                    return 0;
            }
        }
    }
    if (pos < 0)
        return 0;
    RefreshEditorParams();
    return 1;
}

VstIntPtr IPlugVST::String2Parameter(int index, const char* text) {
    PlugParam* param = GetParam(index);
    if (!param)
        return 0;
    if (!text)
        return 1;
    double v = 0.0;
    if (!param->HasDisplayTexts()) {
        v = ParseDecimal(text);
        if (param->NegateDisplay())
            v = -v;
    } else if (!param->FindDisplayText(text, v)) {
        return 0;
    }
    if (editor_)
        editor_->SetParameterFromPlug(index, v, false);
    param->SetLimited(v);
    ParamChanged(index);
    return 1;
}

VstIntPtr IPlugVST::CanDo(const char* text) {
    if (!text)
        return 0;
    if (std::strcmp(text, "receiveVstTimeInfo") == 0)
        return 1;
    if (std::strcmp(text, "sendVstEvents") == 0 || std::strcmp(text, "sendVstMidiEvent") == 0 ||
        std::strcmp(text, "receiveVstEvents") == 0 || std::strcmp(text, "receiveVstMidiEvent") == 0)
        return TakesMidi() ? 1 : 0;
    if (std::strcmp(text, "hasCockosExtensions") == 0) {
        hostExtensions_ |= 1u;
        return kCockosReply;
    }
    if (std::strcmp(text, "hasCockosViewAsConfig") == 0) {
        hostExtensions_ |= 2u;
        return kCockosReply;
    }
    return 0;
}

bool IPlugVST::GetPinProperties(bool output, int index, VstPinProperties* pin) const {
    const std::vector<Channel>& channels = output ? outChannels_ : inChannels_;
    const int count = static_cast<int>(channels.size());
    if (index < 0 || index >= count)
        return false;
    if (!pin)
        return true;
    pin->flags = kVstPinIsActive;
    if (index % 2 == 0 && index + 1 < count)
        pin->flags |= kVstPinIsStereo;
    pin->arrangementType = 0;
    const std::string& label = channels[index].label;
    if (!label.empty())
        CopyText(pin->label, label.c_str());
    else
        FormatText(pin->label, sizeof(pin->label), "%s %d", output ? "Output" : "Input", index + 1);
    CopyText(pin->shortLabel, pin->label);
    return true;
}

void IPlugVST::ProcessEvents(const VstEvents* events) {
    if (events->numEvents <= 0)
        return;
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        const VstEvent* e = events->events[i];
        if (!e)
            continue;
        if (e->type == kVstMidiType) {
            const auto* m = reinterpret_cast<const VstMidiEvent*>(e);
            MidiEvent event;
            event.offset = ClampOffset(m->deltaFrames);
            event.status = static_cast<uint8_t>(m->midiData[0]);
            event.data1 = static_cast<uint8_t>(m->midiData[1]);
            event.data2 = static_cast<uint8_t>(m->midiData[2]);
            HandleMidiMessage(event);
        } else if (e->type == kVstSysExType) {
            const auto* s = reinterpret_cast<const VstMidiSysexEvent*>(e);
            SysExEvent event;
            event.offset = ClampOffset(s->deltaFrames);
            event.size = s->dumpBytes;
            event.data = reinterpret_cast<const uint8_t*>(s->sysexDump);
            HandleSysEx(event);
        }
    }
}

void IPlugVST::SetSpeakerArrangement(const VstSpeakerArrangement* arrangement, bool output) {
    if (!arrangement)
        return;
    std::vector<Channel>& channels = output ? outChannels_ : inChannels_;
    for (int i = 0; i < static_cast<int>(channels.size()); ++i) {
        if (i >= arrangement->numChannels) {
            channels[i].connected = false;
            *channels[i].slot = channels[i].scratch.data();
        }
    }
}

} // namespace halvane
