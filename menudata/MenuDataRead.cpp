// The extension's side of menu.dat and menu.icons: reading the files.
#include "MenuData.h"
#include "MenuIcons.h"
#include "Owners.h"

int ReadMenuData(const char* path, MenuItemList& items) {
    items.clear();
    items.shrink_to_fit();
    if (!menudata::PathFits(path)) {
        return -1;
    }

    // Share writing too, so the editor can rewrite the file while a menu is being built.
    win32::CHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
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
    ParseMenuData(raw, got, items);
    return 1;
}

bool LocateMenuIconsInFile(void* file, std::uint64_t key, std::uint32_t count, int sizeIndex,
                           menuicons::Block& block) {
    unsigned char header[menuicons::kHeaderSize];
    DWORD got = 0;
    LARGE_INTEGER size = {};
    return ::ReadFile(file, header, sizeof header, &got, nullptr) && ::GetFileSizeEx(file, &size) &&
           LocateMenuIcons(header, got, static_cast<std::uint64_t>(size.QuadPart), key, count,
                           sizeIndex, block);
}
