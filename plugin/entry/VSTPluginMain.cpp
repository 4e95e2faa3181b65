// The library's two exported entry points. Hosts look up either VSTPluginMain or
// the older main; both build one instance under the process-wide construction lock.

#include "platform/Lock.h"
#include "plugin/Halvane.h"
#include "plugin/vst2_abi.h"

namespace halvane {

namespace {

vst::AEffect* CreateInstance(vst::HostCallback host) {
    ScopedLock hold(ConstructionLock());
    try {
        Halvane* plug = new Halvane(host);
        plug->FillEmptyPrograms();
        vst::AEffect* effect = plug->GetAEffect();
        if (effect->numPrograms < 1)
            effect->numPrograms = 1;
        return effect;
    } catch (...) {
        return nullptr; // out of memory: the host sees a plug-in that failed to load
    }
}

} // namespace

} // namespace halvane

// ELF libraries export what is visible (and the version script keeps it to the
// two names); a DLL exports what its module-definition file lists.
#if defined(__ELF__)
#define HALVANE_EXPORT __attribute__((visibility("default")))
#else
#define HALVANE_EXPORT
#endif

extern "C" {

HALVANE_EXPORT halvane::vst::AEffect* VSTCALL VSTPluginMain(halvane::vst::HostCallback host) {
    return halvane::CreateInstance(host);
}

#if defined(__ELF__)
// "main" cannot be declared as a C++ function of this type; the assembler name
// gives the exported symbol hosts look up. A DLL's definition file exports
// main as another name for VSTPluginMain instead.
HALVANE_EXPORT halvane::vst::AEffect*
HalvaneMainEntry(halvane::vst::HostCallback host) __asm__("main");
halvane::vst::AEffect* HalvaneMainEntry(halvane::vst::HostCallback host) {
    return halvane::CreateInstance(host);
}
#endif

} // extern "C"
