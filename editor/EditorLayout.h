#pragma once

namespace halvane {

// Builds the instrument's panel from the control table: the bitmaps, the
// background and every control in creation (and drawing) order, bound to the
// parameters named in the table.

class IGraphics;
class IBitmapControl;
class IZuPresetMenu;
class IZuSwitchMidiLearn;
class IZuVoiceDebugger;
class Synth;

// The controls the instrument drives itself.
struct EditorControls {
    IZuPresetMenu* programDisplay = nullptr;
    IZuSwitchMidiLearn* learnSwitch = nullptr;
    IZuVoiceDebugger* voiceSchedule = nullptr;
    IBitmapControl* polyphony = nullptr;
    IBitmapControl* brassDetune = nullptr;
    IBitmapControl* stringsDetune = nullptr;
};

// The parameter with this display name; -1 when there is none.
int FindParamByName(const Synth& synth, const char* name);

EditorControls BuildEditorLayout(IGraphics& graphics, Synth& synth);

} // namespace halvane
