#pragma once
// The editor's panel as data: the bitmaps compiled into the library and every
// control with its class, place, pictures and parameter, in creation order
// (which is also the drawing order: later controls lie on top). The editor
// builds its controls from this table and the artwork generator letters the
// background from it, so a label always sits by its control.
//
// Header-only constant data, so build-time tools can use it without linking
// the editor.

#include "graphics/GraphicsTypes.h"

namespace halvane {

namespace layout {

constexpr int kEditorWidth = 988;
constexpr int kEditorHeight = 696;
constexpr int kFrameRate = 25; // redraws per second

struct BitmapEntry {
    int id;
    const char* fileName; // the bitmap cache's key
    int width;
    int height;
    int frames; // stacked vertically
};

constexpr BitmapEntry kBitmaps[] = {
    {101, "resources/img/back.png", 988, 696, 1},
    {102, "resources/img/hal3switch_white.png", 40, 120, 3},
    {103, "resources/img/hal4switch.png", 40, 160, 4},
    {104, "resources/img/hal4switch_white.png", 40, 160, 4},
    {105, "resources/img/hal5switch_white.png", 40, 200, 5},
    {106, "resources/img/button_off.png", 24, 80, 2},
    {107, "resources/img/button_dark_off.png", 24, 80, 2},
    {108, "resources/img/button_white_off.png", 24, 80, 2},
    {109, "resources/img/button_orange_off.png", 24, 80, 2},
    {110, "resources/img/button_on.png", 24, 80, 2},
    {111, "resources/img/button_dark_on.png", 24, 80, 2},
    {112, "resources/img/button_white_on.png", 24, 80, 2},
    {113, "resources/img/button_orange_on.png", 24, 80, 2},
    {114, "resources/img/halknob.png", 40, 2600, 65},
    {115, "resources/img/halknob_white.png", 40, 2600, 65},
    {116, "resources/img/halswitch2.png", 14, 40, 2},
    {117, "resources/img/halswitch3_h.png", 30, 42, 3},
    {118, "resources/img/prev.png", 22, 44, 2},
    {119, "resources/img/next.png", 22, 44, 2},
    {120, "resources/img/learn.png", 50, 44, 2},
    {121, "resources/img/unlearn.png", 50, 44, 2},
    {122, "resources/img/halpoly.png", 30, 40, 2},
    {123, "resources/img/led.png", 8, 8, 1},
};
constexpr int kBackgroundBitmap = 101;

// The order in which the layout loads its bitmaps (the background comes last,
// when it is put in front of the control list).
constexpr int kLoadOrder[] = {114, 115, 118, 119, 120, 102, 103, 104, 105, 116, 117,
                              106, 107, 109, 108, 110, 111, 113, 112, 122, 123};

constexpr const BitmapEntry* FindBitmap(int id) {
    for (const BitmapEntry& b : kBitmaps)
        if (b.id == id)
            return &b;
    return nullptr;
}

enum ControlKind {
    kPresetMenu,      // IZuPresetMenu
    kUtilityKick,     // IZuUtilityKick
    kOptionMenu,      // IZuOptionMenu
    kSwitchMidiLearn, // IZuSwitchMidiLearn
    kText,            // ITextControl
    kVoiceDebugger,   // IZuVoiceDebugger
    kButtonKick,      // IZuButtonKick
    kBitmap,          // IBitmapControl
    kSwitch,          // ISwitchControl
    kKnob,            // IKnobMultiControl
    kFramesSwitch,    // ISwitchFramesControl
    kKeyControl,      // IZuKeyControl
};

// What a control is for beyond its parameter; the instrument keeps references
// to the program display, the learn switch, the voice schedule and the three
// indicators.
enum ControlRole {
    kParameter, // bound to the parameter named
    kProgramDisplay,
    kPreviousProgram,
    kNextProgram,
    kOptionMenuButton,
    kLearnSwitch,
    kVersionText,
    kVoiceSchedule,
    kPolyphonyIndicator,
    kBrassDetuneIndicator,
    kStringsDetuneIndicator,
};

struct ControlEntry {
    ControlKind kind;
    // Where the control draws. A rectangle given with right and bottom 0 is a
    // top-left corner: the size is one frame of the bitmap.
    IRect rect;
    // The program display's name area (its rect is the number area).
    IRect second;
    int bitmap;            // resource id, 0 for none
    int bitmapAlt;         // the "on" picture of a button, the unlearn picture of the learn switch
    const char* parameter; // display name, or null
    int gearing;           // knobs: pixels of travel per unit are height x gearing
    ControlRole role;
};

constexpr ControlEntry kControls[] = {
    {kPresetMenu,
     {458, 316, 482, 332},
     {512, 316, 712, 332},
     0,
     0,
     nullptr,
     0,
     kProgramDisplay},                                                                    // 1
    {kUtilityKick, {433, 313, 0, 0}, {}, 118, 0, nullptr, 0, kPreviousProgram},           // 2
    {kUtilityKick, {485, 313, 0, 0}, {}, 119, 0, nullptr, 0, kNextProgram},               // 3
    {kOptionMenu, {608, 338, 656, 358}, {}, 0, 0, nullptr, 0, kOptionMenuButton},         // 4
    {kSwitchMidiLearn, {663, 337, 0, 0}, {}, 120, 121, nullptr, 0, kLearnSwitch},         // 5
    {kText, {884, 40, 948, 52}, {}, 0, 0, nullptr, 0, kVersionText},                      // 6
    {kVoiceDebugger, {632, 39, 776, 51}, {}, 0, 0, nullptr, 0, kVoiceSchedule},           // 7
    {kButtonKick, {102, 608, 0, 0}, {}, 106, 110, "Trident Mode", 0, kParameter},         // 8
    {kBitmap, {56, 618, 0, 0}, {}, 122, 0, nullptr, 0, kPolyphonyIndicator},              // 9
    {kSwitch, {68, 144, 0, 0}, {}, 116, 0, "Key Assign", 0, kParameter},                  // 10
    {kKnob, {56, 208, 0, 0}, {}, 114, 0, "Total Tune", 4, kParameter},                    // 11
    {kFramesSwitch, {130, 132, 0, 0}, {}, 117, 0, "Range Synthe", 0, kParameter},         // 12
    {kFramesSwitch, {130, 172, 0, 0}, {}, 117, 0, "Range Brass", 0, kParameter},          // 13
    {kFramesSwitch, {130, 212, 0, 0}, {}, 117, 0, "Range Strings", 0, kParameter},        // 14
    {kKeyControl, {130, 244, 160, 258}, {}, 0, 0, "Split Key", 0, kParameter},            // 15
    {kKnob, {320, 136, 0, 0}, {}, 102, 0, "VCO 1 Octave", 1, kParameter},                 // 16
    {kKnob, {384, 136, 0, 0}, {}, 102, 0, "VCO 1 Wave", 1, kParameter},                   // 17
    {kKnob, {448, 136, 0, 0}, {}, 104, 0, "VCO 2 Octave", 1, kParameter},                 // 18
    {kKnob, {512, 136, 0, 0}, {}, 115, 0, "VCF Cutoff", 4, kParameter},                   // 19
    {kKnob, {576, 136, 0, 0}, {}, 115, 0, "VCF Resonance", 4, kParameter},                // 20
    {kKnob, {640, 136, 0, 0}, {}, 115, 0, "VCF Attack", 4, kParameter},                   // 21
    {kKnob, {704, 136, 0, 0}, {}, 115, 0, "VCF Decay", 4, kParameter},                    // 22
    {kKnob, {768, 136, 0, 0}, {}, 115, 0, "VCF Sustain", 4, kParameter},                  // 23
    {kKnob, {832, 136, 0, 0}, {}, 115, 0, "VCF Release", 4, kParameter},                  // 24
    {kKnob, {896, 136, 0, 0}, {}, 115, 0, "VCA Attenuator", 4, kParameter},               // 25
    {kKnob, {320, 208, 0, 0}, {}, 115, 0, "VCO 1 PW/PWM", 4, kParameter},                 // 26
    {kKnob, {384, 208, 0, 0}, {}, 115, 0, "VCO 1 PWM Speed", 4, kParameter},              // 27
    {kKnob, {448, 208, 0, 0}, {}, 115, 0, "VCO 2 Detune", 4, kParameter},                 // 28
    {kKnob, {512, 208, 0, 0}, {}, 105, 0, "VCF KBF Track", 1, kParameter},                // 29
    {kKnob, {576, 208, 0, 0}, {}, 115, 0, "VCF EG Intensity", 4, kParameter},             // 30
    {kKnob, {640, 208, 0, 0}, {}, 115, 0, "VCA Attack", 4, kParameter},                   // 31
    {kKnob, {704, 208, 0, 0}, {}, 115, 0, "VCA Decay", 4, kParameter},                    // 32
    {kKnob, {768, 208, 0, 0}, {}, 115, 0, "VCA Sustain", 4, kParameter},                  // 33
    {kKnob, {832, 208, 0, 0}, {}, 115, 0, "VCA Release", 4, kParameter},                  // 34
    {kSwitch, {908, 216, 0, 0}, {}, 116, 0, "VCA Auto Damp", 0, kParameter},              // 35
    {kKnob, {320, 304, 0, 0}, {}, 114, 0, "Volume Synthe", 4, kParameter},                // 36
    {kButtonKick, {376, 304, 0, 0}, {}, 109, 113, "Output Synthe", 0, kParameter},        // 37
    {kKnob, {192, 440, 0, 0}, {}, 114, 0, "Brass Cutoff", 4, kParameter},                 // 38
    {kKnob, {256, 440, 0, 0}, {}, 114, 0, "Brass Resonance", 4, kParameter},              // 39
    {kKnob, {320, 440, 0, 0}, {}, 114, 0, "Brass Attack", 4, kParameter},                 // 40
    {kKnob, {384, 440, 0, 0}, {}, 114, 0, "Brass Decay", 4, kParameter},                  // 41
    {kKnob, {192, 512, 0, 0}, {}, 103, 0, "Brass Silent Notes", 1, kParameter},           // 42
    {kKnob, {256, 512, 0, 0}, {}, 114, 0, "Brass EG Intensity", 4, kParameter},           // 43
    {kKnob, {320, 512, 0, 0}, {}, 114, 0, "Brass Sustain", 4, kParameter},                // 44
    {kKnob, {384, 512, 0, 0}, {}, 114, 0, "Brass Release", 4, kParameter},                // 45
    {kKnob, {192, 608, 0, 0}, {}, 114, 0, "Volume Brass", 4, kParameter},                 // 46
    {kButtonKick, {248, 608, 0, 0}, {}, 109, 113, "Output Brass", 0, kParameter},         // 47
    {kButtonKick, {292, 608, 0, 0}, {}, 108, 112, "Brass 16'", 0, kParameter},            // 48
    {kButtonKick, {324, 608, 0, 0}, {}, 108, 112, "Brass 8'", 0, kParameter},             // 49
    {kButtonKick, {368, 608, 0, 0}, {}, 107, 111, "Brass Multi Trigger", 0, kParameter},  // 50
    {kButtonKick, {400, 608, 0, 0}, {}, 107, 111, "Brass Trigger Select", 0, kParameter}, // 51
    {kKnob, {448, 440, 0, 0}, {}, 114, 0, "Strings Attack", 4, kParameter},               // 52
    {kKnob, {512, 440, 0, 0}, {}, 114, 0, "Strings EQ High", 4, kParameter},              // 53
    {kKnob, {576, 440, 0, 0}, {}, 114, 0, "Strings Bowing Level", 4, kParameter},         // 54
    {kKnob, {640, 440, 0, 0}, {}, 114, 0, "Strings Vibrato Delay", 4, kParameter},        // 55
    {kKnob, {704, 440, 0, 0}, {}, 114, 0, "Strings Vibrato Speed", 4, kParameter},        // 56
    {kKnob, {448, 512, 0, 0}, {}, 114, 0, "Strings Release", 4, kParameter},              // 57
    {kKnob, {512, 512, 0, 0}, {}, 114, 0, "Strings EQ Low", 4, kParameter},               // 58
    {kKnob, {576, 512, 0, 0}, {}, 114, 0, "Strings Bowing Tone", 4, kParameter},          // 59
    {kKnob, {640, 512, 0, 0}, {}, 114, 0, "Strings Vibrato Intensity", 4, kParameter},    // 60
    {kKnob, {704, 512, 0, 0}, {}, 114, 0, "Strings KBD Balance", 4, kParameter},          // 61
    {kKnob, {448, 608, 0, 0}, {}, 114, 0, "Volume Strings", 4, kParameter},               // 62
    {kButtonKick, {504, 608, 0, 0}, {}, 109, 113, "Output Strings", 0, kParameter},       // 63
    {kButtonKick, {548, 608, 0, 0}, {}, 108, 112, "Strings 16'", 0, kParameter},          // 64
    {kButtonKick, {580, 608, 0, 0}, {}, 108, 112, "Strings 8'", 0, kParameter},           // 65
    {kButtonKick, {612, 608, 0, 0}, {}, 108, 112, "Strings 4'", 0, kParameter},           // 66
    {kButtonKick, {656, 608, 0, 0}, {}, 107, 111, "Strings Bowing", 0, kParameter},       // 67
    {kButtonKick, {688, 608, 0, 0}, {}, 107, 111, "Strings Vibrato", 0, kParameter},      // 68
    {kButtonKick, {720, 608, 0, 0}, {}, 107, 111, "Strings Ensemble", 0, kParameter},     // 69
    {kKnob, {192, 136, 0, 0}, {}, 114, 0, "Flanger Speed", 4, kParameter},                // 70
    {kKnob, {256, 136, 0, 0}, {}, 114, 0, "Flanger Feedback", 4, kParameter},             // 71
    {kKnob, {192, 208, 0, 0}, {}, 114, 0, "Flanger Intensity", 4, kParameter},            // 72
    {kKnob, {256, 208, 0, 0}, {}, 114, 0, "Flanger Manual", 4, kParameter},               // 73
    {kButtonKick, {192, 304, 0, 0}, {}, 107, 111, "Flanger Synthe", 0, kParameter},       // 74
    {kButtonKick, {232, 304, 0, 0}, {}, 107, 111, "Flanger Brass", 0, kParameter},        // 75
    {kButtonKick, {272, 304, 0, 0}, {}, 107, 111, "Flanger Strings", 0, kParameter},      // 76
    {kKnob, {56, 304, 0, 0}, {}, 114, 0, "Vib. Intensity", 4, kParameter},                // 77
    {kButtonKick, {132, 304, 0, 0}, {}, 106, 110, "Vib. Delay", 0, kParameter},           // 78
    {kKnob, {56, 440, 0, 0}, {}, 114, 0, "Wheel Vib. Intensity", 4, kParameter},          // 79
    {kKnob, {128, 440, 0, 0}, {}, 114, 0, "Wheel Vib. Speed", 4, kParameter},             // 80
    {kSwitch, {60, 520, 0, 0}, {}, 116, 0, "Wheel Mode", 0, kParameter},                  // 81
    {kKnob, {128, 512, 0, 0}, {}, 114, 0, "Pitch Bend", 4, kParameter},                   // 82
    {kButtonKick, {748, 304, 0, 0}, {}, 106, 110, "Stereo Flanger", 0, kParameter},       // 83
    {kButtonKick, {788, 304, 0, 0}, {}, 106, 110, "Stereo Ensemble", 0, kParameter},      // 84
    {kKnob, {832, 304, 0, 0}, {}, 114, 0, "Detune Brass", 4, kParameter},                 // 85
    {kKnob, {896, 304, 0, 0}, {}, 114, 0, "Detune Strings", 4, kParameter},               // 86
    {kBitmap, {828, 296, 0, 0}, {}, 123, 0, nullptr, 0, kBrassDetuneIndicator},           // 87
    {kBitmap, {932, 296, 0, 0}, {}, 123, 0, nullptr, 0, kStringsDetuneIndicator},         // 88
    {kKnob, {768, 440, 0, 0}, {}, 114, 0, "Pan Synthe", 4, kParameter},                   // 89
    {kKnob, {832, 440, 0, 0}, {}, 114, 0, "Pan Brass", 4, kParameter},                    // 90
    {kKnob, {896, 440, 0, 0}, {}, 114, 0, "Pan Strings", 4, kParameter},                  // 91
    {kKnob, {768, 512, 0, 0}, {}, 114, 0, "Velocity Synthe", 4, kParameter},              // 92
    {kKnob, {832, 512, 0, 0}, {}, 114, 0, "Velocity Brass", 4, kParameter},               // 93
    {kKnob, {896, 512, 0, 0}, {}, 114, 0, "Velocity Strings", 4, kParameter},             // 94
    {kKnob, {768, 608, 0, 0}, {}, 114, 0, "Velocity Synthe VCF", 4, kParameter},          // 95
    {kKnob, {832, 608, 0, 0}, {}, 114, 0, "Velocity Brass VCF", 4, kParameter},           // 96
    {kKnob, {896, 608, 0, 0}, {}, 114, 0, "Total Volume", 4, kParameter},                 // 97
};

constexpr int kControlCount = static_cast<int>(sizeof(kControls) / sizeof(kControls[0]));

// The rectangle a control draws in, with the size taken from its bitmap where
// the table gives only a corner.
constexpr IRect ControlRect(const ControlEntry& c) {
    if (c.rect.right != 0 || c.rect.bottom != 0)
        return c.rect;
    const BitmapEntry* b = FindBitmap(c.bitmap);
    if (!b)
        return c.rect;
    return IRect(c.rect.left, c.rect.top, c.rect.left + b->width,
                 c.rect.top + b->height / b->frames);
}

} // namespace layout

} // namespace halvane
