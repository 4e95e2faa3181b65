#include "tools/vsthost/VstHost.h"

#include "platform/DynamicLibrary.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace halvane {

using namespace vst;

namespace vsthost {

namespace {

// Callbacks arrive with the plug-in's effect pointer; the host object behind it
// is found here. During construction the effect is not known yet, so the host
// being constructed on this thread answers.
std::mutex gRegistryMutex;
std::map<AEffect*, Host*> gRegistry;
thread_local Host* gConstructing = nullptr;

std::string TextFrom(const char* buffer, std::size_t size) {
    return std::string(buffer, strnlen(buffer, size));
}

} // namespace

// ---------------------------------------------------------------------------
// EventList

VstEvents* EventList::Get() {
    const std::size_t slots = std::max<std::size_t>(events_.size(), 2);
    storage_.assign(offsetof(VstEvents, events) + slots * sizeof(VstEvent*), 0);
    const VstInt32 count = count_ != -1 ? count_ : static_cast<VstInt32>(events_.size());
    std::memcpy(storage_.data() + offsetof(VstEvents, numEvents), &count, sizeof(count));
    if (!events_.empty())
        std::memcpy(storage_.data() + offsetof(VstEvents, events), events_.data(),
                    events_.size() * sizeof(VstEvent*));
    return reinterpret_cast<VstEvents*>(storage_.data());
}

// ---------------------------------------------------------------------------
// PluginLibrary

std::shared_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string& error) {
    std::shared_ptr<PluginLibrary> library(new PluginLibrary());
    if (!library->library_.Open(path)) {
        error = "cannot load " + path + ": " + library->library_.Error();
        return nullptr;
    }
    library->path_ = path;
    library->entry_ = reinterpret_cast<EntryPoint>(library->library_.Symbol("VSTPluginMain"));
    library->main_ = reinterpret_cast<EntryPoint>(library->library_.Symbol("main"));
    if (!library->entry_ && !library->main_) {
        error = path + " exports neither VSTPluginMain nor main: not a VST 2.4 plug-in";
        return nullptr;
    }
    return library;
}

PluginLibrary::~PluginLibrary() = default;

void* PluginLibrary::Symbol(const char* name) const {
    return library_.Symbol(name);
}

// ---------------------------------------------------------------------------
// Host

std::unique_ptr<Host> Host::Create(std::shared_ptr<PluginLibrary> library, std::string& error,
                                   HostIdentity identity, bool useMain) {
    if (!library) {
        error = "no plug-in library";
        return nullptr;
    }
    std::unique_ptr<Host> host(new Host());
    host->library_ = library;
    host->identity_ = std::move(identity);
    host->timeInfo_.sampleRate = 44100.0;
    host->timeInfo_.tempo = 120.0;
    host->timeInfo_.timeSigNumerator = 4;
    host->timeInfo_.timeSigDenominator = 4;
    host->timeInfo_.flags = kVstTempoValid | kVstTimeSigValid;

    PluginLibrary::EntryPoint entry = useMain ? library->MainEntry() : library->Entry();
    if (!entry)
        entry = useMain ? library->Entry() : library->MainEntry();
    gConstructing = host.get();
    AEffect* effect = entry(&Host::Callback);
    gConstructing = nullptr;
    if (!effect) {
        error = "the plug-in's entry point returned no instance";
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        error = "the plug-in's instance does not carry the VST magic number";
        return nullptr;
    }
    host->effect_ = effect;
    {
        std::lock_guard<std::mutex> hold(gRegistryMutex);
        gRegistry[effect] = host.get();
    }
    return host;
}

Host::~Host() {
    if (effect_)
        Close();
}

void Host::Close() {
    if (!effect_)
        return;
    AEffect* effect = effect_;
    effect_ = nullptr;
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    std::lock_guard<std::mutex> hold(gRegistryMutex);
    gRegistry.erase(effect);
}

void Host::Abandon() {
    if (!effect_)
        return;
    std::lock_guard<std::mutex> hold(gRegistryMutex);
    gRegistry.erase(effect_);
    effect_ = nullptr;
}

VstIntPtr Host::Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                         void* ptr, float opt) {
    Host* host = nullptr;
    if (effect) {
        std::lock_guard<std::mutex> hold(gRegistryMutex);
        auto it = gRegistry.find(effect);
        if (it != gRegistry.end())
            host = it->second;
    }
    if (!host)
        host = gConstructing;
    if (!host)
        return opcode == audioMasterVersion ? 2400 : 0;
    return host->Answer(effect, opcode, index, value, ptr, opt);
}

VstIntPtr Host::Answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt) {
    HostCall call;
    call.opcode = opcode;
    call.index = index;
    call.value = value;
    call.opt = opt;
    call.nullEffect = effect == nullptr;
    if (opcode == audioMasterProcessEvents && ptr) {
        const auto* list = static_cast<const VstEvents*>(ptr);
        for (VstInt32 i = 0; i < list->numEvents; ++i) {
            const VstEvent* e = list->events[i];
            if (!e)
                continue;
            if (e->type == kVstMidiType) {
                const auto* m = reinterpret_cast<const VstMidiEvent*>(e);
                call.midi.push_back({m->deltaFrames, static_cast<uint8_t>(m->midiData[0]),
                                     static_cast<uint8_t>(m->midiData[1]),
                                     static_cast<uint8_t>(m->midiData[2])});
            } else if (e->type == kVstSysExType) {
                ++call.sysexEvents;
            }
        }
    }
    calls_.push_back(call);

    if (identity_.answerZero)
        return 0;
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(&timeInfo_);
    case audioMasterProcessEvents:
        return 1;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate_);
    case audioMasterGetBlockSize:
        return blockSize_;
    case audioMasterGetCurrentProcessLevel:
        return ProcessLevel;
    case audioMasterGetVendorString:
        if (ptr)
            std::snprintf(static_cast<char*>(ptr), kVstMaxVendorStrLen, "%s",
                          identity_.vendor.c_str());
        return 1;
    case audioMasterGetProductString:
        if (ptr)
            std::snprintf(static_cast<char*>(ptr), kVstMaxProductStrLen, "%s",
                          identity_.product.c_str());
        return 1;
    case audioMasterGetVendorVersion:
        return identity_.vendorVersion;
    case audioMasterWantMidi:
    case audioMasterAutomate:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
    case audioMasterUpdateDisplay:
        return 1;
    default:
        return 0;
    }
}

int Host::CountCalls(int32_t opcode) const {
    return static_cast<int>(std::count_if(
        calls_.begin(), calls_.end(), [opcode](const HostCall& c) { return c.opcode == opcode; }));
}

intptr_t Host::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (!effect_)
        return 0;
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Host::SetParameter(int index, float value) {
    if (effect_)
        effect_->setParameter(effect_, index, value);
}

float Host::GetParameter(int index) {
    return effect_ ? effect_->getParameter(effect_, index) : 0.0f;
}

void Host::Start(double sampleRate, int blockSize) {
    sampleRate_ = sampleRate;
    blockSize_ = blockSize;
    timeInfo_.sampleRate = sampleRate;
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    Dispatch(effSetBlockSize, 0, blockSize);
    Dispatch(effMainsChanged, 0, 1);
}

std::string Host::EffectName() {
    char text[256] = {};
    Dispatch(effGetEffectName, 0, 0, text);
    return TextFrom(text, sizeof(text));
}

std::string Host::VendorString() {
    char text[256] = {};
    Dispatch(effGetVendorString, 0, 0, text);
    return TextFrom(text, sizeof(text));
}

std::string Host::ProductString() {
    char text[256] = {};
    Dispatch(effGetProductString, 0, 0, text);
    return TextFrom(text, sizeof(text));
}

std::string Host::ParamName(int index) {
    char text[256] = {};
    Dispatch(effGetParamName, index, 0, text);
    return TextFrom(text, sizeof(text));
}

std::string Host::ParamLabel(int index) {
    char text[256] = {};
    Dispatch(effGetParamLabel, index, 0, text);
    return TextFrom(text, sizeof(text));
}

std::string Host::ParamDisplay(int index) {
    char text[256] = {};
    Dispatch(effGetParamDisplay, index, 0, text);
    return TextFrom(text, sizeof(text));
}

std::string Host::ProgramName() {
    char text[256] = {};
    Dispatch(effGetProgramName, 0, 0, text);
    return TextFrom(text, sizeof(text));
}

std::string Host::ProgramNameIndexed(int index) {
    char text[256] = {};
    Dispatch(effGetProgramNameIndexed, index, 0, text);
    return TextFrom(text, sizeof(text));
}

std::string Host::OutputLabel(int index) {
    VstPinProperties pin{};
    if (!Dispatch(effGetOutputProperties, index, 0, &pin))
        return std::string();
    return TextFrom(pin.label, sizeof(pin.label));
}

int Host::FindParam(const std::string& name) {
    for (int i = 0; i < NumParams(); ++i)
        if (ParamName(i) == name)
            return i;
    return -1;
}

int Host::FindProgram(const std::string& name) {
    for (int i = 0; i < NumPrograms(); ++i)
        if (ProgramNameIndexed(i) == name)
            return i;
    return -1;
}

bool Host::SetParamFromText(int index, const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    return Dispatch(effString2Parameter, index, 0, buffer.data()) != 0;
}

std::vector<uint8_t> Host::GetChunk(bool isBank) {
    void* data = nullptr;
    const intptr_t size = Dispatch(effGetChunk, isBank ? 0 : 1, 0, &data);
    if (size <= 0 || !data)
        return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

bool Host::SetChunk(const std::vector<uint8_t>& data, bool isBank) {
    std::vector<uint8_t> copy(data);
    return Dispatch(effSetChunk, isBank ? 0 : 1, static_cast<intptr_t>(copy.size()),
                    copy.empty() ? nullptr : copy.data()) != 0;
}

void Host::SendMidi(const std::vector<MidiMessage>& messages) {
    std::vector<VstMidiEvent> events(messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        VstMidiEvent& e = events[i];
        e = VstMidiEvent{};
        e.type = kVstMidiType;
        e.byteSize = sizeof(VstMidiEvent);
        e.deltaFrames = messages[i].offset;
        e.midiData[0] = static_cast<char>(messages[i].status);
        e.midiData[1] = static_cast<char>(messages[i].data1);
        e.midiData[2] = static_cast<char>(messages[i].data2);
    }
    EventList list;
    for (VstMidiEvent& e : events)
        list.Add(&e);
    SendEvents(list.Get());
}

void Host::EnsureBuffers(int frames) {
    const std::size_t n = static_cast<std::size_t>(std::max(frames, 0));
    const std::size_t outs = static_cast<std::size_t>(std::max(NumOutputs(), 0));
    const std::size_t ins = static_cast<std::size_t>(std::max(NumInputs(), 0));
    outputs_.resize(outs);
    outputsDouble_.resize(outs);
    inputs_.resize(ins);
    inputsDouble_.resize(ins);
    for (auto& b : outputs_)
        b.resize(n, 0.0f);
    for (auto& b : outputsDouble_)
        b.resize(n, 0.0);
    for (auto& b : inputs_)
        b.assign(n, 0.0f);
    for (auto& b : inputsDouble_)
        b.assign(n, 0.0);
}

void Host::Process(int frames, Precision precision) {
    if (!effect_)
        return;
    EnsureBuffers(frames);
    if (precision == Precision::kDouble) {
        std::vector<double*> outs, ins;
        for (auto& b : outputsDouble_)
            outs.push_back(b.data());
        for (auto& b : inputsDouble_)
            ins.push_back(b.data());
        effect_->processDoubleReplacing(effect_, ins.empty() ? nullptr : ins.data(), outs.data(),
                                        frames);
        return;
    }
    std::vector<float*> outs, ins;
    for (auto& b : outputs_)
        outs.push_back(b.data());
    for (auto& b : inputs_)
        ins.push_back(b.data());
    if (precision == Precision::kSingleAccumulating)
        effect_->process(effect_, ins.empty() ? nullptr : ins.data(), outs.data(), frames);
    else
        effect_->processReplacing(effect_, ins.empty() ? nullptr : ins.data(), outs.data(), frames);
}

} // namespace vsthost

} // namespace halvane
