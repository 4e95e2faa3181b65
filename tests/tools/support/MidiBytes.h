#pragma once
// Standard MIDI File bytes written by hand, for tests that hand the reader and
// the renderer files of an exact layout, broken ones included.

#include <cstdint>
#include <vector>

namespace halvane {

namespace toolstest {

using Bytes = std::vector<uint8_t>;

// A variable-length quantity: seven bits a byte, most significant first, every
// byte but the last with its top bit set.
void PutVlq(Bytes& out, uint32_t value);

// The low `bytes` bytes of value, most significant first.
void PutBigEndian(Bytes& out, uint32_t value, int bytes);

// A chunk: its four-letter id, the body's length in four bytes, the body.
Bytes Chunk(const char* id, const Bytes& body);

// The MThd chunk.
Bytes Header(int format, int tracks, uint16_t division);

} // namespace toolstest

} // namespace halvane
