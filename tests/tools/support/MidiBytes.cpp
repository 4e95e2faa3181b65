#include "support/MidiBytes.h"

namespace halvane {

namespace toolstest {

void PutVlq(Bytes& out, uint32_t value) {
    uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1)
        out.push_back(static_cast<uint8_t>(groups[--count] | 0x80));
    out.push_back(groups[0]);
}

void PutBigEndian(Bytes& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Bytes Chunk(const char* id, const Bytes& body) {
    Bytes out(id, id + 4);
    PutBigEndian(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Header(int format, int tracks, uint16_t division) {
    Bytes body;
    PutBigEndian(body, static_cast<uint32_t>(format), 2);
    PutBigEndian(body, static_cast<uint32_t>(tracks), 2);
    PutBigEndian(body, division, 2);
    return Chunk("MThd", body);
}

} // namespace toolstest

} // namespace halvane
