#include "MenuApp.h"
#include "AppConfig.h"
#include "CmdLineSplitter.h"
#include "MainDlg.h"
#include "MenuData.h"
#include "resource.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstring>
#include <new>

namespace {

constexpr char kMutexName[] = "{77A3ABC2-B457-4A03-9D2A-B8F0BDD07343}";
constexpr char kDialogClass[] = "Qarvo.MainDlg";
constexpr char kAppTitle[] = "Qarvo Context Menu";
constexpr char kConfigName[] = "Config.xml";
constexpr char kMenuDataName[] = "menu.dat";

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

void ReportSaveFailure(const std::string& path, DWORD code) {
    ShowErrorBox("Your changes could not be saved to\n" + path + "\n\n" + SystemMessage(code));
}

} // namespace

void ShowErrorBox(const std::string& text) {
    ::MessageBoxA(nullptr, text.c_str(), kAppTitle, MB_ICONERROR);
}

BOOL CMenuApp::InitInstance() {
    ::InitCommonControls();
    CWinApp::InitInstance();

    // Another editor runs: bring it forward and leave without touching anything.
    m_hMutex = ::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kMutexName);
    if (m_hMutex == nullptr) {
        m_hMutex = ::CreateMutexA(nullptr, FALSE, kMutexName);
        // Two editors started at the same moment: the later creator is the second instance.
        m_bFirstInstance = m_hMutex != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;
        if (m_hMutex == nullptr) {
            m_bFirstInstance = TRUE; // no mutex to be had: run rather than refuse to start
        }
    }
    if (!m_bFirstInstance) {
        if (HWND running = ::FindWindowA(kDialogClass, kAppTitle)) {
            ::ShowWindow(running, SW_RESTORE);
            ::SetForegroundWindow(running);
        }
        return FALSE;
    }

    ::CoInitialize(nullptr);
    InitAppFolder();

    const int loaded = LoadConfig(kConfigName);
    if (loaded < 0) {
        ShowErrorBox("Invalid config file.");
    }
    if (loaded <= 0) {
        BackUpRejectedConfig();
    }

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

void CMenuApp::InitAppFolder() {
    // A launcher normally passes the full path; otherwise, or when it is too long, the
    // program's own path tells.
    const std::string folder = AppFolderFromCommandLine(::GetCommandLineA());
    if (folder.empty() || !SetAppFolder(folder)) {
        char module[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, module, MAX_PATH);
        const char* begin = module;
        const char* slash = std::strrchr(begin, '\\');
        SetAppFolder(std::string(begin, slash != nullptr ? slash : begin));
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

void CMenuApp::BackUpRejectedConfig() {
    std::string path;
    if (AppFilePath(kConfigName, path) &&
        ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        m_bConfigBackedUp = ::CopyFileA(path.c_str(), (path + ".bak").c_str(), FALSE) != FALSE;
    }
}

int CMenuApp::ExitInstance() {
    if (m_bFirstInstance) {
        std::string configPath;
        AppFilePath(kConfigName, configPath);
        HRESULT configError = S_OK;
        if (!SaveConfig(kConfigName, &configError)) {
            ReportSaveFailure(configPath.empty() ? kConfigName : configPath,
                              static_cast<DWORD>(configError));
        }
        if (g_bListModified) {
            std::string dataPath;
            if (!AppFilePath(kMenuDataName, dataPath)) {
                ReportSaveFailure(AppFolder() + "\\" + kMenuDataName, ERROR_FILENAME_EXCED_RANGE);
            } else if (!WriteMenuData(dataPath.c_str(), g_appConfig.Items)) {
                ReportSaveFailure(dataPath, ::GetLastError());
            }
        }
        if (m_pMainWnd != nullptr) {
            m_pMainWnd->DestroyWindow(); // the dialog deletes itself
            m_pMainWnd = nullptr;
        }
        ReleaseSkin();
    }
    return CWinApp::ExitInstance();
}
