// "menu.dat": a 4-byte ASCII-decimal length header, then 384-byte MenuItem records.
#pragma once

#include "MenuItem.h"

namespace menudata {
// The header holds four digits, so at most 26 records (9984 bytes) can be described.
constexpr int kMaxRecords = 26;
// Paths are handled in 256-byte buffers.
constexpr std::size_t kMaxPath = 255;
} // namespace menudata

// Writes the list to path. True when the header and every record were written. A list of
// more than 26 records is written as its first 26 and reported as false, so the header never
// disagrees with the records behind it.
bool WriteMenuData(const char* path, const MenuItemList& items);

// Clears items, then fills it from the file. -1 when no usable path is given or the file
// cannot be opened; 1 when it was opened and read, also when it yielded no record.
int ReadMenuData(const char* path, MenuItemList& items);
