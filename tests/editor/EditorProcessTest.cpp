// Menu.exe as a process started from a temporary application folder, driven from outside.
#include "AnsiText.h"
#include "QarvoIdentity.h"
#include "EditorProcess.h"
#include "MenuData.h"
#include "MenuIcons.h"
#include "ShellHost.h"
#include "TestSupport.h"
#include "TorlinModule.h"

#include "MenuResource.h"
#include <gtest/gtest.h>

#include <commctrl.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;
using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

const char kSeededConfig[] =
    "<Config App=\"Qarvo Context Menu\"><Setting><SkinType>2</SkinType><Col0Width>140</Col0Width>"
    "</Setting><Menu Count=\"2\"><Item MenuTitle=\"a.txt\" FilePath=\"C:\\Docs\\a.txt\"/>"
    "<Item MenuTitle=\"b.exe\" FilePath=\"C:\\Tools\\b.exe\"/></Menu></Config>";

FILETIME LastWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

// A file type that every Windows registers and a fresh Wine prefix may lack, registered where
// it is missing (the suite holds the registry) and left, as Windows has it.
void AssociateAsWindowsDoes(const char* extension, const char* type) {
    win32::CKey key;
    if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, extension, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          key.Receive(), nullptr) == ERROR_SUCCESS) {
        char value[64] = {};
        DWORD size = sizeof value;
        if (::RegQueryValueExA(key.Get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                               &size) != ERROR_SUCCESS) {
            ::RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(type),
                             static_cast<DWORD>(std::strlen(type) + 1));
        }
    }
}

// Every name Torlin.dll gives the system while it builds a menu: files it opens, drives it asks
// about, libraries it loads.
std::vector<std::string> s_named;
HANDLE WINAPI NamingCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                DWORD disposition, DWORD flags, HANDLE templateFile) {
    s_named.push_back(name);
    return ::CreateFileA(name, access, share, sa, disposition, flags, templateFile);
}
UINT WINAPI NamingGetDriveTypeA(LPCSTR root) {
    s_named.push_back(root != nullptr ? root : "");
    return ::GetDriveTypeA(root);
}
HMODULE WINAPI NamingLoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags) {
    s_named.push_back(name);
    return ::LoadLibraryExA(name, file, flags);
}

// An icon as it looks over white: premultiplied pixels as a menu blends them, and an icon as the
// system draws it.
std::vector<std::uint32_t> OverWhite(const std::uint32_t* pixels, std::size_t count) {
    std::vector<std::uint32_t> seen(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t uncovered = 255 - (pixels[i] >> 24);
        seen[i] = (pixels[i] & 0xFFFFFF) + uncovered * 0x010101;
    }
    return seen;
}
std::vector<std::uint32_t> OverWhite(HICON icon, int side) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, side, -side, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const win32::CBitmap canvas(
        ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const win32::CMemoryDC dc(::CreateCompatibleDC(nullptr));
    const HGDIOBJ old = ::SelectObject(dc.Get(), canvas.Get());
    auto* pixels = static_cast<std::uint32_t*>(bits);
    std::fill(pixels, pixels + side * side, 0xFFFFFFu);
    ::DrawIconEx(dc.Get(), 0, 0, icon, side, side, 0, nullptr, DI_NORMAL);
    ::GdiFlush();
    ::SelectObject(dc.Get(), old);
    std::vector<std::uint32_t> seen(pixels, pixels + side * side);
    for (std::uint32_t& pixel : seen) {
        pixel &= 0xFFFFFF;
    }
    return seen;
}

class EditorProcessTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(InstallEditor(dir.Path())); }

    std::string Config() const { return ReadFileBytes(dir.File("Config.xml")); }

    TempDir dir;
};

} // namespace

TEST_F(EditorProcessTest, EveryWayOfClosingSavesTheConfigurationAndExitsWithZero) {
    const char* ways[] = {"WM_CLOSE", "Exit button", "system menu Close", "Alt+F4"};
    FILETIME firstWrite[2] = {};
    for (int way = 0; way < 4; ++way) {
        SCOPED_TRACE(ways[way]);
        ASSERT_TRUE(WriteFileBytes(dir.File("Config.xml"), kSeededConfig));
        EditorProcess editor(dir.Path());
        ASSERT_TRUE(editor.Started());
        HWND main = editor.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(RowCount(main), 2);
        switch (way) {
        case 0:
            ::PostMessageA(main, WM_CLOSE, 0, 0);
            break;
        case 1:
            PressButton(main, IDC_EXIT);
            break;
        case 2:
            ::PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        default:
            ::PostMessageA(main, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
            break;
        }
        EXPECT_EQ(editor.WaitForExit(), 0u);
        // Rewritten by the editor (the seed had no Author), the entries kept.
        EXPECT_NE(Config().find("Author=\"" QARVO_COMPANY_NAME "\""), std::string::npos)
            << Config();
        EXPECT_NE(Config().find("MenuTitle=\"b.exe\""), std::string::npos);
        EXPECT_NE(Config().find("<Col0Width>140</Col0Width>"), std::string::npos);
        // The menu and its icons lacked the list, so the first exit wrote them; later exits
        // found them right and left them alone.
        EXPECT_EQ(ReadFileBytes(dir.File("menu.dat")).size(), 4u + 2 * 384);
        const FILETIME written[] = {LastWriteTime(dir.File("menu.dat")),
                                    LastWriteTime(dir.File("menu.icons"))};
        if (way == 0) {
            std::copy(std::begin(written), std::end(written), std::begin(firstWrite));
        }
        EXPECT_EQ(::CompareFileTime(&written[0], &firstWrite[0]), 0);
        EXPECT_EQ(::CompareFileTime(&written[1], &firstWrite[1]), 0);
        EXPECT_NE(written[1].dwLowDateTime | written[1].dwHighDateTime, 0u) << "no menu.icons";
    }
}

TEST_F(EditorProcessTest, SecondStartRestoresTheFirstOrSaysWhyItCannotAndWritesNothing) {
    {
        // An editor that holds the lock but has no window (still starting, or hung).
        const win32::CHandle held(::CreateMutexA(nullptr, FALSE, QARVO_EDITOR_MUTEX));
        ASSERT_TRUE(held.Valid());
        EditorProcess second(dir.Path());
        const std::string said = second.AcknowledgeErrorBoxes(1);
        EXPECT_NE(said.find("Another " QARVO_PRODUCT_NAME " editor seems to be starting or stuck"),
                  std::string::npos)
            << said;
        EXPECT_EQ(second.WaitForExit(), 1u);
        EXPECT_FALSE(FileExists(dir.File("Config.xml"))) << "the second writes nothing";
    }

    EditorProcess first(dir.Path());
    HWND main = first.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    ::ShowWindow(main, SW_MINIMIZE);
    ASSERT_TRUE(ui::WaitUntil([&] { return ::IsIconic(main) != FALSE; }));

    EditorProcess second(dir.Path());
    EXPECT_EQ(second.WaitForExit(), 0u);
    EXPECT_TRUE(ui::WaitUntil([&] { return !::IsIconic(main); })) << "the first is restored";
    EXPECT_FALSE(FileExists(dir.File("Config.xml"))) << "the second writes nothing";

    ::PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(), 0u);
    EXPECT_TRUE(FileExists(dir.File("Config.xml")));
}

TEST_F(EditorProcessTest, RejectedConfigurationIsReportedOnceAndKeptAsBackup) {
    const std::string rejected = "<Config App=\"Another Program\"><Menu><Item MenuTitle=\"x\" "
                                 "FilePath=\"C:\\x\"/></Menu></Config>";
    // Each file in turn, what the one message at start says, and the backup afterwards. An
    // empty file is not worth a backup that would replace the earlier one.
    const struct {
        std::string file, message, backup;
    } cases[] = {{rejected, "Invalid config file.", rejected},
                 {"not xml",
                  "could not be read, so the editor starts with an empty list.\n\n"
                  "The original file is kept as Config.xml.bak.",
                  "not xml"},
                 {"", "The earlier copy in Config.xml.bak is kept.", "not xml"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(WriteFileBytes(dir.File("Config.xml"), c.file));
        EditorProcess editor(dir.Path());
        const std::string start = editor.AcknowledgeErrorBoxes(1);
        EXPECT_NE(start.find(c.message), std::string::npos) << start;
        HWND main = editor.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(RowCount(main), 0);
        EXPECT_EQ(editor.WaitForErrorBox(300), nullptr) << "shown once";
        ::PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(editor.WaitForExit(), 0u);
        EXPECT_EQ(ReadFileBytes(dir.File("Config.xml.bak")), c.backup);
        EXPECT_NE(Config().find("App=\"Qarvo Context Menu\""), std::string::npos);
    }
}

TEST_F(EditorProcessTest, StartUpSaysWhatTheMenuCannotShowAndKeepsEverything) {
    // A hand-edited file: more entries than the menu holds, one title outside the code page.
    const std::string title = "\xE6\x97\xA5\xE6\x9C\xAC"; // UTF-8 of two CJK characters
    std::string xml = "<Config App=\"Qarvo Context Menu\"><Menu>";
    for (int i = 0; i < 30; ++i) {
        xml += "<Item MenuTitle=\"" + (i == 0 ? title : "t" + std::to_string(i)) +
               "\" FilePath=\"C:\\f" + std::to_string(i) + "\"/>";
    }
    xml += "</Menu></Config>";
    ASSERT_TRUE(WriteFileBytes(dir.File("Config.xml"), xml));
    std::string ansi;
    const bool representable = win32::ToAnsiExact(L"\u65E5\u672C", -1, ansi);

    EditorProcess editor(dir.Path());
    const std::string start = editor.AcknowledgeErrorBoxes(representable ? 1 : 2);
    EXPECT_NE(start.find("holds 30 entries"), std::string::npos) << start;
    EXPECT_NE(start.find("only the first 26 appear"), std::string::npos) << start;
    if (!representable) {
        EXPECT_NE(start.find("code page"), std::string::npos) << start;
        EXPECT_NE(start.find("kept as Config.xml.bak"), std::string::npos) << start;
    }
    HWND main = editor.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(RowCount(main), 30);
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(editor.WaitForErrorBox(500), nullptr) << "the capped menu is no failure";
    EXPECT_EQ(editor.WaitForExit(), 0u);

    int items = 0;
    for (std::size_t at = Config().find("<Item"); at != std::string::npos;
         at = Config().find("<Item", at + 1)) {
        ++items;
    }
    EXPECT_EQ(items, 30) << "nothing dropped from Config.xml";
    EXPECT_EQ(ReadFileBytes(dir.File("menu.dat")).size(), 4u + 26 * 384);
    if (!representable) {
        EXPECT_EQ(ReadFileBytes(dir.File("Config.xml.bak")), xml);
    }
}

TEST_F(EditorProcessTest, StartedByARelativePathItSavesBesideItselfAndLoadsOnlySystemLibraries) {
    const std::string app = dir.Path() + "\\app", docs = dir.Path() + "\\docs";
    ASSERT_TRUE(::CreateDirectoryA(app.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(docs.c_str(), nullptr));
    ASSERT_TRUE(InstallEditor(app));
    ASSERT_TRUE(WriteFileBytes(docs + "\\n.txt", "n"));
    // Look-alikes of the libraries the editor binds at first use, in its folder and in the
    // current one, as someone able to write there would leave them.
    const char* const bound[] = {"comdlg32.dll", "shell32.dll"};
    for (const char* name : bound) {
        for (const std::string& folder : {app, dir.Path()}) {
            ASSERT_TRUE(
                ::CopyFileA((app + "\\Skin.dll").c_str(), (folder + "\\" + name).c_str(), FALSE));
        }
    }
    EditorProcess shell(dir.Path(), "cmd.exe /c \"cd /d " + dir.Path() + " && app\\Menu.exe\"");
    HWND main = ui::WaitForWindow(QARVO_WINDOW_CLASS, QARVO_EDITOR_TITLE);
    ASSERT_NE(main, nullptr);
    const EditorProcess editor(WindowProcess(main)); // started by the shell, not by us
    // The user browses into another folder in the file dialog, then picks a file there.
    ASSERT_TRUE(AddThroughFileDialog(main, docs, {"n.txt"}));
    // The dialog's libraries stay once bound: they came from the system folder.
    char system[MAX_PATH] = {};
    ASSERT_NE(::GetSystemDirectoryA(system, MAX_PATH), 0u);
    for (const char* name : bound) {
        EXPECT_STRCASEEQ(LoadedLibraryPath(editor.Id(), name).c_str(),
                         (std::string(system) + "\\" + name).c_str());
    }
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(editor.WaitForExit(), 0u) << "no error at exit";
    EXPECT_NE(ReadFileBytes(app + "\\Config.xml").find("MenuTitle=\"n.txt\""), std::string::npos);
    EXPECT_EQ(ReadFileBytes(app + "\\menu.dat").size(), 4u + 384);
}

TEST_F(EditorProcessTest, ItsListLivesBesideItsProgramWhateverTheFolderIsCalledOrTheCommandSays) {
    // A command line may name any program: its files are not the editor's.
    const std::string decoy = dir.File("decoy");
    const std::string decoyConfig =
        std::string(kSeededConfig).replace(std::string(kSeededConfig).find("a.txt"), 5, "decoy");
    ASSERT_TRUE(::CreateDirectoryA(decoy.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(decoy + "\\Config.xml", decoyConfig));
    const std::string notes = dir.File("notes.txt");
    ASSERT_TRUE(WriteFileBytes(notes, "n"));
    // Spaces, and what a URL would read as an escape or a fragment: a folder all the same.
    for (const char* name : {"my apps", "a%20b", "c#d"}) {
        SCOPED_TRACE(name);
        const std::string folder = dir.File(name);
        ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
        ASSERT_TRUE(InstallEditor(folder));
        ASSERT_TRUE(WriteFileBytes(folder + "\\Config.xml", kSeededConfig));
        const win32::CProcess started =
            testing_support::StartProcess("\"" + decoy + "\\Menu.exe\"", DETACHED_PROCESS,
                                          dir.Path().c_str(), (folder + "\\Menu.exe").c_str());
        ASSERT_TRUE(started.process.Valid());
        const EditorProcess editor(started.id);
        HWND main = editor.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        HWND box = editor.WaitForErrorBox(0);
        EXPECT_EQ(box, nullptr) << ChildTexts(box);
        EXPECT_EQ(RowCount(main), 2) << "its own list, read whole";
        // One more entry: the round in which an unread list used to be lost.
        ASSERT_TRUE(AddThroughFileDialog(main, notes));
        ::PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(editor.WaitForErrorBox(500), nullptr);
        EXPECT_EQ(editor.WaitForExit(), 0u);

        const std::string config = ReadFileBytes(folder + "\\Config.xml");
        for (const char* title : {"a.txt", "b.exe", "notes.txt"}) {
            EXPECT_NE(config.find(std::string("MenuTitle=\"") + title + "\""), std::string::npos)
                << config;
        }
        MenuItemList menu;
        EXPECT_EQ(ReadMenuData((folder + "\\menu.dat").c_str(), menu), 1);
        EXPECT_EQ(menu.size(), 3u);
        EXPECT_EQ(ReadFileBytes(decoy + "\\Config.xml"), decoyConfig);
        EXPECT_FALSE(FileExists(decoy + "\\Config.xml.bak"));
        EXPECT_FALSE(FileExists(decoy + "\\menu.dat"));
    }
}

TEST_F(EditorProcessTest, AFolderItCannotKeepItsFilesInIsSaidAtStartAndNothingGoesElsewhere) {
    // One character over the 255 of the path buffers (the program named "M" so that its path
    // still fits what a program may be started by), and letters the code page cannot spell.
    std::string tooLong = dir.Path();
    while (tooLong.size() < 256) {
        tooLong += "\\" + std::string(std::min<std::size_t>(100, 255 - tooLong.size()), 'd');
        ASSERT_TRUE(::CreateDirectoryA(tooLong.c_str(), nullptr)) << tooLong;
    }
    ASSERT_EQ(tooLong.size(), 256u);
    const std::wstring unspellable = win32::ToWide(dir.Path()) + L"\\\x10D0\x10D1";
    ASSERT_TRUE(::CreateDirectoryW(unspellable.c_str(), nullptr));
    const struct {
        std::wstring program;
        const char* said;
    } cases[] = {
        {win32::ToWide(tooLong) + L"\\M", "too long (at most 255 characters)"},
        {unspellable + L"\\Menu.exe", "characters that this system's code page cannot show"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        const std::wstring folder = c.program.substr(0, c.program.rfind(L'\\'));
        const std::wstring bin = win32::ToWide(testing_support::BinFolder());
        ASSERT_TRUE(::CopyFileW((bin + L"\\Menu.exe").c_str(), c.program.c_str(), FALSE));
        ASSERT_TRUE(
            ::CopyFileW((bin + L"\\Skin.dll").c_str(), (folder + L"\\Skin.dll").c_str(), FALSE));
        std::wstring command = L"\"" + c.program + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started = {};
        ASSERT_TRUE(::CreateProcessW(c.program.c_str(), &command[0], nullptr, nullptr, FALSE,
                                     DETACHED_PROCESS, nullptr, win32::ToWide(dir.Path()).c_str(),
                                     &startup, &started));
        win32::CProcess process;
        process.Attach(started);
        const EditorProcess editor(started.dwProcessId);
        const std::string said = editor.AcknowledgeErrorBoxes(1);
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_NE(said.find("changes cannot be saved here"), std::string::npos) << said;
        HWND main = editor.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        ::PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_NE(editor.AcknowledgeErrorBoxes(1).find("Your changes were not saved"),
                  std::string::npos);
        EXPECT_EQ(editor.WaitForExit(), 0u);
        EXPECT_EQ(::GetFileAttributesW((folder + L"\\Config.xml").c_str()),
                  INVALID_FILE_ATTRIBUTES);
        EXPECT_FALSE(FileExists(dir.File("Config.xml"))) << "nor in the current folder";
    }
}

TEST_F(EditorProcessTest, FailedSavesAtExitAreReported) {
    // Files that are folders cannot be written. Icons that could not be saved are told of only
    // when the menu itself was.
    const struct {
        std::vector<const char*> folders, reports;
    } cases[] = {{{"Config.xml", "menu.icons", "menu.dat"}, {"Config.xml", "menu.dat"}},
                 {{"menu.icons"}, {"menu.icons"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folders.size());
        for (const char* folder : c.folders) {
            ASSERT_TRUE(::CreateDirectoryA(dir.File(folder).c_str(), nullptr));
        }
        EditorProcess editor(dir.Path());
        HWND main = editor.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(AddThroughFileDialog(main, dir.File("notes.txt")));
        ::PostMessageA(main, WM_CLOSE, 0, 0);

        for (const char* file : c.reports) {
            HWND box = editor.WaitForErrorBox();
            ASSERT_NE(box, nullptr) << file;
            EXPECT_FALSE(::IsWindow(main)) << "reported once the main window is gone";
            EXPECT_NE(ChildTexts(box).find(dir.File(file)), std::string::npos) << ChildTexts(box);
            ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            ui::WaitUntil([&] { return !::IsWindow(box); });
        }
        EXPECT_EQ(editor.WaitForExit(), 0u);
        for (const char* folder : c.folders) {
            ::RemoveDirectoryA(dir.File(folder).c_str());
        }
    }
}

TEST_F(EditorProcessTest, TheRoadOfTheEntries) {
    const std::string notes = dir.File("notes.txt");
    ASSERT_TRUE(WriteFileBytes(notes, "remember the milk\r\n"));
    for (const char* name : {"b.txt", "c.txt", "d.txt"}) {
        ASSERT_TRUE(WriteFileBytes(dir.File(name), name));
    }
    ASSERT_TRUE(::CreateDirectoryA(dir.File("tools").c_str(), nullptr));
    {
        EditorProcess editor(dir.Path());
        HWND main = editor.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        const HWND list = ::GetDlgItem(main, IDC_LIST_ITEMS);
        // One file, then two at once, through the real file dialog.
        ASSERT_TRUE(AddThroughFileDialog(main, notes));
        ASSERT_TRUE(AddThroughFileDialog(main, dir.Path(), {"b.txt", "c.txt"}));
        // Dropped from Explorer: a file, a folder and one already there, said once.
        ASSERT_TRUE(editor.DropFiles({dir.File("d.txt"), dir.File("tools"), notes}));
        HWND box = ui::WaitForMessageBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(ui::ItemText(box, IDC_MSGBOX_TEXT),
                  "Not added (1 of 3):\nnotes.txt: The same item have been existent.");
        ::PostMessageA(box, WM_KEYDOWN, VK_RETURN, 0);
        ASSERT_TRUE(ui::WaitUntil([&] { return RowCount(main) == 5; }));
        // The first entry renamed: F2, typing, Enter.
        const auto editorControl = [&] {
            return reinterpret_cast<HWND>(::SendMessageA(list, LVM_GETEDITCONTROL, 0, 0));
        };
        ui::PostKey(list, VK_HOME);
        ui::PostKey(list, VK_F2);
        ASSERT_TRUE(ui::WaitUntil([&] { return editorControl() != nullptr; }));
        ui::Type(editorControl(), L"Shopping list");
        ui::PostKey(editorControl(), VK_RETURN);
        ASSERT_TRUE(ui::WaitUntil([&] { return editorControl() == nullptr; }));
        // The fourth one place up.
        ui::PostKey(list, VK_END);
        ui::PostKey(list, VK_UP);
        ui::PostKey(list, VK_UP, true);
        ::PostMessageA(main, WM_CLOSE, 0, 0);
        ASSERT_EQ(editor.WaitForExit(), 0u);
    }
    const std::vector<std::string> titles = {"Shopping list", "b.txt", "d.txt", "c.txt", "tools"};
    const std::vector<std::string> paths = {notes, dir.File("b.txt"), dir.File("d.txt"),
                                            dir.File("c.txt"), dir.File("tools")};
    const std::string data = ReadFileBytes(dir.File("menu.dat"));
    ASSERT_EQ(data.size(), 4u + 5 * 384);
    EXPECT_EQ(data.substr(0, 4), "1920");
    std::size_t at = 0;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        EXPECT_EQ(std::string(data.c_str() + 4 + i * 384), titles[i]);
        EXPECT_EQ(std::string(data.c_str() + 4 + i * 384 + 128), paths[i]);
        at = Config().find("MenuTitle=\"" + titles[i] + "\" FilePath=\"" + paths[i], at);
        EXPECT_NE(at, std::string::npos) << titles[i] << " in its place in " << Config();
    }

    // Explorer's turn: the extension beside the editor shows the entry and opens it. Every
    // Windows opens .txt files with Notepad.
    AssociateAsWindowsDoes(".txt", "txtfile");
    const win32::CComScope com;
    const std::string dll = dir.File("Torlin.dll");
    ASSERT_TRUE(
        ::CopyFileA((testing_support::BinFolder() + "\\Torlin.dll").c_str(), dll.c_str(), FALSE));
    ASSERT_TRUE(testing_support::RunAndWait("regsvr32.exe /s \"" + dll + "\"") == 0);
    {
        CShellHost host;
        const std::vector<RegisteredHandler> handlers =
            CShellHost::FindHandlers(ShellTarget::File, "QarvoContextMenu");
        ASSERT_EQ(handlers.size(), 1u);
        ASSERT_EQ(host.Open(ShellTarget::File, notes, handlers[0].clsid, 500),
                  static_cast<int>(titles.size()));
        const std::vector<MenuNode> menu = host.Walk();
        ASSERT_GE(menu.size(), 2u);
        EXPECT_EQ(menu[1].text, "&Qarvo Context Menu");
        ASSERT_EQ(menu[1].children.size(), titles.size());
        for (std::size_t i = 0; i < titles.size(); ++i) {
            EXPECT_EQ(menu[1].children[i].text, titles[i]);
            EXPECT_EQ(menu[1].children[i].id, 500u + i);
        }

        EXPECT_EQ(host.Invoke(0), S_OK);
        // The shell opens the text file in its editor, captioned with the file name.
        HWND opened = ui::WaitForWindow(
            [](HWND hwnd) { return ui::Text(hwnd).find("notes") != std::string::npos; });
        EXPECT_NE(opened, nullptr);
        if (opened != nullptr) {
            ::PostMessageA(opened, WM_CLOSE, 0, 0);
        }
    }
    testing_support::RunAndWait("regsvr32.exe /u /s \"" + dll + "\"");
    ::CoFreeUnusedLibrariesEx(0, 0);
}

TEST_F(EditorProcessTest, EntriesShowTheirOwnIconsAndTheMenuOpensNoneOfTheirPaths) {
    AssociateAsWindowsDoes(".exe", "exefile"); // a program's icon is its own
    const std::string program = dir.File("Menu.exe"), notes = dir.File("notes.txt");
    const std::string share = "\\\\qarvo.invalid\\share\\tool.exe";
    ASSERT_TRUE(WriteFileBytes(notes, "remember the milk\r\n"));
    MenuItemList items = testing_support::SampleItems(menudata::kMaxRecords); // files not there
    items[0] = MakeMenuItem("editor", program);
    items[1] = MakeMenuItem("notepad", "C:\\windows\\notepad.exe");
    items[2] = MakeMenuItem("notes", notes);
    items[3] = MakeMenuItem("gone", dir.File("gone.exe"));
    items[4] = MakeMenuItem("share", share);
    ASSERT_TRUE(SaveListAsEditor(dir.Path(), items));
    {
        EditorProcess editor(dir.Path());
        HWND main = editor.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        ::PostMessageA(main, WM_CLOSE, 0, 0);
        ASSERT_EQ(editor.WaitForExit(), 0u);
    }
    std::size_t fileSize = menuicons::kHeaderSize;
    for (int k = 0; k < menuicons::kSizeCount; ++k) {
        fileSize += menuicons::BlockBytes(menudata::kMaxRecords, k);
    }
    EXPECT_EQ(ReadFileBytes(dir.File("menu.icons")).size(), fileSize) << "every entry, every size";

    // Explorer's turn, in this process: the menu of the 26 entries, with every name the library
    // gives the system written down.
    const win32::CComScope com;
    const TorlinModule dll(dir.Path());
    ASSERT_TRUE(dll.Loaded());
    const HMODULE torlin = ::GetModuleHandleA(dll.Path().c_str());
    ComPtr<IShellExtInit> init;
    ComPtr<IContextMenu> menu;
    const win32::CMenu shellMenu(::CreatePopupMenu());
    s_named.clear();
    {
        const testing_support::CImportPatch files(torlin, "kernel32.dll", "CreateFileA",
                                                  reinterpret_cast<void*>(&NamingCreateFileA));
        const testing_support::CImportPatch drives(torlin, "kernel32.dll", "GetDriveTypeA",
                                                   reinterpret_cast<void*>(&NamingGetDriveTypeA));
        const testing_support::CImportPatch libraries(
            torlin, "kernel32.dll", "LoadLibraryExA",
            reinterpret_cast<void*>(&NamingLoadLibraryExA));
        ASSERT_TRUE(files.Patched() && drives.Patched() && libraries.Patched());
        ASSERT_EQ(dll.CreateHandler(IID_PPV_ARGS(&init)), S_OK);
        ASSERT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);
        ASSERT_EQ(init.As(&menu), S_OK);
        ASSERT_EQ(menu->QueryContextMenu(shellMenu.Get(), 0, 1, 0x7fff, CMF_NORMAL),
                  static_cast<HRESULT>(menudata::kMaxRecords));
    }
    for (const std::string& name : s_named) {
        EXPECT_TRUE(name == dll.MenuDataPath() || name == dll.MenuIconsPath() ||
                    name == "shcore.dll")
            << "no entry's path, only the library's own files: " << name;
    }

    // Each item: a 32-bit bitmap of the small icon's size at this DPI, with something to see.
    const LONG side = static_cast<LONG>(menuicons::kSizes[testing_support::IconSizeOfThisRun()]);
    const auto pixels = [&](UINT i) {
        DIBSECTION dib = {};
        ::GetObjectA(testing_support::MenuItemBitmap(::GetSubMenu(shellMenu.Get(), 0), i),
                     sizeof dib, &dib);
        EXPECT_EQ(dib.dsBm.bmBitsPixel, 32) << i;
        EXPECT_EQ(dib.dsBm.bmWidth, side) << i;
        EXPECT_EQ(dib.dsBm.bmHeight, side) << i;
        const auto* bits = static_cast<const std::uint32_t*>(dib.dsBm.bmBits);
        return bits != nullptr && dib.dsBm.bmWidth == side
                   ? std::vector<std::uint32_t>(bits, bits + side * side)
                   : std::vector<std::uint32_t>();
    };
    for (UINT i = 0; i < menudata::kMaxRecords; ++i) {
        const std::vector<std::uint32_t> icon = pixels(i);
        EXPECT_TRUE(std::any_of(icon.begin(), icon.end(), [](std::uint32_t p) { return p >> 24; }))
            << "item " << i << " shows nothing";
    }
    // The missing file, the unreachable share and the missing documents: the generic icon.
    const std::vector<std::uint32_t> generic = pixels(3);
    EXPECT_EQ(pixels(4), generic);
    EXPECT_EQ(pixels(5), generic);
    // The program: its own icon, as the system draws it.
    const std::vector<std::uint32_t> own = pixels(0);
    EXPECT_NE(own, generic);
    win32::CIcon programIcon;
    ASSERT_EQ(::PrivateExtractIconsA(program.c_str(), 0, side, side, programIcon.Receive(), nullptr,
                                     1, 0),
              1u);
    EXPECT_EQ(OverWhite(own.data(), own.size()), OverWhite(programIcon.Get(), side));

    // Windows 11's menu names the program itself as its icon.
    ComPtr<IExplorerCommand> root;
    ASSERT_EQ(dll.CreateCommand(IID_PPV_ARGS(&root)), S_OK);
    CModernHost host;
    ASSERT_EQ(host.Attach(root.Get(), dll.Path()), S_OK);
    ASSERT_EQ(host.Root().children.size(), items.size());
    EXPECT_EQ(host.Root().children[0].icon, win32::ToWide(program + ",0"));
}
