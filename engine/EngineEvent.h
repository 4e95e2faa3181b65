#pragma once
// A MIDI short message at its sample: what the engine is handed for each block.
// The offset counts from the first sample of the block being rendered.

#include <cstdint>

namespace halvane {

struct EngineEvent {
    int32_t offset = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;

    int Kind() const { return status >> 4; }
};

} // namespace halvane
