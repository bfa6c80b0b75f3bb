// Program paths as the system may report them: a folder found is an absolute one, and the path
// is that folder, a backslash and the file's name, in the ordinary, the "\\?\" or the
// "\\?\UNC\" form; an ordinary drive path always gives its folder. The same text as a command
// line: the restart's mark is found only where it is written.
#include "AppFolder.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The input as UTF-16 code units, as the system hands out a module path.
    std::wstring path;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        path += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    }

    if (IsRestartedElevated(path) && path.find(kRestartedElevated) == std::wstring::npos) {
        std::abort();
    }
    const std::wstring folder = ModuleFolder(path);
    if (folder.empty()) {
        if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
            IsAbsoluteFolder(path.substr(0, 2))) {
            std::abort();
        }
        return 0;
    }
    const std::wstring tail = path.substr(path.rfind(L'\\'));
    const bool share = folder.compare(0, 2, L"\\\\") == 0;
    if (!IsAbsoluteFolder(folder) ||
        !(path == folder + tail || path == L"\\\\?\\" + folder + tail ||
          (share && path == L"\\\\?\\UNC" + folder.substr(1) + tail))) {
        std::abort();
    }
    return 0;
}
