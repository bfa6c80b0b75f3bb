// The main dialog in this process: list, adding through the real file dialog and by dropping,
// duplicates and other refusals, tracking, renaming, moving, deleting, closing.
#include "AnsiText.h"
#include "AppFolder.h"
#include "MenuResource.h"
#include "QarvoIdentity.h"
#include "Display.h"
#include "DlgMsgbx.h"
#include "Elevation.h"
#include "EditorFixture.h"
#include "EditorProcess.h"
#include "EntryIcons.h"
#include "MenuData.h"
#include "TestSupport.h"

#include <commctrl.h>
#include <oleacc.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

using testing_support::ScreenPixel;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

MenuItemList TwoItems() {
    return {MakeMenuItem("a.txt", "C:\\Docs\\a.txt"), MakeMenuItem("b.exe", "C:\\Tools\\b.exe")};
}

bool QuitPosted() {
    MSG msg;
    return ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

// A network path that does not answer: the shell's parse of it does not come back until the
// test lets it. Every other path is parsed as usual.
constexpr char kStuckPath[] = "\\\\stuck\\share\\tool.exe";
std::atomic<bool> s_answer{false};
// The slot through which the editor calls the shell's parse, bound at the first call.
extern "C" void* __imp_SHParseDisplayName;
HRESULT WINAPI StuckParse(PCWSTR name, IBindCtx* bind, PIDLIST_ABSOLUTE* item, SFGAOF ask,
                          SFGAOF* attributes) {
    using ParseFn = decltype(&::SHParseDisplayName);
    static const auto s_parse = reinterpret_cast<ParseFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::LoadLibraryA("shell32.dll"), "SHParseDisplayName")));
    while (win32::ToWide(kStuckPath) == name && !s_answer) {
        ::Sleep(10);
    }
    return s_parse(name, bind, item, ask, attributes);
}

// Whether a column's heading shows whole: its text in the header's font, with the margins the
// header keeps on either side of it, within the column.
bool HeadingFits(HWND list, int column) {
    HWND header = ListView_GetHeader(list);
    char text[128] = {};
    HDITEMA item = {};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    RECT rc = {};
    if (!Header_GetItem(header, column, &item) || !Header_GetItemRect(header, column, &rc)) {
        return false;
    }
    const win32::CClientDC dc(header);
    ::SelectObject(dc.Get(), reinterpret_cast<HFONT>(::SendMessageA(header, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    ::GetTextExtentPoint32A(dc.Get(), text, lstrlenA(text), &extent);
    const int margins = 2 * win32::ScaleToDpi(6, win32::DpiOf(header));
    return extent.cx + margins <= rc.right - rc.left;
}

// The size of the icon a window shows as its big or small icon.
int WindowIconSize(HWND hwnd, WPARAM which) {
    ICONINFO info = {};
    HICON icon = reinterpret_cast<HICON>(::SendMessageA(hwnd, WM_GETICON, which, 0));
    if (icon == nullptr || !::GetIconInfo(icon, &info)) {
        return 0;
    }
    const win32::CBitmap color(info.hbmColor), mask(info.hbmMask);
    BITMAP bm = {};
    ::GetObjectA(color ? color.Get() : mask.Get(), sizeof bm, &bm);
    return bm.bmWidth;
}

// Whether the program's icon has an image of its own of size pixels (not one stretched to it).
bool IconHasImageOfSize(int size) {
    const HRSRC res = ::FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_MAINFRAME), RT_GROUP_ICON);
    const auto* group = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, res)));
    if (group == nullptr) {
        return false;
    }
    const int count = group[4] | group[5] << 8;
    for (int i = 0; i < count; ++i) {
        const int width = group[6 + 14 * i]; // 0 stands for 256
        if ((width == 0 ? 256 : width) == size) {
            return true;
        }
    }
    return false;
}

// The pixels of the picture a row of the list shows, at the size of the list's pictures.
std::vector<std::uint32_t> RowIconPixels(HWND list, int row) {
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    HIMAGELIST images = ListView_GetImageList(list, LVSIL_SMALL);
    int cx = 0, cy = 0;
    if (!ListView_GetItem(list, &item) || !::ImageList_GetIconSize(images, &cx, &cy)) {
        return {};
    }
    const win32::CIcon icon(::ImageList_GetIcon(images, item.iImage, ILD_NORMAL));
    return IconPixels(icon.Get(), cx);
}

// Whether a picture shows an icon's pixels: the same size, each channel within the rounding of
// the round trip through a control.
bool ShowsIcon(const std::vector<std::uint32_t>& shown, const std::vector<std::uint32_t>& icon) {
    return shown.size() == icon.size() &&
           std::equal(shown.begin(), shown.end(), icon.begin(),
                      [](std::uint32_t a, std::uint32_t b) {
                          for (const int shift : {0, 8, 16, 24}) {
                              if (std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                           static_cast<int>((b >> shift) & 0xFF)) > 2) {
                                  return false;
                              }
                          }
                          return true;
                      });
}

} // namespace

TEST(FileNameFromPath, TakesThePartAfterTheLastBackslashForAnyLength) {
    std::string title = "previous";
    EXPECT_TRUE(GetFileNameFromPath("C:\\Tools\\notes.txt", title));
    EXPECT_EQ(title, "notes.txt");
    EXPECT_TRUE(GetFileNameFromPath("C:\\a.b", title)); // short paths get their own title
    EXPECT_EQ(title, "a.b");
    EXPECT_TRUE(GetFileNameFromPath("notes.txt", title));
    EXPECT_EQ(title, "notes.txt");
    EXPECT_TRUE(GetFileNameFromPath("C:\\Tools\\", title));
    EXPECT_EQ(title, "C:\\Tools\\");
    title = "kept";
    EXPECT_FALSE(GetFileNameFromPath("", title));
    EXPECT_EQ(title, "kept");
}

TEST(ModuleFolder, EveryFormOfAProgramPathGivesItsOrdinaryFolder) {
    EXPECT_EQ(ModuleFolder(L"C:\\My Apps\\Menu.exe"), L"C:\\My Apps");
    EXPECT_EQ(ModuleFolder(L"C:\\Menu.exe"), L"C:");
    EXPECT_EQ(ModuleFolder(L"\\\\server\\share\\Menu.exe"), L"\\\\server\\share");
    EXPECT_EQ(ModuleFolder(L"\\\\?\\D:\\a%20b\\Menu.exe"), L"D:\\a%20b");
    EXPECT_EQ(ModuleFolder(L"\\\\?\\UNC\\server\\share\\Menu.exe"), L"\\\\server\\share");
    // Nothing that would depend on the current drive or folder.
    for (const wchar_t* path : {L"Menu.exe", L"\\Menu.exe", L"C:Menu.exe", L"app\\Menu.exe",
                                L"\\\\Menu.exe", L"\\\\?\\UNC\\Menu.exe", L""}) {
        EXPECT_EQ(ModuleFolder(path), L"") << win32::ToAnsi(path);
    }
}

TEST(Elevation, OnlyAFolderItCannotWriteAsksOnceForAdministratorRights) {
    EXPECT_TRUE(ShouldRestartElevated(false, false));
    EXPECT_FALSE(ShouldRestartElevated(true, false)) << "a per-user installation never asks";
    EXPECT_FALSE(ShouldRestartElevated(false, true)) << "elevated already, or restarted: no loop";
    EXPECT_FALSE(ShouldRestartElevated(true, true));
    // The restart's mark, among the arguments after the program's own name.
    EXPECT_TRUE(IsRestartedElevated(L"\"C:\\Program Files\\Q\\Menu.exe\" /elevated"));
    EXPECT_TRUE(IsRestartedElevated(L"Menu.exe x\t/elevated "));
    for (const wchar_t* line : {L"\"C:\\a /elevated\\Menu.exe\"", L"/elevated",
                                L"Menu.exe /elevatedx", L"Menu.exe \"/elevated\"", L""}) {
        EXPECT_FALSE(IsRestartedElevated(line)) << win32::ToAnsi(line);
    }

    // Tried with a real file, which is gone again.
    const TempDir dir;
    EXPECT_TRUE(FolderIsWritable(dir.Path()));
    EXPECT_FALSE(FolderIsWritable(dir.File("missing")));
    WIN32_FIND_DATAA found;
    const win32::CFind any(::FindFirstFileA(dir.File("*.tmp").c_str(), &found));
    EXPECT_FALSE(any.Valid());
}

TEST_F(MainDlgTest, ShowsTheEntriesWithTheInitialControlStates) {
    OpenMainDialog(TwoItems(), 120);
    HWND hwnd = dlg->m_hWnd;
    EXPECT_TRUE(::IsWindowVisible(hwnd)) << "shown by the timer after initialisation";
    MONITORINFO monitor = {sizeof monitor, {}, {}, 0};
    ::GetMonitorInfoA(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor);
    EXPECT_NEAR(ui::Centre(hwnd).x, (monitor.rcWork.left + monitor.rcWork.right) / 2, 2);
    EXPECT_NEAR(ui::Centre(hwnd).y, (monitor.rcWork.top + monitor.rcWork.bottom) / 2, 2);
    EXPECT_EQ(ui::Text(hwnd), QARVO_EDITOR_TITLE);
    EXPECT_EQ(RowCount(), 2);
    EXPECT_EQ(Row(0), "a.txt|C:\\Docs\\a.txt");
    EXPECT_EQ(Row(1), "b.exe|C:\\Tools\\b.exe");
    EXPECT_EQ(dlg->m_listItems.GetColumnWidth(0), 120);
    RECT rc;
    ::GetWindowRect(dlg->m_listItems.m_hWnd, &rc);
    EXPECT_EQ(dlg->m_listItems.GetColumnWidth(1), (rc.right - rc.left) - 120);
    const DWORD ex = dlg->m_listItems.GetExtendedStyle();
    EXPECT_TRUE((ex & LVS_EX_GRIDLINES) && (ex & LVS_EX_FULLROWSELECT));

    EXPECT_EQ(dlg->m_nCurItem, -1);
    EXPECT_FALSE(dlg->m_btnDelete.IsWindowEnabled());
    EXPECT_FALSE(::IsWindowEnabled(dlg->GetDlgItem(IDC_EDIT_PATH)));
    EXPECT_TRUE(::IsWindowEnabled(dlg->GetDlgItem(IDC_EDIT_TITLE)));
    EXPECT_EQ(::SendMessageA(dlg->GetDlgItem(IDC_EDIT_TITLE), EM_GETLIMITTEXT, 0, 0), 128);
    EXPECT_EQ(::SendMessageA(dlg->GetDlgItem(IDC_EDIT_PATH), EM_GETLIMITTEXT, 0, 0), 256);

    // The About item at the end of the system menu, after a separator.
    HMENU sys = ::GetSystemMenu(hwnd, FALSE);
    const int n = ::GetMenuItemCount(sys);
    char text[128] = {};
    ::GetMenuStringA(sys, n - 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "About Context Menu(&A)...");
    EXPECT_EQ(::GetMenuItemID(sys, n - 1), 16u);
    EXPECT_EQ(::GetMenuState(sys, n - 2, MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
}

TEST_F(MainDlgTest, LaidOutForItsDpiAndAgainWhenTheDpiChanges) {
    // Each monitor's DPI, as the manifest asks; the systems before it read dpiAware.
    const HRSRC res = ::FindResourceA(nullptr, MAKEINTRESOURCEA(1), RT_MANIFEST);
    const std::string manifest(
        static_cast<const char*>(::LockResource(::LoadResource(nullptr, res))),
        ::SizeofResource(nullptr, res));
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);

    OpenMainDialog(TwoItems());
    HWND hwnd = dlg->m_hWnd;
    const UINT dpi = dlg->GetDpi();
    EXPECT_EQ(dpi, win32::DpiOf(hwnd));
    if (const char* runAt = std::getenv("QARVO_TEST_DPI")) {
        EXPECT_EQ(dpi, std::strtoul(runAt, nullptr, 10)) << "the DPI this run was started at";
    }
    // Col0Width is in pixels at 96 DPI; the heading shows whole.
    EXPECT_EQ(dlg->m_listItems.GetColumnWidth(0), win32::ScaleToDpi(150, dpi));
    EXPECT_TRUE(HeadingFits(dlg->m_listItems.m_hWnd, 0));
    // The window's and taskbar's icons, each an image of the icon's own.
    for (const auto& [which, metric] :
         {std::pair{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}}) {
        const int size = win32::MetricForDpi(metric, dpi);
        EXPECT_EQ(WindowIconSize(hwnd, which), size);
        EXPECT_TRUE(IconHasImageOfSize(size)) << size;
    }

    // Moved to a monitor of twice the DPI: window, controls, font, columns and icons follow.
    ExpectRelaidOutForDpi(hwnd, dpi, dpi * 2);
    EXPECT_EQ(dlg->GetDpi(), dpi * 2);
    EXPECT_EQ(dlg->m_listItems.GetColumnWidth(0), win32::ScaleToDpi(150, dpi * 2));
    EXPECT_TRUE(HeadingFits(dlg->m_listItems.m_hWnd, 0));
    EXPECT_EQ(WindowIconSize(hwnd, ICON_BIG), win32::MetricForDpi(SM_CXICON, dpi * 2));
    // The message box follows its monitor too.
    CDlgMsgbx box("Moved", dlg);
    ASSERT_TRUE(box.Create(IDD_MSGBOX, dlg));
    ExpectRelaidOutForDpi(box.m_hWnd, dpi, dpi * 2);
    box.DestroyWindow();

    // And back; a width the user sets is saved as its 96-DPI value.
    ExpectRelaidOutForDpi(hwnd, dpi * 2, dpi);
    EXPECT_EQ(dlg->m_listItems.GetColumnWidth(0), win32::ScaleToDpi(150, dpi));
    dlg->m_listItems.SetColumnWidth(0, win32::ScaleToDpi(200, dpi));
    ::SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(g_appConfig.Col0Width, 200);
}

TEST_F(MainDlgTest, RowsShowTheirTargetsIconsAsTheyArriveAtEachDpi) {
    // A network path that answers only when the test lets it: its row shows the generic icon
    // meanwhile, and the window goes on answering.
    const testing_support::CImportPatch patch(&__imp_SHParseDisplayName,
                                              reinterpret_cast<void*>(&StuckParse));
    const std::string program = testing_support::BinFolder() + "\\Menu.exe";
    const std::string gone = dir.File("gone.txt");
    OpenMainDialog({MakeMenuItem("program", program), MakeMenuItem("gone", gone),
                    MakeMenuItem("stuck", kStuckPath)});
    const HWND list = dlg->m_listItems.m_hWnd;
    const auto ready = [&](const std::string& path) {
        Pump();
        return EntryIcons().Ready(path) != nullptr;
    };
    // Each row shows its target's icon once that is ready, the generic one until then.
    const auto expectRowIcons = [&](UINT dpi) {
        const int k =
            MenuIconSizeIndex(static_cast<std::uint32_t>(win32::MetricForDpi(SM_CXSMICON, dpi)));
        for (int row = 0; row < RowCount(); ++row) {
            const std::string path = dlg->m_listItems.GetItemText(row, 1);
            const MenuIconSet* icons = EntryIcons().Ready(path);
            EXPECT_TRUE(ShowsIcon(RowIconPixels(list, row),
                                  (icons != nullptr ? *icons : GenericIcons()).Pixels[k]))
                << path << " at " << dpi;
        }
    };
    ASSERT_TRUE(ui::WaitUntil([&] { return ready(program) && ready(gone); }));
    EXPECT_NE(EntryIcons().Ready(program)->Pixels[0], GenericIcons().Pixels[0]) << "its own";
    EXPECT_EQ(EntryIcons().Ready(kStuckPath), nullptr);
    const UINT dpi = dlg->GetDpi();
    expectRowIcons(dpi);

    // A row added later; a row moved keeps its icon; twice the DPI makes them all afresh.
    const std::string help = testing_support::BinFolder() + "\\Menu.chm";
    EXPECT_EQ(Drop({win32::ToWide(help)}), "");
    ASSERT_TRUE(ui::WaitUntil([&] { return ready(help); }));
    dlg->MoveRow(0, 3);
    ExpectRelaidOutForDpi(dlg->m_hWnd, dpi, dpi * 2);
    expectRowIcons(dpi * 2);

    // When the network answers, the list is drawn again with what came.
    ::UpdateWindow(list);
    s_answer = true;
    EXPECT_TRUE(ui::WaitUntil([&] {
        MSG msg; // the editor's own messages, and no paint
        while (::PeekMessageA(&msg, dlg->m_hWnd, WM_APP, 0xBFFF, PM_REMOVE)) {
            ::DispatchMessageA(&msg);
        }
        return ::GetUpdateRect(list, nullptr, FALSE) != FALSE;
    }));
    expectRowIcons(dpi * 2);
}

TEST_F(MainDlgTest, TabReachesEveryControlInReadingOrderUnderItsAccessibleName) {
    // Buttons drawn by a skin stay buttons for the keyboard and for screen readers.
    ASSERT_TRUE(InstallSkins(dir.Path()));
    ASSERT_TRUE(app.LoadSkin(2));
    OpenMainDialog(TwoItems());
    SelectRow(0); // the Delete button is enabled
    HWND start = ::GetFocus();
    EXPECT_EQ(start, dlg->GetDlgItem(IDC_SELECT_FILE)) << "the keyboard starts on adding";
    std::vector<std::string> names;
    for (int i = 0; i < 12 && (names.empty() || ::GetFocus() != start); ++i) {
        MSG tab = {::GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
        EXPECT_TRUE(CWinApp::PreTranslateChain(&tab));
        const ui::Accessible focused = ui::ReadAccessible(::GetFocus());
        EXPECT_NE(focused.state & STATE_SYSTEM_FOCUSED, 0);
        names.push_back(focused.name);
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"Menu entries", "Skins", "Help", "About...", "Exit",
                                        "System menu title:", "Delete", "Select file path..."}));
    // The path box is named by its label too; it is unavailable, not in the Tab order.
    const ui::Accessible path = ui::ReadAccessible(dlg->GetDlgItem(IDC_EDIT_PATH));
    EXPECT_EQ(path.name, "Attached file path:");
    EXPECT_NE(path.state & STATE_SYSTEM_UNAVAILABLE, 0);

    // Every button keeps its class, push-button style and state; the list is the standard one.
    for (int id : {IDC_SKINS, IDC_HELP_BUTTON, IDC_ABOUT, IDC_EXIT, IDC_DELETE, IDC_SELECT_FILE}) {
        HWND button = dlg->GetDlgItem(static_cast<UINT>(id));
        EXPECT_EQ(ui::ClassName(button), "Button") << id;
        const LONG_PTR type = ::GetWindowLongPtrA(button, GWL_STYLE) & BS_TYPEMASK;
        EXPECT_TRUE(type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) << id;
        EXPECT_NE(::SendMessageA(button, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON, 0) << id;
    }
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageA(dlg->m_listItems.m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(&none));
    EXPECT_NE(ui::ReadAccessible(dlg->GetDlgItem(IDC_DELETE)).state & STATE_SYSTEM_UNAVAILABLE, 0);
    EXPECT_EQ(ui::ClassName(dlg->m_listItems.m_hWnd), WC_LISTVIEWA);
    EXPECT_EQ(::GetWindowLongPtrA(dlg->m_listItems.m_hWnd, GWL_STYLE) &
                  (LVS_TYPEMASK | LVS_OWNERDATA | LVS_OWNERDRAWFIXED),
              LVS_REPORT);
    app.ReleaseSkin();
}

TEST_F(MainDlgTest, HighContrastShowsSystemColoursAndTheChosenSkinAfterwards) {
    ASSERT_TRUE(InstallSkins(dir.Path()));
    OpenMainDialog(TwoItems());
    HWND hwnd = dlg->m_hWnd;
    // The dialog's ground, a button's face and the list's ground.
    const auto look = [&] {
        Pump();
        RECT rc;
        ::GetClientRect(dlg->m_listItems.m_hWnd, &rc);
        return std::vector<COLORREF>{
            ScreenPixel(hwnd, 2, 2), ScreenPixel(dlg->GetDlgItem(IDC_HELP_BUTTON), 4, 4),
            ScreenPixel(dlg->m_listItems.m_hWnd, rc.right - 3, rc.bottom - 3)};
    };
    const std::vector<COLORREF> system = look();
    ASSERT_TRUE(app.LoadSkin(3));
    const std::vector<COLORREF> third = look();
    g_appConfig.SkinType = 2;
    ASSERT_TRUE(app.LoadSkin(2));
    ASSERT_NE(look(), system);
    {
        const testing_support::CHighContrast contrast(
            {::GetModuleHandleA(nullptr), ::GetModuleHandleA("Skin.dll")});
        ASSERT_TRUE(contrast.Patched());
        EXPECT_EQ(look(), system) << "the user's colours, nothing of the skin";
        // The Skins command still moves on, loads and keeps the choice.
        dlg->OnSkins();
        EXPECT_EQ(g_appConfig.SkinType, 3);
        EXPECT_EQ(look(), system);
    }
    EXPECT_EQ(look(), third) << "switched off, the chosen skin is back";
    app.ReleaseSkin();
}

TEST_F(MainDlgTest, AddingThroughTheFileDialogAndRefusingDuplicates) {
    OpenMainDialog();
    const std::string path = dir.File("notes.txt");
    EXPECT_EQ(AddThroughFileDialog(path), "");
    ASSERT_EQ(RowCount(), 1);
    EXPECT_EQ(Row(0), "notes.txt|" + path);
    EXPECT_TRUE(g_bListModified);
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_TITLE), "notes.txt");
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_PATH), path);
    EXPECT_EQ(dlg->m_nCurItem, -1) << "the new row is not selected";

    // The same file again: refused, nothing else changes.
    g_bListModified = false;
    ::SetWindowTextA(dlg->GetDlgItem(IDC_EDIT_TITLE), "typed");
    EXPECT_EQ(AddThroughFileDialog(path), "The same item have been existent.");
    EXPECT_EQ(RowCount(), 1);
    EXPECT_FALSE(g_bListModified);
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_TITLE), "typed") << "the boxes are not refreshed";

    // Differing only in case is another entry.
    std::string upper = path;
    upper.replace(upper.size() - 9, 9, "NOTES.TXT");
    EXPECT_EQ(AddThroughFileDialog(upper), "");
    EXPECT_EQ(RowCount(), 2);
    EXPECT_EQ(Row(1), "NOTES.TXT|" + upper);
}

TEST_F(MainDlgTest, ShortPathsGetTheirOwnFileNameAsTitle) {
    OpenMainDialog(TwoItems());
    SelectRow(1); // m_strTitle now holds "b.exe"
    EXPECT_EQ(AddThroughFileDialog("C:\\a.b"), "");
    ASSERT_EQ(RowCount(), 3);
    EXPECT_EQ(Row(2), "a.b|C:\\a.b");
}

TEST_F(MainDlgTest, EntriesThatCannotBeStoredAreRefused) {
    OpenMainDialog();
    const std::string longName = dir.File(std::string(128, 'n') + ".txt");
    EXPECT_EQ(AddThroughFileDialog(longName),
              "The file name is too long for a menu title (at most 127 characters).");
    std::string longPath = dir.Path();
    while (longPath.size() < 240) {
        longPath += "\\" + std::string(30, 'd');
    }
    longPath += "\\file.txt";
    EXPECT_EQ(AddThroughFileDialog(longPath),
              "The file path is too long for the menu (at most 255 characters).");
    EXPECT_EQ(RowCount(), 0);
    EXPECT_FALSE(g_bListModified);
}

TEST_F(MainDlgTest, PathOutsideTheCodePageIsRefused) {
    const std::wstring name = L"\u65E5\u672C\u8A9E.txt";
    std::string ansi;
    if (win32::ToAnsiExact(name.c_str(), -1, ansi)) {
        GTEST_SKIP() << "this system's code page can store the name";
    }
    OpenMainDialog();
    const std::wstring path = win32::ToWide(dir.Path()) + L"\\" + name;
    win32::CHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_EQ(AddThroughFileDialog(path), "The path has characters that the menu cannot store.");
    EXPECT_EQ(RowCount(), 0);
    EXPECT_FALSE(g_bListModified);
}

TEST_F(MainDlgTest, TheTwentySeventhEntryIsRefused) {
    MenuItemList items;
    for (int i = 0; i < 26; ++i) {
        items.push_back(MakeMenuItem("t" + std::to_string(i), "C:\\f" + std::to_string(i)));
    }
    OpenMainDialog(items);
    EXPECT_EQ(AddThroughFileDialog(dir.File("one-more.txt")), "The menu holds at most 26 items.");
    EXPECT_EQ(RowCount(), 26);
    EXPECT_FALSE(g_bListModified);
}

TEST_F(MainDlgTest, SeveralFilesChosenOrDroppedAreAddedInOrderAndRefusalsSaidOnce) {
    OpenMainDialog({MakeMenuItem("old.txt", dir.File("old.txt"))});
    for (const char* name : {"a.txt", "b.txt", "old.txt", "c.txt"}) {
        ASSERT_TRUE(WriteFileBytes(dir.File(name), name));
    }
    ASSERT_TRUE(::CreateDirectoryA(dir.File("tools").c_str(), nullptr));

    // Three chosen at once in the real dialog, one of them already in the list.
    const std::string chosen =
        RunAndAnswer([this] { dlg->OnSelectFilePath(); },
                     [this](HWND fileDialog) {
                         return ui::ChooseFiles(fileDialog, win32::ToWide(dir.Path()),
                                                {L"b.txt", L"old.txt", L"a.txt"});
                     });
    EXPECT_EQ(chosen, "Not added (1 of 3):\nold.txt: The same item have been existent.");
    ASSERT_EQ(RowCount(), 3);
    EXPECT_EQ(Row(1), "b.txt|" + dir.File("b.txt"));
    EXPECT_EQ(Row(2), "a.txt|" + dir.File("a.txt"));
    EXPECT_TRUE(g_bListModified);
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_TITLE), "a.txt") << "the last one added";
    EXPECT_GE(boxButton.top, boxText.top + 2 * (boxText.bottom - boxText.top) / 3)
        << "the box grew to show both lines above its button";

    // Dropped from Explorer: a file, a folder and a duplicate, in drop order.
    g_bListModified = false;
    EXPECT_EQ(Drop({win32::ToWide(dir.File("c.txt")), win32::ToWide(dir.File("tools")),
                    win32::ToWide(dir.File("a.txt"))}),
              "Not added (1 of 3):\na.txt: The same item have been existent.");
    ASSERT_EQ(RowCount(), 5);
    EXPECT_EQ(Row(3), "c.txt|" + dir.File("c.txt"));
    EXPECT_EQ(Row(4), "tools|" + dir.File("tools"));
    EXPECT_TRUE(g_bListModified);
    EXPECT_EQ(Drop({win32::ToWide(dir.File("c.txt"))}), "The same item have been existent.")
        << "one file alone is answered as the file dialog answers it";

    // Past 26 entries: the rest is refused, and a long report names ten and counts the others.
    std::vector<std::wstring> many;
    for (int i = 0; i < 36; ++i) {
        many.push_back(win32::ToWide(dir.File("f" + std::to_string(i) + ".txt")));
    }
    const std::string report = Drop(many);
    EXPECT_EQ(RowCount(), 26);
    EXPECT_EQ(Row(25), "f20.txt|" + dir.File("f20.txt"));
    EXPECT_EQ(report.substr(0, report.find('\n')), "Not added (15 of 36):");
    EXPECT_NE(report.find("\nf30.txt: The menu holds at most 26 items.\n... and 5 more."),
              std::string::npos)
        << report;
}

TEST_F(MainDlgTest, RenamingInPlaceKeepsOnlyTitlesTheMenuCanStore) {
    OpenMainDialog(TwoItems());
    const HWND list = dlg->m_listItems.m_hWnd;
    ::SetFocus(list);
    SelectRow(1);
    // F2 on the tracked row, typing, Enter: the new title, also in the title box.
    const auto startEditing = [&]() -> HWND {
        ui::PostKey(list, VK_F2);
        Pump();
        return dlg->m_listItems.GetEditControl();
    };
    HWND edit = startEditing();
    ASSERT_NE(edit, nullptr);
    ui::Type(edit, L"Tools & more");
    ui::PostKey(edit, VK_RETURN);
    Pump();
    EXPECT_EQ(dlg->m_listItems.GetEditControl(), nullptr);
    EXPECT_EQ(Row(1), "Tools & more|C:\\Tools\\b.exe");
    EXPECT_TRUE(g_bListModified);
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_TITLE), "Tools & more");
    EXPECT_EQ(dlg->m_nCurItem, 1) << "still tracked: Delete and F2 go on working";
    EXPECT_EQ(RowCount(), 2) << "Enter in the editor does not open the file dialog";

    // Esc cancels.
    g_bListModified = false;
    edit = startEditing();
    ASSERT_NE(edit, nullptr);
    ui::Type(edit, L"Other");
    ui::PostKey(edit, VK_ESCAPE);
    Pump();
    EXPECT_EQ(dlg->m_listItems.GetEditControl(), nullptr);
    EXPECT_EQ(Row(1), "Tools & more|C:\\Tools\\b.exe");
    EXPECT_FALSE(g_bListModified);

    // A click on the selected row's title edits it as well (once a double click is ruled
    // out); leaving the field keeps what was typed.
    ClickRow(1);
    EXPECT_TRUE(ui::WaitUntil(
        [&] {
            Pump();
            return dlg->m_listItems.GetEditControl() != nullptr;
        },
        ::GetDoubleClickTime() + 2000));
    ui::Type(dlg->m_listItems.GetEditControl(), L"Kept");
    Pump();
    ::SetFocus(dlg->GetDlgItem(IDC_EDIT_TITLE));
    Pump();
    EXPECT_EQ(Row(1), "Kept|C:\\Tools\\b.exe");
    EXPECT_TRUE(g_bListModified);

    // What the record cannot hold is refused with the reason, and the old title stays.
    std::string ansi;
    const std::wstring foreign = L"\u65E5\u672C";
    const bool spellable = win32::ToAnsiExact(foreign.c_str(), -1, ansi);
    const struct {
        std::wstring typed;
        std::string said;
    } refusals[] = {
        {std::wstring(128, L'x'), "The title is too long for the menu (at most 127 characters)."},
        {L"", "A menu title cannot be empty or only spaces."},
        {L" \u00A0 ", "A menu title cannot be empty or only spaces."},
        {foreign, spellable ? "" : "The title has characters that the menu cannot store."},
    };
    g_bListModified = false;
    for (const auto& refused : refusals) {
        if (refused.said.empty()) {
            continue; // this system's code page spells it
        }
        SCOPED_TRACE(refused.said);
        ::SetFocus(list);
        EXPECT_EQ(RunAndAnswer([&] {
                      HWND editor = startEditing();
                      ::SendMessageW(editor, WM_SETTEXT, 0,
                                     reinterpret_cast<LPARAM>(refused.typed.c_str()));
                      ui::PostKey(editor, VK_RETURN);
                      Pump();
                  }),
                  refused.said);
        EXPECT_EQ(Row(1), "Kept|C:\\Tools\\b.exe");
    }
    EXPECT_FALSE(g_bListModified);

    // 127 characters fit; a title still being edited when the window closes is kept.
    ::SetFocus(list);
    edit = startEditing();
    ui::Type(edit, std::wstring(127, L'y'));
    ui::PostKey(edit, VK_RETURN);
    Pump();
    EXPECT_EQ(Row(1), std::string(127, 'y') + "|C:\\Tools\\b.exe");
    ui::Type(startEditing(), L"Closing");
    Pump();
    ::SendMessageA(dlg->m_hWnd, WM_CLOSE, 0, 0);
    ASSERT_EQ(g_appConfig.Items.size(), 2u);
    EXPECT_EQ(FieldText(g_appConfig.Items[1].MenuTitle), "Closing");
}

TEST_F(MainDlgTest, RowsMoveByAltArrowsAndByDragging) {
    OpenMainDialog({MakeMenuItem("r0", "C:\\r0"), MakeMenuItem("r1", "C:\\r1"),
                    MakeMenuItem("r2", "C:\\r2"), MakeMenuItem("r3", "C:\\r3")});
    const HWND list = dlg->m_listItems.m_hWnd;
    ::SetFocus(list);
    const auto order = [&] {
        std::string rows;
        for (int i = 0; i < RowCount(); ++i) {
            rows += dlg->m_listItems.GetItemText(i, 0) + " ";
        }
        return rows;
    };
    const auto altKey = [&](WPARAM vk) {
        ui::PostKey(list, vk, true);
        Pump();
    };
    // At the ends nothing moves.
    SelectRow(0);
    altKey(VK_UP);
    SelectRow(3);
    altKey(VK_DOWN);
    EXPECT_EQ(order(), "r0 r1 r2 r3 ");
    EXPECT_FALSE(g_bListModified);
    // The selection follows the row, so the keys move it on.
    SelectRow(0);
    altKey(VK_DOWN);
    altKey(VK_DOWN);
    EXPECT_EQ(order(), "r1 r2 r0 r3 ");
    EXPECT_EQ(dlg->m_nCurItem, 2);
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_TITLE), "r0");
    EXPECT_EQ(::SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 1);
    EXPECT_TRUE(g_bListModified);
    altKey(VK_UP);
    EXPECT_EQ(order(), "r1 r0 r2 r3 ");

    // Row 3 dragged with the mouse onto row 1 takes its place.
    g_bListModified = false;
    RECT from, to;
    dlg->m_listItems.GetItemRect(3, from, LVIR_LABEL);
    dlg->m_listItems.GetItemRect(1, to, LVIR_LABEL);
    const auto mouse = [&](LONG x, LONG y, DWORD button) {
        POINT pt = {x, y};
        ::ClientToScreen(list, &pt);
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(pt.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(pt.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button;
        ::SendInput(1, &input, sizeof input);
        Pump();
    };
    const LONG x = from.left + 5;
    mouse(x, (from.top + from.bottom) / 2, 0);
    mouse(x, (from.top + from.bottom) / 2, MOUSEEVENTF_LEFTDOWN);
    mouse(x, from.top - 6, 0);
    mouse(x, to.top + 2, 0);
    mouse(x, to.top + 2, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(order(), "r1 r3 r0 r2 ");
    EXPECT_EQ(dlg->m_nCurItem, 1);
    EXPECT_TRUE(g_bListModified);
    EXPECT_NE(::GetCapture(), dlg->m_hWnd) << "the mouse is free again";

    // Esc ends a drag where it began (pressed elsewhere, so no double click).
    g_bListModified = false;
    mouse(x + 20, (from.top + from.bottom) / 2, MOUSEEVENTF_LEFTDOWN);
    mouse(x + 20, to.top - 6, 0);
    EXPECT_EQ(::GetCapture(), dlg->m_hWnd);
    ui::PostKey(list, VK_ESCAPE);
    Pump();
    mouse(x + 20, to.top + 2, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(order(), "r1 r3 r0 r2 ");
    EXPECT_FALSE(g_bListModified);
}

TEST_F(MainDlgTest, TrackingAndDeletingTheTrackedRow) {
    OpenMainDialog(
        {MakeMenuItem("r0", "C:\\r0"), MakeMenuItem("r1", "C:\\r1"), MakeMenuItem("r2", "C:\\r2")});
    SelectRow(1);
    EXPECT_EQ(dlg->m_nCurItem, 1);
    EXPECT_TRUE(dlg->m_btnDelete.IsWindowEnabled());
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_TITLE), "r1");
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_PATH), "C:\\r1");

    // An add leaves the tracked row tracked: Delete removes it, not the new one.
    EXPECT_EQ(AddThroughFileDialog(dir.File("new.txt")), "");
    ASSERT_EQ(RowCount(), 4);
    EXPECT_EQ(dlg->m_nCurItem, 1);
    g_bListModified = false;
    dlg->OnDelete();
    ASSERT_EQ(RowCount(), 3);
    EXPECT_EQ(Row(0), "r0|C:\\r0");
    EXPECT_EQ(Row(1), "r2|C:\\r2");
    EXPECT_EQ(Row(2), "new.txt|" + dir.File("new.txt"));
    EXPECT_TRUE(g_bListModified);
    EXPECT_EQ(dlg->m_nCurItem, -1);
    EXPECT_FALSE(dlg->m_btnDelete.IsWindowEnabled());
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_TITLE), "");
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_PATH), "");

    // Nothing tracked: Delete does nothing.
    dlg->OnDelete();
    EXPECT_EQ(RowCount(), 3);
}

TEST_F(MainDlgTest, WithSeveralRowsSelectedOnlyTheTrackedOneIsDeleted) {
    OpenMainDialog(
        {MakeMenuItem("r0", "C:\\r0"), MakeMenuItem("r1", "C:\\r1"), MakeMenuItem("r2", "C:\\r2")});
    LVITEMA selectOnly = {};
    selectOnly.stateMask = LVIS_SELECTED;
    selectOnly.state = LVIS_SELECTED;
    const HWND list = dlg->m_listItems.m_hWnd;

    // Row 1 selected without focus, then row 0 selected and focused: two rows, row 0 tracked.
    ::SendMessageA(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&selectOnly));
    EXPECT_EQ(dlg->m_nCurItem, -1);
    SelectRow(0);
    EXPECT_EQ(::SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0), 2);
    EXPECT_EQ(dlg->m_nCurItem, 0);
    dlg->OnDelete();
    ASSERT_EQ(RowCount(), 2);
    EXPECT_EQ(Row(0), "r1|C:\\r1");
    EXPECT_EQ(Row(1), "r2|C:\\r2");

    // A later notification with another state ends the tracking: Delete then does nothing.
    SelectRow(0);
    ASSERT_EQ(dlg->m_nCurItem, 0);
    ::SendMessageA(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&selectOnly));
    EXPECT_EQ(dlg->m_nCurItem, -1);
    dlg->OnDelete();
    EXPECT_EQ(RowCount(), 2);
}

TEST_F(MainDlgTest, AnyOtherStateChangeClearsTracking) {
    OpenMainDialog(TwoItems());
    SelectRow(0);
    ASSERT_EQ(dlg->m_nCurItem, 0);
    // Deselecting everything (as a click on empty space does) clears it; the boxes stay.
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageA(dlg->m_listItems.m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(&none));
    EXPECT_EQ(dlg->m_nCurItem, -1);
    EXPECT_FALSE(dlg->m_btnDelete.IsWindowEnabled());
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_TITLE), "a.txt");
}

TEST_F(MainDlgTest, ClicksAndKeysTrackTheRowTheUserSeesAndDeleteIt) {
    OpenMainDialog(
        {MakeMenuItem("r0", "C:\\r0"), MakeMenuItem("r1", "C:\\r1"), MakeMenuItem("r2", "C:\\r2")});
    const HWND list = dlg->m_listItems.m_hWnd;
    ::SetFocus(list);
    const auto key = [&](HWND target, WPARAM vk) {
        ui::PostKey(target, vk);
        Pump();
    };
    ClickRow(0);
    ClickRow(1); // row 0 loses its state after row 1 became selected and focused
    EXPECT_EQ(dlg->m_nCurItem, 1);
    EXPECT_TRUE(dlg->m_btnDelete.IsWindowEnabled());
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_TITLE), "r1");
    key(list, VK_DOWN);
    EXPECT_EQ(dlg->m_nCurItem, 2);
    EXPECT_TRUE(dlg->m_btnDelete.IsWindowEnabled());
    key(list, VK_UP);
    EXPECT_EQ(dlg->m_nCurItem, 1);

    // Deleting with the button leaves the keyboard with the list, not with a disabled button.
    ::SetFocus(dlg->m_btnDelete.m_hWnd);
    dlg->OnDelete();
    EXPECT_EQ(RowCount(), 2);
    EXPECT_EQ(::GetFocus(), list);

    // The Delete key in the list does what the button does; in the title box it edits text.
    ClickRow(1);
    ASSERT_EQ(dlg->m_nCurItem, 1);
    ::SetFocus(dlg->GetDlgItem(IDC_EDIT_TITLE));
    key(dlg->GetDlgItem(IDC_EDIT_TITLE), VK_DELETE);
    EXPECT_EQ(RowCount(), 2);
    ::SetFocus(list);
    g_bListModified = false;
    key(list, VK_DELETE);
    ASSERT_EQ(RowCount(), 1);
    EXPECT_EQ(Row(0), "r0|C:\\r0");
    EXPECT_TRUE(g_bListModified);
    EXPECT_EQ(dlg->m_nCurItem, -1);
    EXPECT_FALSE(dlg->m_btnDelete.IsWindowEnabled());
    EXPECT_EQ(ui::ItemText(dlg->m_hWnd, IDC_EDIT_TITLE), "");
    EXPECT_EQ(::GetFocus(), list);
    key(list, VK_DELETE); // nothing tracked: nothing deleted
    EXPECT_EQ(RowCount(), 1);
}

TEST_F(MainDlgTest, ClosingHandsRowsAndWidthBackAndPostsQuit) {
    const std::string longTitle(130, 't');
    OpenMainDialog({MakeMenuItem("a", "C:\\a")});
    dlg->AddListRow(longTitle, "C:\\long");
    ListView_SetColumnWidth(dlg->m_listItems.m_hWnd, 0, 210);
    QuitPosted(); // nothing left over from before
    ::SendMessageA(dlg->m_hWnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(g_appConfig.Col0Width, 210);
    ASSERT_EQ(g_appConfig.Items.size(), 2u);
    EXPECT_EQ(FieldText(g_appConfig.Items[0].MenuTitle), "a");
    EXPECT_EQ(FieldText(g_appConfig.Items[1].MenuTitle), "") << "too long for its field";
    EXPECT_EQ(FieldText(g_appConfig.Items[1].FilePath), "C:\\long");
    EXPECT_TRUE(::IsWindow(dlg->m_hWnd)) << "closing does not destroy the window";

    // The Exit button does the same.
    ::SendMessageA(dlg->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_EXIT, BN_CLICKED),
                   reinterpret_cast<LPARAM>(dlg->GetDlgItem(IDC_EXIT)));
    EXPECT_TRUE(QuitPosted());
}

TEST_F(MainDlgTest, EscapeIsSwallowedAndEnterOpensTheFileDialog) {
    OpenMainDialog(TwoItems());
    // Every command the dialog receives: the dialog manager would turn the keys into some.
    static std::vector<WPARAM> s_commands;
    s_commands.clear();
    HHOOK hook = ::SetWindowsHookExA(
        WH_CALLWNDPROC,
        [](int code, WPARAM wp, LPARAM lp) -> LRESULT {
            const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lp);
            if (code == HC_ACTION && call->message == WM_COMMAND &&
                HIWORD(call->wParam) == BN_CLICKED) {
                s_commands.push_back(call->wParam);
            }
            return ::CallNextHookEx(nullptr, code, wp, lp);
        },
        nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);

    ::SetFocus(dlg->GetDlgItem(IDC_EXIT));
    MSG esc = {dlg->GetDlgItem(IDC_EXIT), WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_TRUE(CWinApp::PreTranslateChain(&esc));
    Pump();
    EXPECT_TRUE(::IsWindowVisible(dlg->m_hWnd));

    // Enter on the Delete button opens the file dialog instead; cancel it.
    bool opened = false;
    std::thread driver([&opened] {
        if (HWND fd = ui::WaitForFileDialog()) {
            opened = true;
            ::PostMessageA(fd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    });
    ::SetFocus(dlg->GetDlgItem(IDC_DELETE));
    MSG enter = {dlg->GetDlgItem(IDC_DELETE), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_TRUE(CWinApp::PreTranslateChain(&enter));
    driver.join();
    ::UnhookWindowsHookEx(hook);
    EXPECT_TRUE(opened);
    EXPECT_EQ(RowCount(), 2);
    EXPECT_TRUE(s_commands.empty()) << "no key became a button press";
}

TEST(Subclassing, PausedWindowKeepsItsObjectAndGetsItsMessagesBackAfterwards) {
    class CCountingWnd : public CWnd {
    public:
        int seen = 0;

    protected:
        bool OnWndMsg(UINT msg, WPARAM, LPARAM, LRESULT&) override {
            seen += msg == WM_USER;
            return false;
        }
    };
    const win32::CWindow target(
        ::CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    CCountingWnd wnd;
    ASSERT_TRUE(wnd.SubclassWindow(target.Get()));
    {
        const CSubclassPause pause(wnd);
        ::SendMessageA(target.Get(), WM_USER, 0, 0);
        EXPECT_EQ(wnd.seen, 0);
        EXPECT_EQ(CWnd::FromHandlePermanent(target.Get()), &wnd);
    }
    ::SendMessageA(target.Get(), WM_USER, 0, 0);
    EXPECT_EQ(wnd.seen, 1);
    EXPECT_FALSE(wnd.SubclassWindow(target.Get())) << "subclassed once only";
}

TEST(MessageLoop, ThrowingKeyHandlerDoesNotEndIt) {
    // A handler reached from PreTranslateMessage, outside any window procedure.
    class CThrowingWnd : public CWnd {
    public:
        BOOL PreTranslateMessage(MSG*) override { throw std::bad_alloc(); }
    };
    class CLoopApp : public CWinApp {
    public:
        int ExitInstance() override {
            exited = true;
            return CWinApp::ExitInstance();
        }
        bool exited = false;
    };
    const win32::CWindow owned(
        ::CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    HWND target = owned.Get();
    CThrowingWnd wnd;
    ASSERT_TRUE(wnd.SubclassWindow(target));
    ::PostMessageA(target, WM_KEYDOWN, VK_F1, 0);
    ::PostQuitMessage(7);
    CLoopApp loop;
    EXPECT_EQ(loop.Run(), 7);
    EXPECT_TRUE(loop.exited) << "the exit saves still run";
}

TEST_F(MainDlgTest, MessageBoxClosesAsOkOnEnterEscapeAndButton) {
    OpenMainDialog();
    for (int way = 0; way < 4; ++way) {
        std::string caption, text;
        LONG_PTR textStyle = 0;
        POINT centre = {}, ownerCentre = {};
        std::thread driver([&, way] {
            HWND box = ui::WaitForMessageBox();
            if (box == nullptr) {
                return;
            }
            caption = ui::Text(box);
            text = ui::ItemText(box, IDC_MSGBOX_TEXT);
            textStyle = ::GetWindowLongPtrA(::GetDlgItem(box, IDC_MSGBOX_TEXT), GWL_STYLE);
            centre = ui::Centre(box);
            ownerCentre = ui::Centre(dlg->m_hWnd);
            switch (way) {
            case 0:
                ::PostMessageA(box, WM_KEYDOWN, VK_RETURN, 0);
                break;
            case 1:
                ::PostMessageA(box, WM_KEYDOWN, VK_ESCAPE, 0);
                break;
            case 2:
                ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDC_MSGBOX_OK, BN_CLICKED), 0);
                break;
            default:
                ::PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
            }
        });
        CDlgMsgbx box("Hello there", dlg);
        const INT_PTR result = box.DoModal();
        driver.join();
        EXPECT_EQ(result, way == 3 ? IDCANCEL : IDOK) << way;
        EXPECT_EQ(caption, "Message Box");
        EXPECT_EQ(text, "Hello there");
        EXPECT_EQ(textStyle & SS_TYPEMASK, SS_CENTER);
        EXPECT_NEAR(centre.x, ownerCentre.x, 2) << "centred on its owner";
        EXPECT_NEAR(centre.y, ownerCentre.y, 2);
        EXPECT_TRUE(::IsWindowEnabled(dlg->m_hWnd)) << "the owner is enabled again";
    }
}

TEST_F(MainDlgTest, ClickSentFromOutsideEndsTheMessageBox) {
    // Sent, as automation tools do, to the only window of the thread, so that no other message
    // wakes the modal loop by chance. If the loop sleeps on, it is woken here so that the test
    // fails instead of hanging.
    std::atomic<bool> ended{false};
    bool rescued = false;
    std::thread driver([&] {
        if (HWND box = ui::WaitForMessageBox()) {
            ::SendMessageA(box, WM_COMMAND, MAKEWPARAM(IDC_MSGBOX_OK, BN_CLICKED), 0);
            if (!ui::WaitUntil([&] { return ended.load(); }, 3000)) {
                rescued = true;
                ::PostMessageA(box, WM_NULL, 0, 0);
            }
        }
    });
    CDlgMsgbx box("Sent", nullptr);
    EXPECT_EQ(box.DoModal(), IDOK);
    ended = true;
    driver.join();
    EXPECT_FALSE(rescued) << "the modal loop did not notice the sent click";
}

TEST(EntryIcons, ATargetThatDoesNotAnswerGetsTheGenericIconOnceItsTimeIsUp) {
    const testing_support::CImportPatch patch(&__imp_SHParseDisplayName,
                                              reinterpret_cast<void*>(&StuckParse));
    // A document whose type has an icon of its own, and a file that is not there.
    const MenuItemList items = {MakeMenuItem("stuck", kStuckPath),
                                MakeMenuItem("help", testing_support::BinFolder() + "\\Menu.chm"),
                                MakeMenuItem("gone", "C:\\Files\\gone.txt")};
    CEntryIcons icons;
    const std::vector<MenuIconSet> collected = icons.Collect(items);
    EXPECT_EQ(icons.Ready(kStuckPath), nullptr) << "still waiting for the network";
    ASSERT_EQ(collected.size(), 3u);
    for (int k = 0; k < menuicons::kSizeCount; ++k) {
        EXPECT_EQ(collected[0].Pixels[k], GenericIcons().Pixels[k]) << k;
        EXPECT_NE(collected[1].Pixels[k], GenericIcons().Pixels[k]) << k;
        EXPECT_EQ(collected[2].Pixels[k], GenericIcons().Pixels[k]) << k;
    }
    s_answer = true;
    EXPECT_TRUE(ui::WaitUntil([&] { return icons.Ready(kStuckPath) != nullptr; }));
}
