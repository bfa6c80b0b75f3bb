#include "UiDriver.h"
#include "MenuResource.h"
#include "Owners.h"
#include "QarvoIdentity.h"

#include <oleacc.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <vector>

namespace ui {

std::string ClassName(HWND hwnd) {
    char name[256] = {};
    ::GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::string Text(HWND hwnd) {
    char text[1024] = {};
    ::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

std::string ItemText(HWND dialog, int id) {
    return Text(::GetDlgItem(dialog, id));
}

POINT Centre(HWND hwnd) {
    RECT rc;
    ::GetWindowRect(hwnd, &rc);
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

namespace {

Microsoft::WRL::ComPtr<IAccessible> ClientObject(HWND hwnd) {
    Microsoft::WRL::ComPtr<IAccessible> object;
    if (FAILED(::AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT),
                                            __uuidof(IAccessible), &object))) {
        object.Reset();
    }
    return object;
}

std::string Narrow(BSTR text) {
    if (text == nullptr) {
        return std::string();
    }
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], n, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

} // namespace

Accessible ReadAccessible(HWND hwnd) {
    Accessible read;
    const Microsoft::WRL::ComPtr<IAccessible> object = ClientObject(hwnd);
    if (!object) {
        return read;
    }
    read.found = true;
    VARIANT self = {};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    win32::CBstr text;
    if (object->get_accName(self, text.Receive()) == S_OK) {
        read.name = Narrow(text.Get());
    }
    if (object->get_accValue(self, text.Receive()) == S_OK) {
        read.value = Narrow(text.Get());
    }
    VARIANT out = {};
    if (SUCCEEDED(object->get_accRole(self, &out)) && out.vt == VT_I4) {
        read.role = out.lVal;
    }
    out = {};
    if (SUCCEEDED(object->get_accState(self, &out)) && out.vt == VT_I4) {
        read.state = out.lVal;
    }
    return read;
}

bool DoDefaultAction(HWND hwnd) {
    const Microsoft::WRL::ComPtr<IAccessible> object = ClientObject(hwnd);
    VARIANT self = {};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return object && SUCCEEDED(object->accDoDefaultAction(self));
}

HWND WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            std::vector<HWND> windows;
            ::EnumWindows(
                [](HWND hwnd, LPARAM lp) -> BOOL {
                    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&windows));
            for (HWND hwnd : windows) {
                if (::IsWindowVisible(hwnd) && match(hwnd)) {
                    found = hwnd;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

HWND WaitForWindow(const char* className, const char* title, DWORD timeoutMs) {
    return WaitForWindow(
        [&](HWND hwnd) {
            return (className == nullptr || ClassName(hwnd) == className) &&
                   (title == nullptr || Text(hwnd) == title);
        },
        timeoutMs);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (::GetTickCount() - start > timeoutMs) {
            return false;
        }
        ::Sleep(20);
    }
}

HWND WaitForFileDialog(DWORD timeoutMs) {
    return WaitForWindow(
        [](HWND hwnd) {
            // The open dialog: a system dialog with a file name box and an Open button.
            return ClassName(hwnd) == "#32770" && ::GetDlgItem(hwnd, IDOK) != nullptr &&
                   (::GetDlgItem(hwnd, 0x47c) != nullptr || ::GetDlgItem(hwnd, 0x480) != nullptr);
        },
        timeoutMs);
}

bool ChooseFile(HWND fileDialog, const std::wstring& path) {
    HWND name = ::GetDlgItem(fileDialog, 0x47c); // cmb13, the explorer-style name box
    if (name == nullptr) {
        name = ::GetDlgItem(fileDialog, 0x480); // edt1
    }
    if (name == nullptr) {
        return false;
    }
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    return ::PostMessageA(fileDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                          reinterpret_cast<LPARAM>(::GetDlgItem(fileDialog, IDOK))) != FALSE;
}

bool ChooseFiles(HWND fileDialog, const std::wstring& folder,
                 const std::vector<std::wstring>& names) {
    if (!ChooseFile(fileDialog, folder)) {
        return false;
    }
    // Having moved into the folder the dialog empties its name box; then the names can go in.
    HWND name = ::GetDlgItem(fileDialog, 0x47c);
    if (name == nullptr) {
        name = ::GetDlgItem(fileDialog, 0x480);
    }
    WaitUntil([&] { return Text(name).empty(); }, 5000);
    std::wstring quoted;
    for (const std::wstring& n : names) {
        quoted += (quoted.empty() ? L"\"" : L" \"") + n + L"\"";
    }
    return ChooseFile(fileDialog, names.size() == 1 ? names[0] : quoted);
}

void PostKey(HWND hwnd, WPARAM vk, bool alt) {
    const LPARAM context = alt ? (1 << 29) : 0;
    ::PostMessageA(hwnd, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, 1 | context);
    ::PostMessageA(hwnd, alt ? WM_SYSKEYUP : WM_KEYUP, vk, 1 | context | (3u << 30));
}

void Type(HWND hwnd, const std::wstring& text) {
    for (wchar_t c : text) {
        ::PostMessageW(hwnd, WM_CHAR, c, 1);
    }
}

HGLOBAL MakeDropFiles(const std::vector<std::wstring>& paths) {
    std::wstring names;
    for (const std::wstring& path : paths) {
        names += path + L'\0';
    }
    names += L'\0';
    const std::size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GHND, bytes);
    if (auto* drop = static_cast<DROPFILES*>(memory != nullptr ? ::GlobalLock(memory) : nullptr)) {
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        ::CopyMemory(drop + 1, names.data(), names.size() * sizeof(wchar_t));
        ::GlobalUnlock(memory);
    }
    return memory;
}

HWND WaitForMessageBox(DWORD timeoutMs) {
    // Recognised by its controls: reading a caption can wait on a busy thread under Wine.
    return WaitForWindow(
        [](HWND hwnd) {
            return ClassName(hwnd) == QARVO_WINDOW_CLASS &&
                   ::GetDlgItem(hwnd, IDC_MSGBOX_OK) != nullptr &&
                   ::GetDlgItem(hwnd, IDC_MSGBOX_TEXT) != nullptr;
        },
        timeoutMs);
}

} // namespace ui
