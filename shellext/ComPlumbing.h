// What every COM object and export of this library shares: interface tables answered by one
// QueryInterface, and the boundary that no exception crosses.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>

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
