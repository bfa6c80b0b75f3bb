#include "ClassFactory.h"
#include "ComPlumbing.h"
#include "Module.h"

CClassFactory::CClassFactory(CreateFn create) : m_create(create) {
    ::InitializeCriticalSection(&m_cs);
}

CClassFactory::~CClassFactory() {
    ::DeleteCriticalSection(&m_cs);
}

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void** ppv) {
    static const InterfaceEntry s_interfaces[] = {
        Implements<CClassFactory, IClassFactory>(IID_IClassFactory),
    };
    return QueryInterfaceFromTable(this, s_interfaces, riid, ppv);
}

// The count and the module lock change as one step, so 1 <-> 2 transitions cannot interleave.
STDMETHODIMP_(ULONG) CClassFactory::AddRef() {
    ::EnterCriticalSection(&m_cs);
    const LONG count = ::InterlockedIncrement(&m_cRef);
    if (count == 2) {
        ModuleLock();
    }
    ::LeaveCriticalSection(&m_cs);
    return static_cast<ULONG>(count);
}

STDMETHODIMP_(ULONG) CClassFactory::Release() {
    ::EnterCriticalSection(&m_cs);
    const LONG count = ::InterlockedDecrement(&m_cRef);
    if (count == 1) {
        ModuleUnlock();
    }
    ::LeaveCriticalSection(&m_cs);
    if (count == 0) {
        delete this;
    }
    return static_cast<ULONG>(count);
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return m_create(riid, ppv);
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock) {
    if (lock) {
        ModuleLock();
    } else {
        ModuleUnlock();
    }
    return S_OK;
}
