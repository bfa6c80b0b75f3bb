// The menu.icons format on its own, free of any file or platform call.
#include "MenuIcons.h"
#include "MenuData.h"

#include <algorithm>
#include <cstring>

namespace {

using menuicons::kHeaderSize;
using menuicons::kSizeCount;
using menuicons::kSizes;

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

void Put(std::string& image, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        image[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

std::uint64_t Get(const unsigned char* header, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | header[at + i];
    }
    return value;
}

// Where the block of sizeIndex starts, and the whole file's size, for count entries.
std::uint64_t BlockOffset(std::uint32_t count, int sizeIndex) {
    std::uint64_t offset = kHeaderSize;
    for (int k = 0; k < sizeIndex; ++k) {
        offset += menuicons::BlockBytes(count, k);
    }
    return offset;
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

std::string FormatMenuIcons(const MenuItemList& items, const std::vector<MenuIconSet>& icons) {
    const std::uint32_t count = static_cast<std::uint32_t>(
        std::min(items.size(), static_cast<std::size_t>(menudata::kMaxRecords)));
    if (icons.size() < count) {
        return {};
    }
    const std::uint64_t fileSize = BlockOffset(count, kSizeCount);
    std::string image(kHeaderSize, '\0');
    image.reserve(fileSize);
    std::memcpy(image.data(), kMagic, sizeof kMagic);
    Put(image, kAtVersion, menuicons::kVersion, 4);
    Put(image, kAtHeaderSize, kHeaderSize, 4);
    Put(image, kAtCount, count, 4);
    Put(image, kAtSizeCount, kSizeCount, 4);
    for (int k = 0; k < kSizeCount; ++k) {
        Put(image, kAtSizes + 4 * k, kSizes[k], 4);
    }
    Put(image, kAtKey, MenuIconsKey(items.data(), count), 8);
    Put(image, kAtFileSize, fileSize, 8);

    for (int k = 0; k < kSizeCount; ++k) {
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::vector<std::uint32_t>& pixels = icons[i].Pixels[k];
            if (pixels.size() != std::size_t{kSizes[k]} * kSizes[k]) {
                return {};
            }
            for (const std::uint32_t pixel : pixels) {
                const std::size_t at = image.size();
                image.resize(at + 4);
                Put(image, at, pixel, 4);
            }
        }
    }
    return image;
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
