#pragma once
// Microtuning through an external tuning master (the MTS-ESP library): a master
// plug-in publishes a table of 128 note frequencies and may ask clients to drop
// notes. Without the library, or while no master is running, the instrument plays
// in equal temperament with A = 440 Hz.

#include "engine/NoteTuning.h"
#include "platform/MtsClientGlobal.h"

#include <cstdint>

namespace halvane {

// One instrument instance's view of the tuning master. Made and destroyed with
// the instrument; registers with the master for its lifetime. ShouldFilterNote,
// NoteToPitch, HasMaster and ScaleName run on the audio thread: they neither
// allocate nor lock.
class TuningClient final : public NoteTuning {
public:
    // Uses the process-wide library binding, loading it on first use.
    TuningClient();
    // Uses the given binding, which must outlive the client (tests).
    explicit TuningClient(mtsclientglobal& global);
    ~TuningClient();
    TuningClient(const TuningClient&) = delete;
    TuningClient& operator=(const TuningClient&) = delete;

    bool HasMaster() const { return mGlobal->HasMaster(); }

    // Whether the master wants the note (taken mod 128) dropped.
    bool ShouldFilterNote(int note) const override;

    // Pitch index (1/128 semitone) of the note (taken mod 128): the master's
    // frequency searched on the pitch scale, 4 .. 17276; note * 128 without a
    // master or when the master's frequency is not a usable positive number.
    int32_t NoteToPitch(int note) const override;

    const char* ScaleName() const { return mScaleName; }

    // Equal-tempered frequency of note 0..127, A = 440 Hz.
    double LocalFrequency(int note) const { return mLocalTable[note]; }

private:
    mtsclientglobal* mGlobal;
    char mScaleName[32];
    double mLocalTable[kTuningNotes];
};

} // namespace halvane
