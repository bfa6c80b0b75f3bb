// Help from the running editor: F1 and the Help button open the application folder's
// "Menu.chm" in the system's help viewer, whatever folder the editor was started from.
#include "EditorFixture.h"
#include "EditorProcess.h"

#include "MenuResource.h"
#include <gtest/gtest.h>

using testing_support::BinFolder;
using testing_support::TempDir;

namespace {

// The viewer's frame window, captioned with the help project's title.
HWND WaitForHelpViewer(DWORD timeoutMs = 20000) {
    return ui::WaitForWindow("HH Parent", "Qarvo Context Menu Help", timeoutMs);
}

bool CloseViewer(HWND viewer) {
    ::PostMessageA(viewer, WM_CLOSE, 0, 0);
    return ui::WaitUntil([&] { return !::IsWindow(viewer); }, 10000);
}

// Under Wine the viewer keeps the test's error stream, and so ctest, waiting while it runs:
// every one is closed, also when a check failed.
struct ViewersClosedAtEnd {
    ~ViewersClosedAtEnd() {
        for (int i = 0; i < 10; ++i) {
            HWND viewer = WaitForHelpViewer(0);
            if (viewer == nullptr || !CloseViewer(viewer)) {
                break;
            }
        }
    }
};

class HelpTest : public MainDlgTest {};

} // namespace

TEST_F(HelpTest, OpensTheApplicationFoldersFileNotOneBesideTheProgramOrInTheCurrentFolder) {
    // The application folder is a temporary one; this program's folder, also the current
    // one, has no help file.
    ViewersClosedAtEnd viewers;
    ASSERT_TRUE(
        ::CopyFileA((BinFolder() + "\\Menu.chm").c_str(), dir.File("Menu.chm").c_str(), FALSE));
    OpenMainDialog();
    dlg->OnHelp();
    HWND viewer = WaitForHelpViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(CloseViewer(viewer));
}

TEST(HelpProcessTest, F1AndTheHelpButtonOpenTheProgramFoldersHelpFromAnyStartFolder) {
    ViewersClosedAtEnd viewers;
    TempDir app;
    TempDir elsewhere; // the current folder, with no help file in it
    for (const char* file : {"Menu.exe", "Skin.dll", "Menu.chm"}) {
        ASSERT_TRUE(::CopyFileA((BinFolder() + "\\" + file).c_str(), app.File(file).c_str(), FALSE))
            << file;
    }
    EditorProcess editor(app.Path(), "", elsewhere.Path());
    HWND main = editor.WaitForMainWindow();
    ASSERT_NE(main, nullptr);

    const char* ways[] = {"F1 in the list", "Help button"};
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(ways[way]);
        if (way == 0) {
            ::PostMessageA(::GetDlgItem(main, IDC_LIST_ITEMS), WM_KEYDOWN, VK_F1, 1);
        } else {
            PressButton(main, IDC_HELP_BUTTON);
        }
        HWND viewer = WaitForHelpViewer();
        ASSERT_NE(viewer, nullptr);
        EXPECT_TRUE(CloseViewer(viewer));
    }
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(editor.WaitForExit(), 0u);
}
