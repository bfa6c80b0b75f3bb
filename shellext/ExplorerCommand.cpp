#include "ExplorerCommand.h"
#include "MenuEntries.h"
#include "Module.h"

#include "QarvoIdentity.h"

#include <shlwapi.h>

#include <cstring>

using Microsoft::WRL::ComPtr;

namespace {

// ANSI text of up to length bytes (less at a NUL), in the system code page, as a string the
// caller frees with CoTaskMemFree.
HRESULT ShellString(const char* text, int length, LPWSTR* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    const void* end = std::memchr(text, '\0', static_cast<std::size_t>(length));
    if (end != nullptr) {
        length = static_cast<int>(static_cast<const char*>(end) - text);
    }
    const int wide = ::MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    auto* buffer = static_cast<LPWSTR>(::CoTaskMemAlloc((wide + 1) * sizeof(WCHAR)));
    if (buffer == nullptr) {
        return E_OUTOFMEMORY;
    }
    ::MultiByteToWideChar(CP_ACP, 0, text, length, buffer, wide);
    buffer[wide] = L'\0';
    *out = buffer;
    return S_OK;
}

// The entries as read when Explorer asks for them, handed out one subcommand at a time.
class CCommandEnum final : public IEnumExplorerCommand, public CRefCounted<CCommandEnum> {
public:
    explicit CCommandEnum(IUnknown* site) : m_site(site) {}

    HRESULT Load() { return LoadMenuEntries(m_items); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        static const InterfaceEntry s_interfaces[] = {
            Implements<CCommandEnum, IEnumExplorerCommand>(IID_IEnumExplorerCommand),
        };
        return QueryInterfaceFromTable(this, s_interfaces, riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

    STDMETHODIMP Next(ULONG count, IExplorerCommand** commands, ULONG* fetched) override {
        if (commands == nullptr || (count != 1 && fetched == nullptr)) {
            return E_POINTER;
        }
        ULONG made = 0;
        HRESULT hr = S_OK;
        for (; made < count && m_next < m_items.size(); ++made, ++m_next) {
            hr = CreateComObject<QarvoExplorerCommand>(IID_PPV_ARGS(&commands[made]),
                                                       &m_items[m_next], m_site.Get());
            if (FAILED(hr)) {
                break;
            }
        }
        if (fetched != nullptr) {
            *fetched = made;
        }
        return FAILED(hr) && made == 0 ? hr : (made == count ? S_OK : S_FALSE);
    }
    STDMETHODIMP Skip(ULONG count) override {
        const std::size_t left = m_items.size() - m_next;
        m_next += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        m_next = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumExplorerCommand** copy) override {
        if (copy != nullptr) {
            *copy = nullptr;
        }
        return E_NOTIMPL;
    }

private:
    friend class CRefCounted<CCommandEnum>;
    ~CCommandEnum() = default;

    MenuItemList m_items;
    std::size_t m_next = 0;
    ComPtr<IUnknown> m_site;
};

} // namespace

QarvoExplorerCommand::QarvoExplorerCommand(const MenuItem* entry, IUnknown* site)
    : m_bRoot(entry == nullptr), m_entry(), m_site(site) {
    if (entry != nullptr) {
        m_entry = *entry;
    }
}

HRESULT QarvoExplorerCommand::Create(REFIID riid, void** ppv) {
    return CreateComObject<QarvoExplorerCommand>(riid, ppv, nullptr, nullptr);
}

STDMETHODIMP QarvoExplorerCommand::QueryInterface(REFIID riid, void** ppv) {
    static const InterfaceEntry s_interfaces[] = {
        Implements<QarvoExplorerCommand, IExplorerCommand>(IID_IExplorerCommand),
        Implements<QarvoExplorerCommand, IObjectWithSite>(IID_IObjectWithSite),
    };
    return QueryInterfaceFromTable(this, s_interfaces, riid, ppv);
}

STDMETHODIMP QarvoExplorerCommand::GetTitle(IShellItemArray*, LPWSTR* name) {
    if (m_bRoot) {
        return ShellString(QARVO_PRODUCT_NAME, sizeof QARVO_PRODUCT_NAME, name);
    }
    return ShellString(m_entry.MenuTitle, sizeof m_entry.MenuTitle, name);
}

// An icon resource ("file,index") the shell draws itself. The root shows the product's icon, the
// editor's beside this library. An entry on a local fixed drive shows its type's icon, or its own
// where its type says so ("%1": programs); one on a network or removable drive (which the menu
// must never wait for), or of no known type, the generic document icon.
STDMETHODIMP QarvoExplorerCommand::GetIcon(IShellItemArray*, LPWSTR* icon) {
    if (icon == nullptr) {
        return E_POINTER;
    }
    *icon = nullptr;
    char file[sizeof m_entry.FilePath + 1] = {};
    char location[sizeof file + 16];
    if (m_bRoot) {
        char editor[256];
        if (!ModuleFilePath("Menu.exe", editor)) {
            return E_FAIL;
        }
        ::wsprintfA(location, "%s,0", editor);
        return ::SHStrDupA(location, icon);
    }
    std::memcpy(file, m_entry.FilePath, sizeof m_entry.FilePath);
    const char root[] = {file[0], ':', '\\', '\0'};
    const UINT drive = file[1] == ':' && file[2] == '\\' ? ::GetDriveTypeA(root) : DRIVE_UNKNOWN;
    DWORD size = sizeof location;
    if ((drive == DRIVE_FIXED || drive == DRIVE_RAMDISK) &&
        ::AssocQueryStringA(ASSOCF_NONE, ASSOCSTR_DEFAULTICON, ::PathFindExtensionA(file), nullptr,
                            location, &size) == S_OK) {
        if (std::strcmp(location, "%1") == 0) {
            ::wsprintfA(location, "%s,0", file);
        }
        return ::SHStrDupA(location, icon);
    }
    SHSTOCKICONINFO generic = {};
    generic.cbSize = sizeof generic;
    const HRESULT hr = ::SHGetStockIconInfo(SIID_DOCNOASSOC, SHGSI_ICONLOCATION, &generic);
    if (FAILED(hr)) {
        return hr;
    }
    WCHAR text[MAX_PATH + 16];
    ::wsprintfW(text, L"%s,%d", generic.szPath, generic.iIcon);
    return ::SHStrDupW(text, icon);
}

STDMETHODIMP QarvoExplorerCommand::GetToolTip(IShellItemArray*, LPWSTR* tip) {
    if (tip != nullptr) {
        *tip = nullptr;
    }
    return E_NOTIMPL;
}

STDMETHODIMP QarvoExplorerCommand::GetCanonicalName(GUID* name) {
    if (name != nullptr) {
        *name = GUID_NULL;
    }
    return E_NOTIMPL;
}

// The root is hidden, as the classic submenu is absent, while the list is empty or unreadable.
// Finding that out reads the disk, which a caller that must be fast is told to wait for.
STDMETHODIMP QarvoExplorerCommand::GetState(IShellItemArray*, BOOL okToBeSlow, EXPCMDSTATE* state) {
    if (state == nullptr) {
        return E_POINTER;
    }
    *state = ECS_ENABLED;
    if (!m_bRoot) {
        return S_OK;
    }
    if (!okToBeSlow) {
        return E_PENDING;
    }
    return ComBoundary([state] {
        MenuItemList items;
        if (FAILED(LoadMenuEntries(items))) {
            *state = ECS_HIDDEN;
        }
        return S_OK;
    });
}

// The selection plays no part, as in the classic menu. The surrogate that runs this may end as
// soon as the call returns: the launch is made before it does.
STDMETHODIMP QarvoExplorerCommand::Invoke(IShellItemArray*, IBindCtx*) {
    if (m_bRoot) {
        return E_NOTIMPL;
    }
    HWND owner = nullptr;
    ComPtr<IOleWindow> window;
    if (m_site && SUCCEEDED(m_site.As(&window))) {
        window->GetWindow(&owner);
    }
    return LaunchEntry(m_entry, owner, SEE_MASK_NOASYNC);
}

STDMETHODIMP QarvoExplorerCommand::GetFlags(EXPCMDFLAGS* flags) {
    if (flags == nullptr) {
        return E_POINTER;
    }
    *flags = m_bRoot ? ECF_HASSUBCOMMANDS : ECF_DEFAULT;
    return S_OK;
}

STDMETHODIMP QarvoExplorerCommand::EnumSubCommands(IEnumExplorerCommand** subcommands) {
    if (subcommands == nullptr) {
        return E_POINTER;
    }
    *subcommands = nullptr;
    if (!m_bRoot) {
        return E_NOTIMPL;
    }
    return ComBoundary([&] {
        ComPtr<CCommandEnum> entries = new (std::nothrow) CCommandEnum(m_site.Get());
        if (!entries) {
            return E_OUTOFMEMORY;
        }
        // An empty or unreadable list enumerates nothing; the root is hidden then anyway.
        entries->Load();
        *subcommands = entries.Detach();
        return S_OK;
    });
}

STDMETHODIMP QarvoExplorerCommand::SetSite(IUnknown* site) {
    m_site = site;
    return S_OK;
}

STDMETHODIMP QarvoExplorerCommand::GetSite(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    return m_site ? m_site->QueryInterface(riid, ppv) : E_FAIL;
}
