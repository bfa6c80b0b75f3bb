// Owner of a kernel handle that is closed with CloseHandle.
#pragma once

#include <windows.h>

class CScopedHandle {
public:
    CScopedHandle() = default;
    explicit CScopedHandle(HANDLE h) : m_h(h) {}
    ~CScopedHandle() { Reset(); }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;

    // CreateFile reports failure as INVALID_HANDLE_VALUE, other calls as null.
    bool Valid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }
    void Reset(HANDLE h = nullptr) {
        if (Valid()) {
            ::CloseHandle(m_h);
        }
        m_h = h;
    }

private:
    HANDLE m_h = nullptr;
};
