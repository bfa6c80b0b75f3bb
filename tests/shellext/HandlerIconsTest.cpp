// The classic submenu's icons from "menu.icons": made once per list and size, plain items for a
// file that is not whole or not made for the list, freed with the library. The size follows the
// prefix's DPI, which the DPI runs of other suites change: a suite of its own that holds the lock
// they hold.
#include "MenuData.h"
#include "MenuIcons.h"
#include "TestSupport.h"
#include "TorlinModule.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <atomic>
#include <iterator>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

// The library's clock, as the test sets it.
std::atomic<DWORD> s_clock{0};
DWORD WINAPI TestClock() {
    return s_clock;
}

} // namespace

TEST(HandlerIcons, EachEntryShowsItsIconMadeOnceFromAFileMadeForItsListAndFreedWithTheLibrary) {
    testing_support::TempDir dir;
    std::vector<HBITMAP> current;
    {
        TorlinModule dll(dir.Path());
        ASSERT_TRUE(dll.Loaded());
        // One menu of list through a new handler (kept in *handler when asked): its bitmaps.
        const auto menuBitmaps = [&dll](const MenuItemList& list,
                                        ComPtr<IContextMenu>* handler = nullptr) {
            dll.WriteMenu(list);
            ComPtr<IShellExtInit> init;
            ComPtr<IContextMenu> menu;
            EXPECT_EQ(dll.CreateHandler(IID_PPV_ARGS(&init)), S_OK);
            EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);
            EXPECT_EQ(init.As(&menu), S_OK);
            const win32::CMenu shellMenu(::CreatePopupMenu());
            EXPECT_EQ(menu->QueryContextMenu(shellMenu.Get(), 0, 1, 0x7fff, CMF_NORMAL),
                      static_cast<HRESULT>(list.size()));
            std::vector<HBITMAP> bitmaps;
            for (UINT i = 0; i < list.size(); ++i) {
                bitmaps.push_back(
                    testing_support::MenuItemBitmap(::GetSubMenu(shellMenu.Get(), 0), i));
            }
            if (handler != nullptr) {
                *handler = menu;
            }
            return bitmaps;
        };
        const std::vector<HBITMAP> plain(menudata::kMaxRecords, nullptr);
        const MenuItemList items = testing_support::SampleItems(menudata::kMaxRecords);

        // A missing file is looked for again after a second, not at every menu: the library's
        // clock is the test's.
        const testing_support::CImportPatch clock(::GetModuleHandleA(dll.Path().c_str()),
                                                  "kernel32.dll", "GetTickCount",
                                                  reinterpret_cast<void*>(&TestClock));
        ASSERT_TRUE(clock.Patched());
        s_clock = 5000;
        EXPECT_EQ(menuBitmaps(items), plain);
        dll.WriteIcons(items);
        s_clock += 999;
        EXPECT_EQ(menuBitmaps(items), plain);
        s_clock += 1;
        ComPtr<IContextMenu> first;
        const std::vector<HBITMAP> shown = menuBitmaps(items, &first);
        const int k = testing_support::IconSizeOfThisRun();
        const LONG side = static_cast<LONG>(menuicons::kSizes[k]);
        for (std::size_t i = 0; i < shown.size(); ++i) {
            DIBSECTION dib = {};
            ASSERT_EQ(::GetObjectA(shown[i], sizeof dib, &dib), static_cast<int>(sizeof dib)) << i;
            EXPECT_EQ(dib.dsBm.bmBitsPixel, 32) << i;
            EXPECT_EQ(dib.dsBm.bmWidth, side) << i;
            EXPECT_EQ(dib.dsBm.bmHeight, side) << i;
            const auto* pixels = static_cast<const std::uint32_t*>(dib.dsBm.bmBits);
            EXPECT_EQ(pixels[0], testing_support::SampleIconPixel(i, k)) << i;
            EXPECT_EQ(pixels[side * side - 1], testing_support::SampleIconPixel(i, k)) << i;
        }
        EXPECT_EQ(menuBitmaps(items), shown) << "made once, shown by every menu of the list";

        // Damaged, cut, newer or made for another list: plain items. Each for a list of its own,
        // so the file is read.
        const std::string stale = testing_support::ReadFileBytes(dll.MenuIconsPath());
        const char* faults[] = {"empty", "header only", "cut", "long", "magic", "version", "stale"};
        for (std::size_t f = 0; f < std::size(faults); ++f) {
            SCOPED_TRACE(faults[f]);
            MenuItemList list = items;
            AssignField(list[0].FilePath, "C:\\Files\\" + std::string(faults[f]) + ".txt");
            std::string image = FormatMenuIcons(list, testing_support::SampleIcons(list.size()));
            switch (f) {
            case 0:
                image.clear();
                break;
            case 1:
                image.resize(menuicons::kHeaderSize);
                break;
            case 2:
                image.pop_back();
                break;
            case 3:
                image.push_back('\0');
                break;
            case 4:
                image[0] ^= 1;
                break;
            case 5:
                image[8] = 2;
                break;
            default:
                image = stale;
                break;
            }
            ASSERT_TRUE(testing_support::WriteFileBytes(dll.MenuIconsPath(), image));
            EXPECT_EQ(menuBitmaps(list), plain);
        }

        // Another list replaces the cached one; its bitmaps stay while a menu that shows them
        // lives, and go with it.
        MenuItemList other = items;
        AssignField(other[0].FilePath, "C:\\Files\\other.txt");
        dll.WriteIcons(other);
        current = menuBitmaps(other);
        EXPECT_NE(current, plain);
        EXPECT_EQ(::GetObjectType(shown[0]), static_cast<DWORD>(OBJ_BITMAP));
        first.Reset();
        for (HBITMAP bitmap : shown) {
            EXPECT_EQ(::GetObjectType(bitmap), 0u);
        }
        EXPECT_EQ(dll.CanUnloadNow(), S_OK);
    }
    // Unloading the library frees the bitmaps it still kept.
    for (HBITMAP bitmap : current) {
        EXPECT_EQ(::GetObjectType(bitmap), 0u);
    }
}
