// The editor's side of menu.dat: writing the file.
#include "MenuData.h"
#include "Owners.h"

namespace {

bool WriteAll(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    return ::WriteFile(file, data, size, &written, nullptr) && written == size;
}

} // namespace

bool WriteMenuData(const char* path, const MenuItemList& items) {
    if (!menudata::PathFits(path)) {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }

    // Truncate an existing file in place; create a missing one. Readers may share the file
    // while it is written; nobody else may write or delete it.
    bool exists = false;
    DWORD probeError = ERROR_SUCCESS;
    {
        win32::CHandle probe(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        exists = probe.Valid();
        probeError = exists ? ERROR_SUCCESS : ::GetLastError();
    }
    win32::CHandle file(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      exists ? TRUNCATE_EXISTING : CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        // A file that is there but could not be probed (held open without sharing, say) makes
        // the creation fail with "file exists"; the probe's own error tells the real reason.
        if (::GetLastError() == ERROR_FILE_EXISTS && probeError != ERROR_FILE_NOT_FOUND) {
            ::SetLastError(probeError);
        }
        return false;
    }

    // The header, then one write per record: a failed write leaves only whole records.
    const std::string image = FormatMenuData(items);
    if (!WriteAll(file.Get(), image.data(), 4)) {
        return false;
    }
    for (std::size_t at = 4; at < image.size(); at += sizeof(MenuItem)) {
        if (!WriteAll(file.Get(), image.data() + at, sizeof(MenuItem))) {
            return false;
        }
    }
    if (items.size() > static_cast<std::size_t>(menudata::kMaxRecords)) {
        ::SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    return true;
}
