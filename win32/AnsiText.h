// Conversions between UTF-16 and the system ANSI code page, in which every stored text lives.
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

inline std::wstring ToWide(const std::string& ansi) {
    if (ansi.empty()) {
        return std::wstring();
    }
    const int n =
        ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], n);
    }
    return wide;
}

// Converts wide (length characters, or up to its NUL when -1) into the ANSI code page. True when
// every character has an exact counterpart; false when one was replaced (by "?" or a look-alike)
// and the text would not come back as it went in.
inline bool ToAnsiExact(const wchar_t* wide, int length, std::string& ansi) {
    ansi.clear();
    if (wide == nullptr || length == 0) {
        return true;
    }
    // A UTF-8 code page has a counterpart for every character and refuses the replacement
    // flags; only a broken surrogate pair cannot be converted there.
    const bool utf8 = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? nullptr : &usedDefault;
    const int n = ::WideCharToMultiByte(CP_ACP, flags, wide, length, nullptr, 0, nullptr, used);
    if (n <= 0) {
        return false;
    }
    ansi.resize(static_cast<std::size_t>(n));
    ::WideCharToMultiByte(CP_ACP, flags, wide, length, &ansi[0], n, nullptr, used);
    if (length < 0 && !ansi.empty() && ansi.back() == '\0') {
        ansi.pop_back();
    }
    return usedDefault == FALSE;
}

inline std::string ToAnsi(const wchar_t* wide, int length = -1) {
    std::string ansi;
    ToAnsiExact(wide, length, ansi);
    return ansi;
}

} // namespace win32
