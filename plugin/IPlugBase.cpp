#include "plugin/IPlugBase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "graphics/IGraphics.h"
#include "platform/Text.h"

namespace halvane {

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPrograms, const char* effectName,
                     const char* productName, const char* vendorName, int32_t uniqueId,
                     int32_t version, bool isInstrument, bool takesMidi, bool takesChunks)
    : uniqueId_(uniqueId), version_(version), takesChunks_(takesChunks),
      isInstrument_(isInstrument), takesMidi_(takesMidi) {
    params_.resize(static_cast<std::size_t>(std::max(nParams, 0)));
    programs_.resize(static_cast<std::size_t>(std::max(nPrograms, 0)));
    CopyText(effectName_, effectName);
    CopyText(productName_, productName);
    CopyText(vendorName_, vendorName);

    ParseChannelIO(channelIOStr);
    int nIn = 0, nOut = 0;
    for (const ChannelIO& io : channelIO_) {
        nIn = std::max(nIn, io.inputs);
        nOut = std::max(nOut, io.outputs);
    }
    inChannels_.resize(static_cast<std::size_t>(nIn));
    outChannels_.resize(static_cast<std::size_t>(nOut));
    inPtrs_.assign(static_cast<std::size_t>(nIn), nullptr);
    outPtrs_.assign(static_cast<std::size_t>(nOut), nullptr);
    for (int i = 0; i < nIn; ++i)
        inChannels_[i].slot = &inPtrs_[i];
    for (int i = 0; i < nOut; ++i)
        outChannels_[i].slot = &outPtrs_[i];
}

IPlugBase::~IPlugBase() = default;

void IPlugBase::ParseChannelIO(const char* text) {
    if (!text)
        return;
    const char* p = text;
    while (*p) {
        int in = 0, out = 0, used = 0;
        if (std::sscanf(p, "%d-%d%n", &in, &out, &used) != 2 || used <= 0)
            break;
        // A channel count outside any sane range would only make huge arrays.
        if (in < 0 || out < 0 || in > 64 || out > 64)
            break;
        channelIO_.push_back({in, out});
        p += used;
        while (*p == ' ')
            ++p;
    }
}

bool IPlugBase::LegalIO(int nIn, int nOut) const {
    for (const ChannelIO& io : channelIO_) {
        if ((nIn < 0 || nIn == io.inputs) && (nOut < 0 || nOut == io.outputs))
            return true;
    }
    return false;
}

int32_t IPlugBase::DecimalVersion() const {
    const int32_t major = (version_ >> 16) & 0xFFFF;
    const int32_t minor = (version_ >> 8) & 0xFF;
    const int32_t third = version_ & 0xFF;
    return major * 10000 + minor * 100 + third;
}

const char* IPlugBase::InputLabel(int index) const {
    return index >= 0 && index < NInChannels() ? inChannels_[index].label.c_str() : "";
}

const char* IPlugBase::OutputLabel(int index) const {
    return index >= 0 && index < NOutChannels() ? outChannels_[index].label.c_str() : "";
}

void IPlugBase::SetInputLabel(int index, const char* label) {
    if (index >= 0 && index < NInChannels())
        inChannels_[index].label = label ? label : "";
}

void IPlugBase::SetOutputLabel(int index, const char* label) {
    if (index >= 0 && index < NOutChannels())
        outChannels_[index].label = label ? label : "";
}

bool IPlugBase::IsInChannelConnected(int index) const {
    return index >= 0 && index < NInChannels() && inChannels_[index].connected;
}

bool IPlugBase::IsOutChannelConnected(int index) const {
    return index >= 0 && index < NOutChannels() && outChannels_[index].connected;
}

void IPlugBase::SetBlockSize(int frames) {
    if (frames == blockSize_)
        return;
    blockSize_ = frames;
    // Keep a little room even for a block size of 0 or 1, so a host that then
    // renders larger blocks is served in pieces rather than not at all; and no
    // more than a generous block, whatever size a host announces.
    scratchFrames_ = std::clamp(frames, kMinScratchFrames, kMaxScratchFrames);
    for (Channel& c : inChannels_)
        c.scratch.assign(static_cast<std::size_t>(scratchFrames_), 0.0);
    for (Channel& c : outChannels_)
        c.scratch.assign(static_cast<std::size_t>(scratchFrames_), 0.0);
    for (Channel& c : inChannels_)
        if (!c.connected)
            *c.slot = c.scratch.data();
    for (Channel& c : outChannels_)
        if (!c.connected)
            *c.slot = c.scratch.data();
}

void IPlugBase::RenderBlock(double** inputs, double** outputs, int frames) {
    if (!outputs || frames <= 0)
        return;
    const std::size_t n = static_cast<std::size_t>(frames);
    for (int i = 0; i < NOutChannels(); ++i) {
        if (!outputs[i])
            continue;
        if (inputs && i < NInChannels() && inputs[i])
            std::copy(inputs[i], inputs[i] + n, outputs[i]);
        else
            std::fill(outputs[i], outputs[i] + n, 0.0);
    }
}

void IPlugBase::HandleMidiMessage(const MidiEvent& event) {
    SendMidiEvent(event);
}

bool IPlugBase::MidiKeyName(int /*key*/, char* text, std::size_t size) {
    if (text && size > 0)
        text[0] = '\0';
    return false;
}

bool IPlugBase::WriteState(ChunkBuffer& chunk) {
    return SerializeParams(chunk);
}

int IPlugBase::ReadState(const ChunkBuffer& chunk, int pos) {
    return UnserializeParams(chunk, pos);
}

bool IPlugBase::StateMatches(const double* values, int count) const {
    if (!values || count < NParams())
        return false;
    for (int i = 0; i < NParams(); ++i) {
        if (params_[i].Value() != values[i])
            return false;
    }
    return true;
}

void IPlugBase::SetParamFromEditor(int index, double normalized) {
    ScopedLock hold(lock_);
    PlugParam* param = GetParam(index);
    if (!param)
        return;
    param->SetFromNormalized(normalized);
    AutomateParam(index, normalized);
    ParamChanged(index);
}

void IPlugBase::HostTimeSignature(int* numerator, int* denominator) {
    if (numerator)
        *numerator = 0;
    if (denominator)
        *denominator = 0;
}

void IPlugBase::EditorResized() {
    EditorResizedHook(editor_);
}

void IPlugBase::AttachEditor(IGraphics* editor) {
    ScopedLock hold(lock_);
    editor_ = editor;
    if (!editor_)
        return;
    for (int i = 0; i < NParams(); ++i)
        editor_->SetParameterFromPlug(i, params_[i].GetNormalized(), true);
    editor_->PrepDraw();
}

void IPlugBase::RefreshEditorParams() {
    if (!editor_)
        return;
    for (int i = 0; i < NParams(); ++i)
        editor_->SetParameterFromPlug(i, params_[i].Value(), false);
}

} // namespace halvane
