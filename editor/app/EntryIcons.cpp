#include "EntryIcons.h"
#include "AnsiText.h"
#include "MenuData.h"
#include "Owners.h"

#include <shlobj.h>
#include <shellapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <system_error>
#include <thread>

using Microsoft::WRL::ComPtr;

namespace {

std::atomic<HWND> s_notifyWindow{nullptr};
std::atomic<UINT> s_notifyMessage{0};

// A DIB section of side x side 32-bit pixels, top row first, as "menu.icons" lays them out.
win32::CBitmap PixelBitmap(int side, void*& bits) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return win32::CBitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
}

// The side of an icon's image, in pixels.
int IconSide(HICON icon) {
    ICONINFO info = {};
    if (!::GetIconInfo(icon, &info)) {
        return 0;
    }
    const win32::CBitmap color(info.hbmColor), mask(info.hbmMask);
    BITMAP bitmap = {};
    ::GetObjectA(color ? color.Get() : mask.Get(), sizeof bitmap, &bitmap);
    return bitmap.bmWidth;
}

// The icon of side pixels from an icon handler: its own, when it draws one of that size; else,
// when its location is a file, that file's image of that size (the handler's way of leaving the
// extraction to its caller); else whatever size it gave, drawn to fit.
win32::CIcon HandlerIcon(IExtractIconW* extract, const WCHAR* location, int index, UINT flags,
                         int side) {
    win32::CIcon large, small;
    const HRESULT hr =
        extract->Extract(location, index, large.Receive(), small.Receive(), MAKELONG(side, side));
    if (hr == S_OK && large && IconSide(large.Get()) == side) {
        return large;
    }
    win32::CIcon fromFile;
    if (!(flags & GIL_NOTFILENAME) &&
        ::SHDefExtractIconW(location, index, 0, fromFile.Receive(), nullptr,
                            static_cast<UINT>(side)) == S_OK &&
        fromFile) {
        return fromFile;
    }
    return hr == S_OK ? std::move(large) : win32::CIcon();
}

MenuIconSet MakeGenericIcons() {
    SHSTOCKICONINFO stock = {};
    stock.cbSize = sizeof stock;
    const bool located =
        SUCCEEDED(::SHGetStockIconInfo(SIID_DOCNOASSOC, SHGSI_ICONLOCATION, &stock));
    MenuIconSet icons;
    for (int k = 0; k < menuicons::kSizeCount; ++k) {
        const int side = static_cast<int>(menuicons::kSizes[k]);
        win32::CIcon icon;
        if (located) {
            ::SHDefExtractIconW(stock.szPath, stock.iIcon, 0, icon.Receive(), nullptr,
                                static_cast<UINT>(side));
        }
        // The system's application icon (shared, never destroyed) should the stock one be missing.
        icons.Pixels[k] =
            IconPixels(icon ? icon.Get() : ::LoadIconA(nullptr, IDI_APPLICATION), side);
        icons.Pixels[k].resize(static_cast<std::size_t>(side * side)); // whole, however it went
    }
    return icons;
}

} // namespace

// The icon is drawn over black and over white: whatever its image holds (alpha or a
// mask, of any size), the colour over black is the premultiplied colour, and how much white
// still shows through is what it leaves uncovered.
std::vector<std::uint32_t> IconPixels(HICON icon, int side) {
    void* bits = nullptr;
    const win32::CBitmap canvas = PixelBitmap(side, bits);
    const win32::CMemoryDC dc(::CreateCompatibleDC(nullptr));
    if (!canvas || !dc || icon == nullptr) {
        return {};
    }
    const std::size_t count = static_cast<std::size_t>(side) * static_cast<std::size_t>(side);
    auto* drawn = static_cast<std::uint32_t*>(bits);
    std::vector<std::uint32_t> overBlack(count);
    const HGDIOBJ old = ::SelectObject(dc.Get(), canvas.Get());
    for (const std::uint32_t background : {0x00000000u, 0x00FFFFFFu}) {
        std::fill(drawn, drawn + count, background);
        ::DrawIconEx(dc.Get(), 0, 0, icon, side, side, 0, nullptr, DI_NORMAL);
        ::GdiFlush();
        if (background == 0) {
            std::copy(drawn, drawn + count, overBlack.begin());
        }
    }
    ::SelectObject(dc.Get(), old);
    std::vector<std::uint32_t> pixels(count);
    for (std::size_t i = 0; i < count; ++i) {
        int alpha = 255;
        for (const int shift : {0, 8, 16}) {
            const int black = static_cast<int>((overBlack[i] >> shift) & 0xFF);
            const int white = static_cast<int>((drawn[i] >> shift) & 0xFF);
            alpha = std::min(alpha, std::max(0, 255 - (white - black)));
        }
        std::uint32_t pixel = static_cast<std::uint32_t>(alpha) << 24;
        for (const int shift : {0, 8, 16}) {
            const std::uint32_t black = (overBlack[i] >> shift) & 0xFF;
            pixel |= std::min(black, static_cast<std::uint32_t>(alpha)) << shift;
        }
        pixels[i] = pixel;
    }
    return pixels;
}

win32::CIcon IconFromPixels(const std::vector<std::uint32_t>& pixels, int side) {
    if (side <= 0 || pixels.size() != static_cast<std::size_t>(side) * side) {
        return {};
    }
    void* bits = nullptr;
    const win32::CBitmap color = PixelBitmap(side, bits);
    if (!color) {
        return {};
    }
    // An icon's colours are not premultiplied: its alpha is applied as it is drawn. The mask's
    // rows are whole 16-bit words; a set bit is a pixel the icon leaves uncovered.
    auto* straight = static_cast<std::uint32_t*>(bits);
    const int stride = (side + 15) / 16 * 2;
    std::vector<BYTE> maskBits(static_cast<std::size_t>(stride) * side);
    for (int y = 0, i = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x, ++i) {
            const std::uint32_t pixel = pixels[i], alpha = pixel >> 24;
            std::uint32_t out = alpha << 24;
            for (const int shift : {0, 8, 16}) {
                const std::uint32_t value = (pixel >> shift) & 0xFF;
                out |= (alpha == 0 ? 0 : std::min(255u, (value * 255 + alpha / 2) / alpha))
                       << shift;
            }
            straight[i] = out;
            if (alpha == 0) {
                maskBits[static_cast<std::size_t>(y * stride + x / 8)] |=
                    static_cast<BYTE>(0x80 >> (x % 8));
            }
        }
    }
    const win32::CBitmap mask(::CreateBitmap(side, side, 1, 1, maskBits.data()));
    ICONINFO icon = {TRUE, 0, 0, mask.Get(), color.Get()};
    return win32::CIcon(mask ? ::CreateIconIndirect(&icon) : nullptr);
}

const MenuIconSet& GenericIcons() {
    // Never destroyed: a thread still extracting when the process ends may be copying it.
    static const MenuIconSet* const s_generic = new MenuIconSet(MakeGenericIcons());
    return *s_generic;
}

MenuIconSet ExtractEntryIcons(const std::string& path) {
    // The shell's icon handler for the item, as Explorer asks it.
    ComPtr<IExtractIconW> extract;
    WCHAR location[MAX_PATH] = {};
    int index = 0;
    UINT flags = 0;
    win32::CCoTaskMem item;
    bool located = false;
    if (SUCCEEDED(::SHParseDisplayName(win32::ToWide(path).c_str(), nullptr,
                                       reinterpret_cast<PIDLIST_ABSOLUTE*>(item.Receive()), 0,
                                       nullptr))) {
        ComPtr<IShellFolder> parent;
        PCUITEMID_CHILD child = nullptr;
        located =
            SUCCEEDED(::SHBindToParent(static_cast<PCIDLIST_ABSOLUTE>(item.Get()),
                                       IID_PPV_ARGS(&parent), &child)) &&
            SUCCEEDED(parent->GetUIObjectOf(nullptr, 1, &child, IID_IExtractIconW, nullptr,
                                            reinterpret_cast<void**>(extract.GetAddressOf()))) &&
            extract->GetIconLocation(0, location, MAX_PATH, &index, &flags) == S_OK;
    }
    MenuIconSet icons;
    for (int k = 0; k < menuicons::kSizeCount; ++k) {
        const int side = static_cast<int>(menuicons::kSizes[k]);
        if (located) {
            const win32::CIcon icon = HandlerIcon(extract.Get(), location, index, flags, side);
            icons.Pixels[k] = IconPixels(icon.Get(), side);
        }
        if (icons.Pixels[k].empty()) {
            icons.Pixels[k] = GenericIcons().Pixels[k];
        }
    }
    return icons;
}

struct CEntryIcons::Job {
    explicit Job(const std::string& target)
        : path(target), done(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          asked(::GetTickCount()) {}

    const std::string path;
    // Set once icons hold the result: written by the job's thread before, read only after.
    const win32::CHandle done;
    const DWORD asked;
    MenuIconSet icons;
};

void CEntryIcons::Request(const std::string& path) {
    if (m_jobs.count(path) != 0) {
        return;
    }
    const auto job = std::make_shared<Job>(path);
    m_jobs.emplace(path, job);
    // Each target on a thread of its own, which the process may end while it still waits on a
    // network: it holds the job, never this object.
    try {
        std::thread([job] {
            try {
                const win32::CComScope com;
                job->icons = ExtractEntryIcons(job->path);
            } catch (...) {
                job->icons = MenuIconSet(); // none: the generic icon stands in
            }
            ::SetEvent(job->done.Get());
            if (HWND window = s_notifyWindow.load()) {
                ::PostMessageA(window, s_notifyMessage.load(), 0, 0);
            }
        }).detach();
    } catch (const std::system_error&) {
        ::SetEvent(job->done.Get()); // no thread to be had: the generic icon stands in
    }
}

const MenuIconSet* CEntryIcons::Ready(const std::string& path) const {
    const auto found = m_jobs.find(path);
    if (found == m_jobs.end() ||
        ::WaitForSingleObject(found->second->done.Get(), 0) != WAIT_OBJECT_0) {
        return nullptr;
    }
    const MenuIconSet& icons = found->second->icons;
    return icons.Pixels[0].empty() ? &GenericIcons() : &icons;
}

std::vector<MenuIconSet> CEntryIcons::Collect(const MenuItemList& items) {
    const std::size_t count =
        std::min(items.size(), static_cast<std::size_t>(menudata::kMaxRecords));
    for (std::size_t i = 0; i < count; ++i) {
        Request(std::string(FieldText(items[i].FilePath)));
    }
    std::vector<MenuIconSet> icons;
    icons.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string path(FieldText(items[i].FilePath));
        const Job& job = *m_jobs.at(path);
        const DWORD waited = ::GetTickCount() - job.asked;
        ::WaitForSingleObject(job.done.Get(),
                              waited < kIconTimeLimitMs ? kIconTimeLimitMs - waited : 0);
        const MenuIconSet* ready = Ready(path);
        icons.push_back(ready != nullptr ? *ready : GenericIcons());
    }
    return icons;
}

void CEntryIcons::NotifyWindow(HWND window, UINT message) {
    s_notifyMessage.store(message);
    s_notifyWindow.store(window);
}

CEntryIcons& EntryIcons() {
    static CEntryIcons s_icons;
    return s_icons;
}
