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

bool ShouldRestartElevated(bool folderWritable, bool elevatedOrRestarted) {
    // A start with administrator rights that still cannot write never asks again: no loop.
    return !folderWritable && !elevatedOrRestarted;
}

bool IsRestartedElevated(const std::wstring& commandLine) {
    // The program's name ends at its closing quote, or at the first blank when unquoted.
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        at = commandLine.find(L'"', 1);
        at = at == std::wstring::npos ? commandLine.size() : at + 1;
    }
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    for (;;) {
        while (at < commandLine.size() && !blank(commandLine[at])) {
            ++at; // the rest of the current argument
        }
        while (at < commandLine.size() && blank(commandLine[at])) {
            ++at;
        }
        if (at >= commandLine.size()) {
            return false;
        }
        std::size_t end = at;
        while (end < commandLine.size() && !blank(commandLine[end])) {
            ++end;
        }
        if (commandLine.compare(at, end - at, kRestartedElevated) == 0) {
            return true;
        }
        at = end;
    }
}
