// Start-up cost of instances made through the plug-in's entry point, as a host
// makes them: the first instance of the process (which builds the shared
// tables), the ones after it, and the resident memory of 1 and 16 instances.
// Run it in a fresh process; it prints its figures.

#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tools/vsthost/VstHost.h"

namespace halvane {

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// CPU time of this thread in milliseconds: what making an instance costs,
// whatever else the machine is doing (wall time on a busy machine includes
// waiting for a core).
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// Resident set size of this process in KiB.
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

} // namespace halvane

using namespace halvane;

int main() {
    // Instances create and read their settings file: keep them away from the
    // user's own.
    char folder[] = "/tmp/halvane-startup-XXXXXX";
    if (mkdtemp(folder)) {
        setenv("XDG_CONFIG_HOME", folder, 1);
        setenv("HOME", folder, 1);
    }
    const long before = ResidentKiB();
    std::string error;
    const Clock::time_point openStart = Clock::now();
    auto library = vsthost::PluginLibrary::Open(HALVANE_PLUGIN_PATH, error);
    const Clock::time_point openEnd = Clock::now();
    if (!library) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const long loaded = ResidentKiB();

    std::vector<std::unique_ptr<vsthost::Host>> hosts;
    std::vector<double> times, cpu;
    for (int k = 0; k < 16; ++k) {
        const Clock::time_point start = Clock::now();
        const double cpuStart = ThreadCpuMs();
        hosts.push_back(vsthost::Host::Create(library, error));
        cpu.push_back(ThreadCpuMs() - cpuStart);
        times.push_back(Milliseconds(start, Clock::now()));
        if (!hosts.back()) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        if (k == 0) {
            // A started instance, as a host holds it.
            hosts[0]->Start(44100.0, 512);
            std::printf("resident after 1 instance: %ld KiB (library alone %ld KiB, process "
                        "before %ld KiB)\n",
                        ResidentKiB(), loaded, before);
        }
    }
    for (std::size_t k = 1; k < hosts.size(); ++k)
        hosts[k]->Start(44100.0, 512);
    std::printf("resident after 16 instances: %ld KiB\n", ResidentKiB());

    double later = 0.0, worst = 0.0, worstCpu = 0.0;
    for (std::size_t k = 1; k < times.size(); ++k) {
        later += times[k];
        worst = times[k] > worst ? times[k] : worst;
        worstCpu = cpu[k] > worstCpu ? cpu[k] : worstCpu;
    }
    std::printf("library load: %.2f ms\n", Milliseconds(openStart, openEnd));
    std::printf("first instance (VSTPluginMain): %.2f ms, CPU %.2f ms\n", times[0], cpu[0]);
    std::printf("later instances: mean %.2f ms, worst %.2f ms, worst CPU %.2f ms\n",
                later / static_cast<double>(times.size() - 1), worst, worstCpu);
    // A host scanning its plug-ins makes one instance per process; a project
    // with many instances makes the later ones. The pictures are decoded when
    // the first editor draws, not here. Judged on CPU time, so a busy machine
    // does not fail it.
    const bool met = cpu[0] < 50.0 && worstCpu < 10.0;
    std::printf("targets (CPU: first < 50 ms, each later < 10 ms): %s\n", met ? "met" : "NOT met");
    return met ? 0 : 3;
}
