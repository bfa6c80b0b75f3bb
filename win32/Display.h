// What the user chose for the display: the scaling of each monitor (its DPI) and high contrast.
// The calls that only newer systems have are looked up at run time, so the programs still start
// on the older systems their manifests name.
#pragma once

#include <windows.h>

namespace win32 {

// The DPI that layouts and Col0Width-like stored sizes are expressed in.
constexpr UINT kBaseDpi = USER_DEFAULT_SCREEN_DPI;

// A user32 entry of a newer system, or null on one without it.
template <class F> F NewerUser32Entry(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), name)));
}

// The system-wide DPI: the only one a system before per-monitor scaling knows.
inline UINT SystemDpi() {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

// The DPI a window is drawn at: its monitor's, for a per-monitor aware program.
inline UINT DpiOf(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const GetDpiForWindowFn s_forWindow =
        NewerUser32Entry<GetDpiForWindowFn>("GetDpiForWindow");
    const UINT dpi = s_forWindow != nullptr && hwnd != nullptr ? s_forWindow(hwnd) : 0;
    return dpi != 0 ? dpi : SystemDpi();
}

// A length given at 96 DPI, at dpi; and back.
inline int ScaleToDpi(int length, UINT dpi) {
    return ::MulDiv(length, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}
inline int ScaleFromDpi(int length, UINT dpi) {
    return dpi != 0 ? ::MulDiv(length, static_cast<int>(kBaseDpi), static_cast<int>(dpi)) : length;
}

// A system metric (an icon's size, say) at dpi.
inline int MetricForDpi(int index, UINT dpi) {
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const GetSystemMetricsForDpiFn s_forDpi =
        NewerUser32Entry<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (s_forDpi != nullptr) {
        return s_forDpi(index, dpi);
    }
    return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi),
                    static_cast<int>(SystemDpi()));
}

// Windows' high-contrast mode: the user's own colours come before any of ours.
inline bool HighContrastOn() {
    HIGHCONTRASTA contrast = {};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

} // namespace win32
