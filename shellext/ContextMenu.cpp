#include "ContextMenu.h"
#include "MenuEntries.h"
#include "Owners.h"

#include <cstring>

namespace {

constexpr char kSubmenuText[] = "&Qarvo Context Menu";
constexpr char kHelpText[] = "Custom menu";

// A title as item text: every "&" doubled, so "Q&A" shows as typed and not as a shortcut key.
// A title that ends within its field and holds no "&" is used where it lies, uncopied. Room for
// a field of nothing but "&" and no NUL.
class CItemText {
public:
    explicit CItemText(const char (&title)[sizeof(MenuItem::MenuTitle)]) {
        const void* end = std::memchr(title, '\0', sizeof title);
        if (end != nullptr &&
            std::memchr(title, '&', static_cast<const char*>(end) - title) == nullptr) {
            m_text = title;
            return;
        }
        std::size_t out = 0;
        for (std::size_t i = 0; i < sizeof title && title[i] != '\0'; ++i) {
            if (title[i] == '&') {
                m_escaped[out++] = '&';
            }
            m_escaped[out++] = title[i];
        }
        m_escaped[out] = '\0';
        m_text = m_escaped;
    }
    CItemText(const CItemText&) = delete;
    CItemText& operator=(const CItemText&) = delete;

    const char* Text() const { return m_text; }

private:
    const char* m_text;
    char m_escaped[2 * sizeof(MenuItem::MenuTitle) + 1];
};

} // namespace

HRESULT QarvoContextMenu::Create(REFIID riid, void** ppv) {
    return CreateComObject<QarvoContextMenu>(riid, ppv);
}

STDMETHODIMP QarvoContextMenu::QueryInterface(REFIID riid, void** ppv) {
    static const InterfaceEntry s_interfaces[] = {
        Implements<QarvoContextMenu, IShellExtInit>(IID_IShellExtInit),
        Implements<QarvoContextMenu, IContextMenu>(IID_IContextMenu),
    };
    return QueryInterfaceFromTable(this, s_interfaces, riid, ppv);
}

STDMETHODIMP_(ULONG) QarvoContextMenu::AddRef() {
    return AddRefImpl();
}

STDMETHODIMP_(ULONG) QarvoContextMenu::Release() {
    return ReleaseImpl();
}

// The selection, folder and class key play no part: the submenu is the same everywhere.
STDMETHODIMP QarvoContextMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject*, HKEY) {
    const HRESULT hr = ComBoundary([this] { return LoadItems(); });
    if (hr == E_OUTOFMEMORY) {
        m_items.clear(); // no half-filled list behind a failure
    }
    return hr;
}

// Reads "menu.dat" from the folder this library was loaded from; steps aside where Windows 11's
// packaged command shows the submenu in this menu too.
HRESULT QarvoContextMenu::LoadItems() {
    const HRESULT hr = LoadMenuEntries(m_items);
    if (SUCCEEDED(hr) && PackagedCommandServesTheMenu()) {
        m_items.clear();
        return E_INVALIDARG;
    }
    return hr;
}

STDMETHODIMP QarvoContextMenu::QueryContextMenu(HMENU menu, UINT index, UINT idCmdFirst,
                                                UINT idCmdLast, UINT flags) {
    if (flags & CMF_DEFAULTONLY) {
        return S_OK;
    }
    // The shell's range ends at idCmdLast itself: entries past it are left out rather than given
    // ids that belong to other handlers, and with room for none there is no submenu at all.
    UINT count = static_cast<UINT>(m_items.size());
    if (idCmdLast < idCmdFirst) {
        count = 0;
    } else if (idCmdLast - idCmdFirst < count) {
        count = idCmdLast - idCmdFirst + 1;
    }
    if (count == 0 && !m_items.empty()) {
        return S_OK;
    }
    // Every menu of this list at this size shows the same bitmaps. A handler's menus share one
    // set: rather than let go of bitmaps an earlier menu of it may still show, a later menu
    // that needs another set (another DPI, a list read again) is plain.
    CIconSet* icons = AcquireMenuIcons(m_items);
    if (m_pIcons == nullptr) {
        m_pIcons = icons;
    } else {
        ReleaseMenuIcons(icons);
        icons = icons == m_pIcons ? icons : nullptr;
    }
    win32::CMenu popup(::CreatePopupMenu());
    for (UINT i = 0; i < count; ++i) {
        const CItemText title(m_items[i].MenuTitle);
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_STRING | (icons != nullptr ? MIIM_BITMAP : 0);
        item.wID = idCmdFirst + i;
        item.dwTypeData = const_cast<char*>(title.Text());
        item.hbmpItem = icons != nullptr ? MenuIconBitmap(icons, i) : nullptr;
        ::InsertMenuItemA(popup.Get(), i, TRUE, &item);
    }
    if (::InsertMenuA(menu, index, MF_BYPOSITION | MF_POPUP,
                      reinterpret_cast<UINT_PTR>(popup.Get()), kSubmenuText)) {
        popup.Detach(); // the shell's menu destroys it now
    }
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, count);
}

STDMETHODIMP QarvoContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    // Any bit above the low 16 makes it a verb string, not an offset: on 64-bit a string may
    // well sit at an address whose bits 16-31 are clear.
    if (info == nullptr || !IS_INTRESOURCE(info->lpVerb)) {
        return E_INVALIDARG;
    }
    const UINT offset = LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb));
    if (offset >= m_items.size()) {
        return E_INVALIDARG;
    }
    // No UI and a synchronous launch, for a host that ends right after this call, as asked.
    static_assert(CMIC_MASK_FLAG_NO_UI == SEE_MASK_FLAG_NO_UI &&
                      CMIC_MASK_NOASYNC == SEE_MASK_NOASYNC,
                  "the caller's flags are the launch's");
    return LaunchEntry(m_items[offset], info->hwnd,
                       info->fMask & (CMIC_MASK_FLAG_NO_UI | CMIC_MASK_NOASYNC));
}

STDMETHODIMP QarvoContextMenu::GetCommandString(UINT_PTR idCmd, UINT type, UINT*, CHAR* name,
                                                UINT cchMax) {
    if (!(type & GCS_HELPTEXTA)) {
        return S_OK; // verb and validation requests: nothing to say
    }
    if (idCmd >= m_items.size()) {
        return E_INVALIDARG;
    }
    if (name == nullptr) {
        return E_POINTER;
    }
    if (type & GCS_UNICODE) {
        WCHAR wide[sizeof kHelpText] = {};
        ::MultiByteToWideChar(CP_THREAD_ACP, 0, kHelpText, -1, wide, ARRAYSIZE(wide));
        ::lstrcpynW(reinterpret_cast<WCHAR*>(name), wide, static_cast<int>(cchMax));
    } else {
        ::lstrcpynA(name, kHelpText, static_cast<int>(cchMax));
    }
    return S_OK;
}
