#pragma once
// What the engine asks of a microtuning source when a key goes down: whether to
// play the key at all and at which pitch. Implemented above the engine (the
// tuning client); without one the engine plays in equal temperament.

#include <cstdint>

namespace halvane {

class NoteTuning {
public:
    // Whether the note (0..127) is to be dropped.
    virtual bool ShouldFilterNote(int note) const = 0;
    // Pitch index (1/128 semitone) of the note (0..127).
    virtual int32_t NoteToPitch(int note) const = 0;

protected:
    ~NoteTuning() = default;
};

} // namespace halvane
