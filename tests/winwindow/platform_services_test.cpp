// The Windows window's services that the instrument's own commands do not
// reach, called directly on an editor in a window of ours: resizing, the
// clipboard, the cursor, the colour chooser and the folders.

#include <gtest/gtest.h>

#include "graphics/win32/IGraphicsWin.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "editor/IControl.h"
#include "plugin/Halvane.h"

namespace halvane {

namespace {

vst::VstIntPtr VSTCALL QuietHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr,
                                 void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

HWND MakeParent(int width, int height) {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "HalvaneServicesHost";
        return RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    return CreateWindowExA(0, "HalvaneServicesHost", "host", WS_POPUP | WS_VISIBLE, 0, 0, width,
                           height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

class ServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent = MakeParent(400, 300);
        ASSERT_NE(parent, nullptr);
        auto made = std::make_unique<IGraphicsWin>();
        platform = made.get();
        editor = std::make_unique<IGraphics>(nullptr, 400, 300, 25, std::move(made));
        ASSERT_TRUE(editor->OpenWindow(parent));
        window = FindWindowExA(parent, nullptr, IGraphicsWin::kClassName, nullptr);
        ASSERT_NE(window, nullptr);
        Pump();
    }
    void TearDown() override {
        editor.reset();
        DestroyWindow(parent);
    }

    HWND parent = nullptr, window = nullptr;
    IGraphicsWin* platform = nullptr;
    std::unique_ptr<IGraphics> editor;
};

SIZE ClientSize(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    return SIZE{r.right, r.bottom};
}

} // namespace

TEST_F(ServicesTest, ResizeGrowsTheEditorAndTheHostWindowAroundIt) {
    EXPECT_STREQ(editor->DrawingApiName(), "Windows GDI");
    editor->Resize(460, 320);
    const SIZE inner = ClientSize(window), outer = ClientSize(parent);
    EXPECT_EQ(inner.cx, 460);
    EXPECT_EQ(inner.cy, 320);
    // The host's window, a plain one without a parent, grew by the same amount.
    EXPECT_EQ(outer.cx, 460);
    EXPECT_EQ(outer.cy, 320);
}

TEST_F(ServicesTest, ClipboardCursorAndFolders) {
    // Unicode text on the clipboard comes out as UTF-8; none is false.
    const wchar_t text[] = L"Gr\u00fc\u00dfe \u266a";
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(text));
    std::memcpy(GlobalLock(memory), text, sizeof(text));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
    std::string got;
    EXPECT_TRUE(platform->ClipboardText(got));
    EXPECT_EQ(got, "Gr\xc3\xbc\xc3\x9f"
                   "e \xe2\x99\xaa");
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    EXPECT_FALSE(platform->ClipboardText(got));
    EXPECT_TRUE(got.empty());

    // Hiding remembers where the pointer was; showing puts it back.
    SetCursorPos(100, 120);
    platform->HideCursor();
    SetCursorPos(300, 250);
    platform->ShowCursor();
    POINT at{};
    GetCursorPos(&at);
    EXPECT_EQ(at.x, 100);
    EXPECT_EQ(at.y, 120);

    // Folders end in a backslash; the host's is this program's.
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string exeFolder(exe);
    exeFolder.erase(exeFolder.find_last_of('\\') + 1);
    EXPECT_EQ(platform->HostFolder(), exeFolder);
    for (const std::string& folder :
         {platform->PluginFolder(), platform->DesktopFolder(), platform->AppDataFolder(true),
          platform->AppDataFolder(false)}) {
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ(folder.back(), '\\') << folder;
    }
    EXPECT_NE(platform->AppDataFolder(true), platform->AppDataFolder(false));
}

TEST_F(ServicesTest, ColourChooserHasTheTitleAndReturnsTheColour) {
    std::string title;
    std::thread user([&title, this] {
        HWND dialog = nullptr;
        for (int i = 0; i < 1000 && !dialog; ++i) {
            Sleep(10);
            HWND found = FindWindowA("#32770", nullptr);
            if (found && IsWindowVisible(found) && GetWindow(found, GW_OWNER) == parent)
                dialog = found;
        }
        if (!dialog)
            return;
        char text[64] = {};
        GetWindowTextA(dialog, text, sizeof(text));
        title = text;
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    });
    IColor colour(255, 12, 200, 99);
    const bool chosen = platform->PromptForColor(colour, "Lamp Colour");
    user.join();
    EXPECT_EQ(title, "Lamp Colour");
    EXPECT_TRUE(chosen);
    EXPECT_EQ(colour, IColor(255, 12, 200, 99)) << "OK keeps the colour it started with";

    // Without a window there is no dialog.
    editor->CloseWindow();
    EXPECT_FALSE(platform->PromptForColor(colour, "Lamp Colour"));
    std::string name = "x", folder;
    platform->PromptForFile(name, ShellDialogs::FileAction::kOpen, folder, "fxp");
    EXPECT_TRUE(name.empty());
}

// The instrument's own editor in this window layer: text entries for
// parameters of each kind, typed into and settled on the timer.
TEST(TextEntry, TypingIsFilteredByKindAndSettledOnTheTimer) {
    const HWND parent = MakeParent(988, 696);
    Halvane plug(&QuietHost);
    IGraphics* gui = plug.Graphics();
    ASSERT_TRUE(gui->OpenWindow(parent));
    const HWND window = FindWindowExA(parent, nullptr, IGraphicsWin::kClassName, nullptr);
    ASSERT_NE(window, nullptr);
    // A parameter of the kind with a control bound to it.
    const auto find = [&](PlugParam::Kind kind, const std::function<bool(const PlugParam&)>& also) {
        for (int c = 0; c < gui->NControls(); ++c) {
            const int i = gui->GetControl(c)->ParamIdx();
            if (const PlugParam* p = plug.GetParam(i); p && p->GetKind() == kind && also(*p))
                return i;
        }
        return -1;
    };
    const auto controlOf = [&](int param) {
        for (int c = 0; c < gui->NControls(); ++c)
            if (gui->GetControl(c)->ParamIdx() == param)
                return gui->GetControl(c);
        return gui->GetControl(0);
    };
    // Types into a new entry for the parameter, presses Return and lets the
    // timer settle it; the text the box held is returned.
    const auto enter = [&](int param, const char* typed) {
        gui->CreateTextEntry(*controlOf(param), IText(), IRect(10, 10, 120, 30), "", param);
        const HWND box = FindWindowExA(window, nullptr, "Edit", nullptr);
        EXPECT_NE(box, nullptr);
        for (const char* c = typed; *c; ++c)
            SendMessageA(box, WM_CHAR, static_cast<WPARAM>(*c), 0);
        char held[64] = {};
        GetWindowTextA(box, held, sizeof(held));
        SendMessageA(box, WM_KEYDOWN, VK_RETURN, 0);
        SendMessageA(window, WM_TIMER, IGraphicsWin::kTimerId, 0);
        EXPECT_EQ(FindWindowExA(window, nullptr, "Edit", nullptr), nullptr);
        return std::string(held);
    };

    const int integer = find(PlugParam::kInteger, [](const PlugParam& p) {
        return p.Min() <= 2 && p.Max() >= 3 && !p.NegateDisplay();
    });
    ASSERT_GE(integer, 0);
    EXPECT_EQ(enter(integer, "2.5x"), "25");
    const PlugParam* integerParam = plug.GetParam(integer);
    ASSERT_NE(integerParam, nullptr);
    EXPECT_EQ(integerParam->Value(), std::min(25.0, integerParam->Max()));

    const int continuous = find(PlugParam::kContinuous, [](const PlugParam& p) {
        return p.Min() <= 0.5 && p.Max() >= 1.5 && !p.NegateDisplay();
    });
    ASSERT_GE(continuous, 0);
    EXPECT_EQ(enter(continuous, "1.5a"), "1.5");
    const PlugParam* continuousParam = plug.GetParam(continuous);
    ASSERT_NE(continuousParam, nullptr);
    EXPECT_NEAR(continuousParam->Value(), 1.5, 1e-9);

    // A list parameter takes its display texts; one that matches none gives 0.
    const int list =
        find(PlugParam::kList, [](const PlugParam& p) { return p.DisplayTexts().size() >= 2; });
    ASSERT_GE(list, 0);
    PlugParam* listParam = plug.GetParam(list);
    ASSERT_NE(listParam, nullptr);
    controlOf(list)->TakeValueFromUser(1.0);
    ASSERT_EQ(listParam->Value(), listParam->Max());
    EXPECT_EQ(enter(list, "7"), "7");
    EXPECT_EQ(listParam->Value(), 0.0);

    // Escape cancels: the value stays.
    const double before = continuousParam->Value();
    gui->CreateTextEntry(*controlOf(continuous), IText(), IRect(10, 10, 120, 30), "", continuous);
    const HWND box = FindWindowExA(window, nullptr, "Edit", nullptr);
    ASSERT_NE(box, nullptr);
    SendMessageA(box, WM_CHAR, '9', 0);
    SendMessageA(box, WM_KEYDOWN, VK_ESCAPE, 0);
    SendMessageA(window, WM_TIMER, IGraphicsWin::kTimerId, 0);
    EXPECT_EQ(FindWindowExA(window, nullptr, "Edit", nullptr), nullptr);
    EXPECT_EQ(continuousParam->Value(), before);
    gui->CloseWindow();
    DestroyWindow(parent);
}

} // namespace halvane
