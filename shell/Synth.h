#pragma once
// The maker's instrument base: MIDI intake and the MIDI queue, the per-user
// settings, MIDI learn and the program commands, shared by its instruments.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/ControllerTable.h"
#include "plugin/IPlugVST.h"
#include "plugin/MidiQueue.h"
#include "shell/ShellDialogs.h"

namespace halvane {

class IGraphics;
class TuningClient;

class Synth : public IPlugVST {
public:
    static constexpr int kControllers = 120; // controller numbers 0..119 can be mapped
    static constexpr int kModWheelController = 1;
    static constexpr int kSustainController = 64;

    // Option menu command numbers: item positions in the main menu, then the
    // two submenus' items.
    enum MenuCommand {
        kCopyProgram = 0,
        kPasteProgram = 1,
        kInitProgram = 2,
        kLoadProgram = 4,
        kSaveProgram = 5,
        kLoadBank = 6,
        kSaveBank = 7,
        kSelectStartupBank = 9,
        kLoadStartupBank = 10,
        kUnselectStartupBank = 11,
        kDefaultPath = 13,
        kShowVoiceSchedule = 14,
        kReloadConfiguration = 16,
        kSaveConfiguration = 17,
        kToggleMidiThru = 20,
        kToggleIgnoreProgramChange = 21,
        kCheckForUpdate = 22,
        kVisitWebSite = 23,
    };

    Synth(vst::HostCallback host, int nParams, const char* channelIOStr, int nPrograms,
          const char* effectName, const char* productName, const char* vendorName, int32_t uniqueId,
          int32_t version);
    ~Synth() override;

    // Further virtual operations, after the frame's.
    virtual void AllVoicesOff() {}         // 43
    virtual void InitParamTable() {}       // 44
    virtual void SelectProgram(int index); // 45
    virtual void InitProgram();            // 46
    virtual void PasteProgram();           // 47

    // The voice schedule display belongs to the instrument's editor; an
    // instrument that has one shows, hides and reports it here.
    virtual bool VoiceScheduleShown() const { return false; }
    virtual void ShowVoiceSchedule(bool show) { static_cast<void>(show); }

    void ResetEngine() override;
    void Activate(bool on) override;
    void HandleMidiMessage(const MidiEvent& event) override;

    MidiQueue& Midi() { return midiQueue_; }
    // The editor object, made with the instrument; its layout is built by the
    // instrument's constructor.
    IGraphics* Graphics() { return graphics_.get(); }
    TuningClient* Tuning() { return tuning_.get(); }
    int SamplesPerMs() const { return samplesPerMs_; }

    bool MidiThru() const { return midiThru_; }
    void SetMidiThru(bool on) { midiThru_ = on; }
    bool IgnoreProgramChange() const { return ignoreProgramChange_; }
    void SetIgnoreProgramChange(bool on) { ignoreProgramChange_ = on; }

    // MIDI learn.
    const std::array<int32_t, kControllers>& ControllerMap() const { return controllerMap_; }
    void SetControllerMapping(int controller, int32_t param);
    bool LearnActive() const { return learnActive_; }
    bool UnlearnMode() const { return unlearnMode_; }
    // The editor's learn switch: right button unlearns; value > 0 arms learning.
    void LearnSwitchClicked(double value, bool rightButton);
    void ApplyLearn();
    // A mapped controller applied outside rendering: the parameter is set from
    // value / 127 and the host and the editor are told, unless it already holds.
    void ApplyController(int controller, int value);
    // The map as the render loop applies it, with each linked parameter's plain
    // values; kept in step with the map.
    const ControllerTable& Controllers() const { return controllerTable_; }
    // Rebuilds that table: after the parameter records are set up and after
    // every change to the map.
    void SyncControllerTable();
    // A parameter a learned controller set while rendering, now made known: the
    // record takes the value and the host and the editor are told (the engine
    // has applied it already).
    void ReportControlledParam(int param, double normalized);

    // Settings file.
    enum class ConfigStatus { kOk, kFileMissing };
    ConfigStatus ReadConfiguration();
    void WriteConfiguration(bool midiGlobalsOnly);
    void SetStartupBank(const std::string& path);
    void ClearStartupBank();
    // Makes path (when given) the program-files folder, then stores that folder.
    void WriteProgramFilesPath(const std::string* path = nullptr);
    const std::string& SettingsFile() const { return settingsPath_; }
    const std::string& DocumentsPath() const { return documentsFolder_; }
    const std::string& ProgramFilesFolder() const { return programFilesFolder_; }
    const std::string& StartupBank() const { return startupBank_; }

    // The startup bank (or the built-in bank) at the end of construction.
    void LoadStartupBank();

    // Program commands.
    void CopyProgram();
    bool CopyBufferEmpty() const { return copyBuffer_.Empty(); }

    // File flows and option menu commands, run on the editor's thread.
    void SetDialogs(ShellDialogs* dialogs) { dialogs_ = dialogs; }
    void LoadProgramFlow();
    void SaveProgramFlow();
    void LoadBankFlow();
    void SaveBankFlow();
    void SelectStartupBankFlow();
    void LoadStartupBankFlow();
    void UnselectStartupBankFlow();
    void DefaultPathFlow();
    // Every command of the option menu, by its number.
    void HandleMenuCommand(int command);

    // Asks the maker's web site for the newest version and tells the user
    // (offering the download page when it is newer). 0 when a reply was
    // understood, -1 when none came, -2 when the check was interrupted (out of
    // memory), -3 when the reply was no version number.
    int CheckForUpdate();
    // Opens the maker's home page in the web browser.
    void VisitWebSite();

    // A program name made fit for a file name: characters that no file name
    // may hold become '_'.
    static std::string CleanFileName(const std::string& name);
    // The text of path up to its last '\' or '/'; empty without a separator.
    static std::string FolderOf(const std::string& path);

protected:
    // Starts learning for parameter changes; the instrument calls this first
    // thing in its parameter-change handler.
    void LearnHook(int paramIndex);
    // Learning ended: the editor turns its learn switch off (as a value from the
    // instrument, so nothing reaches the host).
    virtual void LearnSwitchOff() {}

    MidiQueue midiQueue_;
    std::unique_ptr<IGraphics> graphics_;
    std::unique_ptr<TuningClient> tuning_;

    bool midiThru_ = false;
    bool ignoreProgramChange_ = false;
    std::array<int32_t, kControllers> controllerMap_;
    ControllerTable controllerTable_;
    int samplesPerMs_ = 0;

    bool learnActive_ = false;
    bool unlearnMode_ = false;
    int learnedController_ = -1;
    int learnedParam_ = -1;

    ChunkBuffer copyBuffer_;
    int copySource_ = -1;

private:
    void LocateSettings();
    enum class FileKind { kProgram, kBank };
    void LoadFileFlow(FileKind kind);
    void SaveFileFlow(FileKind kind);
    ShellDialogs::BoxAnswer Ask(const char* text, const char* caption, ShellDialogs::BoxKind kind);
    // A yes/no question naming a path; true unless the answer is No.
    bool Confirm(const char* intro, const std::string& path, const char* question,
                 const char* caption);

    std::string settingsPath_;
    std::string documentsFolder_;
    std::string programFilesFolder_;
    std::string startupBank_;
    ShellDialogs* dialogs_ = nullptr;
};

} // namespace halvane
