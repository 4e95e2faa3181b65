#pragma once
// Instances built in the test process, a host callback that records what they
// ask, per-test settings folders and small file helpers. Header-only, so the
// state tests of tests/plugin share it.

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/Halvane.h"
#include "sound/ParamIds.h"
#include "sound/ParamTable.h"

namespace halvane {

namespace shelltest {

// A new folder for every call, used as XDG_CONFIG_HOME, HOME and documents
// folder, so no test touches the real user's files or another test's. The
// update check goes to a closed local port unless a test says otherwise:
// tests never reach out of the machine.
inline std::string FreshSettings() {
    char pattern[] = "/tmp/halvane-shelltest-XXXXXX";
    const char* made = mkdtemp(pattern);
    const std::string folder = made ? made : "/tmp";
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
    setenv("HOME", folder.c_str(), 1);
    setenv("XDG_DOCUMENTS_DIR", folder.c_str(), 1);
    setenv("HALVANE_UPDATE_HOST", "127.0.0.1:1", 1);
    return folder;
}

inline std::string SettingsPathIn(const std::string& folder) {
    return folder + "/config/KelpmoorMusic/halvane.ini";
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    const std::string text = ReadText(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

inline void WriteBytes(const std::string& path, const void* data, std::size_t size) {
    // A new file rather than a truncated one: file systems flush a file that is
    // truncated and rewritten when it is closed, which makes loops of writes slow.
    unlink(path.c_str());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, text.data(), text.size());
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteBytes(path, bytes.data(), bytes.size());
}

inline void MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1))
        mkdir(folder.substr(0, slash).c_str(), 0755);
    mkdir(folder.c_str(), 0755);
}

// What the instance asked of its host.
struct HostLog {
    struct Call {
        int32_t opcode;
        int32_t index;
        float opt;
        uint8_t midi[3];
    };
    std::vector<Call> calls;
    std::string vendor = "Kelpmoor Music";
    // A host is called from the audio thread (learned controllers) and the
    // editor's thread (gestures) at once; like a real one, this one copes.
    std::mutex lock;

    int Count(int32_t opcode) const {
        int n = 0;
        for (const Call& c : calls)
            n += c.opcode == opcode ? 1 : 0;
        return n;
    }
};

inline HostLog& Log() {
    static HostLog log;
    return log;
}

inline vst::VstIntPtr VSTCALL HostCallback(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32 index,
                                           vst::VstIntPtr, void* ptr, float opt) {
    HostLog::Call call{opcode, index, opt, {0, 0, 0}};
    if (opcode == vst::audioMasterProcessEvents && ptr) {
        const auto* list = static_cast<const vst::VstEvents*>(ptr);
        if (list->numEvents > 0 && list->events[0]->type == vst::kVstMidiType) {
            const auto* e = reinterpret_cast<const vst::VstMidiEvent*>(list->events[0]);
            for (int i = 0; i < 3; ++i)
                call.midi[i] = static_cast<uint8_t>(e->midiData[i]);
        }
    }
    {
        std::lock_guard<std::mutex> hold(Log().lock);
        Log().calls.push_back(call);
    }
    if (opcode == vst::audioMasterGetVendorString && ptr) {
        std::snprintf(static_cast<char*>(ptr), 64, "%s", Log().vendor.c_str());
        return 1;
    }
    return opcode == vst::audioMasterProcessEvents ? 1 : 0;
}

// The instrument as the entry point builds it.
inline std::unique_ptr<Halvane> MakeHalvane() {
    auto plug = std::make_unique<Halvane>(HostCallback);
    plug->FillEmptyPrograms();
    return plug;
}

// A parameter known to exist.
inline const PlugParam& Param(const IPlugBase& plug, int index) {
    const PlugParam* param = plug.GetParam(index);
    if (!param)
        std::abort();
    return *param;
}

inline const IPlugBase::Program& ProgramAt(const IPlugBase& plug, int index) {
    const IPlugBase::Program* program = plug.GetProgram(index);
    if (!program)
        std::abort();
    return *program;
}

inline std::vector<double> Values(const IPlugBase& plug) {
    std::vector<double> values;
    for (int i = 0; i < plug.NParams(); ++i)
        values.push_back(Param(plug, i).Value());
    return values;
}

// The instrument with its voice schedule display: the display belongs to the
// editor, and a flag stands in for it here.
class WithVoiceDisplay : public Halvane {
public:
    WithVoiceDisplay() : Halvane(HostCallback) { FillEmptyPrograms(); }
    bool VoiceScheduleShown() const override { return shown; }
    void ShowVoiceSchedule(bool show) override { shown = show; }
    bool shown = false;
};

// The instrument base on its own, with the real parameter table and hooks that
// show what the base asks of the instrument.
class TestSynth : public Synth {
public:
    TestSynth()
        : Synth(HostCallback, kNumParams, "0-2 0-4 0-6 0-8", 64, "Halvane", "", "Kelpmoor Music",
                vst::FourCC('H', 'a', 'l', '3'), 0x00010104) {
        InitParamTable();
        FillEmptyPrograms();
    }
    void InitParamTable() override { InitHalvaneParams(params_.data(), NParams()); }
    void ParamChanged(int index) override {
        LearnHook(index);
        changes.push_back(index);
    }
    void AllVoicesOff() override { ++allVoicesOff; }
    void LearnSwitchOff() override { ++switchOffs; }

    std::vector<int> changes;
    int allVoicesOff = 0;
    int switchOffs = 0;
};

} // namespace shelltest

} // namespace halvane
