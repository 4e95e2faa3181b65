#pragma once
// The panel's design constants: palette, section panels and type sizes. One
// light from the upper left; a dark instrument body with warm off-white
// lettering, and the four button colours (silver, graphite, ivory, amber)
// as the only accents.

#include "graphics/GraphicsTypes.h"

namespace halvane {

namespace artwork {

struct Rgb {
    double r, g, b;
};

constexpr Rgb Hex(unsigned v) {
    return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}

// Body and panels.
constexpr Rgb kBodyTop = Hex(0x2E3034);
constexpr Rgb kBodyBottom = Hex(0x222327);
constexpr Rgb kHeader = Hex(0x17181B);
constexpr Rgb kPanel = Hex(0x34373C);
constexpr Rgb kPanelEdgeLight = Hex(0x4A4E55);
constexpr Rgb kPanelEdgeDark = Hex(0x1A1B1E);
constexpr Rgb kDisplay = Hex(0x0E1412);
constexpr Rgb kDisplayGlow = Hex(0x1C2A25);
// Lettering.
constexpr Rgb kInk = Hex(0xECE6D8);
constexpr Rgb kInkDim = Hex(0xA9A59B);
constexpr Rgb kScaleInk = Hex(0xC9C3B5);
// Accents, the colours of the button pairs.
constexpr Rgb kAmber = Hex(0xE98B2A);
constexpr Rgb kIvory = Hex(0xEDE6D3);
constexpr Rgb kGraphite = Hex(0x3A3D42);
constexpr Rgb kSilver = Hex(0xB8BCC2);
constexpr Rgb kLedRed = Hex(0xFF4A2E);
constexpr Rgb kLedGreen = Hex(0x7CFF6B);

// Type sizes in pixels (em height).
constexpr double kLabelSize = 9.5;
constexpr double kButtonLabelSize = 8.5; // under the narrow keys
constexpr double kScaleSize = 8.0;
constexpr double kTitleSize = 11.0;

// A titled panel on the body.
struct Section {
    const char* title; // null for an untitled panel
    IRect box;
};

constexpr Section kSections[] = {
    {"KEYBOARD", {36, 100, 176, 280}},
    {"FLANGER", {180, 100, 304, 376}},
    {"SYNTHE", {308, 100, 952, 280}},
    {"VIBRATO", {36, 284, 176, 376}},
    {"SYNTHE OUT", {308, 284, 420, 376}},
    {"PROGRAM", {424, 284, 728, 376}},
    {"STEREO / DETUNE", {732, 284, 952, 376}},
    {"WHEEL", {36, 404, 176, 584}},
    {"BRASS", {180, 404, 436, 684}},
    {"STRINGS", {440, 404, 756, 684}},
    {"MIX", {760, 404, 952, 684}},
    {"VOICES", {36, 588, 176, 684}},
};

// The program display's windows, behind the number and name areas, and the
// menu symbol under the option menu's invisible button.
constexpr IRect kNumberWindow{457, 313, 484, 335};
constexpr IRect kNameWindow{509, 313, 716, 335};
constexpr IRect kMenuSymbol{608, 338, 656, 358};
// The split key's note window.
constexpr IRect kSplitWindow{127, 241, 163, 261};

} // namespace artwork

} // namespace halvane
