// Help from the running editor: F1 and the Help button open the application folder's
// "Menu.chm" in the system's help viewer, whatever folder the editor was started from and
// whatever program help files are set to open with.
#include "EditorFixture.h"
#include "EditorProcess.h"

#include "MenuResource.h"
#include <gtest/gtest.h>

using testing_support::BinFolder;
using testing_support::ExeFolder;
using testing_support::FileExists;
using testing_support::ReadRegString;
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

// A file type pointed at another program for the scope's life, as anyone who controls the type's
// association could point it; the type's earlier class comes back afterwards.
class ScopedAssociation {
public:
    ScopedAssociation(const char* extension, const std::string& command)
        : m_extension(extension), m_previous(ReadRegString(HKEY_CLASSES_ROOT, extension)) {
        SetDefault(std::string(kClass) + "\\shell\\open\\command", command);
        SetDefault(m_extension, kClass);
    }
    ~ScopedAssociation() {
        if (m_previous == "<missing>") {
            ::RegDeleteTreeA(HKEY_CLASSES_ROOT, m_extension.c_str());
        } else {
            SetDefault(m_extension, m_previous);
        }
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kClass);
    }
    ScopedAssociation(const ScopedAssociation&) = delete;
    ScopedAssociation& operator=(const ScopedAssociation&) = delete;

private:
    static void SetDefault(const std::string& key, const std::string& value) {
        EXPECT_EQ(::RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(),
                                 static_cast<DWORD>(value.size())),
                  ERROR_SUCCESS);
    }

    static constexpr char kClass[] = "QarvoTest.OtherViewer";
    std::string m_extension, m_previous;
};

class HelpTest : public MainDlgTest {};

} // namespace

TEST_F(HelpTest, OpensTheApplicationFoldersFileInTheSystemViewerWhateverHelpFilesOpenWith) {
    // The application folder is a temporary one; this program's folder, also the current
    // one, has no help file.
    ViewersClosedAtEnd viewers;
    ASSERT_TRUE(
        ::CopyFileA((BinFolder() + "\\Menu.chm").c_str(), dir.File("Menu.chm").c_str(), FALSE));
    // Help files set to open with another program: the editor, elevated, must not run it.
    const std::string marker = dir.File("marker.exe");
    ASSERT_TRUE(::CopyFileA((ExeFolder() + "\\marker.exe").c_str(), marker.c_str(), FALSE));
    const ScopedAssociation chm(".chm", "\"" + marker + "\" \"%1\"");
    OpenMainDialog();
    dlg->OnHelp();
    HWND viewer = WaitForHelpViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_FALSE(FileExists(dir.File("launched.txt")));
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
