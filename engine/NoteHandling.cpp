// Note-on, note-off and sustain: key assignment, the keyboard split, the section
// key counters and the section trigger rules of the brass and strings stages.

#include <cstdint>

#include "engine/Engine.h"

namespace halvane {

namespace {

// Counters only ever step by one; holding them inside 32 bits keeps a stream of
// unmatched note-ons or note-offs from overflowing.
void Increment(int32_t& counter) {
    if (counter < INT32_MAX)
        ++counter;
}

void Decrement(int32_t& counter) {
    if (counter > INT32_MIN)
        --counter;
}

} // namespace

bool Engine::InRange(int section, int note) const {
    if (!outputMix_.SectionOn(section))
        return false;
    switch (range_[section]) {
    case kLower:
        return note < splitKey_;
    case kUpper:
        return note >= splitKey_;
    default:
        return true;
    }
}

int Engine::ChooseVoice(int note) const {
    const int count = voiceCount_;
    if (!keyAssignOne_)
        return heldCount_ % count;
    // The same key returns to its voice, sounding or not, so a repeated note
    // attacks from where its envelopes are instead of stacking a second voice.
    for (int v = 0; v < count; ++v)
        if (voices_[v].Note() == note)
            return v;
    for (int v = 0; v < count; ++v)
        if (!voices_[v].Active())
            return v;
    int oldest = 0;
    for (int v = 1; v < count; ++v)
        if (voices_[v].StartOrder() < voices_[oldest].StartOrder())
            oldest = v;
    return oldest;
}

void Engine::NoteOn(int note, int velocity) {
    if (note < 0 || note > 127)
        return;
    if (velocity < 1) {
        NoteOff(note);
        return;
    }
    if (velocity > 127)
        velocity = 127;
    // No voice takes part until the parameters have set the voice count.
    if (voiceCount_ < 1)
        return;
    if (tuning_ && tuning_->ShouldFilterNote(note)) {
        filteredKeys_[note] = true;
        return;
    }
    filteredKeys_[note] = false;

    const int n = ChooseVoice(note);

    if (heldCount_ < 1) {
        keyCount_[kSectionSynthe] = keyCount_[kSectionBrass] = keyCount_[kSectionStrings] = 0;
        pitchModulation_.TriggerVibratoDelay();
    }

    bool synthe = false, brass = false, strings = false, brassSilent = false;

    if (InRange(kSectionSynthe, note)) {
        // A new phrase cuts the release tails of the other voices.
        if (!sustain_ && autoDamp_ && keyCount_[kSectionSynthe] < 1)
            for (int v = 0; v < voiceCount_; ++v)
                if (v != n)
                    voices_[v].ReleaseDampGate();
        Increment(keyCount_[kSectionSynthe]);
        synthe = true;
    }

    if (InRange(kSectionBrass, note)) {
        const int32_t counter = keyCount_[kSectionBrass];
        if (!sustain_ && counter < 1)
            for (int v = 0; v < voiceCount_; ++v)
                voices_[v].ReleaseBrassGate();
        bool trigger;
        if (brassMultiTrigger_)
            trigger = true;
        else if (!brassTriggerSelect_)
            trigger = counter <= 0; // single triggering: legato keeps one envelope run
        else
            trigger = counter >= silentThreshold_;
        if (trigger)
            brass_.Trigger();
        brassSilent = !trigger;
        const double v = brassVelocityVcf_;
        brass_.SetVelocityFactor(v > 0.0 ? (velocity / 127.0 - 1.0) * v + 1.0 : 1.0);
        Increment(keyCount_[kSectionBrass]);
        brass = true;
    }

    if (InRange(kSectionStrings, note)) {
        if (outputMix_.BowingOn() && keyCount_[kSectionStrings] < 1)
            bowing_.Trigger();
        if (outputMix_.StringsVibratoOn())
            outputMix_.TriggerStringsVibratoDelay();
        Increment(keyCount_[kSectionStrings]);
        strings = true;
    }

    if (heldCount_ < kMaxHeldKeys) {
        int at = 0;
        while (at < heldCount_ && heldKeys_[at] < note)
            ++at;
        if (at == heldCount_ || heldKeys_[at] != note) {
            for (int k = heldCount_; k > at; --k)
                heldKeys_[k] = heldKeys_[k - 1];
            heldKeys_[at] = note;
            ++heldCount_;
        }
    }

    ++startCounter_;
    Voice& voice = voices_[n];
    voice.StartVoice(note, NoteToPitch(note), velocity, startCounter_, synthe, brass, strings,
                     brassSilent);
    // The pitch offset of the last control update (bend, vibrato, tune), so a note
    // started between two updates does not sound briefly at its unbent pitch.
    UpdateVoice(voice, Context(lastPitchOffset_));
}

void Engine::NoteOff(int note) {
    // The note-on of a filtered key was dropped entirely; so is its note-off (the
    // master may have stopped filtering meanwhile, so it is not asked again).
    // Otherwise the section counters would fall below the keys still held and,
    // for one, release the brass envelope under them. A key still held from an
    // earlier press that did sound is let go as usual.
    if (note >= 0 && note <= 127 && filteredKeys_[note]) {
        filteredKeys_[note] = false;
        bool held = false;
        for (int k = 0; k < heldCount_ && k < kMaxHeldKeys; ++k)
            held = held || heldKeys_[k] == note;
        if (!held)
            return;
    }
    if (heldCount_ >= 1 && heldCount_ <= kMaxHeldKeys) {
        for (int k = 0; k < heldCount_; ++k) {
            if (heldKeys_[k] != note)
                continue;
            for (int j = k; j + 1 < heldCount_; ++j)
                heldKeys_[j] = heldKeys_[j + 1];
            --heldCount_;
            heldKeys_[heldCount_] = kVacantKey;
            break;
        }
    }

    for (int section = 0; section < kSections; ++section)
        if (InRange(section, note))
            Decrement(keyCount_[section]);

    for (int v = 0; v < voiceCount_; ++v)
        if (voices_[v].Active() && voices_[v].Note() == note)
            voices_[v].ReleaseVoice(false);

    if (sustain_)
        return;
    if (outputMix_.SectionOn(kSectionBrass) && keyCount_[kSectionBrass] < 1)
        brass_.Release();
    if (outputMix_.SectionOn(kSectionStrings) && keyCount_[kSectionStrings] < 1)
        bowing_.Release();
}

void Engine::SetSustain(bool down) {
    sustain_ = down;
    for (Voice& voice : voices_) {
        voice.SetSustained(down);
        if (!down && !voice.KeyHeld())
            voice.ReleaseVoice(false);
    }
    if (down)
        return;
    if (outputMix_.SectionOn(kSectionBrass) && keyCount_[kSectionBrass] <= 0)
        brass_.Release();
    if (outputMix_.SectionOn(kSectionStrings) && keyCount_[kSectionStrings] <= 0)
        bowing_.Release();
}

void Engine::AllVoicesOff() {
    for (int32_t& key : heldKeys_)
        key = kVacantKey;
    heldCount_ = 0;
    for (Voice& voice : voices_) {
        voice.SetSustained(false);
        if (!voice.KeyHeld())
            voice.ReleaseVoice(false);
        voice.ReleaseVoice(true);
    }
}

} // namespace halvane
