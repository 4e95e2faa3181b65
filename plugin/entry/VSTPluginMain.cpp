// The library's two exported entry points. Hosts look up either VSTPluginMain or
// the older main; both build one instance under the process-wide construction lock.

#include "platform/Lock.h"
#include "plugin/Halvane.h"
#include "plugin/vst2_abi.h"

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

extern "C" {

__attribute__((visibility("default"))) vst::AEffect* VSTPluginMain(vst::HostCallback host) {
    return CreateInstance(host);
}

// "main" cannot be declared as a C++ function of this type; the assembler name
// gives the exported symbol hosts look up.
__attribute__((visibility("default"))) vst::AEffect*
HalvaneMainEntry(vst::HostCallback host) __asm__("main");
vst::AEffect* HalvaneMainEntry(vst::HostCallback host) {
    return CreateInstance(host);
}

} // extern "C"
