// Menu.exe under real faults: killed at any moment of its exit, a full drive, a read-only
// folder. The user's list must survive each, and every failure must be named.
#include "AnsiText.h"
#include "AppConfig.h"
#include "Elevation.h"
#include "EditorProcess.h"
#include "MenuData.h"
#include "QarvoIdentity.h"
#include "TestSupport.h"

#include "MenuResource.h"
#include <gtest/gtest.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <iostream>
#include <random>
#include <string>

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::SameEntries;
using testing_support::SampleItems;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

std::string SystemText(DWORD code) {
    char text[512] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     text, sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n')) {
        message.pop_back();
    }
    return message;
}

// How many processes run the program file named name.
int ProcessCount(const char* name) {
    const win32::CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = ::Process32First(snapshot.Get(), &entry); more;
         more = ::Process32Next(snapshot.Get(), &entry)) {
        count += ::lstrcmpiA(entry.szExeFile, name) == 0 ? 1 : 0;
    }
    return count;
}

class EditorFaultTest : public ::testing::Test {
protected:
    const win32::CComScope m_com;

    // Loads the configuration with the editor's own code; its result.
    static int LoadList(const std::string& folder) {
        g_appConfig = AppConfig{};
        EXPECT_TRUE(SetAppFolder(folder));
        return LoadConfig("Config.xml");
    }
    static bool FaultDrivesReady() { return FileExists("Q:\\") && FileExists("R:\\app\\Menu.exe"); }

    // Fills the drive of folder until a write fails with "disk full".
    static bool FillDrive(const std::string& folder) {
        const win32::CHandle file(::CreateFileA((folder + "\\filler").c_str(), GENERIC_WRITE, 0,
                                                nullptr, CREATE_ALWAYS, 0, nullptr));
        const std::string block(4096, 'f');
        DWORD written = 0;
        while (file &&
               ::WriteFile(file.Get(), block.data(), static_cast<DWORD>(block.size()), &written,
                           nullptr) &&
               written == block.size()) {
        }
        return ::GetLastError() == ERROR_DISK_FULL;
    }

    // Adds path through the editor's file dialog, closes the editor and collects the texts of
    // the error boxes it shows on its way out.
    static std::vector<std::string> AddAndClose(EditorProcess& editor, HWND main,
                                                const std::string& path) {
        std::vector<std::string> reports;
        EXPECT_TRUE(AddThroughFileDialog(main, path));
        ::PostMessageA(main, WM_CLOSE, 0, 0);
        const DWORD start = ::GetTickCount();
        while (editor.WaitForExit(0) == STILL_ACTIVE && ::GetTickCount() - start < 30000) {
            if (HWND box = editor.WaitForErrorBox(100)) {
                EXPECT_FALSE(::IsWindow(main)) << "reported once the main window is gone";
                reports.push_back(ChildTexts(box));
                ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                ui::WaitUntil([&] { return !::IsWindow(box); });
            }
        }
        EXPECT_EQ(editor.WaitForExit(), 0u);
        return reports;
    }
};

} // namespace

TEST_F(EditorFaultTest, KilledAtAnyMomentOfItsExitTheListSurvives) {
    TempDir dir;
    ASSERT_TRUE(InstallEditor(dir.Path()));
    const std::string program = dir.File("Menu.exe");
    const MenuItemList list = SampleItems(26);
    ASSERT_TRUE(SaveListAsEditor(dir.Path(), list));

    std::mt19937 random(2026);
    int width = 150, killedWhileRunning = 0, newFiles = 0;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        if (round % 2 == 1) {
            // As a write cut short by an earlier kill leaves it.
            ASSERT_TRUE(WriteFileBytes(dir.File("menu.dat"), std::string("9984\0abc", 8)));
        }
        // The killed editor is gone once its single-instance mutex is: a start before that
        // would only be a second instance.
        ASSERT_TRUE(ui::WaitUntil([] {
            return win32::CHandle(::OpenMutexA(SYNCHRONIZE, FALSE, QARVO_EDITOR_MUTEX)).Get() ==
                   nullptr;
        }));
        EditorProcess editor(dir.Path());
        HWND main = editor.WaitForMainWindow();
        ASSERT_NE(main, nullptr) << "exit code " << editor.WaitForExit(0)
                                 << ", message: " << editor.AcknowledgeErrorBoxes(1);
        const int pid = testing_support::UnixProcessOf(program);
        ASSERT_NE(pid, 0);
        // Each exit writes a different Col0Width, so old and new files can be told apart.
        const int newWidth = 100 + round;
        ::SendMessageA(::GetDlgItem(main, IDC_LIST_ITEMS), LVM_SETCOLUMNWIDTH, 0, newWidth);
        ::PostMessageA(main, WM_CLOSE, 0, 0);
        ::Sleep(std::uniform_int_distribution<DWORD>(0, 25)(random));
        killedWhileRunning += editor.WaitForExit(0) == STILL_ACTIVE;
        testing_support::KillUnixProcess(pid);
        ASSERT_NE(editor.WaitForExit(), STILL_ACTIVE);

        // Either the old or the new file, whole.
        ASSERT_EQ(LoadList(dir.Path()), 1);
        EXPECT_TRUE(SameEntries(g_appConfig.Items, list));
        EXPECT_TRUE(g_appConfig.Col0Width == width || g_appConfig.Col0Width == newWidth)
            << g_appConfig.Col0Width;
        newFiles += g_appConfig.Col0Width == newWidth;
        width = g_appConfig.Col0Width;
    }
    std::cout << "killed while running: " << killedWhileRunning << " of 40; new file found "
              << newFiles << " times\n";

    // The next ordinary exit repairs whatever the kills left of menu.dat.
    EditorProcess editor(dir.Path());
    HWND main = editor.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(editor.WaitForExit(), 0u);
    MenuItemList menu;
    EXPECT_EQ(ReadMenuData(dir.File("menu.dat").c_str(), menu), 1);
    EXPECT_TRUE(SameEntries(menu, list));
    EXPECT_EQ(ReadFileBytes(dir.File("menu.dat")).size(), 4u + 26 * 384);
    EXPECT_FALSE(FileExists(dir.File("Config.xml.new")));
}

TEST_F(EditorFaultTest, FullDriveLosesNothingAndSaysSo) {
    if (!FaultDrivesReady()) {
        GTEST_SKIP() << "no fault drives: mounting a small tmpfs needs root";
    }
    const std::string folder = "Q:\\full";
    testing_support::RemoveTree(folder);
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(InstallEditor(folder));
    ASSERT_TRUE(SaveListAsEditor(folder, SampleItems(2)));
    const std::string saved = ReadFileBytes(folder + "\\Config.xml");
    ASSERT_TRUE(FillDrive(folder));

    // A new entry cannot be saved: the old list stays whole, and the reason is named.
    {
        EditorProcess editor(folder);
        HWND main = editor.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        const std::vector<std::string> reports =
            AddAndClose(editor, main, "C:\\windows\\notepad.exe");
        ASSERT_EQ(reports.size(), 2u);
        EXPECT_NE(reports[0].find(folder + "\\Config.xml"), std::string::npos) << reports[0];
        EXPECT_NE(reports[0].find(SystemText(ERROR_DISK_FULL)), std::string::npos) << reports[0];
        EXPECT_NE(reports[1].find(folder + "\\menu.dat"), std::string::npos) << reports[1];
    }
    EXPECT_EQ(ReadFileBytes(folder + "\\Config.xml"), saved);
    EXPECT_FALSE(FileExists(folder + "\\Config.xml.new"));

    // A file the editor cannot use and cannot back up is never overwritten.
    ::DeleteFileA((folder + "\\Config.xml").c_str());
    ::DeleteFileA((folder + "\\filler").c_str());
    const std::string foreign = "<Config App=\"Another Program\">" + std::string(8000, ' ') +
                                "<Menu><Item MenuTitle=\"x\" FilePath=\"C:\\x\"/></Menu></Config>";
    ASSERT_TRUE(WriteFileBytes(folder + "\\Config.xml", foreign));
    ASSERT_TRUE(FillDrive(folder));
    {
        EditorProcess editor(folder);
        const std::string start = editor.AcknowledgeErrorBoxes(2);
        EXPECT_NE(start.find("Invalid config file."), std::string::npos) << start;
        EXPECT_NE(start.find("could not be kept as Config.xml.bak"), std::string::npos) << start;
        HWND main = editor.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        const std::vector<std::string> reports =
            AddAndClose(editor, main, "C:\\windows\\notepad.exe");
        ASSERT_FALSE(reports.empty());
        EXPECT_NE(reports[0].find("left as it is"), std::string::npos) << reports[0];
    }
    EXPECT_EQ(ReadFileBytes(folder + "\\Config.xml"), foreign);
    EXPECT_FALSE(FileExists(folder + "\\Config.xml.bak.new"));
    testing_support::RemoveTree(folder);
}

TEST_F(EditorFaultTest, ReadOnlyFolderLosesNothingAndSaysSo) {
    if (!FaultDrivesReady()) {
        GTEST_SKIP() << "no fault drives: mounting a small tmpfs needs root";
    }
    const std::string folder = "R:\\app";
    const std::string saved = ReadFileBytes(folder + "\\Config.xml");
    ASSERT_FALSE(FolderIsWritable(folder));
    // Under Wine every process is elevated: the editor runs where it was started, with no
    // second start, as an editor refused administrator rights (or still unable to write with
    // them) does on Windows.
    EditorProcess editor(folder);
    HWND main = editor.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(WindowProcess(main), editor.Id());
    EXPECT_EQ(ProcessCount("Menu.exe"), 1);
    EXPECT_EQ(RowCount(main), 2);
    const std::vector<std::string> reports = AddAndClose(editor, main, "C:\\windows\\notepad.exe");
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].find(folder + "\\Config.xml"), std::string::npos) << reports[0];
    EXPECT_NE(reports[1].find(folder + "\\menu.dat"), std::string::npos) << reports[1];
    EXPECT_EQ(ReadFileBytes(folder + "\\Config.xml"), saved);
}
