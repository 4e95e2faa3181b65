// File dialogs asked of the desktop portal on a private session bus, with a
// stand-in portal that logs how it was asked; and the dialog programs asked
// instead when no portal answers.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "graphics/IGraphics.h"
#include "shell/support/ShellTestSupport.h"
#include "support/WindowHost.h"

namespace halvane {

using namespace windowtest;

namespace {

// A child process with its standard output on a pipe; ended with the object.
class Child {
public:
    explicit Child(const std::vector<std::string>& args) {
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            // A test that dies leaves no bus behind.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(out[1], 1);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 2);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
    }
    void Freeze() { kill(pid_, SIGSTOP); }
    ~Child() {
        if (pid_ > 0)
            kill(pid_, SIGCONT);
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }
    // The first line it writes, or empty when it writes none within 5 s.
    std::string FirstLine() {
        std::string line;
        char c = 0;
        pollfd p{out_, POLLIN, 0};
        while (poll(&p, 1, 5000) > 0 && read(out_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

// A stand-in zenity that logs its arguments, picks answer and ends with status.
std::string FakeZenity(const std::string& answer, int status = 0) {
    const std::string folder = hosttest::IsolateSettings() + "/bin";
    mkdir(folder.c_str(), 0755);
    std::remove((folder + "/asked.txt").c_str());
    shelltest::WriteText(folder + "/zenity", "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '" +
                                                 folder + "/asked.txt'; done\necho '" + answer +
                                                 "'\nexit " + std::to_string(status) + "\n");
    chmod((folder + "/zenity").c_str(), 0755);
    return folder;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

class PortalTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // A bus of the test's own that starts no services: a portal installed
        // on the machine must not answer instead of the stand-in.
        const std::string config = hosttest::IsolateSettings() + "/bus.conf";
        shelltest::WriteText(config, "<busconfig><type>session</type>"
                                     "<listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
                                     "<policy context=\"default\">"
                                     "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                     "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                                     "</policy></busconfig>\n");
        bus = std::make_unique<Child>(
            std::vector<std::string>{"dbus-daemon", "--config-file=" + config, "--nofork",
                                     "--nopidfile", "--print-address"});
        address = bus->FirstLine();
        if (address.empty())
            GTEST_SKIP() << "dbus-daemon does not start here";
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        zenity = FakeZenity(hosttest::IsolateSettings() + "/From Zenity");
        setenv("PATH", (zenity + ":/usr/bin:/bin").c_str(), 1);
        log = hosttest::IsolateSettings() + "/portal.txt";
    }
    void TearDown() override {
        portal.reset();
        WindowTest::TearDown();
        bus.reset();
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    // The stand-in portal answering the way the mode says (see fake_portal.cpp).
    void Portal(const std::string& mode) {
        portal.reset();
        std::remove(log.c_str());
        portal = std::make_unique<Child>(std::vector<std::string>{HALVANE_FAKE_PORTAL, log, mode});
        ASSERT_EQ(portal->FirstLine(), "ready");
    }
    std::string Asked() { return shelltest::ReadText(log); }
    bool ZenityAsked() { return Exists(zenity + "/asked.txt"); }

    std::unique_ptr<Child> bus, portal;
    std::string address, zenity, log;
};

} // namespace

TEST_F(PortalTest, SavingAProgramAsksThePortalWithTheHostWindowAndTheExtension) {
    const std::string folder = hosttest::IsolateSettings();
    Portal("uri:file://" + folder + "/Portal%20Pick%25");
    ASSERT_EQ(H().Dispatch(vst::effEditOpen, 0, 0, window->Parent()), 1);
    Pump(60);
    int seen = 0;
    std::thread user =
        UserAtScreen({{true, {"Down", "Down", "Down", "Down", "Down", "Return"}}}, &seen);
    Click(630, 348); // option menu, "Save Program"
    Pump(50);
    user.join();
    Pump(50);
    EXPECT_TRUE(Exists(folder + "/Portal Pick%.fxp")) << "saved with the extension added";
    char parent[40];
    std::snprintf(parent, sizeof(parent), "parent=x11:%lx\n", window->Id());
    const std::string asked = Asked();
    EXPECT_EQ(asked.rfind("method=SaveFile\n", 0), 0u) << asked;
    EXPECT_NE(asked.find(parent), std::string::npos) << asked;
    EXPECT_NE(asked.find("filters=[(*.fxp,[(0,*.fxp)])]\n"), std::string::npos) << asked;
    EXPECT_NE(asked.find("current_name=Fat Monster"), std::string::npos) << asked;
    EXPECT_NE(asked.find("current_folder=/"), std::string::npos) << asked;
    EXPECT_NE(asked.find("<NUL>\n"), std::string::npos) << "the folder ends in a NUL: " << asked;
    EXPECT_NE(asked.find("handle_token=halvane"), std::string::npos) << asked;
    EXPECT_FALSE(ZenityAsked());
}

TEST_F(PortalTest, PortalOpensOrCancelsAndTheDialogProgramsStandIn) {
    auto editor = std::make_unique<IGraphics>(nullptr, 320, 200, 25, MakeEditorPlatform());
    ASSERT_TRUE(editor->OpenWindow(window->Parent()));
    EditorPlatform& platform = editor->Platform();
    const std::string home = hosttest::IsolateSettings();
    const std::string existing = home + "/Bank Ä.fxb";
    shelltest::WriteText(existing, "bank");
    const auto open = [&](std::string& folder) {
        std::string name = "ignored";
        platform.PromptForFile(name, ShellDialogs::FileAction::kOpen, folder, "fxb fxp");
        return name;
    };
    {
        // Chosen: the URI's escapes decoded; the folder follows the choice.
        Portal("uri:file://" + home + "/Bank%20%C3%84.fxb");
        std::string folder = "/tmp/";
        EXPECT_EQ(open(folder), existing);
        EXPECT_EQ(folder, home + "/");
        const std::string asked = Asked();
        EXPECT_EQ(asked.rfind("method=OpenFile\n", 0), 0u) << asked;
        EXPECT_NE(asked.find("title=Open\n"), std::string::npos) << asked;
        EXPECT_NE(asked.find("filters=[(*.fxb *.fxp,[(0,*.fxb),(0,*.fxp)])]\n"), std::string::npos)
            << asked;
        EXPECT_NE(asked.find("current_folder=/tmp/<NUL>\n"), std::string::npos) << asked;
        EXPECT_EQ(asked.find("current_name"), std::string::npos) << asked;
    }
    {
        // A file that is not there is no choice when opening.
        Portal("uri:file://" + home + "/gone.fxb");
        std::string folder = "/tmp/";
        EXPECT_EQ(open(folder), "");
        EXPECT_EQ(folder, "/tmp/");
    }
    for (const char* mode : {"cancel", "other"}) {
        // Cancelled in the portal's dialog, or closed otherwise (Escape in
        // GTK's): no other dialog follows.
        SCOPED_TRACE(mode);
        Portal(mode);
        std::string folder = "/tmp/";
        EXPECT_EQ(open(folder), "");
        EXPECT_NE(Asked().find("method=OpenFile\n"), std::string::npos);
        EXPECT_FALSE(ZenityAsked());
    }
    {
        // Saving: the portal asked about the name as typed, so the name with
        // the extension added is asked about here; No saves nothing.
        const std::string taken = home + "/Taken.fxp";
        shelltest::WriteText(taken, "keep");
        Portal("uri:file://" + home + "/Taken");
        zenity = FakeZenity("", 1);
        std::string name = "Taken", folder = home;
        platform.PromptForFile(name, ShellDialogs::FileAction::kSave, folder, "fxp");
        EXPECT_EQ(name, "");
        const std::string asked = shelltest::ReadText(zenity + "/asked.txt");
        EXPECT_NE(asked.find("--question\n"), std::string::npos) << asked;
        EXPECT_NE(asked.find(taken + " already exists."), std::string::npos) << asked;
        EXPECT_NE(Asked().find("current_name=Taken\n"), std::string::npos) << Asked();
    }
    {
        // Forced choices: the dialog program with a portal there, our own
        // dialog with both there (Escape cancels it), the portal alone.
        Portal("cancel");
        zenity = FakeZenity(existing);
        setenv("HALVANE_FILE_DIALOG", "program", 1);
        std::string folder = "/tmp/";
        EXPECT_EQ(open(folder), existing);
        EXPECT_TRUE(ZenityAsked());
        setenv("HALVANE_FILE_DIALOG", "own", 1);
        zenity = FakeZenity(existing);
        int seen = 0;
        std::thread user = UserAtScreen({{false, {"Escape"}}}, &seen);
        EXPECT_EQ(open(folder), "");
        user.join();
        EXPECT_EQ(seen, 1);
        EXPECT_FALSE(ZenityAsked());
        EXPECT_EQ(Asked(), "") << "the portal was not asked";
        setenv("HALVANE_FILE_DIALOG", "portal", 1);
        portal.reset();
        EXPECT_EQ(open(folder), "");
        EXPECT_FALSE(ZenityAsked());
        unsetenv("HALVANE_FILE_DIALOG");
    }
    // A portal without a file chooser, none on the bus, a bus that does not
    // answer, and no bus at all: zenity is asked, as before, and soon.
    for (const char* mode : {"refuse", "", "stuck bus", "no bus"}) {
        SCOPED_TRACE(mode);
        const std::string mine = mode;
        portal.reset();
        if (mine == "refuse")
            Portal(mode);
        if (mine == "stuck bus")
            bus->Freeze();
        if (mine == "no bus")
            unsetenv("DBUS_SESSION_BUS_ADDRESS");
        zenity = FakeZenity(existing);
        const auto start = std::chrono::steady_clock::now();
        std::string folder = "/tmp/";
        EXPECT_EQ(open(folder), existing);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
        EXPECT_TRUE(ZenityAsked());
        if (mine == "refuse") {
            EXPECT_NE(Asked().find("method=OpenFile\n"), std::string::npos);
        }
    }
}

} // namespace halvane
