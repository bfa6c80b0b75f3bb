#include "Elevation.h"
#include "Owners.h"

#include <shellapi.h>

bool FolderIsWritable(const std::string& folder) {
    // Created new and deleted on closing: it needs the rights a save needs (add a file, remove
    // one) and leaves nothing behind. With a manifest that names its execution level the system
    // redirects no write into a virtual store, so a refusal is what a save would meet.
    const std::string probe =
        folder + "\\~Menu-" + std::to_string(::GetCurrentProcessId()) + ".tmp";
    const win32::CHandle file(::CreateFileA(
        probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file.Valid();
}

DWORD StartElevated(const std::wstring& program, const std::wstring& folder) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    // Finished before this process ends, which it does at once.
    info.fMask = SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = kRestartedElevated;
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) ? ERROR_SUCCESS : ::GetLastError();
}
