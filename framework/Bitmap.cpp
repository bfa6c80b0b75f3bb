#include "Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr std::uint32_t kWhole = 1u << 16; // the weights of one destination pixel add up to this

// Which source cells, and how much of each, make each of to cells resampled from from cells.
struct CFilter {
    struct Tap {
        int source;
        std::uint32_t weight;
    };
    std::vector<std::size_t> first; // per destination cell, then one past the last tap
    std::vector<Tap> taps;

    CFilter(int from, int to) {
        const double step = static_cast<double>(from) / to;
        for (int i = 0; i < to; ++i) {
            first.push_back(taps.size());
            const double begin = i * step, end = (i + 1) * step;
            if (step <= 1.0) {
                // Made larger: the source cell under the centre (no blur from mixing).
                const int j = static_cast<int>((begin + end) / 2);
                taps.push_back({j < from ? j : from - 1, kWhole});
                continue;
            }
            std::uint32_t given = 0;
            const int last = std::min(from, static_cast<int>(std::ceil(end)));
            for (int j = static_cast<int>(begin); j < last; ++j) {
                const double covered =
                    std::min(end, j + 1.0) - std::max(begin, static_cast<double>(j));
                const auto weight =
                    static_cast<std::uint32_t>(std::lround(covered / step * kWhole));
                taps.push_back({j, weight});
                given += weight;
            }
            taps.back().weight += kWhole - given; // rounding: the shares add up exactly
        }
        first.push_back(taps.size());
    }
};

} // namespace

win32::CBitmap ScaleBitmap(HBITMAP source, int width, int height) {
    BITMAP info = {};
    if (source == nullptr || width <= 0 || height <= 0 ||
        ::GetObjectA(source, sizeof info, &info) != sizeof info || info.bmWidth <= 0 ||
        info.bmHeight == 0) {
        return win32::CBitmap();
    }
    const int fromW = info.bmWidth, fromH = std::abs(info.bmHeight);

    // The source as top-down rows of blue, green, red and an unused byte.
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = fromW;
    bmi.bmiHeader.biHeight = -fromH;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(fromW) * fromH * 4);
    const win32::CMemoryDC dc(::CreateCompatibleDC(nullptr));
    if (!dc || ::GetDIBits(dc.Get(), source, 0, static_cast<UINT>(fromH), pixels.data(), &bmi,
                           DIB_RGB_COLORS) != fromH) {
        return win32::CBitmap();
    }

    // Across, keeping 8 bits of fraction; then down.
    const int scaledW = std::max(1, ::MulDiv(fromW, height, fromH));
    const CFilter across(fromW, scaledW), down(fromH, height);
    std::vector<std::uint16_t> rows(static_cast<std::size_t>(fromH) * scaledW * 3);
    for (int y = 0; y < fromH; ++y) {
        const std::uint8_t* in = &pixels[static_cast<std::size_t>(y) * fromW * 4];
        std::uint16_t* out = &rows[static_cast<std::size_t>(y) * scaledW * 3];
        for (int x = 0; x < scaledW; ++x) {
            std::uint32_t sum[3] = {};
            for (std::size_t t = across.first[x]; t < across.first[x + 1]; ++t) {
                const std::uint8_t* p = in + across.taps[t].source * 4;
                for (int c = 0; c < 3; ++c) {
                    sum[c] += p[c] * across.taps[t].weight;
                }
            }
            for (int c = 0; c < 3; ++c) {
                out[x * 3 + c] = static_cast<std::uint16_t>((sum[c] + 128) >> 8);
            }
        }
    }

    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    win32::CBitmap scaled(::CreateDIBSection(dc.Get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!scaled || bits == nullptr) {
        return win32::CBitmap();
    }
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    const int shift = (scaledW - width) / 2; // columns cut off (or, below 0, added) at the left
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = static_cast<std::uint8_t*>(bits) + y * stride;
        for (int x = 0; x < width; ++x) {
            const int column = std::min(std::max(x + shift, 0), scaledW - 1);
            std::uint32_t sum[3] = {};
            for (std::size_t t = down.first[y]; t < down.first[y + 1]; ++t) {
                const std::uint16_t* p =
                    &rows[(static_cast<std::size_t>(down.taps[t].source) * scaledW + column) * 3];
                for (int c = 0; c < 3; ++c) {
                    sum[c] += p[c] * down.taps[t].weight;
                }
            }
            for (int c = 0; c < 3; ++c) {
                out[x * 3 + c] = static_cast<std::uint8_t>((sum[c] + (1u << 23)) >> 24);
            }
        }
    }
    ::GdiFlush();
    return scaled;
}
