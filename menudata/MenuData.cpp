#include "MenuData.h"
#include "ScopedHandle.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <algorithm>

MenuItem MakeMenuItem(std::string_view title, std::string_view path) {
    MenuItem item{};
    AssignField(item.MenuTitle, title);
    AssignField(item.FilePath, path);
    return item;
}

namespace {

bool PathFits(const char* path) {
    return path != nullptr && std::strlen(path) <= menudata::kMaxPath;
}

bool WriteAll(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    return ::WriteFile(file, data, size, &written, nullptr) && written == size;
}

} // namespace

bool WriteMenuData(const char* path, const MenuItemList& items) {
    if (!PathFits(path)) {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }

    // Truncate an existing file in place; create a missing one. Readers may share the file
    // while it is written; nobody else may write or delete it.
    bool exists = false;
    DWORD probeError = ERROR_SUCCESS;
    {
        CScopedHandle probe(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        exists = probe.Valid();
        probeError = exists ? ERROR_SUCCESS : ::GetLastError();
    }
    CScopedHandle file(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     exists ? TRUNCATE_EXISTING : CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
    if (!file.Valid()) {
        // A file that is there but could not be probed (held open without sharing, say) makes
        // the creation fail with "file exists"; the probe's own error tells the real reason.
        if (::GetLastError() == ERROR_FILE_EXISTS && probeError != ERROR_FILE_NOT_FOUND) {
            ::SetLastError(probeError);
        }
        return false;
    }

    const bool tooMany = items.size() > static_cast<std::size_t>(menudata::kMaxRecords);
    const int count = tooMany ? menudata::kMaxRecords : static_cast<int>(items.size());

    // "%d" of the length in a zero-filled buffer; only its first 4 bytes go to the file.
    char header[32] = {};
    std::to_chars(header, header + sizeof header - 1, count * static_cast<int>(sizeof(MenuItem)));
    if (!WriteAll(file.Get(), header, 4)) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (!WriteAll(file.Get(), &items[i], sizeof(MenuItem))) {
            return false;
        }
    }
    if (tooMany) {
        ::SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    return true;
}

int ReadMenuData(const char* path, MenuItemList& items) {
    items.clear();
    items.shrink_to_fit();
    if (!PathFits(path)) {
        return -1;
    }

    // Share writing too, so the editor can rewrite the file while a menu is being built.
    CScopedHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return -1;
    }

    // One read takes the header and everything a four-digit header can describe; a file read
    // is short only at its end.
    static_assert(menudata::kMaxRecords * sizeof(MenuItem) <= 9999, "header holds 4 digits");
    char raw[4 + 9999];
    DWORD got = 0;
    if (!::ReadFile(file.Get(), raw, sizeof raw, &got, nullptr)) {
        got = 0;
    }

    // Zero-filled and larger than the header, so four digits always end in a NUL.
    char header[32] = {};
    std::memcpy(header, raw, got < 4 ? got : 4);
    const int length = std::atoi(header);
    if (length <= 0) {
        return 1;
    }

    // The header is trusted over the file size: bytes after it are ignored, and a short file
    // yields only the complete records actually there.
    const std::size_t available = got > 4 ? got - 4 : 0;
    const std::size_t used = std::min<std::size_t>(static_cast<std::size_t>(length), available);
    const std::size_t count = used / sizeof(MenuItem);
    items.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        MenuItem item;
        std::memcpy(&item, raw + 4 + i * sizeof(MenuItem), sizeof(MenuItem));
        items.push_back(item);
    }
    return 1;
}
