// Stands in for a user's program in the menu: proves it was launched, and how, by leaving
// "launched.txt" in its own folder: the show command it was started with (-1 for none), a line
// break, then its command line. Just before, "launched-by.txt" names the program that started it.
#include "Owners.h"

#include <windows.h>
#include <tlhelp32.h>

#include <string>

namespace {

// The file name of the program that started this one ("explorer.exe", say), written to path.
void RecordLauncher(const std::string& path) {
    const win32::CHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD parent = 0;
    for (BOOL more = ::Process32First(snapshot.Get(), &entry); more;
         more = ::Process32Next(snapshot.Get(), &entry)) {
        parent =
            entry.th32ProcessID == ::GetCurrentProcessId() ? entry.th32ParentProcessID : parent;
    }
    std::string launcher;
    for (BOOL more = ::Process32First(snapshot.Get(), &entry); more && launcher.empty();
         more = ::Process32Next(snapshot.Get(), &entry)) {
        launcher = entry.th32ProcessID == parent ? entry.szExeFile : "";
    }
    const win32::CHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    ::WriteFile(file.Get(), launcher.data(), static_cast<DWORD>(launcher.size()), &written,
                nullptr);
}

} // namespace

int main() {
    char module[MAX_PATH] = {};
    const DWORD len = ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    const std::string program(module, len < MAX_PATH ? len : 0);
    const std::size_t slash = program.find_last_of('\\');
    if (slash == std::string::npos) {
        return 1;
    }
    RecordLauncher(program.substr(0, slash + 1) + "launched-by.txt");
    const std::string path = program.substr(0, slash + 1) + "launched.txt";
    const win32::CHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return 1;
    }
    // One write, so whoever can open the file reads all of it.
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ::GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    const std::string record = std::to_string(show) + "\n" + ::GetCommandLineA();
    DWORD written = 0;
    ::WriteFile(file.Get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    return 0;
}
