#include "support/WindowHost.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace halvane {

namespace windowtest {

namespace {

void PressKey(Display* display, const char* keysymName) {
    const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(keysymName));
    XTestFakeKeyEvent(display, code, True, 0);
    XTestFakeKeyEvent(display, code, False, 0);
    XSync(display, False);
}

} // namespace

HostWindow::HostWindow(Display* display, int x, int y, int width, int height) : display_(display) {
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
    attributes.event_mask = StructureNotifyMask;
    window_ = XCreateWindow(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    XMapWindow(display, window_);
    XEvent event;
    do
        XWindowEvent(display, window_, StructureNotifyMask, &event);
    while (event.type != MapNotify);
}

HostWindow::~HostWindow() {
    Destroy();
}

void HostWindow::Destroy() {
    if (!window_)
        return;
    XDestroyWindow(display_, window_);
    XSync(display_, False);
    window_ = 0;
}

Window HostWindow::Child() const {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!window_ || !XQueryTree(display_, window_, &root, &parent, &children, &count))
        return 0;
    const Window child = count > 0 ? children[0] : 0;
    if (children)
        XFree(children);
    return child;
}

Window WaitForNewWindow(Display* display, bool menu, std::vector<Window>& seen,
                        XWindowAttributes* attributes) {
    for (int wait = 0; wait < 300; ++wait) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
        Window found = 0;
        for (unsigned i = 0; i < count && !found; ++i) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable &&
                (a.override_redirect != 0) == menu && a.width < 900 &&
                std::find(seen.begin(), seen.end(), children[i]) == seen.end()) {
                found = children[i];
                if (attributes)
                    *attributes = a;
            }
        }
        if (children)
            XFree(children);
        if (found) {
            seen.push_back(found);
            usleep(50000); // drawn and grabbing
            return found;
        }
        usleep(10000);
    }
    return 0;
}

std::thread UserAtScreen(std::vector<UserStep> steps, int* seenWindows) {
    return std::thread([steps, seenWindows] {
        Display* d = XOpenDisplay(nullptr);
        std::vector<Window> seen;
        for (const UserStep& step : steps) {
            WaitForNewWindow(d, step.menu, seen);
            for (const char* key : step.keys) {
                PressKey(d, key);
                usleep(20000);
            }
        }
        *seenWindows = static_cast<int>(seen.size());
        XCloseDisplay(d);
    });
}

void WindowTest::SetUp() {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display (scripts/test.sh starts Xvfb)";
    hosttest::IsolateSettings();
    // A desktop's own file dialog portal would answer instead of the tests' stand-ins.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "cannot open the X display";
    int event = 0, error = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(display, &event, &error, &major, &minor));
    host = hosttest::MakeHost();
    ASSERT_TRUE(host);
    host->Start(44100.0, 512);
    window = std::make_unique<HostWindow>(display, 0, 0);
    // Start with the pointer away from the editor.
    MoveTo(1200, 750);
}

void WindowTest::TearDown() {
    if (host) {
        host->Dispatch(vst::effEditClose);
        host.reset();
    }
    window.reset();
    if (display)
        XCloseDisplay(display);
}

void WindowTest::Pump(int ms, vsthost::Host* other) {
    for (int elapsed = 0; elapsed < ms; elapsed += 10) {
        host->Dispatch(vst::effEditIdle);
        if (other)
            other->Dispatch(vst::effEditIdle);
        usleep(10000);
    }
}

void WindowTest::MoveTo(int x, int y) {
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, 0);
    XSync(display, False);
}

void WindowTest::Press(int button) {
    XTestFakeButtonEvent(display, static_cast<unsigned>(button), True, 0);
    XSync(display, False);
}

void WindowTest::Release(int button) {
    XTestFakeButtonEvent(display, static_cast<unsigned>(button), False, 0);
    XSync(display, False);
}

void WindowTest::Click(int x, int y, int button) {
    MoveTo(x, y);
    Press(button);
    Release(button);
}

void WindowTest::Key(const char* keysymName) {
    PressKey(display, keysymName);
}

void WindowTest::Type(const std::string& text) {
    for (char c : text) {
        const std::string name(1, c);
        Key(name.c_str());
    }
}

int WindowTest::Count(int opcode, int index) const {
    int n = 0;
    for (const auto& call : host->Calls())
        n += call.opcode == opcode && call.index == index ? 1 : 0;
    return n;
}

} // namespace windowtest

} // namespace halvane
