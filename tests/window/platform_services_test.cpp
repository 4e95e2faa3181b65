// The X11 window's services the instrument's own panel does not reach (the
// colour chooser, the clipboard) through an editor of their own, and typed
// text beyond ASCII through the instrument's program name entry.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <thread>

#include "graphics/IGraphics.h"
#include "shell/support/ShellTestSupport.h"
#include "support/WindowHost.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace halvane {

using namespace windowtest;

namespace {

// PATH for one test, put back afterwards.
class PathFor {
public:
    explicit PathFor(const std::string& path)
        : saved_(std::getenv("PATH") ? std::getenv("PATH") : "") {
        setenv("PATH", path.c_str(), 1);
    }
    ~PathFor() { setenv("PATH", saved_.c_str(), 1); }

private:
    std::string saved_;
};

// A stand-in dialog program that logs its arguments, prints answer and exits
// with status.
std::string FakeProgram(const std::string& name, const std::string& answer, int status) {
    const std::string folder = hosttest::IsolateSettings() + "/bin-" + name;
    mkdir(folder.c_str(), 0755);
    shelltest::WriteText(folder + "/" + name, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '" +
                                                  folder + "/asked.txt'; done\necho '" + answer +
                                                  "'\nexit " + std::to_string(status) + "\n");
    chmod((folder + "/" + name).c_str(), 0755);
    return folder;
}

class ServicesTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        editor = std::make_unique<IGraphics>(nullptr, 320, 200, 25, MakeEditorPlatform());
        // This test links the X11 window layer itself.
        ASSERT_STREQ(editor->DrawingApiName(), "X11");
        ASSERT_TRUE(editor->OpenWindow(window->Parent()));
    }
    void TearDown() override {
        editor.reset();
        WindowTest::TearDown();
    }
    EditorPlatform& Platform() { return editor->Platform(); }

    std::unique_ptr<IGraphics> editor;
};

// Another client owning the CLIPBOARD selection with text of one type (the
// type's name), answering conversions to it and refusing all others.
class ClipboardOwner {
public:
    ClipboardOwner(const char* type, std::string text) : text_(std::move(text)) {
        display_ = XOpenDisplay(nullptr);
        window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
        type_ = XInternAtom(display_, type, False);
        XSetSelectionOwner(display_, XInternAtom(display_, "CLIPBOARD", False), window_,
                           CurrentTime);
        XSync(display_, False);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ClipboardOwner() {
        stop_ = true;
        thread_.join();
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }

private:
    void Serve() {
        while (!stop_) {
            if (XPending(display_) == 0) {
                usleep(2000);
                continue;
            }
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type != SelectionRequest)
                continue;
            const XSelectionRequestEvent& request = event.xselectionrequest;
            XEvent reply{};
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = request.requestor;
            reply.xselection.selection = request.selection;
            reply.xselection.target = request.target;
            reply.xselection.time = request.time;
            reply.xselection.property = None;
            if (request.target == type_) {
                XChangeProperty(display_, request.requestor, request.property, type_, 8,
                                PropModeReplace,
                                reinterpret_cast<const unsigned char*>(text_.data()),
                                static_cast<int>(text_.size()));
                reply.xselection.property = request.property;
            }
            XSendEvent(display_, request.requestor, False, 0, &reply);
            XFlush(display_);
        }
    }

    std::string text_;
    Display* display_ = nullptr;
    Window window_ = 0;
    Atom type_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace

TEST_F(ServicesTest, ColourChooserAsksTheDialogProgramsOrOurOwnDialog) {
    const IColor start(200, 0x11, 0x22, 0x33);
    {
        // zenity answers in its rgb() form; the colour keeps its own alpha.
        const std::string folder = FakeProgram("zenity", "rgb(10,20,30)", 0);
        PathFor path(folder + ":/usr/bin:/bin");
        IColor color = start;
        EXPECT_TRUE(Platform().PromptForColor(color, "Pick"));
        EXPECT_EQ(color, IColor(200, 10, 20, 30));
        const std::string asked = shelltest::ReadText(folder + "/asked.txt");
        EXPECT_EQ(asked, "--color-selection\n--title=Pick\n--color=#112233\n");
    }
    {
        // Cancelled: nothing changes.
        PathFor path(FakeProgram("zenity", "", 1) + ":/usr/bin:/bin");
        IColor color = start;
        EXPECT_FALSE(Platform().PromptForColor(color, "Pick"));
        EXPECT_EQ(color, start);
    }
    {
        // kdialog answers #rrggbb, and is told the host's window.
        const std::string folder = FakeProgram("kdialog", "#0a141e", 0);
        PathFor path(folder);
        IColor color = start;
        EXPECT_TRUE(Platform().PromptForColor(color, "Pick"));
        EXPECT_EQ(color, IColor(200, 10, 20, 30));
        const std::string asked = shelltest::ReadText(folder + "/asked.txt");
        EXPECT_EQ(asked, "--attach\n" + std::to_string(window->Id()) +
                             "\n--title\nPick\n--getcolor\n--default\n#112233\n");
    }
    PathFor bare("/nonexistent");
    {
        // Our own dialog: the field holds the colour, all selected.
        int seen = 0;
        std::thread user = UserAtScreen(
            {{false, {"6", "4", "space", "8", "0", "comma", "9", "6", "Return"}}}, &seen);
        IColor color = start;
        EXPECT_TRUE(Platform().PromptForColor(color, "Pick"));
        user.join();
        EXPECT_EQ(seen, 1);
        EXPECT_EQ(color, IColor(200, 64, 80, 96));
    }
    {
        // Text that is no colour is refused with a message, and the dialog
        // comes back; Escape there cancels.
        int seen = 0;
        std::thread user = UserAtScreen(
            {{false, {"z", "Return"}}, {false, {"Return"}}, {false, {"Escape"}}}, &seen);
        IColor color = start;
        EXPECT_FALSE(Platform().PromptForColor(color, "Pick"));
        user.join();
        EXPECT_EQ(seen, 3);
        EXPECT_EQ(color, start);
    }
}

TEST_F(ServicesTest, ClipboardTextArrivesAsUtf8) {
    std::string text;
    EXPECT_FALSE(Platform().ClipboardText(text)) << "nobody owns the clipboard";
    EXPECT_EQ(text, "");
    const std::string utf8 = "Grüße, € ♪ 音";
    {
        ClipboardOwner owner("UTF8_STRING", utf8);
        EXPECT_TRUE(Platform().ClipboardText(text));
        EXPECT_EQ(text, utf8);
    }
    {
        // An owner with Latin-1 text only.
        ClipboardOwner owner("STRING", "Gr\xFC\xDF"
                                       "e \xE9t\xE9");
        EXPECT_TRUE(Platform().ClipboardText(text));
        EXPECT_EQ(text, "Grüße été");
    }
    {
        // An owner that gives nothing usable.
        ClipboardOwner owner("image/png", "\x89PNG");
        EXPECT_FALSE(Platform().ClipboardText(text));
        EXPECT_EQ(text, "");
    }
}

TEST_F(WindowTest, ProgramNameEntryTakesTypedCharactersBeyondAscii) {
    // Characters the test display's layout lacks, typed as input tools type
    // them: a spare key is mapped to each in turn.
    int low = 0, high = 0;
    XDisplayKeycodes(display, &low, &high);
    KeyCode spare = 0;
    for (int code = high; code >= low && !spare; --code) {
        int per = 0;
        KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(code), 1, &per);
        bool empty = true;
        for (int i = 0; i < per; ++i)
            empty = empty && syms[i] == NoSymbol;
        XFree(syms);
        if (empty)
            spare = static_cast<KeyCode>(code);
    }
    ASSERT_NE(spare, 0);
    // A host in a UTF-8 locale, as GTK hosts are: the editor's input method
    // works in it.
    const std::string locale = setlocale(LC_ALL, nullptr);
    ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr);
    ASSERT_EQ(H().Dispatch(vst::effEditOpen, 0, 0, window->Parent()), 1);
    Pump(60);
    Click(600, 324); // the program name
    Pump(100);
    Type("gr");
    Pump(30);
    for (KeySym wanted : {KeySym(XK_udiaeresis), KeySym(XK_ssharp), KeySym(XK_e),
                          KeySym(0x100266A) /* U+266A eighth note */}) {
        XChangeKeyboardMapping(display, spare, 1, &wanted, 1);
        XSync(display, False);
        Pump(30);
        XTestFakeKeyEvent(display, spare, True, 0);
        XTestFakeKeyEvent(display, spare, False, 0);
        XSync(display, False);
        Pump(30);
    }
    KeySym none = NoSymbol;
    XChangeKeyboardMapping(display, spare, 1, &none, 1);
    XSync(display, False);
    Key("Return");
    Pump(100);
    EXPECT_EQ(H().ProgramName(), "grüße♪");
    setlocale(LC_ALL, locale.c_str());
}

} // namespace halvane
