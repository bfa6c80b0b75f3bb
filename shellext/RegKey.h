// Owner of an open registry key.
#pragma once

#include <windows.h>

class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey() { Close(); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    HKEY Get() const { return m_key; }
    HKEY* Receive() {
        Close();
        return &m_key;
    }
    void Close() {
        if (m_key != nullptr) {
            ::RegCloseKey(m_key);
            m_key = nullptr;
        }
    }

private:
    HKEY m_key = nullptr;
};
