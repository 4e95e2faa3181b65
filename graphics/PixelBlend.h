#pragma once
// Premultiplied ARGB arithmetic shared by the blitter and the text renderer.

#include <cstdint>

namespace halvane {

namespace lice_detail {

// Scales all four channels of a premultiplied pixel by m/255 (m in 0..255),
// rounded exactly, so opaque stays opaque.
inline uint32_t Scale255(uint32_t p, uint32_t m) {
    uint32_t rb = (p & 0x00FF00FFu) * m + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t ag = ((p >> 8) & 0x00FF00FFu) * m + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}

// src over dst, both premultiplied.
inline uint32_t Over(uint32_t src, uint32_t dst) {
    uint32_t a = src >> 24;
    if (a == 255)
        return src;
    if (a == 0)
        return dst;
    return src + Scale255(dst, 255 - a);
}

// A straight colour premultiplied by its own alpha.
inline uint32_t Premultiply(int a, int r, int g, int b) {
    auto mul = [a](int c) { return static_cast<uint32_t>((c * a + 127) / 255); };
    return static_cast<uint32_t>(a) << 24 | mul(r) << 16 | mul(g) << 8 | mul(b);
}

} // namespace lice_detail

} // namespace halvane
