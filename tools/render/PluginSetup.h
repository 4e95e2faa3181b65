#pragma once
// Loading an instrument through its entry point and bringing it into the state the
// command line asks for: bank file, program, program file, single parameters, in
// that order, each reported back in words for --verbose.

#include <memory>
#include <string>
#include <vector>

#include "tools/render/PresetFile.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/RenderStatus.h"
#include "tools/vsthost/VstHost.h"

namespace halvane {

struct LoadedPlugin {
    std::shared_ptr<vsthost::PluginLibrary> library;
    std::unique_ptr<vsthost::Host> host; // started at the rate and block size asked for
};

// Opens the library, creates an instance and starts it as a host does (open, sample
// rate, block size, resume). Refuses an instance without audio outputs.
RenderStatus LoadPlugin(const std::string& path, double sampleRate, int blockSize,
                        LoadedPlugin& out, std::string& error);

// A second instance from an already open library, started the same way.
RenderStatus CreateInstance(const std::shared_ptr<vsthost::PluginLibrary>& library,
                            double sampleRate, int blockSize, LoadedPlugin& out,
                            std::string& error);

// The parameter the host knows by this name: an exact match first, else the one
// match that ignores letter case. -1 with a message (naming close candidates) when
// there is none or the name is ambiguous.
int FindParameter(vsthost::Host& host, const std::string& name, std::string& error);

// The program of this name, matched like parameters; -1 with a message otherwise.
int FindProgramByName(vsthost::Host& host, const std::string& name, std::string& error);

// Sets a parameter to a value in its own range. The number goes to the plug-in as
// typed text (effString2Parameter), which limits it to the range. A parameter that
// only takes its display texts (a list or switch) takes the value as the index of
// an entry, rounded and limited to the list. `shown` receives the display text after.
bool SetPlainValue(vsthost::Host& host, int index, double value, std::string& shown,
                   std::string& error);

// The display texts of a list parameter in order, found by sweeping its normalised
// value; empty when the display changes too often to be a list. Each entry keeps the
// normalised span that shows it. The parameter's value is restored afterwards.
struct ListEntry {
    std::string text;
    float low = 0.0f;
    float high = 0.0f;
};
std::vector<ListEntry> ListEntries(vsthost::Host& host, int index);

// Hands a program or bank file to the plug-in as a host does: opaque chunks through
// effSetChunk, parameter values through setParameter and the program name.
RenderStatus ApplyPresetFile(vsthost::Host& host, const PresetFile& file, std::string& error);

// The plug-in's current program or whole bank as a file.
bool CapturePresetFile(vsthost::Host& host, PresetFile::Kind kind, PresetFile& out,
                       std::string& error);

// --fxb, --program, --fxp, --set in that order; `notes` collects one line per step.
RenderStatus ApplySetup(vsthost::Host& host, const RenderOptions& options,
                        std::vector<std::string>& notes, std::string& error);

// --save-fxp / --save-fxb.
RenderStatus SavePresets(vsthost::Host& host, const RenderOptions& options,
                         std::vector<std::string>& notes, std::string& error);

// Text the plug-in can read back as exactly this number, independent of the locale.
std::string NumberText(double value);

} // namespace halvane
