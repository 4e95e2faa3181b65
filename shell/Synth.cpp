#include "shell/Synth.h"

#include <cmath>
#include <string>

#include "editor/LayoutTable.h"
#include "graphics/IGraphics.h"
#include "sound/TuningClient.h"

namespace halvane {

namespace {

constexpr int kNoteOff = 0x8;
constexpr int kNoteOn = 0x9;
constexpr int kControlChange = 0xB;
constexpr int kProgramChange = 0xC;
constexpr int kPitchBend = 0xE;

constexpr int kAllSoundOff = 120;
constexpr int kAllNotesOff = 123;

} // namespace

Synth::Synth(vst::HostCallback host, int nParams, const char* channelIOStr, int nPrograms,
             const char* effectName, const char* productName, const char* vendorName,
             int32_t uniqueId, int32_t version)
    : IPlugVST(host, nParams, channelIOStr, nPrograms, effectName, productName, vendorName,
               uniqueId, version, /*isInstrument*/ true, /*takesMidi*/ true,
               /*takesChunks*/ true) {
    controllerMap_.fill(-1);
    graphics_ = std::make_unique<IGraphics>(this, layout::kEditorWidth, layout::kEditorHeight,
                                            layout::kFrameRate, MakeEditorPlatform());
    SetDialogs(graphics_.get());
    LocateSettings();
    tuning_ = std::make_unique<TuningClient>();
}

Synth::~Synth() {
    // The editor goes first; nothing may reach it through the frame afterwards.
    editor_ = nullptr;
    dialogs_ = nullptr;
}

void Synth::ResetEngine() {
    ScopedLock hold(Lock());
    const double rate = SampleRate();
    samplesPerMs_ = (std::isfinite(rate) && rate >= 1000.0 && rate < 2147483647.0)
                        ? static_cast<int>(rate) / 1000
                        : 0;
    learnActive_ = false;
    midiQueue_.Resize(BlockSize());
}

void Synth::Activate(bool on) {
    if (!on)
        return;
    ScopedLock hold(Lock());
    for (int i = 0; i < NParams(); ++i)
        ParamChanged(i);
}

void Synth::HandleMidiMessage(const MidiEvent& incoming) {
    ScopedLock hold(Lock());
    if (midiThru_)
        SendMidiEvent(incoming);

    MidiEvent event = incoming;
    const int kind = (event.status >= 0x80 && event.status <= 0xEF) ? event.status >> 4 : 0;
    // Controllers and bend are queued at their own sample, like notes: the
    // render loop applies each at the first control update at or after it.
    // Moving them by a fixed amount measured from the start of the host's block
    // would make the sound depend on where the host cuts its blocks.
    switch (kind) {
    case kNoteOff:
        midiQueue_.Add(event);
        break;
    case kNoteOn:
        if (event.data2 == 0)
            event.status = 0x80;
        midiQueue_.Add(event);
        break;
    case kControlChange:
        if (event.data1 < kControllers && learnActive_) {
            learnedController_ = event.data1;
            ApplyLearn();
        } else if (event.data1 == kSustainController) {
            midiQueue_.Add(event);
        } else if (event.data1 < kControllers) {
            midiQueue_.Add(event);
        } else if (event.data1 == kAllSoundOff || event.data1 == kAllNotesOff) {
            AllVoicesOff();
        }
        break;
    case kProgramChange:
        if (!ignoreProgramChange_)
            RestoreProgram(event.data1);
        break;
    case kPitchBend:
        midiQueue_.Add(event);
        break;
    default:
        break; // pressure and system messages are not used
    }
}

// ---------------------------------------------------------------------------
// MIDI learn

void Synth::SetControllerMapping(int controller, int32_t param) {
    if (controller >= 0 && controller < kControllers)
        controllerMap_[static_cast<std::size_t>(controller)] = param;
    SyncControllerTable();
}

void Synth::SyncControllerTable() {
    ScopedLock hold(Lock());
    double values[ControllerTable::kValues];
    for (int c = 0; c < kControllers; ++c) {
        const PlugParam* param = GetParam(controllerMap_[static_cast<std::size_t>(c)]);
        // The wheel and the sustain pedal keep their own meaning even when mapped.
        if (!param || c == kModWheelController || c == kSustainController) {
            controllerTable_.Unlink(c);
            continue;
        }
        for (int v = 0; v < ControllerTable::kValues; ++v)
            values[v] = param->ValueFromNormalized(v / 127.0);
        controllerTable_.Link(c, controllerMap_[static_cast<std::size_t>(c)], values);
    }
}

void Synth::ReportControlledParam(int p, double normalized) {
    PlugParam* param = GetParam(p);
    if (!param)
        return;
    param->SetFromNormalized(normalized);
    AutomateParam(p, normalized);
    LearnHook(p);
    if (IGraphics* editor = Editor())
        editor->SetParameterFromPlug(p, normalized, true);
}

void Synth::LearnSwitchClicked(double value, bool rightButton) {
    ScopedLock hold(Lock());
    unlearnMode_ = rightButton;
    learnedController_ = -1;
    learnedParam_ = -1;
    learnActive_ = value > 0.0;
}

void Synth::LearnHook(int paramIndex) {
    if (learnActive_ && IsValidParam(paramIndex)) {
        learnedParam_ = paramIndex;
        ApplyLearn();
    }
}

void Synth::ApplyLearn() {
    ScopedLock hold(Lock());
    if (learnActive_) {
        const int c = learnedController_;
        const int p = learnedParam_;
        if (!unlearnMode_) {
            if (c != -1 && p != -1) {
                for (int32_t& entry : controllerMap_)
                    if (entry == p)
                        entry = -1;
                SetControllerMapping(c, p);
                learnActive_ = false;
            }
        } else if (c != -1) {
            SetControllerMapping(c, -1);
            learnActive_ = false;
            unlearnMode_ = false;
        } else if (p != -1) {
            for (int32_t& entry : controllerMap_)
                if (entry == p)
                    entry = -1;
            learnActive_ = false;
            unlearnMode_ = false;
        }
    }
    SyncControllerTable();
    if (!learnActive_)
        LearnSwitchOff();
}

void Synth::ApplyController(int controller, int value) {
    // The wheel and the sustain pedal keep their own meaning even when mapped.
    if (controller < 0 || controller >= kControllers || controller == kModWheelController ||
        controller == kSustainController)
        return;
    const int p = controllerMap_[static_cast<std::size_t>(controller)];
    PlugParam* param = GetParam(p);
    if (!param)
        return;
    const double v = value / 127.0;
    // The same controller value twice must reach the host once: compare what the
    // value would become, which also covers stepped and shaped parameters.
    if (param->ValueFromNormalized(v) == param->Value())
        return;
    SetParamFromEditor(p, v);
    if (IGraphics* editor = Editor())
        editor->SetParameterFromPlug(p, v, true);
}

} // namespace halvane
