#include "RegScriptApply.h"
#include "ComPlumbing.h"
#include "Owners.h"

namespace {

HRESULT FromWin32(LONG error) {
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(error));
}

LONG SetString(HKEY key, const char* name, const std::string& data) {
    return ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1));
}

HRESULT RegisterStatements(HKEY parent, const std::vector<RegStatement>& statements) {
    for (const RegStatement& st : statements) {
        if (st.kind == RegStatement::Kind::Value) {
            const LONG error = SetString(parent, st.name.c_str(), st.value);
            if (error != ERROR_SUCCESS) {
                return FromWin32(error);
            }
            continue;
        }
        if (st.marker == RegStatement::Marker::ForceRemove) {
            ::RegDeleteTreeA(parent, st.name.c_str()); // a missing key is fine
        }
        win32::CKey key;
        if (::RegOpenKeyExA(parent, st.name.c_str(), 0, KEY_READ | KEY_WRITE, key.Receive()) !=
                ERROR_SUCCESS &&
            ::RegOpenKeyExA(parent, st.name.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
            const LONG error =
                ::RegCreateKeyExA(parent, st.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_READ | KEY_WRITE, nullptr, key.Receive(), nullptr);
            if (error != ERROR_SUCCESS) {
                return FromWin32(error);
            }
        }
        if (st.hasValue) {
            const LONG error = SetString(key.Get(), nullptr, st.value);
            if (error != ERROR_SUCCESS) {
                return FromWin32(error);
            }
        }
        const HRESULT hr = RegisterStatements(key.Get(), st.children);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

HRESULT UnregisterStatements(HKEY parent, const std::vector<RegStatement>& statements) {
    for (const RegStatement& st : statements) {
        if (st.kind == RegStatement::Kind::Value) {
            if (st.marker == RegStatement::Marker::NoRemove) {
                continue;
            }
            win32::CKey writable;
            LONG error = ::RegOpenKeyExA(parent, nullptr, 0, KEY_SET_VALUE, writable.Receive());
            if (error == ERROR_SUCCESS) {
                error = ::RegDeleteValueA(writable.Get(), st.name.c_str());
            }
            if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
                return FromWin32(error);
            }
            continue;
        }
        win32::CKey key;
        const LONG openError = ::RegOpenKeyExA(parent, st.name.c_str(), 0, KEY_READ, key.Receive());
        if (openError == ERROR_FILE_NOT_FOUND) {
            continue; // nothing of it is there
        }
        if (openError != ERROR_SUCCESS) {
            return FromWin32(openError);
        }
        const HRESULT hr = UnregisterStatements(key.Get(), st.children);
        if (FAILED(hr)) {
            return hr;
        }
        key.Reset();
        if (st.marker != RegStatement::Marker::NoRemove) {
            // One level only: a key that still holds subkeys we did not write stays, and the
            // run stops there.
            const LONG error = ::RegDeleteKeyA(parent, st.name.c_str());
            if (error != ERROR_SUCCESS) {
                return FromWin32(error);
            }
        }
    }
    return S_OK;
}

} // namespace

HKEY RootKey(RegRoot root) {
    switch (root) {
    case RegRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    }
    return nullptr;
}

HRESULT ApplyRegScript(const RegScript& script, HKEY root, RegMode mode) {
    return ComBoundary([&] {
        if (mode == RegMode::Unregister) {
            return UnregisterStatements(root, script.statements);
        }
        const HRESULT hr = RegisterStatements(root, script.statements);
        if (FAILED(hr)) {
            UnregisterStatements(root, script.statements);
        }
        return hr;
    });
}
