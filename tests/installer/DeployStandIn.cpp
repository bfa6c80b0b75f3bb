// Stands in for the system's PowerShell while the installer tests run: Windows' package
// deployment cannot run under Wine, so what the installer asks of it is recorded instead. Each
// start appends its arguments as one line to "deploy-requests.txt" in its own folder; with
// "deploy-refuse.txt" there, a registration is refused as Windows would refuse a package.
#include "Owners.h"

#include <windows.h>

#include <cstdio>
#include <string>

int main() {
    char module[MAX_PATH] = {};
    const DWORD len = ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string folder(module, len < MAX_PATH ? len : 0);
    folder.erase(folder.find_last_of('\\') + 1);

    // The command line without the program's own (quoted) path.
    std::string arguments = ::GetCommandLineA();
    const std::size_t end = arguments[0] == '"' ? arguments.find('"', 1) : arguments.find(' ');
    arguments = end == std::string::npos ? "" : arguments.substr(end + 1);
    arguments.erase(0, arguments.find_first_not_of(' '));

    const win32::CHandle log(::CreateFileA((folder + "deploy-requests.txt").c_str(),
                                           FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string line = arguments + "\n";
    DWORD written = 0;
    if (!log ||
        !::WriteFile(log.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
        return 3;
    }
    const bool refuse =
        ::GetFileAttributesA((folder + "deploy-refuse.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
    if (refuse && arguments.find("-Register") != std::string::npos) {
        std::printf("Staging the package failed (0x80073CF0): the stand-in refuses it.\n");
        return 1;
    }
    return 0;
}
