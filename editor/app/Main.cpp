// Menu.exe: the editor of the Qarvo Context Menu entries.
#include "MenuApp.h"

#include <delayimp.h>

#include <string>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace {

CMenuApp theApp;

// The libraries bound at first use (comdlg32, shell32) by their full path in the system folder:
// a bare name would be looked for wherever the search leads.
FARPROC WINAPI LoadFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr) {
        return nullptr; // the helper's own way
    }
    char folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    const std::string path = std::string(folder, length) + "\\" + info->szDll;
    return reinterpret_cast<FARPROC>(::LoadLibraryExA(path.c_str(), nullptr, 0));
}

// The editor (elevated where its folder needs it) loads libraries only from the system folder,
// never from its own folder, the current one or the PATH. Skin.dll, imported at load time, was
// found beside the program before this runs, so the program's folder needs no place in the search.
void RestrictLibrarySearch() {
    // Windows 7 has the call only with its update KB2533623.
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    const auto setDirectories = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDirectories == nullptr || !setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        ::SetDllDirectoryA(""); // at least not the current folder
    }
    __pfnDliNotifyHook2 = LoadFromSystemFolder;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RestrictLibrarySearch(); // first, before anything loads a library
    return AfxWinMain(theApp, instance);
}
