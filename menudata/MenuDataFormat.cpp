// Making a menu.dat image, free of any file or platform call.
#include "MenuData.h"

#include <algorithm>
#include <charconv>

MenuItem MakeMenuItem(std::string_view title, std::string_view path) {
    MenuItem item{};
    AssignField(item.MenuTitle, title);
    AssignField(item.FilePath, path);
    return item;
}

std::string FormatMenuData(const MenuItemList& items) {
    const std::size_t count =
        std::min(items.size(), static_cast<std::size_t>(menudata::kMaxRecords));
    // "%d" of the length in a zero-filled buffer; only its first 4 bytes go to the file.
    char header[32] = {};
    std::to_chars(header, header + sizeof header - 1, static_cast<int>(count * sizeof(MenuItem)));
    std::string image(header, 4);
    image.append(reinterpret_cast<const char*>(items.data()), count * sizeof(MenuItem));
    return image;
}
