#pragma once
// The process-wide binding to the microtuning library (MTS-ESP): the library
// opened at run time from where its vendor installs it, its entry points, and the
// master's tables it hands out. The tuning logic built on it is the tuning
// client's (sound/TuningClient).

#include "platform/DynamicLibrary.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace halvane {

constexpr int kTuningNotes = 128;
constexpr int kTuningChannels = 16;

// Process-wide binding to the tuning library: one handle and one set of entry
// points shared by every instance. Production code only uses Instance(); the
// public constructor plus Load() exist so tests can bind a library of their own.
//
// Lifetime: Instance() loads on first use (the first instrument instance; there is
// no library-load hook to hang it on) and is released with the plug-in library.
class mtsclientglobal {
public:
    using RegisterClientFn = void (*)();
    using DeregisterClientFn = void (*)();
    using HasMasterFn = bool (*)();
    using ShouldFilterNoteFn = bool (*)(char, signed char);
    using ShouldFilterNoteMultiChannelFn = bool (*)(char, signed char);
    using GetTuningTableFn = const double* (*)();
    using GetMultiChannelTuningTableFn = const double* (*)(signed char);
    using UseMultiChannelTuningFn = bool (*)(signed char);
    using GetScaleNameFn = const char* (*)();

    // The process-wide object, loaded from LibraryPaths() on the first call.
    // Thread-safe.
    static mtsclientglobal& Instance();

    // Files tried in order: HALVANE_MTS_LIBRARY alone when it is set and not
    // empty, otherwise where the library's vendor installs it.
    static std::vector<std::string> LibraryPaths();

    // Nothing loaded: no master until Load() succeeds.
    mtsclientglobal();
    virtual ~mtsclientglobal();
    mtsclientglobal(const mtsclientglobal&) = delete;
    mtsclientglobal& operator=(const mtsclientglobal&) = delete;

    // The master's table exists and MTS_HasMaster is present and answers true.
    virtual bool HasMaster() const;

    // Releases what was loaded, then opens the first path that loads and binds
    // the entry points it has. False when none loads (equal temperament). Not to
    // be called while clients are registered: they would deregister from the new
    // library.
    virtual bool Load(const std::vector<std::string>& paths);

    // Forgets the entry points and tables, then closes the library.
    void Release();

    bool IsLoaded() const { return mLibrary.IsOpen(); }

    // The master's frequency for note 0..127; only meaningful while HasMaster().
    double MasterFrequency(int note) const { return mMasterTable[note]; }

    // MTS_ShouldFilterNote for note 0..127 on every channel; false when missing.
    bool ShouldFilterNote(int note) const;

    // 1 / (equal-tempered frequency) of note 0..127.
    double InverseFrequency(int note) const { return mInverseTable[note]; }

    // The table fetched for MIDI channel 0..15 at load, or null.
    const double* ChannelTable(int channel) const { return mChannelTables[channel]; }

    // Bookkeeping of the instances, which also tell the master they exist.
    void RegisterClient();
    void DeregisterClient();

private:
    void ReleaseLocked();

    std::mutex mMutex; // load, release and client bookkeeping; never the audio thread
    int mClients = 0;
    DynamicLibrary mLibrary;

    RegisterClientFn mRegisterClient = nullptr;
    DeregisterClientFn mDeregisterClient = nullptr;
    HasMasterFn mHasMaster = nullptr;
    ShouldFilterNoteFn mShouldFilterNote = nullptr;
    ShouldFilterNoteMultiChannelFn mShouldFilterNoteMultiChannel = nullptr;
    GetTuningTableFn mGetTuningTable = nullptr;
    GetMultiChannelTuningTableFn mGetMultiChannelTuningTable = nullptr;
    UseMultiChannelTuningFn mUseMultiChannelTuning = nullptr;
    GetScaleNameFn mGetScaleName = nullptr;

    double mInverseTable[kTuningNotes] = {};
    const double* mMasterTable = nullptr; // owned by the library
    const double* mChannelTables[kTuningChannels] = {};
};

} // namespace halvane
