// Menu.exe as a process started from a temporary application folder, driven from outside.
#include "AnsiText.h"
#include "QarvoIdentity.h"
#include "EditorProcess.h"
#include "MenuData.h"
#include "ShellHost.h"
#include "TestSupport.h"

#include "MenuResource.h"
#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

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

class EditorProcessTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(InstallEditor(dir.Path())); }

    std::string Config() const { return ReadFileBytes(dir.File("Config.xml")); }

    TempDir dir;
};

} // namespace

TEST_F(EditorProcessTest, EveryWayOfClosingSavesTheConfigurationAndExitsWithZero) {
    const char* ways[] = {"WM_CLOSE", "Exit button", "system menu Close", "Alt+F4"};
    FILETIME firstWrite = {};
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
        // The menu lacked the list, so the first exit wrote it; later exits found it right
        // and left it alone.
        EXPECT_EQ(ReadFileBytes(dir.File("menu.dat")).size(), 4u + 2 * 384);
        const FILETIME written = LastWriteTime(dir.File("menu.dat"));
        if (way == 0) {
            firstWrite = written;
        }
        EXPECT_EQ(::CompareFileTime(&written, &firstWrite), 0);
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
    // Both files are folders: neither can be written.
    ASSERT_TRUE(::CreateDirectoryA(dir.File("Config.xml").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(dir.File("menu.dat").c_str(), nullptr));
    EditorProcess editor(dir.Path());
    HWND main = editor.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(AddThroughFileDialog(main, dir.File("notes.txt")));
    ::PostMessageA(main, WM_CLOSE, 0, 0);

    for (const char* file : {"Config.xml", "menu.dat"}) {
        HWND box = editor.WaitForErrorBox();
        ASSERT_NE(box, nullptr) << file;
        EXPECT_FALSE(::IsWindow(main)) << "reported once the main window is gone";
        EXPECT_NE(ChildTexts(box).find(dir.File(file)), std::string::npos) << ChildTexts(box);
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ui::WaitUntil([&] { return !::IsWindow(box); });
    }
    EXPECT_EQ(editor.WaitForExit(), 0u);
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
    // Windows opens .txt files with Notepad; a fresh Wine prefix may lack the association.
    win32::CKey txt;
    if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, ".txt", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          txt.Receive(), nullptr) == ERROR_SUCCESS) {
        char value[64] = {};
        DWORD size = sizeof value;
        if (::RegQueryValueExA(txt.Get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                               &size) != ERROR_SUCCESS) {
            ::RegSetValueExA(txt.Get(), nullptr, 0, REG_SZ,
                             reinterpret_cast<const BYTE*>("txtfile"), 8);
        }
    }
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
