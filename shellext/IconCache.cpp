#include "IconCache.h"
#include "MenuData.h"
#include "MenuIcons.h"
#include "Module.h"
#include "Owners.h"

#include <windowsx.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

struct CIconSet {
    LONG refs;
    std::uint64_t key;
    std::uint32_t count;
    HBITMAP bitmaps[menudata::kMaxRecords];
};

namespace {

using DpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using MetricForDpiFn = int(WINAPI*)(int, UINT);

// Everything below is guarded by this: several of Explorer's threads build menus at once.
CRITICAL_SECTION s_csIcons;
// The current set of each size; and for each size the list whose file was last found missing,
// stale or damaged, and when.
CIconSet* s_sets[menuicons::kSizeCount];
struct Miss {
    std::uint64_t key;
    DWORD tick;
    bool recent;
};
Miss s_misses[menuicons::kSizeCount];
// The menu's DPI as last found, and when; the system's calls for it, looked up once.
UINT s_nDpi;
DWORD s_dpiTick;
bool s_bLookedUp;
DpiForMonitorFn s_dpiForMonitor;
MetricForDpiFn s_metricForDpi;

// How long a finding stands: a file missing a moment ago is not asked for again on every menu,
// and never for good.
constexpr DWORD kRecheckMs = 1000;

void FreeSet(CIconSet* set) {
    for (HBITMAP bitmap : set->bitmaps) {
        if (bitmap != nullptr) {
            ::DeleteObject(bitmap);
        }
    }
    delete set;
}

// The DPI the menu is drawn at: its monitor's, the one under the point of the message that
// opened it, as this thread sees it (an unaware host's menus are drawn at 96 and stretched).
// Looked up at most once a second: finding the monitor can cost a round trip to the window
// server, and a second is shorter than a move to another screen and a right-click there.
UINT MenuDpi(DWORD now) {
    if (s_nDpi != 0 && now - s_dpiTick < kRecheckMs) {
        return s_nDpi;
    }
    if (!s_bLookedUp) {
        s_bLookedUp = true;
        // Only from the system folder. Every shell process keeps it loaded, so it is not let go.
        if (HMODULE shcore =
                ::LoadLibraryExA("shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
            s_dpiForMonitor = reinterpret_cast<DpiForMonitorFn>(
                reinterpret_cast<void*>(::GetProcAddress(shcore, "GetDpiForMonitor")));
        }
        s_metricForDpi = reinterpret_cast<MetricForDpiFn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetSystemMetricsForDpi")));
    }
    const DWORD pos = ::GetMessagePos();
    const POINT point = {GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    UINT dpiX = 0, dpi = 0;
    if (s_dpiForMonitor == nullptr ||
        FAILED(
            s_dpiForMonitor(::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), 0, &dpiX, &dpi))) {
        // Before Windows 8.1 there is one DPI for all monitors.
        HDC screen = ::GetDC(nullptr);
        dpi = static_cast<UINT>(::GetDeviceCaps(screen, LOGPIXELSY));
        ::ReleaseDC(nullptr, screen);
    }
    s_nDpi = dpi != 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
    s_dpiTick = now;
    return s_nDpi;
}

// The small icon's size at dpi.
UINT SmallIconPixels(UINT dpi) {
    if (s_metricForDpi != nullptr) {
        return static_cast<UINT>(s_metricForDpi(SM_CXSMICON, dpi));
    }
    return static_cast<UINT>(::MulDiv(16, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI));
}

// A DIB section per entry, filled from the block of sizeIndex of "menu.icons" when the file
// is whole and made for this list; null otherwise.
CIconSet* LoadSet(std::uint64_t key, std::uint32_t count, int sizeIndex) {
    char path[256];
    if (!ModuleFilePath(menuicons::kFileName, path)) {
        return nullptr;
    }
    // Shared for writing and deleting too: the editor replaces the file while menus are built.
    const win32::CHandle file(
        ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    menuicons::Block block = {};
    if (!file.Valid() || !LocateMenuIconsInFile(file.Get(), key, count, sizeIndex, block)) {
        return nullptr;
    }
    // The block in one read, from where the header said: a read at an offset given with the
    // read itself costs a round trip to the server under Wine.
    DWORD got = 0;
    LARGE_INTEGER at = {};
    at.QuadPart = static_cast<LONGLONG>(block.Offset);
    const std::unique_ptr<unsigned char[]> pixels(new (std::nothrow) unsigned char[block.Bytes]);
    if (!pixels || !::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) ||
        !::ReadFile(file.Get(), pixels.get(), static_cast<DWORD>(block.Bytes), &got, nullptr) ||
        got != block.Bytes) {
        return nullptr;
    }
    CIconSet* set = new (std::nothrow) CIconSet{};
    if (set == nullptr) {
        return nullptr;
    }
    set->refs = 1; // the cache's
    set->key = key;
    set->count = count;
    const LONG side = static_cast<LONG>(menuicons::kSizes[sizeIndex]);
    const DWORD bytes = static_cast<DWORD>(side * side * 4);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side; // top row first, as stored
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    for (std::uint32_t i = 0; i < count; ++i) {
        void* bits = nullptr;
        set->bitmaps[i] = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (set->bitmaps[i] == nullptr) {
            FreeSet(set);
            return nullptr;
        }
        std::memcpy(bits, pixels.get() + std::size_t{i} * bytes, bytes);
    }
    return set;
}

} // namespace

CIconSet* AcquireMenuIcons(const MenuItemList& items) {
    if (items.empty() || items.size() > static_cast<std::size_t>(menudata::kMaxRecords)) {
        return nullptr;
    }
    const std::uint32_t count = static_cast<std::uint32_t>(items.size());
    const std::uint64_t key = MenuIconsKey(items.data(), count);
    ::EnterCriticalSection(&s_csIcons);
    const DWORD now = ::GetTickCount();
    const int k = MenuIconSizeIndex(SmallIconPixels(MenuDpi(now)));
    CIconSet*& current = s_sets[k];
    CIconSet* set = current;
    if (set == nullptr || set->key != key || set->count != count) {
        Miss& miss = s_misses[k];
        set = nullptr;
        if (!miss.recent || miss.key != key || now - miss.tick >= kRecheckMs) {
            set = LoadSet(key, count, k);
            if (set != nullptr) {
                ReleaseMenuIcons(current); // menus that show the old set hold it still
                current = set;
            } else {
                miss = {key, now, true};
            }
        }
    }
    if (set != nullptr) {
        ::InterlockedIncrement(&set->refs);
    }
    ::LeaveCriticalSection(&s_csIcons);
    return set;
}

HBITMAP MenuIconBitmap(const CIconSet* set, std::size_t i) {
    return set->bitmaps[i];
}

void ReleaseMenuIcons(CIconSet* set) {
    if (set != nullptr && ::InterlockedDecrement(&set->refs) == 0) {
        FreeSet(set);
    }
}

void IconCacheAttach() {
    ::InitializeCriticalSection(&s_csIcons);
}

void IconCacheDetach(bool processEnding) {
    if (!processEnding) {
        for (CIconSet*& set : s_sets) {
            ReleaseMenuIcons(set);
            set = nullptr;
        }
    }
    ::DeleteCriticalSection(&s_csIcons);
}
