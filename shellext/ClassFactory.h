#pragma once

#include <windows.h>
#include <unknwn.h>

// The factory of QarvoContextMenu handlers. The cached reference alone never locks the
// module; while any further reference exists the factory holds exactly one module lock.
class CClassFactory final : public IClassFactory {
public:
    using CreateFn = HRESULT (*)(REFIID riid, void** ppv);

    explicit CClassFactory(CreateFn create);
    CClassFactory(const CClassFactory&) = delete;
    CClassFactory& operator=(const CClassFactory&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IClassFactory
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ~CClassFactory();

    LONG m_cRef = 0;
    CRITICAL_SECTION m_cs;
    CreateFn m_create;
};
