#include "EditorProcess.h"
#include "AnsiText.h"
#include "MenuResource.h"
#include "QarvoIdentity.h"
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
    return static_cast<int>(
        ::SendMessageA(::GetDlgItem(mainWindow, IDC_LIST_ITEMS), LVM_GETITEMCOUNT, 0, 0));
}

void PressButton(HWND dialog, int id) {
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

bool AddThroughFileDialog(HWND mainWindow, const std::string& path) {
    const int before = RowCount(mainWindow);
    PressButton(mainWindow, IDC_SELECT_FILE);
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

bool InstallSkins(const std::string& folder) {
    const std::string from = testing_support::BinFolder() + "\\Skin";
    const std::string to = folder + "\\Skin";
    ::CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA skin;
    const win32::CFind skins(::FindFirstFileA((from + "\\*").c_str(), &skin));
    int copied = 0;
    for (bool more = skins.Valid(); more; more = ::FindNextFileA(skins.Get(), &skin) != FALSE) {
        const std::string name = skin.cFileName;
        if (name == "." || name == ".." || !(skin.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            continue;
        }
        ::CreateDirectoryA((to + "\\" + name).c_str(), nullptr);
        WIN32_FIND_DATAA file;
        const win32::CFind files(::FindFirstFileA((from + "\\" + name + "\\*.xml").c_str(), &file));
        for (bool any = files.Valid(); any; any = ::FindNextFileA(files.Get(), &file) != FALSE) {
            const std::string relative = "\\" + name + "\\" + file.cFileName;
            if (!::CopyFileA((from + relative).c_str(), (to + relative).c_str(), FALSE)) {
                return false;
            }
            ++copied;
        }
    }
    return copied > 0;
}

EditorProcess::EditorProcess(const std::string& folder, const std::string& commandLine,
                             const std::string& startFolder) {
    // Detached: what the editor starts (the help viewer) would inherit the test's console
    // streams. Wine hands the error stream on regardless, so tests close such programs too.
    m_process = testing_support::StartProcess(
        commandLine.empty() ? "\"" + folder + "\\Menu.exe\"" : commandLine, DETACHED_PROCESS,
        (startFolder.empty() ? folder : startFolder).c_str());
}

EditorProcess::EditorProcess(DWORD processId) {
    m_process.process.Reset(::OpenProcess(
        PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, processId));
    m_process.id = processId;
}

EditorProcess::~EditorProcess() {
    if (Started() && WaitForExit(0) == STILL_ACTIVE) {
        ::TerminateProcess(m_process.process.Get(), 99);
        WaitForExit(10000);
    }
}

HWND EditorProcess::WaitForMainWindow() const {
    return ui::WaitForWindow([this](HWND hwnd) {
        return WindowProcess(hwnd) == Id() && ui::ClassName(hwnd) == QARVO_WINDOW_CLASS &&
               ui::Text(hwnd) == QARVO_EDITOR_TITLE;
    });
}

HWND EditorProcess::WaitForErrorBox(DWORD timeoutMs) const {
    return ui::WaitForWindow(
        [this](HWND hwnd) {
            return WindowProcess(hwnd) == Id() && ui::ClassName(hwnd) == "#32770" &&
                   ui::Text(hwnd) == QARVO_EDITOR_TITLE;
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
    return testing_support::ExitCode(m_process, timeoutMs);
}
