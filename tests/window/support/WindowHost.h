#pragma once
// A test host with a window of its own on the X display: the plug-in's editor
// opens inside it through the VST 2.4 ABI, the host pumps effEditIdle as real
// hosts do, and XTest plays the user's pointer and keyboard.

// gtest first: Xlib's macros (None, Bool) would break its headers.
#include "host/support/PluginFixture.h"

#include <X11/Xlib.h>

#include <memory>
#include <string>

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
