#include "AppFolder.h"

bool IsAbsoluteFolder(const std::wstring& folder) {
    const bool drive = folder.size() >= 2 && (folder[0] | 0x20) >= L'a' &&
                       (folder[0] | 0x20) <= L'z' && folder[1] == L':' &&
                       (folder.size() == 2 || folder[2] == L'\\');
    const bool share =
        folder.size() > 2 && folder[0] == L'\\' && folder[1] == L'\\' && folder[2] != L'\\';
    return drive || share;
}

std::wstring ModuleFolder(const std::wstring& modulePath) {
    static const std::wstring kLongUnc = L"\\\\?\\UNC\\", kLong = L"\\\\?\\";
    std::wstring path = modulePath;
    // The prefixed forms name the same file; the files beside it are reached by the short form.
    if (path.compare(0, kLongUnc.size(), kLongUnc) == 0) {
        path.replace(0, kLongUnc.size(), L"\\\\");
    } else if (path.compare(0, kLong.size(), kLong) == 0) {
        path.erase(0, kLong.size());
    }
    const std::size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) {
        return std::wstring();
    }
    std::wstring folder = path.substr(0, slash);
    return IsAbsoluteFolder(folder) ? folder : std::wstring();
}
