#include "MenuApp.h"
#include "AppConfig.h"
#include "AnsiText.h"
#include "AppFolder.h"
#include "Elevation.h"
#include "EntryIcons.h"
#include "MainDlg.h"
#include "MenuData.h"
#include "MenuIconsFile.h"
#include "MenuResource.h"
#include "QarvoIdentity.h"
#include "ShellLaunch.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr char kMutexName[] = QARVO_EDITOR_MUTEX;
constexpr char kDialogClass[] = QARVO_WINDOW_CLASS;
constexpr char kAppTitle[] = QARVO_EDITOR_TITLE;
constexpr char kConfigName[] = "Config.xml";
constexpr char kMenuDataName[] = "menu.dat";
constexpr const char* kMenuIconsName = menuicons::kFileName;
// The longest path the system hands out.
constexpr std::size_t kMaxLongPath = 32767;
// How long a second editor waits for the running one's window, which follows the mutex.
constexpr DWORD kWaitForRunningMs = 3000;

std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD len = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message;
    if (len != 0 && text != nullptr) {
        message.assign(text, len);
        while (!message.empty() && (message.back() == '\r' || message.back() == '\n')) {
            message.pop_back();
        }
    }
    ::LocalFree(text);
    if (message.empty()) {
        char hex[32];
        wsprintfA(hex, "Error 0x%08lX.", code);
        message = hex;
    }
    return message;
}

std::string SaveFailure(const std::string& path, DWORD code) {
    return "Your changes could not be saved to\n" + path + "\n\n" + SystemMessage(code);
}

// The size of a file, or -1 when it cannot be read.
LONGLONG FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

enum class BackupResult { Copied, OlderCopyKept, Failed };

// Keeps the file as "<file>.bak": copied beside it, then moved over an older backup in one
// step, so a failed copy never destroys the previous backup. An empty file is not worth a
// backup that would replace a non-empty one.
BackupResult BackUpFile(const std::string& path, DWORD& error) {
    const std::string backup = path + ".bak";
    if (FileSize(path) == 0 && FileSize(backup) > 0) {
        return BackupResult::OlderCopyKept;
    }
    const std::string temp = backup + ".new";
    if (::CopyFileA(path.c_str(), temp.c_str(), FALSE) &&
        ::MoveFileExA(temp.c_str(), backup.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return BackupResult::Copied;
    }
    error = ::GetLastError();
    ::DeleteFileA(temp.c_str());
    return BackupResult::Failed;
}

// Whether "menu.dat" holds exactly these records, as the writer would write them.
bool MenuDataMatches(const std::string& path, const MenuItemList& items) {
    MenuItemList onDisk;
    if (FileSize(path) != static_cast<LONGLONG>(4 + items.size() * sizeof(MenuItem)) ||
        ReadMenuData(path.c_str(), onDisk) != 1 || onDisk.size() != items.size()) {
        return false;
    }
    return std::memcmp(onDisk.data(), items.data(), items.size() * sizeof(MenuItem)) == 0;
}

// The full path of this program file; empty when the system cannot give it.
std::wstring ProgramPath() {
    std::wstring module(MAX_PATH, L'\0');
    DWORD length = 0;
    for (;;) {
        length = ::GetModuleFileNameW(nullptr, &module[0], static_cast<DWORD>(module.size()));
        if (length < module.size() || module.size() > kMaxLongPath) {
            break;
        }
        module.resize(module.size() * 2); // cut short: ask again with room for all of it
    }
    module.resize(length < module.size() ? length : 0);
    return module;
}

} // namespace

void ShowErrorBox(const std::string& text) {
    ::MessageBoxA(nullptr, text.c_str(), kAppTitle, MB_ICONERROR);
}

BOOL CMenuApp::InitInstance() {
    ::InitCommonControls();
    CWinApp::InitInstance();

    // Another editor runs: bring it forward and leave without touching anything.
    if (!ClaimFirstInstance()) {
        ShowRunningEditor();
        return FALSE;
    }
    // Before the shell's ShellExecuteEx too, which may hand the start to COM objects.
    ::CoInitialize(nullptr);
    InitAppFolder();
    if (HandOverToElevatedEditor()) {
        return FALSE;
    }
    LoadConfiguration();

    if (RegisterDialogClass()) {
        LoadSkin(g_appConfig.SkinType);
    }
    CreateMainDlg();
    if (m_pMainWnd == nullptr) {
        return FALSE;
    }
    CMainDlg* main = static_cast<CMainDlg*>(m_pMainWnd);
    if (!main->Create(IDD_MAIN, nullptr)) {
        delete main; // no window, so it cannot delete itself
        m_pMainWnd = nullptr;
        return FALSE;
    }
    m_pMainWnd->ShowWindow(SW_HIDE);
    return TRUE;
}

bool CMenuApp::ClaimFirstInstance() {
    m_hMutex = ::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kMutexName);
    if (m_hMutex == nullptr) {
        m_hMutex = ::CreateMutexA(nullptr, FALSE, kMutexName);
        // Two editors started at the same moment: the later creator is the second instance.
        m_bFirstInstance = m_hMutex != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;
        if (m_hMutex == nullptr) {
            m_bFirstInstance = TRUE; // no mutex to be had: run rather than refuse to start
        }
    }
    return m_bFirstInstance != FALSE;
}

void CMenuApp::ShowRunningEditor() {
    HWND running = ::FindWindowA(kDialogClass, kAppTitle);
    for (DWORD waited = 0; running == nullptr && waited < kWaitForRunningMs; waited += 100) {
        ::Sleep(100);
        running = ::FindWindowA(kDialogClass, kAppTitle);
    }
    if (running != nullptr) {
        ::ShowWindow(running, SW_RESTORE);
        ::SetForegroundWindow(running);
    } else {
        // Leaving without a word would look as if the editor did not start at all.
        ShowErrorBox(std::string("Another ") + QARVO_PRODUCT_NAME +
                     " editor seems to be starting or stuck: it runs, but shows no window.\n\n"
                     "If it waits for an answer to a message, give it; otherwise end Menu.exe "
                     "in the Task Manager and start the editor again.");
        m_nQuitCode = 1;
    }
}

bool CMenuApp::HandOverToElevatedEditor() {
    if (AppFolder().empty() ||
        !ShouldRestartElevated(FolderIsWritable(AppFolder()),
                               IsProcessElevated() || IsRestartedElevated(::GetCommandLineW()))) {
        return false;
    }
    // The editor started in this one's place must not meet it as another editor: the mutex
    // goes first, and is taken again when no such editor starts.
    if (m_hMutex != nullptr) {
        ::CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
    const std::wstring program = ProgramPath();
    const DWORD error = StartElevated(program, ModuleFolder(program));
    if (error == ERROR_SUCCESS) {
        m_bFirstInstance = FALSE; // it loads and saves the files; this one touches nothing
        return true;
    }
    // Refused (ERROR_CANCELLED) or impossible: this one runs, and a save that fails is
    // reported at exit. An editor started meanwhile is the one that runs instead.
    if (!ClaimFirstInstance()) {
        ShowRunningEditor();
        return true;
    }
    return false;
}

void CMenuApp::InitAppFolder() {
    // Always the folder of this program file: whoever starts the editor writes the command line,
    // and the files of this installation must never follow it elsewhere.
    const std::wstring folder = ModuleFolder(ProgramPath());
    std::string ansi;
    const char* problem = nullptr;
    if (folder.empty()) {
        problem = "The program's folder could not be found";
    } else if (!win32::ToAnsiExact(folder.c_str(), static_cast<int>(folder.size()), ansi)) {
        problem = "The name of the program's folder has characters that this system's code page "
                  "cannot show.\nMove the program to another folder";
    } else if (!SetAppFolder(ansi)) {
        problem = "The path of the program's folder is too long (at most 255 characters).\n"
                  "Move the program to a shorter path";
    }
    if (problem != nullptr) {
        ShowErrorBox(std::string(problem) + ": changes cannot be saved here.");
    }
}

void CMenuApp::LoadConfiguration() {
    ConfigLoadNotes notes;
    const int loaded = LoadConfig(kConfigName, &notes);
    if (loaded < 0) {
        ShowErrorBox("Invalid config file.");
    }
    std::string path;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    if (AppFilePath(kConfigName, path)) {
        attributes = ::GetFileAttributesA(path.c_str());
    }
    const bool exists =
        attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    m_bListIsAuthoritative = loaded == 1;
    if (exists && (loaded <= 0 || notes.inexactText)) {
        // The file is about to be rewritten with what the editor understood of it.
        DWORD error = ERROR_SUCCESS;
        const BackupResult backup = BackUpFile(path, error);
        m_bKeepConfigFile = backup == BackupResult::Failed;
        std::string found;
        if (loaded == 0) {
            found = "The settings file\n" + path +
                    "\ncould not be read, so the editor starts with an empty list.";
        } else if (loaded > 0) {
            found = "Some titles or paths in\n" + path +
                    "\nhave characters that this system's code page cannot show; they appear "
                    "as \"?\".";
        }
        if (backup == BackupResult::Failed) {
            const std::string reason = "It could not be kept as Config.xml.bak (" +
                                       SystemMessage(error) +
                                       "), so it is left as it is and will not be overwritten.";
            ShowErrorBox(found.empty() ? reason : found + "\n\n" + reason);
        } else if (!found.empty()) {
            ShowErrorBox(found + (backup == BackupResult::Copied
                                      ? "\n\nThe original file is kept as Config.xml.bak."
                                      : "\n\nThe earlier copy in Config.xml.bak is kept."));
        }
    }
    if (g_appConfig.Items.size() > static_cast<std::size_t>(menudata::kMaxRecords)) {
        ShowErrorBox("Config.xml holds " + std::to_string(g_appConfig.Items.size()) +
                     " entries. All of them stay in the list, but only the first 26 appear in "
                     "the context menu.");
    }
}

bool CMenuApp::RegisterDialogClass() {
    WNDCLASSA wc = {};
    ::GetClassInfoA(m_hInstance, "#32770", &wc);
    wc.lpszClassName = kDialogClass;
    wc.hInstance = m_hInstance;
    return ::RegisterClassA(&wc) != 0;
}

void CMenuApp::CreateMainDlg() {
    try {
        m_pMainWnd = new CMainDlg(nullptr);
    } catch (...) {
        m_pMainWnd = nullptr;
        ShowErrorBox("CMainDlg::New_()");
    }
}

void CMenuApp::SaveFiles(std::vector<std::string>& reports) {
    if (AppFolder().empty()) {
        // Said at start; the changes are lost now, and the user hears it once more.
        reports.push_back("Your changes were not saved: the program's folder cannot hold its "
                          "files (see the message at start).");
        return;
    }
    std::string configPath;
    AppFilePath(kConfigName, configPath);
    const std::string shownConfig = configPath.empty() ? kConfigName : configPath;
    if (m_bKeepConfigFile) {
        reports.push_back("Your changes were not saved to\n" + shownConfig +
                          "\n\nThat file could not be read or kept as Config.xml.bak, so it is "
                          "left as it is.");
    } else {
        HRESULT configError = S_OK;
        if (!SaveConfig(kConfigName, &configError)) {
            reports.push_back(SaveFailure(shownConfig, static_cast<DWORD>(configError)));
        }
    }

    // The menu shows at most 26 entries; the rest stay in "Config.xml" only. A file that does
    // not hold the list (a write that was killed or refused) is repaired at every exit.
    const std::size_t shown =
        std::min(g_appConfig.Items.size(), static_cast<std::size_t>(menudata::kMaxRecords));
    const MenuItemList menu(g_appConfig.Items.begin(), g_appConfig.Items.begin() + shown);
    std::string dataPath;
    if (!AppFilePath(kMenuDataName, dataPath)) {
        if (g_bListModified) {
            reports.push_back(
                SaveFailure(AppFolder() + "\\" + kMenuDataName, ERROR_FILENAME_EXCED_RANGE));
        }
        return;
    }
    const bool authoritative = g_bListModified || m_bListIsAuthoritative;
    if (!authoritative) {
        return;
    }
    const bool writeMenu = g_bListModified || !MenuDataMatches(dataPath, menu);
    // The icons go first, and by the same rule, also repaired when missing or made for another
    // list: a menu built from the new "menu.dat" then finds icons made for it.
    std::string iconsPath;
    HRESULT iconsError = S_OK;
    if (AppFilePath(kMenuIconsName, iconsPath) && (writeMenu || !MenuIconsMatch(iconsPath, menu))) {
        iconsError = WriteMenuIcons(iconsPath, menu, EntryIcons().Collect(menu));
    }
    const bool menuWritten = !writeMenu || WriteMenuData(dataPath.c_str(), menu);
    if (!menuWritten) {
        reports.push_back(SaveFailure(dataPath, ::GetLastError()));
    } else if (FAILED(iconsError)) {
        // Said only when the menu itself was saved: without it the icons are nothing to tell.
        reports.push_back("The icons of the entries could not be saved to\n" + iconsPath +
                          "\n\nThe context menu shows the entries without icons.\n\n" +
                          SystemMessage(HRESULT_CODE(iconsError)));
    }
}

int CMenuApp::ExitInstance() {
    if (m_bFirstInstance) {
        std::vector<std::string> reports;
        SaveFiles(reports);
        if (m_pMainWnd != nullptr) {
            m_pMainWnd->DestroyWindow(); // the dialog deletes itself
            m_pMainWnd = nullptr;
        }
        ReleaseSkin();
        // Only now: while the main window lives, a message box would let it take more edits
        // that nothing saves any more.
        for (const std::string& report : reports) {
            ShowErrorBox(report);
        }
    }
    return CWinApp::ExitInstance();
}
