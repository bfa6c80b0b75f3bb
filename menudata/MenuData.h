// "menu.dat": a 4-byte ASCII-decimal length header, then 384-byte MenuItem records.
#pragma once

#include "MenuItem.h"

#include <cstring>
#include <string>

namespace menudata {
// The header holds four digits, so at most 26 records (9984 bytes) can be described.
constexpr int kMaxRecords = 26;
// Paths are handled in 256-byte buffers.
constexpr std::size_t kMaxPath = 255;
// Whether a path is given and fits those buffers.
inline bool PathFits(const char* path) {
    return path != nullptr && std::strlen(path) <= kMaxPath;
}
} // namespace menudata

// The file image of the list: the header, then the records. A list of more than 26 records
// gives the image of its first 26, so the header never disagrees with the records behind it.
std::string FormatMenuData(const MenuItemList& items);

// Clears items, then fills it from a file image. The header is trusted over the image's size:
// bytes after the records it describes are ignored, and a short image yields only the
// complete records that are there.
void ParseMenuData(const void* bytes, std::size_t size, MenuItemList& items);

// Writes the list to path. True when the header and every record were written. A list of
// more than 26 records is written as its first 26 and reported as false.
bool WriteMenuData(const char* path, const MenuItemList& items);

// Clears items, then fills it from the file. -1 when no usable path is given or the file
// cannot be opened; 1 when it was opened and read, also when it yielded no record.
int ReadMenuData(const char* path, MenuItemList& items);
