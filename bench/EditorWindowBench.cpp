// CPU the editor's X11 window costs the host's interface thread: the editor
// opened in a window of ours on $DISPLAY (Xvfb will do), effEditIdle called
// every 20 ms as hosts do, and the thread's CPU time over the wall time for
//   idle       nothing changes (target: under 1 % of a core)
//   automated  one knob set by the host every 10 ms (target: under 5 %).
// The X server's own work is not counted: it is the host's desktop's.
//
//   halvane-editor-window-bench [seconds per case, default 5]

#include <X11/Xlib.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/vsthost/VstHost.h"

namespace halvane {

namespace {

double Seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Percent of one core the thread used while the host idled the editor.
double Measure(vsthost::Host& host, double seconds, int automatedParam) {
    const double wall0 = Seconds(CLOCK_MONOTONIC), cpu0 = Seconds(CLOCK_THREAD_CPUTIME_ID);
    double nextIdle = wall0, nextAutomation = wall0;
    int step = 0;
    for (;;) {
        const double now = Seconds(CLOCK_MONOTONIC);
        if (now - wall0 >= seconds)
            break;
        if (automatedParam >= 0 && now >= nextAutomation) {
            // A slow sweep, as a host plays back an automation lane.
            host.SetParameter(automatedParam,
                              static_cast<float>(0.5 + 0.4 * std::sin(0.05 * step++)));
            nextAutomation += 0.010;
        }
        if (now >= nextIdle) {
            host.Dispatch(vst::effEditIdle);
            nextIdle += 0.020;
        }
        const double wake = automatedParam >= 0 ? std::min(nextIdle, nextAutomation) : nextIdle;
        const double wait = wake - Seconds(CLOCK_MONOTONIC);
        if (wait > 0)
            usleep(static_cast<useconds_t>(wait * 1e6));
    }
    const double wall = Seconds(CLOCK_MONOTONIC) - wall0;
    return 100.0 * (Seconds(CLOCK_THREAD_CPUTIME_ID) - cpu0) / wall;
}

} // namespace

} // namespace halvane

using namespace halvane;

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "needs an X display ($DISPLAY; Xvfb will do)\n");
        return 1;
    }
    std::string error;
    auto library = vsthost::PluginLibrary::Open(HALVANE_PLUGIN_PATH, error);
    auto host = library ? vsthost::Host::Create(library, error) : nullptr;
    if (!host) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    host->Start(44100.0, 512);
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 988, 696, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    if (host->Dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(window)) != 1) {
        std::fprintf(stderr, "the editor did not open\n");
        return 1;
    }
    Measure(*host, 0.5, -1); // the first paint
    const int knob = host->FindParam("VCF Cutoff");
    const double idle = Measure(*host, seconds, -1);
    const double automated = Measure(*host, seconds, knob);
    std::printf("editor window, idle:                     %6.2f %% of a core (target < 1 %%)\n",
                idle);
    std::printf("editor window, knob automated every 10 ms: %6.2f %% of a core (target < 5 %%)\n",
                automated);
    host->Dispatch(vst::effEditClose);
    host.reset();
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return idle < 1.0 && automated < 5.0 ? 0 : 2;
}
