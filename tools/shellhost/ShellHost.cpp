#include "ShellHost.h"
#include "AnsiText.h"
#include "Owners.h"

#include <memory>

using Microsoft::WRL::ComPtr;

namespace {

struct PidlDeleter {
    void operator()(ITEMIDLIST* pidl) const { ::CoTaskMemFree(pidl); }
};
using UniquePidl = std::unique_ptr<ITEMIDLIST, PidlDeleter>;

UniquePidl ParsePath(const std::string& path) {
    PIDLIST_ABSOLUTE pidl = nullptr;
    if (FAILED(::SHParseDisplayName(win32::ToWide(path).c_str(), nullptr, &pidl, 0, nullptr))) {
        return nullptr;
    }
    return UniquePidl(pidl);
}

std::vector<MenuNode> WalkMenu(HMENU menu) {
    std::vector<MenuNode> nodes;
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MenuNode node;
        char text[512] = {};
        ::GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        node.text = text;
        node.id = ::GetMenuItemID(menu, i);
        if (HMENU sub = ::GetSubMenu(menu, i)) {
            node.children = WalkMenu(sub);
        }
        nodes.push_back(node);
    }
    return nodes;
}

} // namespace

std::vector<std::string> CShellHost::HandlerKeys(ShellTarget target) {
    switch (target) {
    case ShellTarget::File:
        return {"*\\shellex\\ContextMenuHandlers"};
    case ShellTarget::Folder:
        return {"directory\\shellex\\ContextMenuHandlers", "folder\\shellex\\ContextMenuHandlers"};
    case ShellTarget::Background:
        return {"directory\\background\\shellex\\ContextMenuHandlers"};
    }
    return {};
}

std::vector<RegisteredHandler> CShellHost::FindHandlers(ShellTarget target) {
    std::vector<RegisteredHandler> found;
    for (const std::string& keyPath : HandlerKeys(target)) {
        win32::CKey key;
        if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, key.Receive()) !=
            ERROR_SUCCESS) {
            continue;
        }
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD len = sizeof name;
            if (::RegEnumKeyExA(key.Get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            // The handler's class is its default value, or its name when that is a CLSID.
            char value[128] = {};
            DWORD size = sizeof value;
            ::RegGetValueA(key.Get(), name, nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
            CLSID clsid;
            if (SUCCEEDED(::CLSIDFromString(win32::ToWide(value).c_str(), &clsid)) ||
                SUCCEEDED(::CLSIDFromString(win32::ToWide(name).c_str(), &clsid))) {
                found.push_back({keyPath, name, clsid});
            }
        }
    }
    return found;
}

std::vector<RegisteredHandler> CShellHost::FindHandlers(ShellTarget target,
                                                        const std::string& name) {
    std::vector<RegisteredHandler> named;
    for (const RegisteredHandler& h : FindHandlers(target)) {
        if (h.name == name) {
            named.push_back(h);
        }
    }
    return named;
}

HRESULT CShellHost::Open(ShellTarget target, const std::string& path, const CLSID& clsid,
                         UINT idFirst) {
    ComPtr<IShellExtInit> init;
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&init));
    if (FAILED(hr)) {
        return hr;
    }
    UniquePidl pidl = ParsePath(path);
    if (!pidl) {
        return E_INVALIDARG;
    }

    win32::CKey progId;
    ::RegOpenKeyExA(HKEY_CLASSES_ROOT, target == ShellTarget::File ? "*" : "directory", 0, KEY_READ,
                    progId.Receive());
    if (target == ShellTarget::Background) {
        // The folder itself, no selection.
        m_hrInit = init->Initialize(pidl.get(), nullptr, progId.Get());
    } else {
        ComPtr<IShellFolder> parent;
        PCUITEMID_CHILD child = nullptr;
        hr = ::SHBindToParent(pidl.get(), IID_PPV_ARGS(&parent), &child);
        ComPtr<IDataObject> data;
        if (SUCCEEDED(hr)) {
            hr = parent->GetUIObjectOf(nullptr, 1, &child, IID_IDataObject, nullptr,
                                       reinterpret_cast<void**>(data.GetAddressOf()));
        }
        if (FAILED(hr)) {
            return hr;
        }
        UniquePidl folder(::ILClone(pidl.get()));
        if (!folder) {
            return E_OUTOFMEMORY;
        }
        ::ILRemoveLastID(folder.get());
        m_hrInit = init->Initialize(folder.get(), data.Get(), progId.Get());
    }
    if (FAILED(m_hrInit)) {
        return m_hrInit; // Explorer drops a handler whose initialisation failed
    }

    hr = init.As(&m_handler);
    if (FAILED(hr)) {
        return hr;
    }
    m_menu.Reset(::CreatePopupMenu());
    ::AppendMenuA(m_menu.Get(), MF_STRING, 1, "&Open");
    m_hrQuery = m_handler->QueryContextMenu(m_menu.Get(), 1, idFirst, idFirst + 0x7fff, CMF_NORMAL);
    ::AppendMenuA(m_menu.Get(), MF_STRING, 2, "P&roperties");
    return m_hrQuery;
}

std::vector<MenuNode> CShellHost::Walk() const {
    return WalkMenu(m_menu.Get());
}

std::string CShellHost::HelpText(UINT offset, bool unicode) const {
    if (!unicode) {
        char text[128] = {};
        if (FAILED(
                m_handler->GetCommandString(offset, GCS_HELPTEXTA, nullptr, text, sizeof text))) {
            return "<failed>";
        }
        return text;
    }
    WCHAR wide[128] = {};
    if (FAILED(m_handler->GetCommandString(offset, GCS_HELPTEXTW, nullptr,
                                           reinterpret_cast<CHAR*>(wide), ARRAYSIZE(wide)))) {
        return "<failed>";
    }
    return win32::ToAnsi(wide);
}

HRESULT CShellHost::Invoke(UINT offset) const {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.nShow = SW_SHOWNORMAL;
    // A failed launch is a result here, not a message box that nobody will close.
    info.fMask = CMIC_MASK_FLAG_NO_UI;
    return m_handler->InvokeCommand(&info);
}
