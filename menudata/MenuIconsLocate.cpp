// Reading a menu.icons header, free of any file or platform call: what the extension needs.
#include "MenuData.h"
#include "MenuIconsLayout.h"

#include <algorithm>
#include <cstring>

using namespace menuicons;

namespace {

std::uint64_t Get(const unsigned char* header, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | header[at + i];
    }
    return value;
}

} // namespace

std::uint64_t MenuIconsKey(const MenuItem* items, std::size_t count) {
    count = std::min(count, static_cast<std::size_t>(menudata::kMaxRecords));
    // FNV-1a over the count, then each path and a NUL after it.
    std::uint64_t key = 14695981039346656037ull;
    const auto mix = [&key](unsigned char byte) { key = (key ^ byte) * 1099511628211ull; };
    mix(static_cast<unsigned char>(count));
    for (std::size_t i = 0; i < count; ++i) {
        for (const char c : FieldText(items[i].FilePath)) {
            mix(static_cast<unsigned char>(c));
        }
        mix(0);
    }
    return key;
}

int MenuIconSizeIndex(std::uint32_t pixels) {
    int index = 0;
    while (index + 1 < kSizeCount && kSizes[index + 1] <= pixels) {
        ++index;
    }
    return index;
}

bool LocateMenuIcons(const void* header, std::size_t headerSize, std::uint64_t fileSize,
                     std::uint64_t key, std::uint32_t count, int sizeIndex,
                     menuicons::Block& block) {
    if (header == nullptr || headerSize < kHeaderSize || sizeIndex < 0 || sizeIndex >= kSizeCount ||
        count > menudata::kMaxRecords) {
        return false;
    }
    const auto* raw = static_cast<const unsigned char*>(header);
    if (std::memcmp(raw, kMagic, sizeof kMagic) != 0 ||
        Get(raw, kAtVersion, 4) != menuicons::kVersion ||
        Get(raw, kAtHeaderSize, 4) != kHeaderSize || Get(raw, kAtCount, 4) != count ||
        Get(raw, kAtSizeCount, 4) != kSizeCount || Get(raw, kAtKey, 8) != key) {
        return false;
    }
    for (int k = 0; k < kSizeCount; ++k) {
        if (Get(raw, kAtSizes + 4 * k, 4) != kSizes[k]) {
            return false;
        }
    }
    // The file must be exactly as long as its list needs: a cut or padded file is damaged.
    const std::uint64_t expected = BlockOffset(count, kSizeCount);
    if (Get(raw, kAtFileSize, 8) != expected || fileSize != expected) {
        return false;
    }
    block.Offset = BlockOffset(count, sizeIndex);
    block.Bytes = menuicons::BlockBytes(count, sizeIndex);
    return true;
}
