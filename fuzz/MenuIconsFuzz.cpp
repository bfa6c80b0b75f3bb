// menu.icons images: a header is accepted only for the list it names and only when the block
// asked for lies whole inside the file; and the image made for a list gives back, size by size,
// exactly the pixels it was made of.
#include "MenuData.h"
#include "MenuIcons.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::uint64_t Read(const std::uint8_t* at, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | at[i];
    }
    return value;
}

// The input taken as a whole file, checked against the list its own header names, so the
// checks after the key's are reached too.
void CheckAsFile(const std::uint8_t* data, std::size_t size) {
    if (size < menuicons::kHeaderSize) {
        menuicons::Block block{};
        if (LocateMenuIcons(data, size, size, 0, 0, 0, block)) {
            std::abort();
        }
        return;
    }
    const std::uint64_t key = Read(data + 40, 8);
    const std::uint32_t count = static_cast<std::uint32_t>(Read(data + 16, 4));
    for (int k = -1; k <= menuicons::kSizeCount; ++k) {
        menuicons::Block block{};
        if (!LocateMenuIcons(data, size, size, key, count, k, block)) {
            continue;
        }
        if (k < 0 || k >= menuicons::kSizeCount || block.Offset < menuicons::kHeaderSize ||
            block.Offset + block.Bytes > size || block.Bytes != menuicons::BlockBytes(count, k)) {
            std::abort();
        }
        // Any other list is refused.
        if (LocateMenuIcons(data, size, size, key + 1, count, k, block) ||
            LocateMenuIcons(data, size, size, key, count + 1, k, block)) {
            std::abort();
        }
    }
}

// The input taken as a menu.dat image: its list's icon file, made from pixels numbered by
// entry, size and place, is found again and holds them all in place.
void CheckRoundTrip(const std::uint8_t* data, std::size_t size) {
    MenuItemList items;
    ParseMenuData(data, size, items);
    if (items.size() > menudata::kMaxRecords) {
        items.resize(menudata::kMaxRecords);
    }
    std::vector<MenuIconSet> icons(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        for (int k = 0; k < menuicons::kSizeCount; ++k) {
            const std::uint32_t side = menuicons::kSizes[k];
            for (std::uint32_t p = 0; p < side * side; ++p) {
                icons[i].Pixels[k].push_back(static_cast<std::uint32_t>(i << 24 | k << 16 | p));
            }
        }
    }
    const std::string image = FormatMenuIcons(items, icons);
    const std::uint32_t count = static_cast<std::uint32_t>(items.size());
    const std::uint64_t key = MenuIconsKey(items.data(), items.size());
    for (int k = 0; k < menuicons::kSizeCount; ++k) {
        menuicons::Block block{};
        if (!LocateMenuIcons(image.data(), image.size(), image.size(), key, count, k, block) ||
            block.Offset + block.Bytes > image.size()) {
            std::abort();
        }
        const std::uint32_t side = menuicons::kSizes[k];
        const auto* pixels = reinterpret_cast<const std::uint8_t*>(image.data()) + block.Offset;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t last = side * side - 1;
            if (Read(pixels + 4 * (i * side * side + last), 4) != (i << 24 | k << 16 | last)) {
                std::abort();
            }
        }
        // A file cut by one byte, or one byte too long, is no file.
        if (LocateMenuIcons(image.data(), image.size(), image.size() - 1, key, count, k, block) ||
            LocateMenuIcons(image.data(), image.size(), image.size() + 1, key, count, k, block)) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckAsFile(data, size);
    CheckRoundTrip(data, size);
    return 0;
}
