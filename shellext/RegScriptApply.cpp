#include "RegScriptApply.h"
#include "ComPlumbing.h"
#include "Owners.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

HRESULT FromWin32(LONG error) {
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(error));
}

HRESULT RegisterStatements(HKEY parent, const std::vector<RegStatement>& statements,
                           RegUndoLog& log) {
    for (const RegStatement& st : statements) {
        if (st.kind == RegStatement::Kind::Value) {
            const LONG error = log.SetString(parent, st.name.c_str(), st.value);
            if (error != ERROR_SUCCESS) {
                return FromWin32(error);
            }
            continue;
        }
        win32::CKey key;
        if (::RegOpenKeyExA(parent, st.name.c_str(), 0, KEY_READ | KEY_WRITE, key.Receive()) !=
                ERROR_SUCCESS &&
            ::RegOpenKeyExA(parent, st.name.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
            const LONG error = log.CreateKey(parent, st.name.c_str(), key);
            if (error != ERROR_SUCCESS) {
                return FromWin32(error);
            }
        }
        if (st.hasValue) {
            const LONG error = log.SetString(key.Get(), nullptr, st.value);
            if (error != ERROR_SUCCESS) {
                return FromWin32(error);
            }
        }
        const HRESULT hr = RegisterStatements(key.Get(), st.children, log);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

bool Names(const std::vector<RegStatement>& statements, RegStatement::Kind kind, const char* name) {
    for (const RegStatement& st : statements) {
        if (st.kind == kind && EqualsNoCase(st.name, name)) {
            return true;
        }
    }
    return false;
}

// Removes from key every value and subkey that st does not name, below it too: what a
// ForceRemove key is left with is exactly what the script writes. Failures are ignored.
void KeepOnlyWhatIsNamed(HKEY key, const RegStatement& st) {
    // Index i moves on past what stays; a name too long for the buffer is not ours either.
    char name[256];
    for (DWORD i = 0, size = sizeof name;; size = sizeof name) {
        const LONG error = ::RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (error != ERROR_SUCCESS && error != ERROR_MORE_DATA) {
            break;
        }
        if (error != ERROR_SUCCESS ||
            (name[0] == '\0' ? st.hasValue : Names(st.children, RegStatement::Kind::Value, name)) ||
            ::RegDeleteValueA(key, name) != ERROR_SUCCESS) {
            ++i;
        }
    }
    for (DWORD i = 0, size = sizeof name;; size = sizeof name) {
        const LONG error = ::RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (error != ERROR_SUCCESS && error != ERROR_MORE_DATA) {
            break;
        }
        if (error != ERROR_SUCCESS || Names(st.children, RegStatement::Kind::Key, name) ||
            ::RegDeleteTreeA(key, name) != ERROR_SUCCESS) {
            ++i;
        }
    }
    for (const RegStatement& child : st.children) {
        win32::CKey sub;
        if (child.kind == RegStatement::Kind::Key &&
            ::RegOpenKeyExA(key, child.name.c_str(), 0, KEY_READ | KEY_WRITE, sub.Receive()) ==
                ERROR_SUCCESS) {
            KeepOnlyWhatIsNamed(sub.Get(), child);
        }
    }
}

void ClearForceRemoveKeys(HKEY parent, const std::vector<RegStatement>& statements) {
    for (const RegStatement& st : statements) {
        win32::CKey key;
        if (st.kind == RegStatement::Kind::Key &&
            ::RegOpenKeyExA(parent, st.name.c_str(), 0, KEY_READ | KEY_WRITE, key.Receive()) ==
                ERROR_SUCCESS) {
            if (st.marker == RegStatement::Marker::ForceRemove) {
                KeepOnlyWhatIsNamed(key.Get(), st);
            } else {
                ClearForceRemoveKeys(key.Get(), st.children);
            }
        }
    }
}

HRESULT UnregisterStatements(HKEY parent, const std::vector<RegStatement>& statements, bool prune) {
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
        const HRESULT hr = UnregisterStatements(key.Get(), st.children, prune);
        if (FAILED(hr)) {
            return hr;
        }
        DWORD subkeys = 1;
        DWORD values = 1;
        if (prune) {
            ::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr);
        }
        key.Reset();
        if (st.marker == RegStatement::Marker::NoRemove) {
            if (subkeys == 0 && values == 0) {
                ::RegDeleteKeyA(parent, st.name.c_str());
            }
        } else {
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

struct RegUndoLog::Change {
    Change* previous;
    HKEY key; // whose value changed, or the parent of a created key
    bool created;
    bool existed; // the value was there before
    DWORD type;
    DWORD size;
    char text[1]; // the name, its NUL, then the earlier data

    BYTE* Data() { return reinterpret_cast<BYTE*>(text + std::strlen(text) + 1); }
};

RegUndoLog::Change* RegUndoLog::Note(HKEY key, const char* name, DWORD size) noexcept {
    const std::size_t nameSize = std::strlen(name) + 1;
    auto* change = static_cast<Change*>(std::malloc(offsetof(Change, text) + nameSize + size));
    if (change == nullptr) {
        ::RegCloseKey(key);
        return nullptr;
    }
    change->previous = m_last;
    change->key = key;
    change->created = false;
    change->existed = false;
    change->type = REG_NONE;
    change->size = size;
    std::memcpy(change->text, name, nameSize);
    m_last = change;
    return change;
}

void RegUndoLog::Forget() noexcept {
    Change* change = m_last;
    m_last = change->previous;
    ::RegCloseKey(change->key);
    std::free(change);
}

LONG RegUndoLog::SetString(HKEY key, const char* name, const std::string& data) {
    if (name == nullptr) {
        name = "";
    }
    // What could not be undone is not done.
    HKEY own = nullptr;
    LONG error = ::RegOpenKeyExA(key, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &own);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    DWORD type = REG_NONE;
    DWORD size = 0;
    const bool existed =
        ::RegQueryValueExA(own, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    Change* change = Note(own, name, existed ? size : 0);
    if (change == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    change->existed = existed;
    change->type = type;
    if (existed && ::RegQueryValueExA(own, name, nullptr, &change->type, change->Data(),
                                      &change->size) != ERROR_SUCCESS) {
        Forget();
        return ERROR_CANTREAD; // it changed under us
    }
    return ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1));
}

LONG RegUndoLog::CreateKey(HKEY parent, const char* name, win32::CKey& key) {
    HKEY own = nullptr;
    LONG error = ::RegOpenKeyExA(parent, nullptr, 0, KEY_READ, &own);
    Change* change = error == ERROR_SUCCESS ? Note(own, name, 0) : nullptr;
    if (change == nullptr) {
        return error != ERROR_SUCCESS ? error : ERROR_NOT_ENOUGH_MEMORY;
    }
    DWORD disposition = 0;
    error = ::RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_READ | KEY_WRITE, nullptr, key.Receive(), &disposition);
    change->created = error == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    if (!change->created) {
        Forget(); // nothing of ours to remove
    }
    return error;
}

void RegUndoLog::Undo() noexcept {
    while (Change* change = m_last) {
        if (change->created) {
            ::RegDeleteTreeA(change->key, change->text);
        } else if (change->existed) {
            ::RegSetValueExA(change->key, change->text, 0, change->type, change->Data(),
                             change->size);
        } else {
            ::RegDeleteValueA(change->key, change->text);
        }
        Forget();
    }
}

void RegUndoLog::Commit() noexcept {
    while (m_last != nullptr) {
        Forget();
    }
}

HRESULT ApplyRegScript(const RegScript& script, HKEY root, RegMode mode, RegUndoLog* log) {
    if (mode != RegMode::Register) {
        return ComBoundary([&] {
            return UnregisterStatements(root, script.statements,
                                        mode == RegMode::UnregisterAndPrune);
        });
    }
    RegUndoLog ownLog;
    RegUndoLog& changes = log != nullptr ? *log : ownLog;
    const HRESULT hr =
        ComBoundary([&] { return RegisterStatements(root, script.statements, changes); });
    if (FAILED(hr)) {
        changes.Undo();
        return hr;
    }
    ClearForceRemoveKeys(root, script.statements);
    ownLog.Commit();
    return S_OK;
}
