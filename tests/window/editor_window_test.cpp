// The editor's X11 window in a host window of our own, driven by the pointer
// and keyboard through XTest and pumped through effEditIdle.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>

#include "editor/IControl.h"
#include "graphics/IGraphics.h"
#include "shell/support/ShellTestSupport.h"
#include "support/WindowHost.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <unistd.h>

namespace halvane {

using namespace windowtest;
using namespace vst;

namespace {

constexpr int kWidth = 988, kHeight = 696;

// The same panel in this process, offscreen: where its controls are and what
// it looks like.
struct LocalPanel {
    LocalPanel() {
        plug = shelltest::MakeHalvane();
        gui = plug->Graphics();
        gui->OpenWindow(&parent);
        gui->Draw(IRect(0, 0, kWidth, kHeight));
    }
    IRect RectOf(int param) const {
        for (int i = 0; i < gui->NControls(); ++i)
            if (gui->GetControl(i)->ParamIdx() == param)
                return gui->GetControl(i)->GetRect();
        return IRect();
    }
    int parent = 0;
    std::unique_ptr<Halvane> plug;
    IGraphics* gui = nullptr;
};

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

} // namespace

TEST_F(WindowTest, OpensAsChildOfTheHostWindowAndMatchesTheOffscreenPanel) {
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    EXPECT_EQ(H().CountCalls(audioMasterSizeWindow), 1);
    Pump(150);
    const Window child = window->Child();
    ASSERT_NE(child, 0u) << "a plain child window, not embedded elsewhere";
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, child, &attributes);
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);
    EXPECT_EQ(attributes.depth, DefaultDepth(display, DefaultScreen(display)));
    EXPECT_EQ(attributes.map_state, IsViewable);

    // No keyboard focus while no text entry is open: the host keeps its keys.
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    EXPECT_NE(focus, child);

    LocalPanel panel;
    XImage* shot = XGetImage(display, window->Id(), 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr);
    ASSERT_EQ(shot->red_mask, 0xff0000u);
    const LICE_MemBitmap& offscreen = panel.gui->BackBuffer();
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if ((XGetPixel(shot, x, y) & 0xffffff) != (offscreen.Pixel(x, y) & 0xffffff)) {
                if (differing++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
    XDestroyImage(shot);
    EXPECT_EQ(differing, 0) << "first at " << firstX << "," << firstY;
}

TEST_F(WindowTest, DragWheelAndDoubleClickReachTheHostAsGestures) {
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    Pump(60);
    LocalPanel panel;
    const int cutoff = H().FindParam("VCF Cutoff");
    ASSERT_GE(cutoff, 0);
    const IRect knob = panel.RectOf(cutoff);
    ASSERT_FALSE(knob.Empty());
    const int cx = (knob.left + knob.right) / 2, cy = (knob.top + knob.bottom) / 2;
    const float before = H().GetParameter(cutoff);
    H().ClearCalls();

    // Up is more: drag up by 30 pixels with the left button.
    MoveTo(cx, cy);
    Press(1);
    Pump(30);
    for (int k = 1; k <= 6; ++k) {
        MoveTo(cx, cy - 5 * k);
        Pump(20);
    }
    Release(1);
    Pump(60);
    const float dragged = H().GetParameter(cutoff);
    EXPECT_GT(dragged, before + 0.01f);
    // The pointer was hidden for the drag and is back where the press was.
    {
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, winX = 0, winY = 0;
        unsigned mask = 0;
        XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &winX,
                      &winY, &mask);
        EXPECT_EQ(rootX, cx);
        EXPECT_EQ(rootY, cy);
    }
    EXPECT_EQ(Count(audioMasterBeginEdit, cutoff), 1);
    EXPECT_EQ(Count(audioMasterEndEdit, cutoff), 1);
    EXPECT_GE(Count(audioMasterAutomate, cutoff), 1);
    // Begin comes first and end last.
    const auto& calls = H().Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls.back().opcode, audioMasterEndEdit);

    // The right button drags too.
    H().ClearCalls();
    usleep(450000); // not a double click
    MoveTo(cx, cy);
    Press(3);
    Pump(20);
    MoveTo(cx, cy + 20);
    Pump(20);
    Release(3);
    Pump(40);
    const float rightDragged = H().GetParameter(cutoff);
    EXPECT_LT(rightDragged, dragged);

    // Two notches up, one down: one notch up in all, with a gesture each.
    H().ClearCalls();
    MoveTo(cx, cy);
    for (int button : {4, 4, 5}) {
        Press(button);
        Release(button);
    }
    Pump(40);
    EXPECT_NEAR(H().GetParameter(cutoff), rightDragged + 0.01f, 1e-4);
    EXPECT_EQ(Count(audioMasterBeginEdit, cutoff), 3);
    EXPECT_EQ(Count(audioMasterEndEdit, cutoff), 3);

    // Two quick clicks at one place are a double click: the knob goes to its
    // default, and the release of the second press ends the gesture.
    usleep(450000);
    H().ClearCalls();
    Click(cx, cy);
    Click(cx + 1, cy);
    Pump(40);
    double expected = -1.0;
    for (int i = 0; i < panel.gui->NControls(); ++i)
        if (panel.gui->GetControl(i)->ParamIdx() == cutoff)
            expected = panel.gui->GetControl(i)->DblClickValue();
    ASSERT_GE(expected, 0.0);
    EXPECT_NEAR(H().GetParameter(cutoff), expected, 1e-6);
    EXPECT_EQ(Count(audioMasterBeginEdit, cutoff), Count(audioMasterEndEdit, cutoff));
}

TEST_F(WindowTest, ProgramMenuIsNavigatedWithKeys) {
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    Pump(60);
    ASSERT_EQ(H().Dispatch(effGetProgram), 0);
    // The menu is modal inside the host's idle call: the user's keys come from
    // another connection once the menu is on the screen.
    int seen = 0;
    // First group, into it, second program, take it.
    std::thread user = UserAtScreen({{true, {"Down", "Right", "Down", "Return"}}}, &seen);
    Click(470, 324); // the program number
    Pump(50);
    user.join();
    Pump(50);
    EXPECT_EQ(H().Dispatch(effGetProgram), 1);
}

TEST_F(WindowTest, ProgramNameEntryTakesTypedText) {
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    Pump(60);
    Click(600, 324); // the program name
    Pump(100);       // the entry settles into plain editing on the tick
    const Window child = window->Child();
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    EXPECT_NE(focus, child) << "the entry window has the focus, not the editor";
    // Everything starts selected, so typing replaces the name.
    Type("glas");
    Key("BackSpace");
    Type("ss2");
    Key("Left");
    Key("BackSpace");
    Key("Return");
    Pump(100);
    EXPECT_EQ(H().ProgramName(), "glas2");
    XGetInputFocus(display, &focus, &revert);
    EXPECT_NE(focus, child);

    // Escape leaves the name alone.
    Click(600, 324);
    Pump(100);
    Type("zzz");
    Key("Escape");
    Pump(100);
    EXPECT_EQ(H().ProgramName(), "glas2");

    // So does the wheel, and it turns nothing meanwhile.
    Click(600, 324);
    Pump(100);
    Type("yyy");
    Press(4);
    Release(4);
    Pump(100);
    EXPECT_EQ(H().ProgramName(), "glas2");
    EXPECT_EQ(H().CountCalls(audioMasterBeginEdit), 0);
}

TEST_F(WindowTest, OpenAndClose100TimesKeepsMemorySteady) {
    long afterWarmUp = 0;
    for (int round = 0; round < 100; ++round) {
        ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1) << round;
        H().Dispatch(effEditIdle);
        H().Dispatch(effEditIdle);
        ASSERT_EQ(H().Dispatch(effEditClose), 1);
        if (round == 9)
            afterWarmUp = ResidentKb();
        EXPECT_EQ(window->Child(), 0u) << "the window goes with the close";
    }
    // AddressSanitizer holds freed memory back (its leak check at exit covers
    // this run instead).
    if (!dlsym(RTLD_DEFAULT, "__asan_init")) {
        EXPECT_LT(ResidentKb() - afterWarmUp, 2048) << "kB grown over 90 rounds";
    }
}

TEST_F(WindowTest, TwoEditorsInOneProcessKeepTheirOwnWindows) {
    auto second = hosttest::MakeHost();
    ASSERT_TRUE(second);
    second->Start(44100.0, 512);
    HostWindow other(display, 0, 0); // on top of the first
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    ASSERT_EQ(second->Dispatch(effEditOpen, 0, 0, other.Parent()), 1);
    Pump(60, second.get());
    LocalPanel panel;
    const int cutoff = H().FindParam("VCF Cutoff");
    const IRect knob = panel.RectOf(cutoff);
    const float first = H().GetParameter(cutoff);
    MoveTo((knob.left + knob.right) / 2, (knob.top + knob.bottom) / 2);
    for (int k = 0; k < 3; ++k) {
        Press(4);
        Release(4);
    }
    Pump(60, second.get());
    EXPECT_FLOAT_EQ(H().GetParameter(cutoff), first) << "the covered editor saw nothing";
    EXPECT_NEAR(second->GetParameter(cutoff), first + 0.03f, 1e-4);
    EXPECT_EQ(second->Dispatch(effEditClose), 1);
    Pump(30);
    EXPECT_NE(window->Child(), 0u) << "closing one leaves the other";
}

TEST_F(WindowTest, HostDestroyingItsWindowFirstIsHarmless) {
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    Pump(60);
    window->Destroy();
    Pump(60);
    EXPECT_EQ(H().Dispatch(effEditClose), 1);
    // The editor opens again in a new window.
    window = std::make_unique<HostWindow>(display, 0, 0);
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    Pump(60);
    EXPECT_NE(window->Child(), 0u);
    // A host that closes the instance without effEditClose.
    host->Close();
    host.reset();
    XSync(display, False);
    EXPECT_EQ(window->Child(), 0u);
}

TEST_F(WindowTest, BadlyPairedCallsAreHarmless) {
    // Idle before any open, after a close, and an editor never idled.
    H().Dispatch(effEditIdle);
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    ASSERT_EQ(H().Dispatch(effEditClose), 1);
    H().Dispatch(effEditIdle);
    // A second open without a close replaces the first window.
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    Pump(30);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, window->Id(), &root, &parent, &children, &count);
    if (children)
        XFree(children);
    EXPECT_EQ(count, 1u);
    // A parent that is no window at all, or none.
    int notAWindow = 0;
    EXPECT_EQ(H().Dispatch(effEditOpen, 0, 0, &notAWindow), 0);
    EXPECT_EQ(H().Dispatch(effEditOpen, 0, 0, nullptr), 0);
    H().Dispatch(effEditIdle);
    EXPECT_EQ(H().Dispatch(effEditClose), 1);
}

TEST_F(WindowTest, SavingAProgramWithOurOwnDialogsAsksBeforeReplacing) {
    // No dialog program on the path: our own drawn dialogs answer.
    setenv("PATH", "/nonexistent", 1);
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    Pump(60);
    const std::string saved = hosttest::IsolateSettings() + "/Fat Monster.fxp";
    std::remove(saved.c_str());
    const std::vector<const char*> toSave = {"Down", "Down", "Down", "Down", "Down", "Return"};

    // Option menu, "Save Program", and the proposed name as it stands.
    int seen = 0;
    std::thread user = UserAtScreen({{true, toSave}, {false, {"Return"}}}, &seen);
    Click(630, 348);
    Pump(50);
    user.join();
    Pump(50);
    EXPECT_EQ(seen, 2);
    struct stat info {};
    ASSERT_EQ(stat(saved.c_str(), &info), 0) << saved;
    EXPECT_GT(info.st_size, 0);

    // Again: the file is there, so we are asked; No brings the file dialog
    // back, and Escape there cancels.
    std::remove(saved.c_str());
    shelltest::WriteText(saved, "keep");
    user = UserAtScreen(
        {{true, toSave}, {false, {"Return"}}, {false, {"Escape"}}, {false, {"Escape"}}}, &seen);
    Click(630, 348);
    Pump(50);
    user.join();
    Pump(50);
    EXPECT_EQ(seen, 4);
    EXPECT_EQ(shelltest::ReadText(saved), "keep");
}

TEST_F(WindowTest, DialogProgramAnswersTheFileDialog) {
    // A stand-in for zenity that logs how it was asked and picks a file.
    const std::string folder = hosttest::IsolateSettings() + "/bin";
    mkdir(folder.c_str(), 0755);
    const std::string log = folder + "/asked.txt";
    const std::string chosen = hosttest::IsolateSettings() + "/Picked";
    shelltest::WriteText(folder + "/zenity", "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '" +
                                                 log + "'; done\necho '" + chosen + "'\n");
    chmod((folder + "/zenity").c_str(), 0755);
    setenv("PATH", (folder + ":/usr/bin:/bin").c_str(), 1);
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    Pump(60);
    int seen = 0;
    std::thread user =
        UserAtScreen({{true, {"Down", "Down", "Down", "Down", "Down", "Return"}}}, &seen);
    Click(630, 348);
    Pump(50);
    user.join();
    Pump(50);
    const std::string asked = shelltest::ReadText(log);
    EXPECT_NE(asked.find("--file-selection\n"), std::string::npos) << asked;
    EXPECT_NE(asked.find("--save\n--confirm-overwrite\n"), std::string::npos) << asked;
    EXPECT_NE(asked.find("--file-filter=*.fxp | *.fxp\n"), std::string::npos) << asked;
    struct stat info {};
    EXPECT_EQ(stat((chosen + ".fxp").c_str(), &info), 0) << "saved with the extension added";
}

TEST_F(WindowTest, VisitingTheWebSiteHandsTheAddressToXdgOpen) {
    const std::string folder = hosttest::IsolateSettings() + "/browser";
    mkdir(folder.c_str(), 0755);
    const std::string log = folder + "/opened.txt";
    shelltest::WriteText(folder + "/xdg-open", "#!/bin/sh\necho \"$@\" > '" + log + ".part'\nmv '" +
                                                   log + ".part' '" + log + "'\n");
    chmod((folder + "/xdg-open").c_str(), 0755);
    setenv("PATH", (folder + ":/usr/bin:/bin").c_str(), 1);
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    Pump(60);
    int seen = 0;
    // "Go Online..." is the last item; its second item visits the site.
    std::thread user = UserAtScreen({{true, {"Up", "Right", "Down", "Return"}}}, &seen);
    Click(630, 348);
    Pump(50);
    user.join();
    struct stat info {};
    for (int wait = 0; wait < 200 && stat(log.c_str(), &info) != 0; ++wait)
        Pump(10);
    EXPECT_EQ(seen, 1);
    // The maker's home page, as the only argument.
    const std::string opened = shelltest::ReadText(log);
    EXPECT_EQ(opened.rfind("http", 0), 0u) << opened;
    EXPECT_NE(opened.find("kelpmoor"), std::string::npos) << opened;
    EXPECT_EQ(opened.find(' '), std::string::npos) << opened;
}

TEST_F(WindowTest, MenusStayOnTheScreenAndEscapeDismissesThem) {
    // The host's window low on the screen: the option menu opens upwards.
    window = std::make_unique<HostWindow>(display, 200, 1024 - 400);
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    Pump(60);
    XWindowAttributes shown{};
    std::thread user([&shown] {
        Display* d = XOpenDisplay(nullptr);
        std::vector<Window> seen;
        WaitForNewWindow(d, true, seen, &shown);
        const KeyCode escape = XKeysymToKeycode(d, XK_Escape);
        XTestFakeKeyEvent(d, escape, True, 0);
        XTestFakeKeyEvent(d, escape, False, 0);
        XSync(d, False);
        XCloseDisplay(d);
    });
    const int program = static_cast<int>(H().Dispatch(effGetProgram));
    Click(200 + 630, 1024 - 400 + 348);
    Pump(50);
    user.join();
    Pump(50);
    ASSERT_GT(shown.height, 200) << "the whole option menu";
    EXPECT_GE(shown.y, 0);
    EXPECT_LE(shown.y + shown.height, 1024) << "flipped up to stay on the screen";
    EXPECT_LT(shown.y, 1024 - 400 + 358) << "above the button's bottom edge";
    EXPECT_EQ(H().Dispatch(effGetProgram), program) << "dismissed: nothing ran";
}

TEST_F(WindowTest, KeysTheEditorDoesNotTakeReachTheHostWindow) {
    XSelectInput(display, window->Id(), KeyPressMask | StructureNotifyMask);
    ASSERT_EQ(H().Dispatch(effEditOpen, 0, 0, window->Parent()), 1);
    Pump(60);
    MoveTo(300, 300);
    Pump(30);
    Key("q");
    Key("F5");
    // A loaded machine may take a while to pass them on.
    std::vector<KeySym> got;
    for (int waited = 0; got.size() < 2 && waited < 3000; waited += 20) {
        Pump(20);
        XEvent event;
        while (XCheckTypedWindowEvent(display, window->Id(), KeyPress, &event))
            got.push_back(XLookupKeysym(&event.xkey, 0));
    }
    EXPECT_EQ(got, (std::vector<KeySym>{XK_q, XK_F5}));
}

} // namespace halvane
