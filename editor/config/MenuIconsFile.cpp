#include "MenuIconsFile.h"
#include "MenuData.h"
#include "Owners.h"
#include "SafeFile.h"

#include <algorithm>

bool MenuIconsMatch(const std::string& path, const MenuItemList& items) {
    const win32::CHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::size_t count =
        std::min(items.size(), static_cast<std::size_t>(menudata::kMaxRecords));
    menuicons::Block block = {};
    return file.Valid() && LocateMenuIconsInFile(file.Get(), MenuIconsKey(items.data(), count),
                                                 static_cast<std::uint32_t>(count), 0, block);
}

HRESULT WriteMenuIcons(const std::string& path, const MenuItemList& items,
                       const std::vector<MenuIconSet>& icons) {
    const std::string image = FormatMenuIcons(items, icons);
    if (image.empty()) {
        return E_INVALIDARG;
    }
    return ReplaceFileSafely(path, image, [&image](const std::string& written) {
        std::string back;
        return ReadWholeFile(written, image.size(), back) && back == image;
    });
}
