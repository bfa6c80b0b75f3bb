#include "ShellHost.h"
#include "AnsiText.h"
#include "Owners.h"
#include "XmlDom.h"

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

// Loads the library at dllPath into library, as COM loads the file a registration names, and
// creates its class clsid from its class object.
template <class Interface>
HRESULT CreateFromLibrary(win32::CLibrary& library, const std::string& dllPath, const CLSID& clsid,
                          ComPtr<Interface>& object) {
    library.Reset(::LoadLibraryA(dllPath.c_str()));
    using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto getClassObject = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(
        library ? ::GetProcAddress(library.Get(), "DllGetClassObject") : nullptr));
    if (getClassObject == nullptr) {
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    }
    ComPtr<IClassFactory> factory;
    HRESULT hr = getClassObject(clsid, IID_PPV_ARGS(&factory));
    if (SUCCEEDED(hr)) {
        hr = factory->CreateInstance(nullptr, IID_PPV_ARGS(&object));
    }
    return hr;
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
    const HRESULT hr =
        ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&init));
    return FAILED(hr) ? hr : Start(init, target, path, idFirst);
}

HRESULT CShellHost::OpenFromLibrary(ShellTarget target, const std::string& path,
                                    const std::string& dllPath, const CLSID& clsid, UINT idFirst) {
    ComPtr<IShellExtInit> init;
    const HRESULT hr = CreateFromLibrary(m_library, dllPath, clsid, init);
    return FAILED(hr) ? hr : Start(init, target, path, idFirst);
}

HRESULT CShellHost::Start(const ComPtr<IShellExtInit>& init, ShellTarget target,
                          const std::string& path, UINT idFirst) {
    HRESULT hr = S_OK;
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

namespace {

// The site Windows 11's menu gives a command: it hands out the host's window.
class CSite final : public IOleWindow {
public:
    explicit CSite(HWND window) : m_window(window) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IOleWindow) {
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IOleWindow*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG count = ::InterlockedDecrement(&m_cRef);
        if (count == 0) {
            delete this;
        }
        return static_cast<ULONG>(count);
    }
    STDMETHODIMP GetWindow(HWND* window) override {
        if (window == nullptr) {
            return E_POINTER;
        }
        *window = m_window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    ~CSite() = default;
    LONG m_cRef = 0;
    HWND m_window;
};

std::wstring TakeString(HRESULT hr, LPWSTR text) {
    std::wstring taken = SUCCEEDED(hr) && text != nullptr ? text : L"";
    ::CoTaskMemFree(text);
    return taken;
}

CommandNode WalkCommand(IExplorerCommand* command, IUnknown* site, IShellItemArray* selection) {
    CommandNode node;
    node.command = command;
    Microsoft::WRL::ComPtr<IObjectWithSite> withSite;
    if (SUCCEEDED(node.command.As(&withSite))) {
        withSite->SetSite(site);
    }
    EXPCMDSTATE state = ECS_ENABLED;
    node.fastState = command->GetState(selection, FALSE, &state);
    if (node.fastState == S_OK) {
        node.slowState = S_OK;
        node.state = state;
    } else {
        node.slowState = command->GetState(selection, TRUE, &node.state);
    }
    LPWSTR text = nullptr;
    node.titleResult = command->GetTitle(selection, &text);
    node.title = TakeString(node.titleResult, text);
    text = nullptr;
    node.iconResult = command->GetIcon(selection, &text);
    node.icon = TakeString(node.iconResult, text);
    command->GetFlags(&node.flags);
    if ((node.flags & ECF_HASSUBCOMMANDS) && !(node.state & ECS_HIDDEN)) {
        Microsoft::WRL::ComPtr<IEnumExplorerCommand> subcommands;
        node.enumResult = command->EnumSubCommands(&subcommands);
        if (SUCCEEDED(node.enumResult)) {
            Microsoft::WRL::ComPtr<IExplorerCommand> child;
            ULONG fetched = 0;
            while (subcommands->Next(1, &child, &fetched) == S_OK && fetched == 1) {
                node.children.push_back(WalkCommand(child.Get(), site, selection));
                child.Reset();
            }
        }
    }
    return node;
}

// The elements below node whose name, without its namespace prefix, is local.
void FindElements(const xmldom::Node& node, const char* local, std::vector<xmldom::Node>& found) {
    for (xmldom::Node child = node.FirstChild(); child; child = child.NextSibling()) {
        if (!child.IsElement()) {
            continue;
        }
        const std::string name = child.Name();
        const std::size_t colon = name.find(':');
        if (name.substr(colon == std::string::npos ? 0 : colon + 1) == local) {
            found.push_back(child);
        }
        FindElements(child, local, found);
    }
}

std::string Attribute(const xmldom::Node& element, const char* name) {
    const xmldom::AttributeMap attributes = element.Attributes();
    for (long i = 0; i < attributes.Length(); ++i) {
        const xmldom::Node attribute = attributes.Item(i);
        if (attribute.Name() == name) {
            return attribute.Value();
        }
    }
    return std::string();
}

} // namespace

CModernHost::CModernHost()
    : m_window(::CreateWindowA("STATIC", "Windows 11 menu host", WS_OVERLAPPED, 0, 0, 10, 10,
                               nullptr, nullptr, nullptr, nullptr)) {
    m_site = new CSite(m_window.Get());
}

CModernHost::~CModernHost() {
    m_root = CommandNode();
    m_selection.Reset();
    m_site.Reset();
}

HRESULT CModernHost::ManifestClass(const std::string& manifest, ShellTarget target, CLSID& clsid,
                                   std::string& dllPath) {
    clsid = GUID_NULL;
    const char* type = target == ShellTarget::File     ? "*"
                       : target == ShellTarget::Folder ? "Directory"
                                                       : "Directory\\Background";
    try {
        const xmldom::Document doc = xmldom::Document::Create();
        if (!doc.Load(manifest)) {
            return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
        }
        std::vector<xmldom::Node> itemTypes;
        FindElements(doc.DocumentElement(), "ItemType", itemTypes);
        std::string id;
        for (const xmldom::Node& itemType : itemTypes) {
            std::vector<xmldom::Node> verbs;
            FindElements(itemType, "Verb", verbs);
            if (Attribute(itemType, "Type") == type && !verbs.empty()) {
                id = Attribute(verbs[0], "Clsid");
            }
        }
        std::vector<xmldom::Node> classes;
        FindElements(doc.DocumentElement(), "Class", classes);
        for (const xmldom::Node& cls : classes) {
            if (!id.empty() && Attribute(cls, "Id") == id) {
                dllPath = Attribute(cls, "Path");
                return ::CLSIDFromString(win32::ToWide("{" + id + "}").c_str(), &clsid);
            }
        }
    } catch (const xmldom::XmlError& error) {
        return error.Result();
    }
    return REGDB_E_CLASSNOTREG;
}

HRESULT CModernHost::Open(const std::string& manifest, const std::string& location,
                          ShellTarget target, const std::string& path) {
    CLSID clsid;
    std::string dll;
    HRESULT hr = ManifestClass(manifest, target, clsid, dll);
    if (FAILED(hr)) {
        return hr;
    }
    Microsoft::WRL::ComPtr<IExplorerCommand> root;
    hr = CreateFromLibrary(m_library, location + "\\" + dll, clsid, root);
    return SUCCEEDED(hr) ? Attach(root.Get(), path) : hr;
}

HRESULT CModernHost::Attach(IExplorerCommand* root, const std::string& path) {
    Microsoft::WRL::ComPtr<IShellItem> item;
    HRESULT hr =
        ::SHCreateItemFromParsingName(win32::ToWide(path).c_str(), nullptr, IID_PPV_ARGS(&item));
    if (SUCCEEDED(hr)) {
        hr = ::SHCreateShellItemArrayFromShellItem(item.Get(), IID_PPV_ARGS(&m_selection));
    }
    if (FAILED(hr)) {
        return hr;
    }
    m_root = WalkCommand(root, m_site.Get(), m_selection.Get());
    return S_OK;
}

HRESULT CModernHost::Invoke(std::size_t index) const {
    if (index >= m_root.children.size()) {
        return E_INVALIDARG;
    }
    return m_root.children[index].command->Invoke(m_selection.Get(), nullptr);
}
