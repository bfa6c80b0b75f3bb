// Stands in for a user's program in the menu: proves it was launched by leaving
// "launched.txt" with its command line in its own folder.
#include <windows.h>

int main() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* slash = strrchr(path, '\\');
    if (slash == nullptr) {
        return 1;
    }
    lstrcpyA(slash + 1, "launched.txt");
    HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    const char* line = ::GetCommandLineA();
    DWORD written = 0;
    ::WriteFile(file, line, lstrlenA(line), &written, nullptr);
    ::CloseHandle(file);
    return 0;
}
