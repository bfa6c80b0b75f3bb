#include "LinkAccessible.h"
#include "AnsiText.h"
#include "Owners.h"

#include <oleacc.h>

#include <new>
#include <utility>

namespace {

// oleacc.dll, from the system folder and only when a screen reader asks: most runs never load
// it. Kept for the process's life: objects handed out may outlive any window.
struct COleacc {
    using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
    using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
    LresultFromObjectFn lresultFromObject = nullptr;
    CreateStdAccessibleObjectFn createStdAccessibleObject = nullptr;
};

const COleacc& Oleacc() {
    static const COleacc s_oleacc = [] {
        COleacc oleacc;
        char folder[MAX_PATH] = {};
        const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            return oleacc;
        }
        const std::string path = std::string(folder, length) + "\\oleacc.dll";
        if (HMODULE module = ::LoadLibraryA(path.c_str())) {
            oleacc.lresultFromObject = reinterpret_cast<COleacc::LresultFromObjectFn>(
                reinterpret_cast<void*>(::GetProcAddress(module, "LresultFromObject")));
            oleacc.createStdAccessibleObject =
                reinterpret_cast<COleacc::CreateStdAccessibleObjectFn>(
                    reinterpret_cast<void*>(::GetProcAddress(module, "CreateStdAccessibleObject")));
        }
        return oleacc;
    }();
    return s_oleacc;
}

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// The standard object with what makes it a link; everything else is the standard object's.
class CLinkAccessible final : public IAccessible {
public:
    CLinkAccessible(HWND link, IAccessible* standard, std::wstring target)
        : m_link(link), m_standard(standard), m_target(std::move(target)) {
        m_standard->AddRef();
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) ||
            iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0) {
            delete this;
        }
        return static_cast<ULONG>(refs);
    }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        return m_standard->GetTypeInfoCount(count);
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return m_standard->GetTypeInfo(index, lcid, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override {
        return m_standard->GetIDsOfNames(iid, names, count, lcid, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* error, UINT* badArg) override {
        return m_standard->Invoke(id, iid, lcid, flags, params, result, error, badArg);
    }

    // IAccessible: a link ...
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
        if (!IsSelf(child) || role == nullptr) {
            return m_standard->get_accRole(child, role);
        }
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_LINK;
        return S_OK;
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
        const HRESULT hr = m_standard->get_accState(child, state);
        if (SUCCEEDED(hr) && IsSelf(child) && state != nullptr && state->vt == VT_I4) {
            state->lVal |= STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE;
        }
        return hr;
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
        if (!IsSelf(child) || value == nullptr || m_target.empty()) {
            return m_standard->get_accValue(child, value);
        }
        *value = ::SysAllocString(m_target.c_str());
        return *value != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (!IsSelf(child) || action == nullptr) {
            return m_standard->get_accDefaultAction(child, action);
        }
        *action = ::SysAllocString(L"Jump");
        return *action != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        if (!IsSelf(child)) {
            return m_standard->accDoDefaultAction(child);
        }
        if (!::IsWindow(m_link)) {
            return E_FAIL;
        }
        ::SendMessageA(m_link, WM_KEYDOWN, VK_RETURN, 0);
        return S_OK;
    }

    // ... and otherwise the standard object.
    STDMETHODIMP get_accParent(IDispatch** parent) override {
        return m_standard->get_accParent(parent);
    }
    STDMETHODIMP get_accChildCount(LONG* count) override {
        return m_standard->get_accChildCount(count);
    }
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override {
        return m_standard->get_accChild(child, out);
    }
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
        return m_standard->get_accName(child, name);
    }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* text) override {
        return m_standard->get_accDescription(child, text);
    }
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override {
        return m_standard->get_accHelp(child, help);
    }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return m_standard->get_accKeyboardShortcut(child, keys);
    }
    STDMETHODIMP get_accFocus(VARIANT* child) override { return m_standard->get_accFocus(child); }
    STDMETHODIMP get_accSelection(VARIANT* children) override {
        return m_standard->get_accSelection(children);
    }
    STDMETHODIMP accSelect(LONG flags, VARIANT child) override {
        return m_standard->accSelect(flags, child);
    }
    STDMETHODIMP accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                             VARIANT child) override {
        return m_standard->accLocation(left, top, width, height, child);
    }
    STDMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return m_standard->accNavigate(direction, start, end);
    }
    STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* child) override {
        return m_standard->accHitTest(x, y, child);
    }
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override {
        return m_standard->put_accName(child, name);
    }
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override {
        return m_standard->put_accValue(child, value);
    }

private:
    ~CLinkAccessible() { m_standard->Release(); }

    LONG m_refs = 1;
    HWND m_link;
    IAccessible* m_standard;
    std::wstring m_target;
};

} // namespace

LRESULT LinkAccessibleObject(HWND link, WPARAM wp, const std::string& target) {
    const COleacc& oleacc = Oleacc();
    if (oleacc.lresultFromObject == nullptr || oleacc.createStdAccessibleObject == nullptr) {
        return 0;
    }
    std::wstring value = win32::ToWide(target);
    IAccessible* standard = nullptr;
    if (FAILED(oleacc.createStdAccessibleObject(link, OBJID_CLIENT, __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&standard))) ||
        standard == nullptr) {
        return 0;
    }
    CLinkAccessible* object = new (std::nothrow) CLinkAccessible(link, standard, std::move(value));
    standard->Release();
    if (object == nullptr) {
        return 0;
    }
    // The result holds its own reference (marshalled); ours goes.
    const LRESULT result = oleacc.lresultFromObject(__uuidof(IAccessible), wp, object);
    object->Release();
    return result;
}
