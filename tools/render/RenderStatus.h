#pragma once

namespace halvane {

// How a run of halvane-render ends; the value is the process exit code, so scripts
// can tell a typo in a program name from a broken MIDI file.

enum class RenderStatus : int {
    Ok = 0,
    Failed = 1,           // anything not listed below
    Usage = 2,            // the command line itself is wrong
    MidiMissing = 3,      // the MIDI file is missing or cannot be read
    MidiBad = 4,          // the MIDI file is not a valid Standard MIDI File
    PluginLoad = 5,       // the plug-in is missing, not a VST 2.4 instrument, or gives no instance
    UnknownProgram = 6,   // no program of that name, or the index is out of range
    UnknownParameter = 7, // no parameter of that name, or it cannot take the value
    PresetFile = 8,       // an fxp/fxb file is missing, malformed or for another plug-in
    Output = 9,           // an output file cannot be written
};

inline int ExitCode(RenderStatus status) {
    return static_cast<int>(status);
}

} // namespace halvane
