#pragma once
// A test host with a window of its own on the X display: the plug-in's editor
// opens inside it through the VST 2.4 ABI, the host pumps effEditIdle as real
// hosts do, and XTest plays the user's pointer and keyboard.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include "host/support/PluginFixture.h"

#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace halvane {

namespace windowtest {

// A top-level window of the editor's size at (x, y) on the test display.
class HostWindow {
public:
    HostWindow(Display* display, int x, int y, int width = 988, int height = 696);
    ~HostWindow();
    Window Id() const { return window_; }
    void* Parent() const { return reinterpret_cast<void*>(window_); }
    // Destroys the window now (a host closing its window before the editor).
    void Destroy();
    // The editor's window inside it, 0 when there is none.
    Window Child() const;

private:
    Display* display_;
    Window window_ = 0;
};

// Waits up to 3 s for a top-level window of ours to show that is not in seen
// (override-redirect for a menu, else a dialog), adds it to seen and returns
// it with its attributes; 0 when none showed.
Window WaitForNewWindow(Display* display, bool menu, std::vector<Window>& seen,
                        XWindowAttributes* attributes = nullptr);

// The user at the screen, on a connection of their own (the host's thread is
// inside a modal menu or dialog): for each step, waits for a new window of
// ours to show (override-redirect for menus), then presses the keys. The
// number of windows seen is stored when the thread ends.
struct UserStep {
    bool menu;
    std::vector<const char*> keys;
};
std::thread UserAtScreen(std::vector<UserStep> steps, int* seenWindows);

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Calls effEditIdle every 10 ms for ms milliseconds (the host's idle timer).
    void Pump(int ms, vsthost::Host* other = nullptr);
    vsthost::Host& H() { return *host; }

    // The user, through XTest; positions are screen pixels.
    void MoveTo(int x, int y);
    void Press(int button);
    void Release(int button);
    void Click(int x, int y, int button = 1);
    void Key(const char* keysymName);
    void Type(const std::string& text);

    // The calls of one kind the host saw for the parameter.
    int Count(int opcode, int index) const;

    Display* display = nullptr;
    std::unique_ptr<vsthost::Host> host;
    std::unique_ptr<HostWindow> window;
};

} // namespace windowtest

} // namespace halvane
