// What every COM object and export of this library shares: interface tables answered by one
// QueryInterface, and the boundary that no exception crosses.
#pragma once

#include "Module.h"

#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <new>

// One row of an object's interface table: the interface and where its pointer lies within the
// object. The first row also answers IUnknown, so it is the object's identity.
struct InterfaceEntry {
    const IID* iid;
    std::ptrdiff_t offset;
};

template <class Class, class Interface> InterfaceEntry Implements(const IID& iid) {
    // Where the Interface part of a Class lies, from a cast of a made-up address (never used).
    Class* const object = reinterpret_cast<Class*>(sizeof(void*));
    return {&iid, reinterpret_cast<const char*>(static_cast<Interface*>(object)) -
                      reinterpret_cast<const char*>(object)};
}

// QueryInterface through a table: E_POINTER without an out pointer; otherwise the out pointer is
// set to null, and a row's interface is handed out after one AddRef, or E_NOINTERFACE.
template <std::size_t N>
HRESULT QueryInterfaceFromTable(void* object, const InterfaceEntry (&table)[N], REFIID riid,
                                void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    for (const InterfaceEntry& entry : table) {
        if (riid == *entry.iid || (&entry == &table[0] && riid == IID_IUnknown)) {
            IUnknown* answer =
                reinterpret_cast<IUnknown*>(static_cast<char*>(object) + entry.offset);
            answer->AddRef();
            *ppv = answer;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

// Runs body where COM or an export hands control back to the shell: nothing thrown may reach
// it. The one thing our code can throw, running out of memory, becomes E_OUTOFMEMORY.
template <class Body> HRESULT ComBoundary(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// The reference count and module lock of an apartment object (a plain count: it is used on one
// thread): created at 0 holding one module lock, destroyed by the Release that reaches 0. The
// count is parked far below 0 first, so that calls made during the teardown cannot start a
// second one.
template <class T> class CRefCounted {
public:
    CRefCounted(const CRefCounted&) = delete;
    CRefCounted& operator=(const CRefCounted&) = delete;

protected:
    CRefCounted() { ModuleLock(); }
    ~CRefCounted() { ModuleUnlock(); }

    ULONG AddRefImpl() { return static_cast<ULONG>(++m_cRef); }
    ULONG ReleaseImpl() {
        const LONG count = --m_cRef;
        if (count == 0) {
            m_cRef = -1073741823;
            delete static_cast<T*>(this);
        }
        return static_cast<ULONG>(count);
    }

private:
    LONG m_cRef = 0;
};

// A new object answering riid: E_OUTOFMEMORY when it cannot be made, and an object that cannot
// answer is destroyed at once (0 -> 1 -> QueryInterface -> Release).
template <class T, class... Args> HRESULT CreateComObject(REFIID riid, void** ppv, Args&&... args) {
    T* object = new (std::nothrow) T(static_cast<Args&&>(args)...);
    if (object == nullptr) {
        return E_OUTOFMEMORY;
    }
    object->AddRef();
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}
