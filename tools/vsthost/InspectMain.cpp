// halvane-inspect [plugin.so]: loads a VST 2.4 plug-in as a host does and prints
// what a host sees of it.

#include <cstdio>
#include <string>

#include "tools/vsthost/VstHost.h"

using namespace halvane;

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: halvane-inspect PLUGIN.so\n");
        return argc == 2 ? 0 : 2;
    }
    std::string error;
    auto library = vsthost::PluginLibrary::Open(argv[1], error);
    if (!library) {
        std::fprintf(stderr, "halvane-inspect: %s\n", error.c_str());
        return 1;
    }
    auto host = vsthost::Host::Create(library, error);
    if (!host) {
        std::fprintf(stderr, "halvane-inspect: %s\n", error.c_str());
        return 1;
    }
    host->Start(44100.0, 512);
    vst::AEffect* e = host->Effect();
    const char id[5] = {static_cast<char>(e->uniqueID >> 24), static_cast<char>(e->uniqueID >> 16),
                        static_cast<char>(e->uniqueID >> 8), static_cast<char>(e->uniqueID), 0};
    std::printf("Name:       %s\n", host->EffectName().c_str());
    std::printf("Vendor:     %s\n", host->VendorString().c_str());
    std::printf("Version:    %d   Unique ID: '%s'   Category: %ld\n", e->version, id,
                static_cast<long>(host->Dispatch(vst::effGetPlugCategory)));
    std::printf("Parameters: %d\n", host->NumParams());
    for (int i = 0; i < host->NumParams(); ++i) {
        const std::string label = host->ParamLabel(i);
        std::printf("  %2d  %-28s %s%s%s\n", i, host->ParamName(i).c_str(),
                    host->ParamDisplay(i).c_str(), label.empty() ? "" : " ", label.c_str());
    }
    std::printf("Programs:   %d\n", host->NumPrograms());
    for (int i = 0; i < host->NumPrograms(); ++i)
        std::printf("  %2d  %s\n", i, host->ProgramNameIndexed(i).c_str());
    std::printf("Outputs:    %d\n", host->NumOutputs());
    for (int i = 0; i < host->NumOutputs(); ++i)
        std::printf("  %d  %s\n", i, host->OutputLabel(i).c_str());
    host->Close();
    return 0;
}
