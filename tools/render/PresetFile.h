#pragma once
// Program (.fxp) and bank (.fxb) files in the published VST 2.x layout, read and
// written on the host side: a host reads the file itself and hands the plug-in
// either its opaque chunk or its parameter values. Every size and count in a file
// is checked against the bytes really there before it is used.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace halvane {

// One program record of a bank of parameter values ("FxBk"), or the body of a
// program file of parameter values ("FxCk").
struct PresetProgram {
    std::string name;          // at most 27 characters
    std::vector<float> values; // normalised, in parameter order
};

struct PresetFile {
    enum class Kind { Program, Bank };

    Kind kind = Kind::Program;
    bool opaque = false; // "FPCh" / "FBCh": the plug-in's own chunk
    int32_t formatVersion = 1;
    int32_t pluginId = 0; // the plug-in's unique ID
    int32_t pluginVersion = 0;
    int32_t currentProgram = -1; // banks of format version 2; -1 when not given

    PresetProgram program;               // Kind::Program with values
    std::vector<PresetProgram> programs; // Kind::Bank with values
    std::string chunkProgramName;        // Kind::Program, opaque: the 28-byte name field
    int32_t chunkCount = 0;              // the parameter or program count of an opaque file
    std::vector<uint8_t> chunk;          // opaque files
};

// The four-character code as text ('Hal3' -> "Hal3"); unprintable bytes become '?'.
std::string FourCharText(int32_t code);

// Parses a whole file held in memory. False with a message when it is not a program
// or bank file or any size in it is wrong; `out` is then left cleared.
bool ParsePresetFile(const uint8_t* data, std::size_t size, PresetFile& out, std::string& error);
// Reads and parses a file; messages start with the path.
bool ReadPresetFile(const std::string& path, PresetFile& out, std::string& error);

// The file's bytes. Names longer than 27 characters are cut to fit their field.
std::vector<uint8_t> SerializePresetFile(const PresetFile& file);
// Writes the file in one piece; false with a message when that fails.
bool WritePresetFile(const std::string& path, const PresetFile& file, std::string& error);

// Program and bank files are tiny; anything far larger is not one.
constexpr std::size_t kMaxPresetFileBytes = 64u * 1024u * 1024u;

} // namespace halvane
