#include "EditorProcess.h"
#include "AnsiText.h"
#include "TestSupport.h"

#include <commctrl.h>

DWORD WindowProcess(HWND hwnd) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

std::string ChildTexts(HWND hwnd) {
    std::string texts;
    ::EnumChildWindows(
        hwnd,
        [](HWND child, LPARAM lp) -> BOOL {
            *reinterpret_cast<std::string*>(lp) += ui::Text(child) + "\n";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

int RowCount(HWND mainWindow) {
    return static_cast<int>(::SendMessageA(::GetDlgItem(mainWindow, 1005), LVM_GETITEMCOUNT, 0, 0));
}

void PressButton(HWND dialog, int id) {
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

bool AddThroughFileDialog(HWND mainWindow, const std::string& path) {
    const int before = RowCount(mainWindow);
    PressButton(mainWindow, 1006);
    HWND fileDialog = ui::WaitForFileDialog();
    return fileDialog != nullptr && ui::ChooseFile(fileDialog, win32::ToWide(path)) &&
           ui::WaitUntil([&] { return RowCount(mainWindow) == before + 1; });
}

bool InstallEditor(const std::string& folder, const std::string& skinLibrary) {
    const std::string bin = testing_support::BinFolder();
    const std::string skin = skinLibrary.empty() ? bin + "\\Skin.dll" : skinLibrary;
    return ::CopyFileA((bin + "\\Menu.exe").c_str(), (folder + "\\Menu.exe").c_str(), FALSE) &&
           ::CopyFileA(skin.c_str(), (folder + "\\Skin.dll").c_str(), FALSE);
}

EditorProcess::EditorProcess(const std::string& folder, const std::string& commandLine,
                             const std::string& startFolder) {
    std::string command = commandLine.empty() ? "\"" + folder + "\\Menu.exe\"" : commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    // Detached: what the editor starts (the help viewer) would inherit the test's console
    // streams. Wine hands the error stream on regardless, so tests close such programs too.
    m_started =
        ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                         (startFolder.empty() ? folder : startFolder).c_str(), &si, &m_pi) != FALSE;
}

EditorProcess::~EditorProcess() {
    if (m_started) {
        if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_pi.hProcess, 99);
            ::WaitForSingleObject(m_pi.hProcess, 10000);
        }
        ::CloseHandle(m_pi.hThread);
        ::CloseHandle(m_pi.hProcess);
    }
}

HWND EditorProcess::WaitForMainWindow() const {
    return ui::WaitForWindow([this](HWND hwnd) {
        return WindowProcess(hwnd) == Id() && ui::ClassName(hwnd) == "Qarvo.MainDlg" &&
               ui::Text(hwnd) == "Qarvo Context Menu";
    });
}

HWND EditorProcess::WaitForErrorBox(DWORD timeoutMs) const {
    return ui::WaitForWindow(
        [this](HWND hwnd) {
            return WindowProcess(hwnd) == Id() && ui::ClassName(hwnd) == "#32770" &&
                   ui::Text(hwnd) == "Qarvo Context Menu";
        },
        timeoutMs);
}

std::string EditorProcess::AcknowledgeErrorBoxes(int count) const {
    std::string texts;
    for (int i = 0; i < count; ++i) {
        HWND box = WaitForErrorBox();
        if (box == nullptr) {
            break;
        }
        texts += ChildTexts(box);
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ui::WaitUntil([&] { return !::IsWindow(box); });
    }
    return texts;
}

DWORD EditorProcess::WaitForExit(DWORD timeoutMs) const {
    ::WaitForSingleObject(m_pi.hProcess, timeoutMs);
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}
