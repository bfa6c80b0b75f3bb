// menu.dat images: the records parsed are exactly the complete ones that the header covers and
// the image holds, byte for byte, and their formatted image parses back to the same records.
#include "MenuData.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool SameRecords(const MenuItemList& items, const void* bytes) {
    return items.empty() || std::memcmp(items.data(), bytes, items.size() * sizeof(MenuItem)) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MenuItemList items;
    ParseMenuData(data, size, items);

    // The header is the number its four bytes spell as C reads one: spaces, a sign, digits.
    char header[5] = {};
    if (size > 0) {
        std::memcpy(header, data, std::min<std::size_t>(size, 4));
    }
    const long length = std::strtol(header, nullptr, 10);
    const std::size_t body = size > 4 ? size - 4 : 0;
    const std::size_t covered = length > 0 ? std::min<std::size_t>(length, body) : 0;
    if (items.size() != covered / sizeof(MenuItem) || !SameRecords(items, data + 4)) {
        std::abort();
    }

    const std::string image = FormatMenuData(items);
    MenuItemList again;
    ParseMenuData(image.data(), image.size(), again);
    if (image.size() != 4 + items.size() * sizeof(MenuItem) || again.size() != items.size() ||
        !SameRecords(again, image.data() + 4) || !SameRecords(items, image.data() + 4)) {
        std::abort();
    }
    return 0;
}
