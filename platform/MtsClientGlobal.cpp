#include "platform/MtsClientGlobal.h"

#include <cmath>
#include <cstdlib>

namespace halvane {

namespace {

double EqualTempered(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// Function pointers travel through dlsym's object pointer; the platforms we
// build for give both the same representation.
template <typename Fn> Fn Bind(const DynamicLibrary& library, const char* name) {
    return reinterpret_cast<Fn>(library.Symbol(name));
}

} // namespace

mtsclientglobal& mtsclientglobal::Instance() {
    // A static object: the binding is released when the plug-in library is
    // unloaded by its host, or at process exit. Instances are made and destroyed
    // by the host while the library is loaded, so none outlives it.
    static mtsclientglobal global;
    static const bool loaded = global.Load(LibraryPaths());
    (void)loaded;
    return global;
}

std::vector<std::string> mtsclientglobal::LibraryPaths() {
    const char* chosen = std::getenv("HALVANE_MTS_LIBRARY");
    if (chosen && *chosen)
        return {chosen};
    return TuningLibraryPaths();
}

mtsclientglobal::mtsclientglobal() {
    for (int n = 0; n < kTuningNotes; ++n)
        mInverseTable[n] = 1.0 / EqualTempered(n);
}

mtsclientglobal::~mtsclientglobal() {
    Release();
}

bool mtsclientglobal::HasMaster() const {
    return mMasterTable && mHasMaster && mHasMaster();
}

bool mtsclientglobal::Load(const std::vector<std::string>& paths) {
    std::lock_guard<std::mutex> lock(mMutex);
    ReleaseLocked();
    for (const std::string& path : paths) {
        if (mLibrary.Open(path))
            break;
    }
    if (!mLibrary.IsOpen())
        return false;

    mRegisterClient = Bind<RegisterClientFn>(mLibrary, "MTS_RegisterClient");
    mDeregisterClient = Bind<DeregisterClientFn>(mLibrary, "MTS_DeregisterClient");
    mHasMaster = Bind<HasMasterFn>(mLibrary, "MTS_HasMaster");
    mShouldFilterNote = Bind<ShouldFilterNoteFn>(mLibrary, "MTS_ShouldFilterNote");
    mShouldFilterNoteMultiChannel =
        Bind<ShouldFilterNoteMultiChannelFn>(mLibrary, "MTS_ShouldFilterNoteMultiChannel");
    mGetTuningTable = Bind<GetTuningTableFn>(mLibrary, "MTS_GetTuningTable");
    mGetMultiChannelTuningTable =
        Bind<GetMultiChannelTuningTableFn>(mLibrary, "MTS_GetMultiChannelTuningTable");
    mUseMultiChannelTuning = Bind<UseMultiChannelTuningFn>(mLibrary, "MTS_UseMultiChannelTuning");
    mGetScaleName = Bind<GetScaleNameFn>(mLibrary, "MTS_GetScaleName");

    // The library keeps these tables up to date in place; fetching them once is enough.
    if (mGetTuningTable)
        mMasterTable = mGetTuningTable();
    for (int channel = 0; channel < kTuningChannels; ++channel) {
        mChannelTables[channel] =
            mGetMultiChannelTuningTable
                ? mGetMultiChannelTuningTable(static_cast<signed char>(channel))
                : nullptr;
    }
    return true;
}

void mtsclientglobal::Release() {
    std::lock_guard<std::mutex> lock(mMutex);
    ReleaseLocked();
}

void mtsclientglobal::ReleaseLocked() {
    // Forget every pointer into the library before it goes away.
    mRegisterClient = nullptr;
    mDeregisterClient = nullptr;
    mHasMaster = nullptr;
    mShouldFilterNote = nullptr;
    mShouldFilterNoteMultiChannel = nullptr;
    mGetTuningTable = nullptr;
    mGetMultiChannelTuningTable = nullptr;
    mUseMultiChannelTuning = nullptr;
    mGetScaleName = nullptr;
    mMasterTable = nullptr;
    for (const double*& table : mChannelTables)
        table = nullptr;
    mLibrary.Close();
}

bool mtsclientglobal::ShouldFilterNote(int note) const {
    return mShouldFilterNote && mShouldFilterNote(static_cast<char>(note), -1);
}

void mtsclientglobal::RegisterClient() {
    std::lock_guard<std::mutex> lock(mMutex);
    ++mClients;
    if (mRegisterClient)
        mRegisterClient();
}

void mtsclientglobal::DeregisterClient() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mClients > 0)
        --mClients;
    if (mDeregisterClient)
        mDeregisterClient();
}

} // namespace halvane
