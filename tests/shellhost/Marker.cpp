// Stands in for a user's program in the menu: proves it was launched, and how, by leaving
// "launched.txt" in its own folder: the show command it was started with (-1 for none), a line
// break, then its command line.
#include "Owners.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

int main() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = std::strrchr(path, '\\');
    if (slash == nullptr) {
        return 1;
    }
    lstrcpyA(slash + 1, "launched.txt");
    const win32::CHandle file(::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return 1;
    }
    // One write, so whoever can open the file reads all of it.
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ::GetStartupInfoA(&startup);
    char record[2048];
    const int length = std::snprintf(
        record, sizeof record, "%d\n%s",
        (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1, ::GetCommandLineA());
    DWORD written = 0;
    ::WriteFile(file.Get(), record, length > 0 ? static_cast<DWORD>(length) : 0, &written, nullptr);
    return 0;
}
