// The editor's Windows window in a host window of our own, under wine: the
// DLL is loaded through its entry point, the editor opens as a child of our
// window, and posted messages play the user.

#include <gtest/gtest.h>

#include <windows.h>

#include <dlgs.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "editor/IControl.h"
#include "graphics/IGraphics.h"
#include "host/support/PluginFixture.h"
#include "plugin/Halvane.h"

namespace halvane {

using namespace vst;

namespace {

constexpr int kWidth = 988, kHeight = 696;
constexpr const char* kEditorClass = "IPlugWndClass";

// Keys the host's window received, as messages.
std::vector<UINT> gHostKeys;

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KEYDOWN || msg == WM_KEYUP)
        gHostKeys.push_back(msg << 16 | static_cast<UINT>(wParam));
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A top-level window whose client area holds the editor.
HWND MakeHostWindow(int x, int y) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "HalvaneTestHost";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        registered = RegisterClassA(&wc) != 0;
    }
    RECT r{0, 0, kWidth, kHeight};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    return CreateWindowExA(0, "HalvaneTestHost", "Halvane test host",
                           WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

HWND EditorOf(HWND host) {
    return FindWindowExA(host, nullptr, kEditorClass, nullptr);
}

bool ClassRegistered() {
    WNDCLASSEXA info{};
    info.cbSize = sizeof(info);
    const char* path = HALVANE_PLUGIN_PATH;
    const char* name = std::strrchr(path, '/');
    HMODULE dll = GetModuleHandleA(name ? name + 1 : path);
    return dll && GetClassInfoExA(dll, kEditorClass, &info);
}

VstIntPtr VSTCALL QuietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// The same panel in this process, offscreen: where its controls are and what
// it looks like.
struct LocalPanel {
    LocalPanel() {
        plug = std::make_unique<Halvane>(&QuietHost);
        plug->FillEmptyPrograms();
        gui = plug->Graphics();
        gui->OpenWindow(&parent);
        gui->Draw(IRect(0, 0, kWidth, kHeight));
    }
    IControl* ControlOf(int param) const {
        for (int i = 0; i < gui->NControls(); ++i)
            if (gui->GetControl(i)->ParamIdx() == param)
                return gui->GetControl(i);
        return nullptr;
    }
    int parent = 0;
    std::unique_ptr<Halvane> plug;
    IGraphics* gui = nullptr;
};

// The window's pixels as the screen shows them, 0x00RRGGBB.
std::vector<uint32_t> Screenshot(HWND window) {
    std::vector<uint32_t> pixels;
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, kWidth, kHeight, dc, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* p = static_cast<const uint32_t*>(bits);
        pixels.assign(p, p + kWidth * kHeight);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(window, dc);
    return pixels;
}

LPARAM At(int x, int y) {
    return MAKELPARAM(x, y);
}

// The user at the screen, on a thread of their own while the host's thread
// sits in a modal menu or dialog: each step waits up to 10 s for a new visible
// window of that class on the host's thread, then acts on it.
struct UserStep {
    const char* windowClass;
    std::function<void(HWND)> act;
};

struct ThreadWindows {
    const char* windowClass;
    const std::vector<HWND>* seen;
    HWND found;
};

BOOL CALLBACK FindNewWindow(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<ThreadWindows*>(data);
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    if (IsWindowVisible(hwnd) && std::strcmp(name, search->windowClass) == 0 &&
        std::find(search->seen->begin(), search->seen->end(), hwnd) == search->seen->end()) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

std::thread UserAtScreen(std::vector<UserStep> steps, std::vector<HWND>* seen) {
    const DWORD hostThread = GetCurrentThreadId();
    return std::thread([steps, seen, hostThread] {
        for (const UserStep& step : steps) {
            ThreadWindows search{step.windowClass, seen, nullptr};
            for (int i = 0; i < 1000 && !search.found; ++i) {
                Sleep(10);
                EnumThreadWindows(hostThread, &FindNewWindow, reinterpret_cast<LPARAM>(&search));
            }
            if (!search.found)
                return;
            seen->push_back(search.found);
            Sleep(50);
            step.act(search.found);
        }
    });
}

void PressKeys(HWND to, std::initializer_list<WPARAM> keys) {
    for (WPARAM key : keys) {
        Sleep(40);
        PostMessageA(to, WM_KEYDOWN, key, 0);
        PostMessageA(to, WM_KEYUP, key, 0);
    }
}

void PressButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Types the file name into a file dialog (the explorer style's combo box, or
// the old style's edit) and presses its OK button.
void ChooseFile(HWND dialog, const std::string& path) {
    HWND name = GetDlgItem(dialog, cmb13);
    if (!name)
        name = GetDlgItem(dialog, edt1);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PressButton(dialog, IDOK);
}

std::string ReadFile(const std::string& path) {
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        std::size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0)
            bytes.append(chunk, n);
        std::fclose(f);
    }
    return bytes;
}

class WinWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        hosttest::IsolateSettings();
        host = hosttest::MakeHost();
        ASSERT_TRUE(host);
        host->Start(44100.0, 512);
        window = MakeHostWindow(0, 0);
        ASSERT_NE(window, nullptr);
        gHostKeys.clear();
    }
    void TearDown() override {
        if (host) {
            host->Dispatch(effEditClose);
            host.reset();
        }
        if (window)
            DestroyWindow(window);
        Pump(20);
    }

    // The host's message loop and idle calls for ms milliseconds.
    void Pump(int ms, vsthost::Host* other = nullptr) {
        const DWORD until = GetTickCount() + static_cast<DWORD>(ms);
        do {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (host)
                host->Dispatch(effEditIdle);
            if (other)
                other->Dispatch(effEditIdle);
            Sleep(5);
        } while (static_cast<int>(until - GetTickCount()) > 0);
    }
    HWND Open() {
        EXPECT_EQ(host->Dispatch(effEditOpen, 0, 0, window), 1);
        Pump(150);
        return EditorOf(window);
    }
    int Count(int opcode, int index) const {
        int n = 0;
        for (const auto& call : host->Calls())
            n += call.opcode == opcode && call.index == index ? 1 : 0;
        return n;
    }
    void Post(HWND to, UINT msg, WPARAM wParam, LPARAM lParam, int pumpMs = 20) {
        PostMessageA(to, msg, wParam, lParam);
        Pump(pumpMs);
    }

    std::unique_ptr<vsthost::Host> host;
    HWND window = nullptr;
};

} // namespace

TEST_F(WinWindowTest, OpensAsChildOfTheHostWindowAndMatchesTheOffscreenPanel) {
    const HWND editor = Open();
    ASSERT_NE(editor, nullptr) << "a child window of class IPlugWndClass";
    char title[32] = {};
    GetWindowTextA(editor, title, sizeof(title));
    EXPECT_STREQ(title, "IPlug");
    EXPECT_TRUE(GetWindowLongA(editor, GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(IsWindowVisible(editor));
    RECT client{};
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right, kWidth);
    EXPECT_EQ(client.bottom, kHeight);
    EXPECT_EQ(GetFocus(), editor) << "the editor takes the keyboard on opening";

    LocalPanel panel;
    const std::vector<uint32_t> shot = Screenshot(editor);
    ASSERT_EQ(shot.size(), static_cast<std::size_t>(kWidth * kHeight));
    const LICE_MemBitmap& offscreen = panel.gui->BackBuffer();
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if ((shot[static_cast<std::size_t>(y * kWidth + x)] & 0xffffff) !=
                    (offscreen.Pixel(x, y) & 0xffffff) &&
                differing++ == 0) {
                firstX = x;
                firstY = y;
            }
    EXPECT_EQ(differing, 0) << "first at " << firstX << "," << firstY;
}

TEST_F(WinWindowTest, MouseAndKeysReachTheHostAsGestures) {
    const HWND editor = Open();
    ASSERT_NE(editor, nullptr);
    LocalPanel panel;
    const int cutoff = host->FindParam("VCF Cutoff");
    ASSERT_GE(cutoff, 0);
    IControl* knob = panel.ControlOf(cutoff);
    ASSERT_NE(knob, nullptr);
    const IRect r = knob->GetRect();
    const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    const float before = host->GetParameter(cutoff);
    host->ClearCalls();

    // Up is more: a left-button drag up by 30 pixels.
    Post(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(cx, cy));
    for (int k = 1; k <= 6; ++k)
        Post(editor, WM_MOUSEMOVE, MK_LBUTTON, At(cx, cy - 5 * k));
    Post(editor, WM_LBUTTONUP, 0, At(cx, cy - 30), 60);
    const float dragged = host->GetParameter(cutoff);
    EXPECT_GT(dragged, before + 0.01f);
    EXPECT_EQ(Count(audioMasterBeginEdit, cutoff), 1);
    EXPECT_EQ(Count(audioMasterEndEdit, cutoff), 1);
    EXPECT_GE(Count(audioMasterAutomate, cutoff), 1);
    ASSERT_FALSE(host->Calls().empty());
    EXPECT_EQ(host->Calls().front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(host->Calls().back().opcode, audioMasterEndEdit);

    // The right button drags too; a move without the capture does nothing.
    Post(editor, WM_MOUSEMOVE, MK_RBUTTON, At(cx, cy + 40));
    EXPECT_EQ(host->GetParameter(cutoff), dragged);
    Post(editor, WM_RBUTTONDOWN, MK_RBUTTON, At(cx, cy));
    Post(editor, WM_MOUSEMOVE, MK_RBUTTON, At(cx, cy + 20));
    Post(editor, WM_RBUTTONUP, 0, At(cx, cy + 20), 40);
    const float rightDragged = host->GetParameter(cutoff);
    EXPECT_LT(rightDragged, dragged);

    // Two notches up and one down, at screen coordinates: one notch up in all,
    // a gesture each.
    host->ClearCalls();
    POINT screen{cx, cy};
    ClientToScreen(editor, &screen);
    for (int delta : {WHEEL_DELTA, WHEEL_DELTA, -WHEEL_DELTA})
        Post(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
             At(screen.x, screen.y));
    Pump(40);
    EXPECT_NEAR(host->GetParameter(cutoff), rightDragged + 0.01f, 1e-4);
    EXPECT_EQ(Count(audioMasterBeginEdit, cutoff), 3);
    EXPECT_EQ(Count(audioMasterEndEdit, cutoff), 3);

    // A double click sets the knob to its default.
    host->ClearCalls();
    Post(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(cx, cy));
    Post(editor, WM_LBUTTONUP, 0, At(cx, cy));
    Post(editor, WM_LBUTTONDBLCLK, MK_LBUTTON, At(cx, cy));
    Post(editor, WM_LBUTTONUP, 0, At(cx, cy), 40);
    EXPECT_NEAR(host->GetParameter(cutoff), knob->DblClickValue(), 1e-6);
    EXPECT_EQ(Count(audioMasterBeginEdit, cutoff), Count(audioMasterEndEdit, cutoff));

    // The knob changed on the screen: the timer repainted it.
    Pump(100);
    const std::vector<uint32_t> shot = Screenshot(editor);
    panel.gui->SetParameterFromPlug(cutoff, host->GetParameter(cutoff), true);
    panel.gui->Draw(r);
    int differing = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            differing += (shot[static_cast<std::size_t>(y * kWidth + x)] & 0xffffff) !=
                         (panel.gui->BackBuffer().Pixel(x, y) & 0xffffff);
    EXPECT_EQ(differing, 0);

    // Keys the editor does not take go to the host's window, key-ups always.
    gHostKeys.clear();
    Post(editor, WM_KEYDOWN, VK_TAB, 0);
    Post(editor, WM_KEYUP, VK_TAB, 0);
    ASSERT_EQ(gHostKeys.size(), 2u);
    EXPECT_EQ(gHostKeys[0], WM_KEYDOWN << 16 | VK_TAB);
    EXPECT_EQ(gHostKeys[1], WM_KEYUP << 16 | VK_TAB);
}

TEST_F(WinWindowTest, ProgramMenuAndNameEntryWork) {
    const HWND editor = Open();
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(host->Dispatch(effGetProgram), 0);
    // The menu is modal inside our click: the user's keys come from another
    // thread once the menu is on the screen. First group, into it, second
    // program, take it.
    std::atomic<bool> menuSeen{false};
    std::thread user([&menuSeen] {
        HWND menu = nullptr;
        for (int i = 0; i < 300 && !menu; ++i) {
            Sleep(10);
            menu = FindWindowA("#32768", nullptr);
            if (menu && !IsWindowVisible(menu))
                menu = nullptr;
        }
        if (!menu)
            return;
        menuSeen = true;
        for (WPARAM key : {VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN}) {
            Sleep(60);
            PostMessageA(menu, WM_KEYDOWN, key, 0);
            PostMessageA(menu, WM_KEYUP, key, 0);
        }
    });
    Post(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(470, 324));
    user.join();
    Post(editor, WM_LBUTTONUP, 0, At(470, 324), 60);
    EXPECT_TRUE(menuSeen);
    EXPECT_EQ(host->Dispatch(effGetProgram), 1);

    // The program name: an edit box over it with everything selected and the
    // focus in it; typing replaces the name and Return commits on the tick.
    auto openEntry = [&]() -> HWND {
        Post(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(600, 324));
        Post(editor, WM_LBUTTONUP, 0, At(600, 324), 100);
        return FindWindowExA(editor, nullptr, "Edit", nullptr);
    };
    auto type = [&](HWND box, const char* text) {
        for (const char* c = text; *c; ++c)
            Post(box, WM_CHAR, static_cast<WPARAM>(*c), 0, 5);
    };
    HWND box = openEntry();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetFocus(), box);
    type(box, "glass2");
    Post(box, WM_KEYDOWN, VK_RETURN, 0, 100);
    EXPECT_EQ(FindWindowExA(editor, nullptr, "Edit", nullptr), nullptr);
    EXPECT_EQ(host->ProgramName(), "glass2");

    // Escape leaves the name alone, and so does the wheel, which turns nothing.
    box = openEntry();
    ASSERT_NE(box, nullptr);
    type(box, "zzz");
    Post(box, WM_KEYDOWN, VK_ESCAPE, 0, 100);
    EXPECT_EQ(host->ProgramName(), "glass2");
    host->ClearCalls();
    box = openEntry();
    ASSERT_NE(box, nullptr);
    type(box, "yyy");
    Post(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), At(300, 300), 100);
    EXPECT_EQ(FindWindowExA(editor, nullptr, "Edit", nullptr), nullptr);
    EXPECT_EQ(host->ProgramName(), "glass2");
    EXPECT_EQ(host->CountCalls(audioMasterBeginEdit), 0);

    // A click in the editor while the box has just taken the focus (before
    // the next tick) cancels; a click after it commits.
    PostMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(600, 324));
    PostMessageA(editor, WM_LBUTTONUP, 0, At(600, 324));
    PostMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    PostMessageA(editor, WM_LBUTTONUP, 0, At(5, 5));
    Pump(100);
    EXPECT_EQ(FindWindowExA(editor, nullptr, "Edit", nullptr), nullptr);
    EXPECT_EQ(host->ProgramName(), "glass2");
    box = openEntry();
    ASSERT_NE(box, nullptr);
    type(box, "late");
    Post(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5), 0);
    Post(editor, WM_LBUTTONUP, 0, At(5, 5), 100);
    EXPECT_EQ(host->ProgramName(), "late");
}

TEST_F(WinWindowTest, FileDialogsAndMessageBoxesOfTheOptionMenu) {
    const HWND editor = Open();
    ASSERT_NE(editor, nullptr);
    char temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string base = std::string(temp) + "halvane window test";
    const std::string saved = base + ".fxp";
    std::remove(saved.c_str());
    const auto saveProgram = [](HWND menu) {
        PressKeys(menu, {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
    };
    const auto clickOptions = [&] {
        Post(editor, WM_LBUTTONDOWN, MK_LBUTTON, At(630, 348), 0);
        Post(editor, WM_LBUTTONUP, 0, At(630, 348), 50);
    };

    // "Save Program" with a name typed without its extension: the first one
    // of the list is added.
    std::vector<HWND> seen;
    std::thread user = UserAtScreen(
        {{"#32768", saveProgram}, {"#32770", [&](HWND d) { ChooseFile(d, base); }}}, &seen);
    clickOptions();
    user.join();
    EXPECT_EQ(seen.size(), 2u);
    const std::string program = ReadFile(saved);
    EXPECT_GT(program.size(), 100u) << saved;

    // Again over the existing file: asked before replacing; No goes back to
    // the dialog, and cancelling it leaves the file alone.
    {
        std::ofstream out(saved, std::ios::binary);
        out << "keep";
    }
    seen.clear();
    bool dialogBack = false;
    HWND fileDialog = nullptr;
    user = UserAtScreen({{"#32768", saveProgram},
                         {"#32770",
                          [&](HWND d) {
                              fileDialog = d;
                              ChooseFile(d, base);
                          }},
                         {"#32770",
                          [&](HWND box) {
                              PressButton(box, IDNO);
                              for (int i = 0; i < 100 && IsWindow(box); ++i)
                                  Sleep(10);
                              dialogBack = IsWindowVisible(fileDialog);
                              PressButton(fileDialog, IDCANCEL);
                          }}},
                        &seen);
    clickOptions();
    user.join();
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_TRUE(dialogBack);
    EXPECT_EQ(ReadFile(saved), "keep");

    // "Load Program" of a file that is no program: an error box owned by the
    // host's top-level window.
    seen.clear();
    HWND owner = nullptr;
    std::string caption;
    user = UserAtScreen({{"#32768",
                          [](HWND menu) {
                              PressKeys(menu, {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
                          }},
                         {"#32770", [&](HWND d) { ChooseFile(d, saved); }},
                         {"#32770",
                          [&](HWND box) {
                              owner = GetWindow(box, GW_OWNER);
                              char text[64] = {};
                              GetWindowTextA(box, text, sizeof(text));
                              caption = text;
                              PressButton(box, IDOK);
                          }}},
                        &seen);
    clickOptions();
    user.join();
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(owner, window);
    EXPECT_EQ(caption, "Error");
    std::remove(saved.c_str());
}

TEST_F(WinWindowTest, ClassIsSharedByTwoEditorsAndOpenClose100TimesIsSteady) {
    auto second = hosttest::MakeHost();
    ASSERT_TRUE(second);
    second->Start(44100.0, 512);
    const HWND otherWindow = MakeHostWindow(40, 40);
    EXPECT_FALSE(ClassRegistered());
    ASSERT_EQ(host->Dispatch(effEditOpen, 0, 0, window), 1);
    EXPECT_TRUE(ClassRegistered());
    ASSERT_EQ(second->Dispatch(effEditOpen, 0, 0, otherWindow), 1);
    Pump(60, second.get());
    ASSERT_NE(EditorOf(window), nullptr);
    ASSERT_NE(EditorOf(otherWindow), nullptr);
    EXPECT_NE(EditorOf(window), EditorOf(otherWindow));

    // Closing the first leaves the class to the second, which keeps working.
    host->Dispatch(effEditClose);
    EXPECT_EQ(EditorOf(window), nullptr);
    EXPECT_TRUE(ClassRegistered());
    const int cutoff = second->FindParam("VCF Cutoff");
    LocalPanel panel;
    const IRect r = panel.ControlOf(cutoff)->GetRect();
    const HWND editor = EditorOf(otherWindow);
    const float before = second->GetParameter(cutoff);
    POINT screen{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(editor, &screen);
    PostMessageA(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), At(screen.x, screen.y));
    Pump(40, second.get());
    EXPECT_GT(second->GetParameter(cutoff), before);
    second->Dispatch(effEditClose);
    EXPECT_FALSE(ClassRegistered()) << "the last editor to close unregisters the class";
    second.reset();
    DestroyWindow(otherWindow);

    // Open and close 100 times: no window, class or memory left behind.
    SIZE_T afterWarmUp = 0;
    for (int round = 0; round < 100; ++round) {
        ASSERT_EQ(host->Dispatch(effEditOpen, 0, 0, window), 1) << round;
        Pump(round % 10 == 0 ? 50 : 0);
        ASSERT_NE(EditorOf(window), nullptr) << round;
        ASSERT_EQ(host->Dispatch(effEditClose), 1);
        ASSERT_EQ(EditorOf(window), nullptr) << round;
        if (round == 9) {
            PROCESS_MEMORY_COUNTERS counters{};
            GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
            afterWarmUp = counters.WorkingSetSize;
        }
    }
    EXPECT_FALSE(ClassRegistered());
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    EXPECT_LT(static_cast<long long>(counters.WorkingSetSize) - static_cast<long long>(afterWarmUp),
              4LL << 20)
        << "bytes grown over 90 rounds";

    // A host that destroys its window (and ours in it) before closing the
    // editor, with a text entry open.
    ASSERT_EQ(host->Dispatch(effEditOpen, 0, 0, window), 1);
    Post(EditorOf(window), WM_LBUTTONDOWN, MK_LBUTTON, At(600, 324));
    Post(EditorOf(window), WM_LBUTTONUP, 0, At(600, 324), 60);
    DestroyWindow(window);
    window = nullptr;
    Pump(60);
    EXPECT_EQ(host->Dispatch(effEditClose), 1);
    EXPECT_FALSE(ClassRegistered());
}

} // namespace halvane
