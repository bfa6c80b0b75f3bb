// Skin.dll for the editor's tests: the real library, which also notes every call in
// "skin-calls.log" beside itself: "load <1|0> <path>", and "release <dialogs still open>".
#include "Owners.h"
#include "QarvoIdentity.h"

#include <windows.h>

#include <string>

extern "C" bool SkinLoad(const char* fullPath);
extern "C" void SkinRelease();

namespace {

void Note(const std::string& line) {
    HMODULE self = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&Note), &self);
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(self, path, MAX_PATH);
    std::string log(path);
    log = log.substr(0, log.find_last_of('\\')) + "\\skin-calls.log";
    const win32::CHandle file(::CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        const std::string text = line + "\n";
        DWORD written = 0;
        ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

int OpenDialogs() {
    int count = 0;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lp) -> BOOL {
            char name[64] = {};
            ::GetClassNameA(hwnd, name, sizeof name);
            if (std::string(name) == QARVO_WINDOW_CLASS) {
                ++*reinterpret_cast<int*>(lp);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

} // namespace

extern "C" bool NotedSkinLoad(const char* fullPath) {
    const bool loaded = SkinLoad(fullPath);
    Note(std::string("load ") + (loaded ? "1 " : "0 ") + (fullPath != nullptr ? fullPath : ""));
    return loaded;
}

extern "C" void NotedSkinRelease() {
    Note("release " + std::to_string(OpenDialogs()));
    SkinRelease();
}
