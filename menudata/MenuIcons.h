// "menu.icons": the entries' icons, prepared by the editor beside "menu.dat" so that the shell
// extension never looks an entry's path up while a menu is being built.
//
// Layout, little-endian: a 64-byte header, then one block per icon size, smallest first. A
// block holds every entry's icon at that size, entry after entry, each icon size x size 32-bit
// pixels (B, G, R, A bytes; alpha premultiplied; top row first), so the extension reads the
// one size it needs in one read. The header names the list it was made for by its entry count
// and a key of the entries' paths: a file made for another list is no file at all.
#pragma once

#include "MenuItem.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace menuicons {

constexpr char kFileName[] = "menu.icons";
// The small icon at 100%, 125%, 150% and 200% scaling.
constexpr std::uint32_t kSizes[] = {16, 20, 24, 32};
constexpr int kSizeCount = 4;
constexpr std::size_t kHeaderSize = 64;
constexpr std::uint32_t kVersion = 1;

// The pixels of one size's block of a list of count entries.
constexpr std::size_t BlockBytes(std::uint32_t count, int sizeIndex) {
    return std::size_t{count} * kSizes[sizeIndex] * kSizes[sizeIndex] * 4;
}

// Where one size's block lies in the file.
struct Block {
    std::uint64_t Offset;
    std::size_t Bytes;
};

} // namespace menuicons

// The key of a list's paths, as the header stores it: it changes whenever a path, the order
// or the number of entries does (only the first 26 entries count, as only they reach the menu).
std::uint64_t MenuIconsKey(const MenuItem* items, std::size_t count);

// Index of the size of kSizes that suits a small icon of pixels x pixels: the largest that is
// not larger, or the smallest.
int MenuIconSizeIndex(std::uint32_t pixels);

// One entry's icon at every size: kSizes[k] squared pixels in Pixels[k].
struct MenuIconSet {
    std::vector<std::uint32_t> Pixels[menuicons::kSizeCount];
};

// The file image for a list and its icons, one set per entry of the first 26; empty when a
// set does not hold exactly its sizes' pixels.
std::string FormatMenuIcons(const MenuItemList& items, const std::vector<MenuIconSet>& icons);

// Checks a file's header against the list it must describe and gives where the block of one
// size lies. False for a short, foreign, damaged, newer or stale header, or a file (of
// fileSize bytes) too short to hold the block: then there are no icons.
bool LocateMenuIcons(const void* header, std::size_t headerSize, std::uint64_t fileSize,
                     std::uint64_t key, std::uint32_t count, int sizeIndex,
                     menuicons::Block& block);

// LocateMenuIcons for an open file (a HANDLE with read access, at its start): reads the header
// and asks the file's size. Defined with the file readers.
bool LocateMenuIconsInFile(void* file, std::uint64_t key, std::uint32_t count, int sizeIndex,
                           menuicons::Block& block);
