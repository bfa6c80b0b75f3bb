// The cost of one context menu through Torlin.dll against the same work done by hand, with 1,
// 10 and 26 entries; with the entries' icons, warm and cold; then the whole road Explorer takes,
// class creation through the registry included. torlin_bench.exe (the DLL is taken from the
// build's bin folder)
#include "MenuData.h"
#include "MenuIcons.h"
#include "Owners.h"
#include "TestSupport.h"
#include "TorlinModule.h"

#include "BenchSupport.h"

#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using Microsoft::WRL::ComPtr;

namespace {

constexpr UINT kFirstId = 100;
constexpr int kRounds = 400;
constexpr int kMenusPerRound = 10;
constexpr int kColdRounds = 41;

// The floor: what any handler must do for one menu, done by hand. The same read as the handler's
// (the header and all that four digits can describe, in one call), the submenu with one item per
// record, put into the shell's menu, which destroys it with itself.
void FloorMenu(const std::string& dataPath) {
    const win32::CMenu shellMenu(::CreatePopupMenu());
    static char raw[4 + 9999];
    DWORD got = 0;
    {
        const win32::CHandle file(::CreateFileA(dataPath.c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ::ReadFile(file.Get(), raw, sizeof raw, &got, nullptr);
    }
    char header[5] = {};
    std::memcpy(header, raw, 4);
    const int records = std::atoi(header) / static_cast<int>(sizeof(MenuItem));
    HMENU popup = ::CreatePopupMenu();
    for (int i = 0; i < records; ++i) {
        ::InsertMenuA(popup, i, MF_BYPOSITION | MF_STRING, kFirstId + i,
                      raw + 4 + i * sizeof(MenuItem));
    }
    ::InsertMenuA(shellMenu.Get(), 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(popup),
                  "&Qarvo Context Menu");
}

// One menu through a handler that create() makes, as the shell asks for it: Initialize, then
// QueryContextMenu into the shell's menu. Its result: the number of items, or a failure; and
// whether its last item shows an icon.
struct CMenuResult {
    HRESULT hr;
    bool icons;
};
template <class Create> CMenuResult HandlerMenuShown(Create&& create) {
    const win32::CMenu shellMenu(::CreatePopupMenu());
    ComPtr<IShellExtInit> init;
    ComPtr<IContextMenu> menu;
    HRESULT hr = create(init);
    if (SUCCEEDED(hr)) {
        hr = init->Initialize(nullptr, nullptr, nullptr);
    }
    if (SUCCEEDED(hr)) {
        hr = init.As(&menu);
    }
    if (SUCCEEDED(hr)) {
        hr = menu->QueryContextMenu(shellMenu.Get(), 0, kFirstId, 0x7fff, CMF_NORMAL);
    }
    const HMENU sub = ::GetSubMenu(shellMenu.Get(), 0);
    return {hr, sub != nullptr &&
                    testing_support::MenuItemBitmap(sub, ::GetMenuItemCount(sub) - 1) != nullptr};
}
template <class Create> HRESULT HandlerMenu(Create&& create) {
    return HandlerMenuShown(create).hr;
}
bool IconsShown(const CMenuResult& result) {
    return SUCCEEDED(result.hr) && result.icons;
}

// Microseconds per menu over one round's menus.
template <class Menu> double TimePerMenu(Menu&& menu) {
    const double start = NowMicroseconds();
    for (int i = 0; i < kMenusPerRound; ++i) {
        menu();
    }
    return (NowMicroseconds() - start) / kMenusPerRound;
}

// Registered for the COM road while it lives, as the installer registers it.
class CRegistration {
public:
    explicit CRegistration(const TorlinModule& dll) : m_dll(dll), m_result(dll.Register()) {}
    ~CRegistration() { m_dll.Unregister(); }
    CRegistration(const CRegistration&) = delete;
    CRegistration& operator=(const CRegistration&) = delete;

    HRESULT Result() const { return m_result; }

private:
    const TorlinModule& m_dll;
    HRESULT m_result;
};

// Times the handler made by create() against the floor at 1, 10 and 26 entries; false when the
// handler did not build the menu it should.
template <class Create> bool CompareWithFloor(const std::string& dataPath, Create&& create) {
    for (int records : {1, 10, menudata::kMaxRecords}) {
        WriteMenuData(dataPath.c_str(), testing_support::SampleItems(records));
        const HRESULT hr = HandlerMenu(create);
        if (hr != MAKE_HRESULT(SEVERITY_SUCCESS, 0, records)) {
            std::fprintf(stderr, "the handler answered 0x%08lX for %d entries\n",
                         static_cast<unsigned long>(hr), records);
            return false;
        }
        auto handler = [&] { return TimePerMenu([&] { HandlerMenu(create); }); };
        auto floor = [&] { return TimePerMenu([&] { FloorMenu(dataPath); }); };
        CComparison::Run(kRounds / 10, handler, floor); // warms the caches and the heap
        CComparison::Run(kRounds, handler, floor).Print(std::to_string(records).c_str());
    }
    return true;
}

// The first menu after the library is loaded, with 26 entries and their icons (the bitmaps are
// made then), against the floor timed in the same round: each round loads a fresh copy of the
// library beside a copy of dir's files. False when a menu came without its icons.
bool CompareColdWithFloor(const std::string& dir) {
    CComparison cold;
    for (int round = 0; round < kColdRounds; ++round) {
        const testing_support::TempDir copy;
        for (const char* file : {"menu.dat", menuicons::kFileName}) {
            ::CopyFileA((dir + "\\" + file).c_str(), copy.File(file).c_str(), FALSE);
        }
        const TorlinModule dll(copy.Path());
        ComPtr<IClassFactory> factory;
        bool shown = false;
        const double start = NowMicroseconds();
        if (SUCCEEDED(dll.GetClassObject(kClsidQarvo, IID_PPV_ARGS(&factory)))) {
            shown = IconsShown(HandlerMenuShown([&](ComPtr<IShellExtInit>& init) {
                return factory->CreateInstance(nullptr, IID_PPV_ARGS(&init));
            }));
        }
        const double first = NowMicroseconds() - start;
        if (!shown) {
            std::fprintf(stderr, "the first menu after the library loaded had no icons\n");
            return false;
        }
        const std::string dataPath = copy.File("menu.dat");
        const double floor = TimePerMenu([&] { FloorMenu(dataPath); });
        cold.subject.push_back(first);
        cold.floor.push_back(floor);
        cold.ratio.push_back(first / floor);
    }
    cold.Print("26 cold");
    return true;
}

} // namespace

int main() {
    const testing_support::TempDir dir;
    const win32::CComScope com;
    const TorlinModule dll(dir.Path()); // a copy of the built library
    const std::string dataPath = dll.MenuDataPath();
    ComPtr<IClassFactory> factory;
    if (!dll.Loaded() || FAILED(dll.GetClassObject(kClsidQarvo, IID_PPV_ARGS(&factory)))) {
        std::fprintf(stderr, "cannot load Torlin.dll from %s\n",
                     testing_support::BinFolder().c_str());
        return 1;
    }

    std::printf("Handler against its floor, microseconds per menu (medians of %d rounds of %d "
                "menus; target: ratio at most 1.05)\n",
                kRounds, kMenusPerRound);
    PrintComparisonHead("entries", "handler", "floor");
    if (!CompareWithFloor(dataPath, [&](ComPtr<IShellExtInit>& init) {
            return factory->CreateInstance(nullptr, IID_PPV_ARGS(&init));
        })) {
        return 1;
    }

    std::printf("\nWith the entries' icons (menu.icons beside menu.dat) against the floor, which "
                "builds the same submenu without icons; warm: the bitmaps made by an earlier menu "
                "(target: ratio at most 1.10); cold: the first menu after the library loads, "
                "one per load, medians of %d loads (target: ratio at most 10)\n",
                kColdRounds);
    PrintComparisonHead("entries", "handler", "floor");
    const MenuItemList full = testing_support::SampleItems(menudata::kMaxRecords);
    WriteMenuData(dataPath.c_str(), full);
    testing_support::WriteFileBytes(
        dll.MenuIconsPath(), FormatMenuIcons(full, testing_support::SampleIcons(full.size())));
    ::Sleep(1100); // the file was missing a moment ago: looked for again after a second
    const auto fromFactory = [&](ComPtr<IShellExtInit>& init) {
        return factory->CreateInstance(nullptr, IID_PPV_ARGS(&init));
    };
    if (!IconsShown(HandlerMenuShown(fromFactory))) {
        std::fprintf(stderr, "the menu with icons came without them\n");
        return 1;
    }
    const auto warm = [&] { return TimePerMenu([&] { HandlerMenu(fromFactory); }); };
    const auto floor = [&] { return TimePerMenu([&] { FloorMenu(dataPath); }); };
    CComparison::Run(kRounds / 10, warm, floor);
    CComparison::Run(kRounds, warm, floor).Print("26 warm");
    if (!CompareColdWithFloor(dir.Path())) {
        return 1;
    }

    std::printf("\nExplorer's whole road: CoCreateInstance through the registry, then the same "
                "calls (COM's part is not the handler's to shorten)\n");
    const CRegistration registration(dll);
    if (FAILED(registration.Result())) {
        std::fprintf(stderr, "cannot register %s: 0x%08lX\n", dll.Path().c_str(),
                     static_cast<unsigned long>(registration.Result()));
        return 1;
    }
    PrintComparisonHead("entries", "COM road", "floor");
    return CompareWithFloor(dataPath,
                            [](ComPtr<IShellExtInit>& init) {
                                return ::CoCreateInstance(kClsidQarvo, nullptr,
                                                          CLSCTX_INPROC_SERVER,
                                                          IID_PPV_ARGS(&init));
                            })
               ? 0
               : 1;
}
