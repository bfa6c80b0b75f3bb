#include "MenuData.h"
#include "ScopedHandle.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

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

// Reads up to size bytes, stopping early only at the end of the file or on an error.
DWORD ReadUpTo(HANDLE file, char* data, DWORD size) {
    DWORD total = 0;
    while (total < size) {
        DWORD got = 0;
        if (!::ReadFile(file, data + total, size - total, &got, nullptr) || got == 0) {
            break;
        }
        total += got;
    }
    return total;
}

} // namespace

bool WriteMenuData(const char* path, const MenuItemList& items) {
    if (!PathFits(path)) {
        return false;
    }

    // Truncate an existing file in place; create a missing one. Readers may share the file
    // while it is written; nobody else may write or delete it.
    bool exists = false;
    {
        CScopedHandle probe(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        exists = probe.Valid();
    }
    CScopedHandle file(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     exists ? TRUNCATE_EXISTING : CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
    if (!file.Valid()) {
        return false;
    }

    const bool tooMany = items.size() > static_cast<std::size_t>(menudata::kMaxRecords);
    const int count = tooMany ? menudata::kMaxRecords : static_cast<int>(items.size());

    char header[32] = {};
    std::snprintf(header, sizeof header, "%d", count * static_cast<int>(sizeof(MenuItem)));
    if (!WriteAll(file.Get(), header, 4)) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (!WriteAll(file.Get(), &items[i], sizeof(MenuItem))) {
            return false;
        }
    }
    return !tooMany;
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

    // Zero-filled and larger than the header, so four digits always end in a NUL.
    char header[32] = {};
    ReadUpTo(file.Get(), header, 4);
    const int length = std::atoi(header);
    if (length <= 0) {
        return 1;
    }

    // The header is trusted over the file size, but a short file yields only the complete
    // records actually read.
    std::unique_ptr<char[]> data(new char[static_cast<std::size_t>(length)]);
    const DWORD got = ReadUpTo(file.Get(), data.get(), static_cast<DWORD>(length));
    const std::size_t count = got / sizeof(MenuItem);
    items.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        MenuItem item{};
        std::memcpy(&item, data.get() + i * sizeof(MenuItem), sizeof(MenuItem));
        items.push_back(item);
    }
    return 1;
}
