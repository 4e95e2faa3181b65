// The editor as a host sees it through the VST 2.4 ABI: the has-editor flag and
// the editor's size before any window exists, and opening, idling and closing.

#include <gtest/gtest.h>

#include "support/PluginFixture.h"

// The resource checks below run on Windows only.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "editor/LayoutTable.h"
#endif

namespace halvane {

using namespace hosttest;
using namespace vst;

TEST_F(PluginTest, EditorSizeIsKnownBeforeAnyWindowOpens) {
    EXPECT_TRUE(effect()->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    ASSERT_EQ(host->Dispatch(effEditGetRect, 0, 0, &rect), 1) << "asked before effOpen";
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->right, 988);
    EXPECT_EQ(rect->bottom, 696);

    host->Start(44100.0, 512);
    ERect* again = nullptr;
    ASSERT_EQ(host->Dispatch(effEditGetRect, 0, 0, &again), 1);
    EXPECT_EQ(again, rect) << "the instance keeps owning the rectangle";
}

// Opening in real windows is tested in tests/window (X11) and tests/winwindow
// (Windows, under wine); here the editor meets parents that are no window at all.
TEST_F(PluginTest, EditorRefusesParentsThatAreNoWindow) {
    host->Start(44100.0, 512);
    int notAWindow = 0;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(host->Dispatch(effEditOpen, 0, 0, &notAWindow), 0) << "round " << round;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(host->Dispatch(effEditIdle), 0);
        effect()->setParameter(effect(), 14, 0.25f);
        EXPECT_FLOAT_EQ(effect()->getParameter(effect(), 14), 0.25f);
        EXPECT_EQ(host->Dispatch(effEditClose), 1) << "closing a closed editor is harmless";
    }
    EXPECT_EQ(host->Dispatch(effEditOpen), 0) << "no parent window";
    EXPECT_EQ(host->CountCalls(audioMasterSizeWindow), 0);
}

#ifdef _WIN32
// On Windows the panel's pictures are resources of the DLL, where the editor
// finds them through the system's resource functions: each one must be there
// under its id, as a PNG of the size the layout expects.
TEST(EditorPictures, EveryBitmapOfThePanelIsAResourceOfTheLibrary) {
    HMODULE module = LoadLibraryExA(HALVANE_PLUGIN_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << HALVANE_PLUGIN_PATH;
    const auto bigEndian = [](const unsigned char* p) {
        return static_cast<int>(std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                                std::uint32_t{p[2]} << 8 | std::uint32_t{p[3]});
    };
    for (const layout::BitmapEntry& entry : layout::kBitmaps) {
        SCOPED_TRACE(entry.fileName);
        HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(entry.id), "PNG");
        ASSERT_NE(info, nullptr);
        ASSERT_GE(SizeofResource(module, info), 24u);
        const auto* png =
            static_cast<const unsigned char*>(LockResource(LoadResource(module, info)));
        ASSERT_NE(png, nullptr);
        static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        ASSERT_EQ(std::memcmp(png, kSignature, 8), 0);
        EXPECT_EQ(std::memcmp(png + 12, "IHDR", 4), 0);
        EXPECT_EQ(bigEndian(png + 16), entry.width);
        EXPECT_EQ(bigEndian(png + 20), entry.height);
    }
    FreeLibrary(module);
}
#endif

} // namespace halvane
