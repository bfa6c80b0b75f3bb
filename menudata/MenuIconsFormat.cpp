// Making a menu.icons image, free of any file or platform call.
#include "MenuData.h"
#include "MenuIconsLayout.h"

#include <algorithm>
#include <cstring>

using namespace menuicons;

namespace {

void Put(std::string& image, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        image[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

} // namespace

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
