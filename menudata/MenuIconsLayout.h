// Where things lie in a menu.icons file: shared by its writer and its reader only.
#pragma once

#include "MenuIcons.h"

#include <cstddef>
#include <cstdint>

namespace menuicons {

constexpr char kMagic[8] = {'Q', 'C', 'M', 'I', 'C', 'O', 'N', 'S'};

// Header fields by byte offset.
enum : std::size_t {
    kAtVersion = 8,
    kAtHeaderSize = 12,
    kAtCount = 16,
    kAtSizeCount = 20,
    kAtSizes = 24,
    kAtKey = 40,
    kAtFileSize = 48,
};

// Where the block of sizeIndex starts (with sizeIndex kSizeCount: the whole file's size) for
// count entries.
inline std::uint64_t BlockOffset(std::uint32_t count, int sizeIndex) {
    std::uint64_t offset = kHeaderSize;
    for (int k = 0; k < sizeIndex; ++k) {
        offset += BlockBytes(count, k);
    }
    return offset;
}

} // namespace menuicons
