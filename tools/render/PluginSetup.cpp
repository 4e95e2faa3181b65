#include "tools/render/PluginSetup.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <system_error>

namespace halvane {

using vsthost::Host;

namespace {

// Sweep resolution for finding a list's entries, and the most entries a sweep may
// find before the parameter counts as continuous.
constexpr int kSweepSteps = 1000;
constexpr std::size_t kMaxListEntries = 128;
constexpr std::size_t kMaxSuggestions = 4;
constexpr const char* kProbeNumber = "0.000123456789";

std::string Lower(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// Shared by parameters and programs: exact match first, then the one match that
// ignores letter case; near misses are offered in the message.
int FindByName(int count, const std::string& name, const std::string& what,
               const std::function<std::string(int)>& nameOf, std::string& error) {
    std::vector<std::string> names(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        names[static_cast<std::size_t>(i)] = nameOf(i);
        if (names[static_cast<std::size_t>(i)] == name)
            return i;
    }
    const std::string wanted = Lower(name);
    std::vector<int> caseless;
    std::vector<int> near;
    for (int i = 0; i < count; ++i) {
        const std::string candidate = Lower(names[static_cast<std::size_t>(i)]);
        if (candidate == wanted)
            caseless.push_back(i);
        else if (!wanted.empty() && !candidate.empty() &&
                 (candidate.find(wanted) != std::string::npos ||
                  wanted.find(candidate) != std::string::npos))
            near.push_back(i);
    }
    if (caseless.size() == 1)
        return caseless.front();
    if (caseless.size() > 1) {
        error = what + " name " + Quoted(name) +
                " is ambiguous: " + Quoted(names[static_cast<std::size_t>(caseless[0])]) + " and " +
                Quoted(names[static_cast<std::size_t>(caseless[1])]) +
                " differ only in letter case";
        return -1;
    }
    error = "unknown " + what + " " + Quoted(name);
    if (!near.empty()) {
        error += " (did you mean ";
        for (std::size_t i = 0; i < near.size() && i < kMaxSuggestions; ++i)
            error += (i > 0 ? ", " : "") + Quoted(names[static_cast<std::size_t>(near[i])]);
        error += near.size() > kMaxSuggestions ? ", ...?)" : "?)";
    }
    return -1;
}

// Settles a failed step's message and status in one place.
RenderStatus Fail(RenderStatus status, const std::string& what, std::string& error) {
    error = what;
    return status;
}

const char* KindWord(PresetFile::Kind kind) {
    return kind == PresetFile::Kind::Bank ? "bank" : "program";
}

void SetProgramName(Host& host, const std::string& name) {
    char buffer[32] = {};
    name.copy(buffer, sizeof buffer - 1);
    host.Dispatch(vst::effSetProgramName, 0, 0, buffer);
}

bool ApplyValues(Host& host, const PresetProgram& program, std::string& error) {
    if (static_cast<int>(program.values.size()) != host.NumParams()) {
        error = "the program " + Quoted(program.name) + " holds " +
                std::to_string(program.values.size()) + " values, the plug-in has " +
                std::to_string(host.NumParams()) + " parameters";
        return false;
    }
    for (std::size_t i = 0; i < program.values.size(); ++i)
        host.SetParameter(static_cast<int>(i), std::clamp(program.values[i], 0.0f, 1.0f));
    SetProgramName(host, program.name);
    return true;
}

PresetProgram CaptureValues(Host& host) {
    PresetProgram program;
    program.name = host.ProgramName();
    for (int i = 0; i < host.NumParams(); ++i)
        program.values.push_back(host.GetParameter(i));
    return program;
}

RenderStatus LoadPresetOption(Host& host, const std::string& path, PresetFile::Kind kind,
                              std::vector<std::string>& notes, std::string& error) {
    PresetFile file;
    std::string why;
    if (!ReadPresetFile(path, file, why))
        return Fail(RenderStatus::PresetFile, why, error);
    if (file.kind != kind)
        return Fail(RenderStatus::PresetFile,
                    path + ": a " + KindWord(file.kind) + " file, not a " + KindWord(kind) +
                        " file (use --" + (file.kind == PresetFile::Kind::Bank ? "fxb" : "fxp") +
                        ")",
                    error);
    const RenderStatus status = ApplyPresetFile(host, file, why);
    if (status != RenderStatus::Ok)
        return Fail(status, path + ": " + why, error);
    notes.push_back(std::string(KindWord(kind)) + " file " + path + " loaded" +
                    (file.opaque ? " (" + std::to_string(file.chunk.size()) + "-byte chunk)" : ""));
    return RenderStatus::Ok;
}

} // namespace

std::string NumberText(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

RenderStatus CreateInstance(const std::shared_ptr<vsthost::PluginLibrary>& library,
                            double sampleRate, int blockSize, LoadedPlugin& out,
                            std::string& error) {
    std::string why;
    auto host = Host::Create(library, why);
    if (!host)
        return Fail(RenderStatus::PluginLoad, library->Path() + ": " + why, error);
    if (host->NumOutputs() < 1)
        return Fail(RenderStatus::PluginLoad,
                    library->Path() + ": the plug-in has no audio outputs", error);
    host->Start(sampleRate, blockSize);
    out.library = library;
    out.host = std::move(host);
    return RenderStatus::Ok;
}

RenderStatus LoadPlugin(const std::string& path, double sampleRate, int blockSize,
                        LoadedPlugin& out, std::string& error) {
    std::error_code code;
    if (!std::filesystem::exists(path, code))
        return Fail(RenderStatus::PluginLoad, path + ": no such plug-in file", error);
    if (!std::filesystem::is_regular_file(path, code))
        return Fail(RenderStatus::PluginLoad, path + ": not a plug-in file", error);
    std::string why;
    auto library = vsthost::PluginLibrary::Open(path, why);
    if (!library)
        return Fail(RenderStatus::PluginLoad, why, error);
    return CreateInstance(library, sampleRate, blockSize, out, error);
}

int FindParameter(Host& host, const std::string& name, std::string& error) {
    return FindByName(
        host.NumParams(), name, "parameter", [&host](int i) { return host.ParamName(i); }, error);
}

int FindProgramByName(Host& host, const std::string& name, std::string& error) {
    return FindByName(
        host.NumPrograms(), name, "program", [&host](int i) { return host.ProgramNameIndexed(i); },
        error);
}

std::vector<ListEntry> ListEntries(Host& host, int index) {
    const float before = host.GetParameter(index);
    std::vector<ListEntry> entries;
    for (int step = 0; step <= kSweepSteps; ++step) {
        const float value = static_cast<float>(step) / static_cast<float>(kSweepSteps);
        host.SetParameter(index, value);
        const std::string text = host.ParamDisplay(index);
        if (!entries.empty() && entries.back().text == text) {
            entries.back().high = value;
            continue;
        }
        if (entries.size() == kMaxListEntries) {
            entries.clear();
            break;
        }
        entries.push_back({text, value, value});
    }
    host.SetParameter(index, before);
    return entries;
}

bool SetPlainValue(Host& host, int index, double value, std::string& shown, std::string& error) {
    const float before = host.GetParameter(index);
    const std::string name = host.ParamName(index);
    // A parameter shown as a number takes any number as typed text; a list takes
    // only its own entries. A number that no list would show tells the two apart
    // (trying the value itself would not: "2" is also an entry of a list shown as
    // "2", "4", "6", "8", where the value 2 means the third entry).
    if (host.SetParamFromText(index, kProbeNumber) &&
        host.SetParamFromText(index, NumberText(value))) {
        shown = host.ParamDisplay(index);
        return true;
    }
    host.SetParameter(index, before);
    const std::vector<ListEntry> entries = ListEntries(host, index);
    if (entries.size() < 2) {
        error = "parameter " + Quoted(name) +
                " cannot be set to a plain value: the plug-in reads no typed value for it";
        return false;
    }
    const double last = static_cast<double>(entries.size() - 1);
    const auto entry = static_cast<std::size_t>(std::lround(std::clamp(value, 0.0, last)));
    const ListEntry& chosen = entries[entry];
    if (!host.SetParamFromText(index, chosen.text))
        host.SetParameter(index, 0.5f * (chosen.low + chosen.high));
    shown = host.ParamDisplay(index);
    return true;
}

RenderStatus ApplyPresetFile(Host& host, const PresetFile& file, std::string& error) {
    const vst::AEffect* effect = host.Effect();
    if (file.pluginId != effect->uniqueID)
        return Fail(RenderStatus::PresetFile,
                    "saved by the plug-in with ID '" + FourCharText(file.pluginId) +
                        "', not by this one ('" + FourCharText(effect->uniqueID) + "')",
                    error);
    const bool bank = file.kind == PresetFile::Kind::Bank;
    if (file.opaque) {
        if ((effect->flags & vst::effFlagsProgramChunks) == 0)
            return Fail(RenderStatus::PresetFile,
                        "holds the plug-in's own chunk, but this plug-in takes no chunks", error);
        if (!host.SetChunk(file.chunk, bank))
            return Fail(RenderStatus::PresetFile, "the plug-in refused the chunk", error);
        return RenderStatus::Ok;
    }
    if (!bank) {
        if (!ApplyValues(host, file.program, error))
            return RenderStatus::PresetFile;
        return RenderStatus::Ok;
    }
    if (static_cast<int>(file.programs.size()) > host.NumPrograms())
        return Fail(RenderStatus::PresetFile,
                    "the bank holds " + std::to_string(file.programs.size()) +
                        " programs, the plug-in has " + std::to_string(host.NumPrograms()),
                    error);
    for (std::size_t i = 0; i < file.programs.size(); ++i) {
        host.Dispatch(vst::effSetProgram, 0, static_cast<intptr_t>(i));
        if (!ApplyValues(host, file.programs[i], error))
            return RenderStatus::PresetFile;
    }
    const int current =
        file.currentProgram >= 0 && file.currentProgram < static_cast<int>(file.programs.size())
            ? file.currentProgram
            : 0;
    host.Dispatch(vst::effSetProgram, 0, current);
    return RenderStatus::Ok;
}

bool CapturePresetFile(Host& host, PresetFile::Kind kind, PresetFile& out, std::string& error) {
    const vst::AEffect* effect = host.Effect();
    PresetFile file;
    file.kind = kind;
    file.pluginId = effect->uniqueID;
    file.pluginVersion = effect->version;
    const int current = static_cast<int>(host.Dispatch(vst::effGetProgram));
    file.currentProgram = current;
    const bool bank = kind == PresetFile::Kind::Bank;
    if ((effect->flags & vst::effFlagsProgramChunks) != 0) {
        file.opaque = true;
        file.chunk = host.GetChunk(bank);
        if (file.chunk.empty()) {
            error = "the plug-in gave no chunk";
            return false;
        }
        file.chunkCount = bank ? host.NumPrograms() : host.NumParams();
        file.chunkProgramName = host.ProgramName();
    } else if (!bank) {
        file.program = CaptureValues(host);
    } else {
        for (int i = 0; i < host.NumPrograms(); ++i) {
            host.Dispatch(vst::effSetProgram, 0, i);
            file.programs.push_back(CaptureValues(host));
        }
        host.Dispatch(vst::effSetProgram, 0, current);
    }
    out = std::move(file);
    return true;
}

RenderStatus ApplySetup(Host& host, const RenderOptions& options, std::vector<std::string>& notes,
                        std::string& error) {
    if (!options.fxbPath.empty()) {
        const RenderStatus status =
            LoadPresetOption(host, options.fxbPath, PresetFile::Kind::Bank, notes, error);
        if (status != RenderStatus::Ok)
            return status;
    }
    if (options.hasProgram) {
        int index = options.programIndex;
        if (index < 0) {
            std::string why;
            index = FindProgramByName(host, options.programName, why);
            if (index < 0)
                return Fail(RenderStatus::UnknownProgram, why, error);
        } else if (index >= host.NumPrograms()) {
            return Fail(RenderStatus::UnknownProgram,
                        "program " + std::to_string(index) + " is out of range (the plug-in has " +
                            std::to_string(host.NumPrograms()) + " programs, numbered from 0)",
                        error);
        }
        host.Dispatch(vst::effSetProgram, 0, index);
        notes.push_back("program " + std::to_string(index) + " " +
                        Quoted(host.ProgramNameIndexed(index)));
    }
    if (!options.fxpPath.empty()) {
        const RenderStatus status =
            LoadPresetOption(host, options.fxpPath, PresetFile::Kind::Program, notes, error);
        if (status != RenderStatus::Ok)
            return status;
    }
    for (const ParamSetting& setting : options.settings) {
        std::string why;
        const int index = FindParameter(host, setting.name, why);
        if (index < 0)
            return Fail(RenderStatus::UnknownParameter, why, error);
        std::string shown;
        if (!SetPlainValue(host, index, setting.value, shown, why))
            return Fail(RenderStatus::UnknownParameter, why, error);
        const std::string label = host.ParamLabel(index);
        notes.push_back(Quoted(host.ParamName(index)) + " = " + NumberText(setting.value) +
                        " shows " + shown + (label.empty() ? "" : " " + label));
    }
    return RenderStatus::Ok;
}

RenderStatus SavePresets(Host& host, const RenderOptions& options, std::vector<std::string>& notes,
                         std::string& error) {
    const struct {
        const std::string& path;
        PresetFile::Kind kind;
    } saves[] = {{options.saveFxpPath, PresetFile::Kind::Program},
                 {options.saveFxbPath, PresetFile::Kind::Bank}};
    for (const auto& save : saves) {
        if (save.path.empty())
            continue;
        PresetFile file;
        std::string why;
        if (!CapturePresetFile(host, save.kind, file, why))
            return Fail(RenderStatus::Failed, save.path + ": " + why, error);
        if (!WritePresetFile(save.path, file, why))
            return Fail(RenderStatus::Output, why, error);
        notes.push_back(std::string(KindWord(save.kind)) + " saved to " + save.path);
    }
    return RenderStatus::Ok;
}

} // namespace halvane
