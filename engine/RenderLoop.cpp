// The render loop: control blocks of one millisecond that run across host
// blocks, the MIDI taken over for each stretch of samples, and the per-sample
// dispatch, voice sum and mix.
//
// Notes and the sustain pedal keep their exact sample across host blocks: every
// sub-block, whether it begins a control block or continues one left over from
// the previous host block, takes over the notes that fall inside it. Pitch bend,
// the modulation wheel and learned controllers act at control updates only, and
// always at the first one at or after their sample: those that fall inside a
// control block wait for the next update. Every sample steps the envelopes
// exactly once (the control update doing it for the first sample of a control
// block). So where the host's blocks begin changes nothing in the sound.

#include <cstdint>

#include "engine/Engine.h"

namespace halvane {

namespace {

constexpr int kNoteOff = 0x8;
constexpr int kNoteOn = 0x9;
constexpr int kControlChange = 0xB;
constexpr int kBendKind = 0xE;
constexpr int kModulationWheel = 1;
constexpr int kSustainPedal = 64;

} // namespace

int Engine::Render(const EngineEvent* events, int count, double** outputs, int frames) {
    changeCount_ = 0;
    if (frames <= 0)
        return 0;
    // Every sample of every channel given is written below, so nothing needs
    // clearing first.
    double* out[kOutputs];
    for (int c = 0; c < kOutputs; ++c)
        out[c] = outputs ? outputs[c] : nullptr;

    int taken = 0;
    int position = 0;
    int remaining = frames;
    while (remaining > 0) {
        int n;
        const bool begins = countdown_ < 1;
        if (begins) {
            n = controlLength_;
            if (remaining < n) {
                countdown_ = n - remaining;
                n = remaining;
            }
        } else if (countdown_ < remaining) {
            n = countdown_;
            countdown_ = 0;
        } else {
            n = remaining;
            countdown_ -= remaining;
        }
        const int first = taken;
        if (begins) {
            // Controllers left waiting by the control block that ends here are
            // due now, before those that fall on this very sample.
            ApplyPendingControls();
            taken = TakeOver(events, taken, count, position, n, true);
            ControlUpdate();
        } else {
            taken = TakeOver(events, taken, count, position, n, false);
        }
        remaining -= n;
        RenderSubBlock(out, position, n, begins, events, first, taken);
        position += n;
    }
    return taken;
}

int Engine::TakeOver(const EngineEvent* events, int first, int count, int position, int length,
                     bool atControlUpdate) {
    const int64_t end = static_cast<int64_t>(position) + length;
    int k = first;
    for (; k < count; ++k) {
        const EngineEvent& e = events[k];
        if (e.offset >= end)
            break;
        const int kind = e.Kind();
        // Notes and the pedal wait in place for their sample; everything but
        // bend and controllers (pressure, program changes, which are served on
        // arrival, and system messages) is not used here.
        if (kind != kBendKind && kind != kControlChange)
            continue;
        // Malformed data bytes are read as MIDI would carry them.
        const uint8_t data1 = e.data1 & 0x7F;
        const uint8_t data2 = e.data2 & 0x7F;
        if (kind == kControlChange && data1 == kSustainPedal)
            continue;
        // A controller on the control update's own sample acts now; one later in
        // the control block waits for the next update.
        if (atControlUpdate && e.offset <= position) {
            ApplyControl(e.status, data1, data2);
        } else {
            // A full waiting list leaves the rest where it is: a little late
            // next sub-block, never lost.
            if (pendingControls_.Full())
                break;
            pendingControls_.Push(EngineEventQueue::Pack(0, e.status, data1, data2));
        }
    }
    return k;
}

void Engine::ApplyPendingControls() {
    while (!pendingControls_.Empty()) {
        const uint64_t e = pendingControls_.Front();
        pendingControls_.Pop();
        ApplyControl(EngineEventQueue::Status(e), EngineEventQueue::Data1(e),
                     EngineEventQueue::Data2(e));
    }
}

void Engine::ApplyControl(uint8_t status, uint8_t data1, uint8_t data2) {
    if (status >> 4 == kBendKind) {
        pitchModulation_.SetBend((data1 + 128.0 * data2 - 8192.0) / 8192.0);
    } else if (data1 == kModulationWheel) {
        pitchModulation_.SetWheel(data2 / 127.0);
    } else {
        ApplyLearned(data1, data2);
    }
}

void Engine::ApplyLearned(int controller, int value) {
    const int param = controllers_ ? controllers_->Param(controller) : -1;
    if (param < 0 || param >= kNumParams)
        return;
    const double plain = controllers_->Value(controller, value);
    // The same value twice changes nothing and reaches no one.
    if (plain == paramValues_[param])
        return;
    SetParameter(param, plain);
    const ControlledChange change{param, static_cast<uint8_t>(value)};
    if (changeCount_ < kChangeHistory) {
        changes_[changeCount_++] = change;
        return;
    }
    // The history is full: the parameter's last entry takes the new value, or
    // it gets one (at most one per parameter past the history).
    for (int i = changeCount_ - 1; i >= 0; --i) {
        if (changes_[i].param == param) {
            changes_[i].value = change.value;
            return;
        }
    }
    changes_[changeCount_++] = change;
}

VoiceContext Engine::Context(int32_t pitchOffset) const {
    VoiceContext c;
    c.pitchOffset = pitchOffset;
    c.syntheKeys = keyCount_[kSectionSynthe];
    c.brassKeys = keyCount_[kSectionBrass];
    c.brassEnvelopeRunning = brass_.EnvelopeRunning();
    return c;
}

void Engine::UpdateVoice(Voice& voice, const VoiceContext& context) {
    if (!voice.UpdateControl(context))
        return;
    // The control update's envelope step stands for the first sample of its
    // control block; the sample loop steps all the others.
    voice.StepEnvelopes();
    voice.UpdateActivity(context);
}

void Engine::ControlUpdate() {
    pitchModulation_.StepPwm();
    brass_.ControlTick();
    bowing_.StepEnvelope();
    outputMix_.ControlTickStrings();
    const int32_t offset = pitchModulation_.StepVibratoAndOffset();
    if (outputMix_.FlangerActive())
        outputMix_.ControlTickFlanger();
    lastPitchOffset_ = offset;
    const VoiceContext context = Context(offset);
    for (int v = 0; v < voiceCount_; ++v)
        UpdateVoice(voices_[v], context);
}

void Engine::Dispatch(const EngineEvent& event) {
    const uint8_t data1 = event.data1 & 0x7F;
    const uint8_t data2 = event.data2 & 0x7F;
    switch (event.Kind()) {
    case kControlChange:
        if (data1 == kSustainPedal)
            SetSustain(data2 != 0);
        break;
    case kNoteOff:
        NoteOff(data1);
        break;
    case kNoteOn:
        // Velocity 0 is a note-off (NoteOn sees to it).
        NoteOn(data1, data2);
        break;
    default:
        break;
    }
}

void Engine::RenderSubBlock(double* const* out, int position, int length, bool beginsControlBlock,
                            const EngineEvent* events, int first, int end) {
    // Neither can change inside a sub-block: parameters only change at take-over.
    const int count = voiceCount_;
    const bool stepBowing = outputMix_.SectionOn(kSectionStrings) && outputMix_.BowingOn();
    double channels[kOutputs];

    int i = 0;
    while (i < length) {
        // "<=" rather than "==": an event can never hold the others up.
        while (first < end && events[first].offset <= position + i)
            Dispatch(events[first++]);
        // Up to the next event, nothing but the samples themselves changes a
        // voice: each voice runs the whole stretch at once, while its state is
        // at hand, into the three section sums.
        int stop = length;
        if (first < end && events[first].offset - position < stop)
            stop = events[first].offset - position;
        if (stop - i > kRunLength)
            stop = i + kRunLength;
        RenderVoices(i, stop - i, beginsControlBlock, count);

        for (int k = 0; i < stop; ++i, ++k) {
            // Samples since the control update: only at 0 has it already stepped
            // the envelopes for this sample. A sub-block that continues a control
            // block after a host block boundary is past that point from its first
            // sample on; skipping a step there would make every envelope, the brass
            // and the bowing run slower the smaller the host's blocks (44 times at
            // one sample per block).
            const int sinceUpdate = beginsControlBlock ? i : i + 1;
            if (sinceUpdate > 0 && stepBowing)
                bowing_.StepEnvelope();
            outputMix_.Process(runSynthe_[k], runBrass_[k], runStrings_[k], sinceUpdate, channels);
            const int at = position + i;
            for (int c = 0; c < kOutputs; ++c)
                if (out[c])
                    out[c][at] = channels[c];
        }
    }
}

void Engine::RenderVoices(int from, int length, bool beginsControlBlock, int count) {
    for (int k = 0; k < length; ++k)
        runSynthe_[k] = runBrass_[k] = runStrings_[k] = 0.0;
    // Voice by voice in voice order, so every sample's sums are added up in the
    // same order as one sample at a time would; a group of lanes adds its
    // voices in that order too.
    if (voicePath_ != VoicePath::kScalar) {
        // Only the voices that sound or still step take lanes, packed in voice
        // order, so a few notes on a large instrument make one narrow group.
        Voice* sounding[kMaxVoices];
        int n = 0;
        for (int v = 0; v < count; ++v)
            if (voices_[v].Active() || !voices_[v].Quiet())
                sounding[n++] = &voices_[v];
        const int width = VoiceLanes::Width(voicePath_);
        for (int first = 0; first < n; first += width)
            VoiceLanes::RenderGroup(voicePath_, *lanes_, sounding + first,
                                    n - first < width ? n - first : width, from, length,
                                    beginsControlBlock, runSynthe_, runBrass_, runStrings_);
        return;
    }
    for (int v = 0; v < count; ++v) {
        Voice& voice = voices_[v];
        if (!voice.Active() && voice.Quiet())
            continue;
        for (int k = 0; k < length; ++k) {
            // The control update stepped the envelopes of a control block's first
            // sample; every other sample takes its own step here.
            if (!beginsControlBlock || from + k > 0)
                voice.StepEnvelopes();
            if (!voice.Active())
                continue;
            const VoiceSample s = voice.RenderSample();
            runSynthe_[k] += s.synthe;
            runBrass_[k] += s.brass;
            runStrings_[k] += s.strings;
        }
    }
}

} // namespace halvane
