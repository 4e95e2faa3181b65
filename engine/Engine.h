#pragma once
// The instrument's sound: 64 voices, the note state that assigns keys to them,
// the shared brass and bowing stages, pitch modulation and the output mix, run at
// two rates. Once per control block (one millisecond) the MIDI that falls due is
// taken over, the slow modulators advance and every voice refreshes its pitch and
// targets; once per sample the due notes are dispatched, the envelopes step, the
// voices render and the section stages produce eight channels.
//
// Everything is held by value and sized at construction or at a sample-rate
// change; rendering never allocates, locks or throws. The owner serialises all
// calls (the instance lock). Nothing here calls up into the instrument: events
// come in as plain engine events, learned controllers are looked up in the
// table the instrument gives, and what they changed is read back after Render.

#include <cstdint>
#include <memory>

#include "engine/Bowing.h"
#include "engine/BrassSection.h"
#include "engine/ControllerTable.h"
#include "engine/EngineEvent.h"
#include "engine/EngineEventQueue.h"
#include "engine/NoteTuning.h"
#include "engine/PhaseIncrementTable.h"
#include "engine/Voice.h"
#include "engine/VoiceLanes.h"
#include "sound/OutputMix.h"
#include "sound/ParamIds.h"
#include "sound/PitchModulation.h"

namespace halvane {

class Engine {
public:
    static constexpr int kMaxVoices = 64;
    static constexpr int kTridentVoices = 8;
    static constexpr int kMaxHeldKeys = 128;
    static constexpr int32_t kVacantKey = 256;
    static constexpr int kOutputs = OutputMix::kChannels;
    static constexpr double kDefaultSampleRate = 44100.0;
    enum Range { kLower = 0, kBoth = 1, kUpper = 2 };

    Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Both may be null (equal temperament; no learned controllers) and must
    // outlive the engine or be replaced first.
    void SetTuning(const NoteTuning* tuning) { tuning_ = tuning; }
    void SetControllers(const ControllerTable* controllers) { controllers_ = controllers; }

    // Rebuilds everything that depends on the sample rate when the rate differs
    // from the last one (always the first time). A rate that is not a finite
    // positive number counts as 44100 Hz. May allocate.
    void Reset(double sampleRate);

    // One host block: outputs holds kOutputs channel pointers (the array or any
    // channel may be null: not written). events: count events ordered by offset,
    // counted from this block's first sample; those at or after frames are not
    // looked at. Returns how many were taken; the rest belong to the next block.
    // Afterwards ControlledChangeAt lists what learned controllers changed.
    int Render(const EngineEvent* events, int count, double** outputs, int frames);

    // Parameters that learned controllers changed in the last Render, every
    // change in the order it was made, so the host records each value. A block
    // with more changes than the list holds keeps each later change in the
    // parameter's last entry: the last value always arrives.
    int ControlledChangeCount() const { return changeCount_; }
    const ControlledChange& ControlledChangeAt(int i) const { return changes_[i]; }

    // Whether Trident Mode or a section detune was set since the last call: the
    // editor's polyphony and detune indicators follow Trident() and the
    // BrassDetuned() and StringsDetuned() flags.
    bool TakeIndicatorChange() {
        const bool changed = indicatorsChanged_;
        indicatorsChanged_ = false;
        return changed;
    }

    // A parameter's plain value (its own range) applied to the engine and to all
    // 64 voices. Unknown indexes and values that are not finite change nothing.
    void SetParameter(int index, double value);

    // Note handling (normally reached through Render's event dispatch).
    void NoteOn(int note, int velocity);
    void NoteOff(int note);
    void SetSustain(bool down);
    void AllVoicesOff();

    // Which voice renderer runs: Auto (the widest the processor offers) unless
    // asked otherwise; every path sounds the same to the bit. A path the
    // processor lacks falls back to the next narrower one.
    void SetVoicePath(VoicePath requested) { voicePath_ = VoiceLanes::Resolve(requested); }
    VoicePath ActiveVoicePath() const { return voicePath_; }

    int VoiceCount() const { return voiceCount_; }
    // Voices 0..7 in bits 8..1, any of voices 8..63 in bit 0.
    int VoiceActivity() const;

    const PhaseIncrementTable& Increments() const { return *increments_; }
    int32_t KeyCount(int section) const { return keyCount_[section]; }
    bool BrassEnvelopeRunning() const { return brass_.EnvelopeRunning(); }
    int32_t NoteToPitch(int note) const;
    // The global pitch offset of the last control update (0 before the first).
    int32_t LastPitchOffset() const { return lastPitchOffset_; }

    // State, for tests and displays.
    const Voice& VoiceAt(int index) const { return voices_[index]; }
    int HeldCount() const { return heldCount_; }
    int32_t HeldKey(int slot) const { return heldKeys_[slot]; }
    int64_t StartCounter() const { return startCounter_; }
    bool Sustain() const { return sustain_; }
    int ControlLength() const { return controlLength_; }
    int Countdown() const { return countdown_; }
    double SampleRate() const { return sampleRate_; }
    int PendingControls() const { return pendingControls_.Size(); }
    bool Trident() const { return trident_; }
    bool KeyAssignOne() const { return keyAssignOne_; }
    int32_t SplitKey() const { return splitKey_; }
    int32_t SectionRange(int section) const { return range_[section]; }
    bool SectionOn(int section) const { return outputMix_.SectionOn(section); }
    int32_t SilentThreshold() const { return silentThreshold_; }
    bool BrassDetuned() const { return brassDetune_; }
    bool StringsDetuned() const { return stringsDetune_; }
    const BrassSection& Brass() const { return brass_; }
    const Bowing& Bow() const { return bowing_; }
    const PitchModulation& Modulation() const { return pitchModulation_; }
    const OutputMix& Mix() const { return outputMix_; }
    // Whether the note lies in the section's range (a switched-off section has none).
    bool InRange(int section, int note) const;

private:
    void Rebuild(double sampleRate);
    int ChooseVoice(int note) const;
    void SetVoices(int index, double value);
    void RefreshEditor() { indicatorsChanged_ = true; }

    // What a voice's control update reads of the engine, as it stands now.
    VoiceContext Context(int32_t pitchOffset) const;
    // A voice's control update and the envelope step that goes with it.
    static void UpdateVoice(Voice& voice, const VoiceContext& context);

    // Render loop.
    // Takes over the events from events[first] on that fall inside the sub-block
    // at position: controllers are applied or left waiting, notes and the pedal
    // stay where they are for the sample loop. Returns one past the last event
    // taken. atControlUpdate: the sub-block begins a control block, whose update
    // applies the controllers on its own sample.
    int TakeOver(const EngineEvent* events, int first, int count, int position, int length,
                 bool atControlUpdate);
    void ApplyPendingControls();
    void ApplyControl(uint8_t status, uint8_t data1, uint8_t data2);
    void ApplyLearned(int controller, int value);
    void ControlUpdate();
    void Dispatch(const EngineEvent& event);
    // Renders the sub-block, dispatching the note and pedal events among
    // events[first .. end) at their samples. beginsControlBlock: the control
    // update has just stepped the envelopes for the first sample; otherwise every
    // sample takes its own step.
    void RenderSubBlock(double* const* outputs, int position, int length, bool beginsControlBlock,
                        const EngineEvent* events, int first, int end);
    // The voices' share of samples from .. from + length - 1 of the sub-block
    // (length <= kRunLength): envelope steps, voice samples and the section sums
    // in runSynthe_, runBrass_ and runStrings_.
    void RenderVoices(int from, int length, bool beginsControlBlock, int count);

    Voice voices_[kMaxVoices];
    VoicePath voicePath_ = VoiceLanes::Resolve(VoicePath::kAuto);
    // The lanes of the group being rendered: some 13 kilobytes, kept off the
    // audio thread's stack.
    std::unique_ptr<VoiceLanesState> lanes_ = std::make_unique<VoiceLanesState>();
    const NoteTuning* tuning_ = nullptr;
    const ControllerTable* controllers_ = nullptr;
    std::shared_ptr<const PhaseIncrementTable> increments_;

    // Note state.
    int voiceCount_ = 0;
    int32_t heldKeys_[kMaxHeldKeys];
    int heldCount_ = 0;
    int32_t keyCount_[kSections] = {0, 0, 0};
    // Keys whose note-on the tuning master filtered out: their note-off is
    // dropped as well, so it cannot count a key up that was never counted down.
    bool filteredKeys_[128] = {};
    // 64 bits: start orders never wrap, so the oldest voice is always found.
    int64_t startCounter_ = 0;
    bool sustain_ = false;

    // Parameter-derived state. The section switches, the footages and the bowing
    // and strings vibrato switches are held once, by the output mix; the voices
    // keep the footages they render.
    bool trident_ = false;
    bool keyAssignOne_ = true;
    int32_t splitKey_ = 60;
    int32_t range_[kSections] = {kBoth, kBoth, kBoth};
    bool autoDamp_ = false;
    bool brassMultiTrigger_ = false;
    bool brassTriggerSelect_ = false;
    int32_t silentThreshold_ = 1;
    double brassVelocityVcf_ = 0.0;
    bool brassDetune_ = false;
    bool stringsDetune_ = false;
    double bowingTone_ = 0.5;

    // Render loop state.
    double sampleRate_ = 0.0; // 0 until the first reset: the next one always rebuilds
    int controlLength_ = 0;
    int countdown_ = 0;
    int32_t lastPitchOffset_ = 0;
    // Bend, wheel and learned controllers taken over inside a control block, in
    // arrival order, waiting for the next control update.
    EngineEventQueue pendingControls_;

    // Section sums of the stretch of samples the voices last rendered.
    static constexpr int kRunLength = 64;
    double runSynthe_[kRunLength];
    double runBrass_[kRunLength];
    double runStrings_[kRunLength];

    // The plain value each parameter was last set to (NaN before the first), so
    // a learned controller that would not change it is not applied or reported.
    double paramValues_[kNumParams];
    static constexpr int kChangeHistory = 256;
    ControlledChange changes_[kChangeHistory + kNumParams];
    int changeCount_ = 0;
    bool indicatorsChanged_ = false;

    // Global stages. The mix refers to the brass section and the bowing, so they
    // come first.
    PitchModulation pitchModulation_;
    BrassSection brass_;
    Bowing bowing_;
    OutputMix outputMix_;
};

} // namespace halvane
