// Loaded into a running editor by the process tests: drops the files listed in the text file
// beside this library (UTF-8, one path a line) on the editor's window, from inside its process,
// as Explorer's drop arrives there. A drop's handle means nothing in another process.
#include "QarvoIdentity.h"
#include "UiDriver.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

HMODULE s_module = nullptr;

std::vector<std::wstring> ListedPaths() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(s_module, self, MAX_PATH);
    const HANDLE file = ::CreateFileW((std::wstring(self) + L".txt").c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string text(65536, '\0');
    DWORD got = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ::ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
        ::CloseHandle(file);
    }
    text.resize(got);
    std::vector<std::wstring> paths;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        std::wstring path(line.size(), L'\0');
        path.resize(static_cast<std::size_t>(
            ::MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &path[0],
                                  static_cast<int>(path.size()))));
        if (!path.empty()) {
            paths.push_back(path);
        }
    }
    return paths;
}

DWORD WINAPI DropListedFiles(void*) {
    const HWND main = ::FindWindowA(QARVO_WINDOW_CLASS, QARVO_EDITOR_TITLE);
    DWORD process = 0;
    ::GetWindowThreadProcessId(main, &process);
    if (main == nullptr || process != ::GetCurrentProcessId()) {
        return 1;
    }
    const HGLOBAL drop = ui::MakeDropFiles(ListedPaths());
    if (!::PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0)) {
        ::GlobalFree(drop);
        return 1;
    }
    return 0;
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        s_module = instance;
        ::DisableThreadLibraryCalls(instance);
        // Not under the loader's lock: the drop is made once loading has finished.
        if (HANDLE thread = ::CreateThread(nullptr, 0, DropListedFiles, nullptr, 0, nullptr)) {
            ::CloseHandle(thread);
        }
    }
    return TRUE;
}
