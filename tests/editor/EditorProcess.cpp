#include "EditorProcess.h"
#include "AnsiText.h"
#include "AppConfig.h"
#include "MenuResource.h"
#include "QarvoIdentity.h"
#include "TestSupport.h"

#include <commctrl.h>
#include <tlhelp32.h>

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

std::string LoadedLibraryPath(DWORD processId, const char* name) {
    const win32::CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    for (BOOL more = snapshot && ::Module32First(snapshot.Get(), &module); more;
         more = ::Module32Next(snapshot.Get(), &module)) {
        if (::lstrcmpiA(module.szModule, name) == 0) {
            return module.szExePath;
        }
    }
    return std::string();
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

bool AddThroughFileDialog(HWND mainWindow, const std::string& folder,
                          const std::vector<std::string>& names) {
    const int before = RowCount(mainWindow);
    std::vector<std::wstring> wide;
    for (const std::string& name : names) {
        wide.push_back(win32::ToWide(name));
    }
    PressButton(mainWindow, IDC_SELECT_FILE);
    HWND fileDialog = ui::WaitForFileDialog();
    return fileDialog != nullptr && ui::ChooseFiles(fileDialog, win32::ToWide(folder), wide) &&
           ui::WaitUntil(
               [&] { return RowCount(mainWindow) == before + static_cast<int>(names.size()); });
}

bool SaveListAsEditor(const std::string& folder, const MenuItemList& items, int col0Width) {
    const win32::CComScope com; // for the XML DOM
    g_appConfig = AppConfig{};
    g_appConfig.Items = items;
    g_appConfig.Col0Width = col0Width;
    return SetAppFolder(folder) && SaveConfig("Config.xml");
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

bool EditorProcess::DropFiles(const std::vector<std::string>& paths) const {
    const std::string library = testing_support::ExeFolder() + "\\drop_into_editor.dll";
    std::string list;
    for (const std::string& path : paths) {
        list += path + "\n";
    }
    if (!testing_support::WriteFileBytes(library + ".txt", list)) {
        return false;
    }
    // LoadLibraryW run by a thread of the editor's, on the library's name written into it.
    const std::wstring name = win32::ToWide(library);
    const SIZE_T bytes = (name.size() + 1) * sizeof(wchar_t);
    const HANDLE process = m_process.process.Get();
    void* remote =
        ::VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr) {
        return false;
    }
    DWORD loaded = 0;
    if (::WriteProcessMemory(process, remote, name.c_str(), bytes, nullptr)) {
        // kernel32 lies at the same address in every process of the session.
        const auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "LoadLibraryW")));
        const win32::CHandle thread(
            ::CreateRemoteThread(process, nullptr, 0, load, remote, 0, nullptr));
        if (thread && ::WaitForSingleObject(thread.Get(), 20000) == WAIT_OBJECT_0) {
            ::GetExitCodeThread(thread.Get(), &loaded);
        }
    }
    ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return loaded != 0;
}

DWORD EditorProcess::WaitForExit(DWORD timeoutMs) const {
    return testing_support::ExitCode(m_process, timeoutMs);
}
