// Reading a menu.dat image, free of any file or platform call.
#include "MenuData.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>

void ParseMenuData(const void* bytes, std::size_t size, MenuItemList& items) {
    items.clear();
    items.shrink_to_fit();
    const char* raw = static_cast<const char*>(bytes);

    // Zero-filled and larger than the header, so four digits always end in a NUL.
    char header[32] = {};
    if (size > 0) {
        std::memcpy(header, raw, std::min<std::size_t>(size, 4));
    }
    const int length = std::atoi(header);
    const std::size_t available = size > 4 ? size - 4 : 0;
    const std::size_t used = length > 0 ? std::min<std::size_t>(length, available) : 0;
    // The records are copied in one step, byte for byte.
    static_assert(alignof(MenuItem) == 1 && std::is_trivially_copyable_v<MenuItem>,
                  "a record may be copied from any byte of the file image");
    if (used >= sizeof(MenuItem)) {
        const MenuItem* records = reinterpret_cast<const MenuItem*>(raw + 4);
        items.assign(records, records + used / sizeof(MenuItem));
    }
}
