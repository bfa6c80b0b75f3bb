// Owners of Win32 resources: each closes what it holds exactly once, with the call that the
// resource needs. Detach() hands the resource over (a popup menu taken over by the shell's
// menu, say) so that the owner no longer closes it.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>
#include <shellapi.h>

namespace win32 {

template <class Traits> class CUnique {
public:
    using Handle = typename Traits::Handle;

    CUnique() = default;
    explicit CUnique(Handle h) : m_h(h) {}
    ~CUnique() { Reset(); }
    CUnique(const CUnique&) = delete;
    CUnique& operator=(const CUnique&) = delete;
    CUnique(CUnique&& other) noexcept : m_h(other.Detach()) {}
    CUnique& operator=(CUnique&& other) noexcept {
        if (this != &other) {
            Reset(other.Detach());
        }
        return *this;
    }

    bool Valid() const { return Traits::Valid(m_h); }
    explicit operator bool() const { return Valid(); }
    Handle Get() const { return m_h; }
    // Closes what is held and takes h instead.
    void Reset(Handle h = Traits::Empty()) {
        if (Valid()) {
            Traits::Close(m_h);
        }
        m_h = h;
    }
    void Attach(Handle h) { Reset(h); }
    Handle Detach() {
        const Handle h = m_h;
        m_h = Traits::Empty();
        return h;
    }
    // For calls that return the resource through a pointer; what was held is closed first.
    Handle* Receive() {
        Reset();
        return &m_h;
    }

private:
    Handle m_h = Traits::Empty();
};

// Kernel objects: CreateFile reports failure as INVALID_HANDLE_VALUE, other calls as null.
struct HandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
using CHandle = CUnique<HandleTraits>;

struct FindTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Handle h) { return h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::FindClose(h); }
};
using CFind = CUnique<FindTraits>;

struct KeyTraits {
    using Handle = HKEY;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};
using CKey = CUnique<KeyTraits>;

struct LibraryTraits {
    using Handle = HMODULE;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::FreeLibrary(h); }
};
using CLibrary = CUnique<LibraryTraits>;

// A menu not (yet) attached to a window or another menu; Detach() once it is.
struct MenuTraits {
    using Handle = HMENU;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::DestroyMenu(h); }
};
using CMenu = CUnique<MenuTraits>;

// Fonts, brushes, bitmaps: not while selected into a device context.
template <class G> struct GdiTraits {
    using Handle = G;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};
template <class G> using CGdiObject = CUnique<GdiTraits<G>>;
using CFont = CGdiObject<HFONT>;
using CBrush = CGdiObject<HBRUSH>;
using CBitmap = CGdiObject<HBITMAP>;

// An icon made by LoadImage or CreateIcon* (not a shared one from LoadIcon).
struct IconTraits {
    using Handle = HICON;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::DestroyIcon(h); }
};
using CIcon = CUnique<IconTraits>;

// An image list of ImageList_Create; a control given it keeps it only with the style that shares
// its image lists (LVS_SHAREIMAGELISTS).
struct ImageListTraits {
    using Handle = HIMAGELIST;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::ImageList_Destroy(h); }
};
using CImageList = CUnique<ImageListTraits>;

// A memory device context.
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::DeleteDC(h); }
};
using CMemoryDC = CUnique<MemoryDcTraits>;

// The device context of a window's client area, for drawing outside WM_PAINT.
class CClientDC {
public:
    explicit CClientDC(HWND hwnd) : m_hwnd(hwnd), m_dc(::GetDC(hwnd)) {}
    ~CClientDC() {
        if (m_dc != nullptr) {
            ::ReleaseDC(m_hwnd, m_dc);
        }
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;

    HDC Get() const { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

// A window that no framework object owns (a bare dialog, say).
struct WindowTraits {
    using Handle = HWND;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::DestroyWindow(h); }
};
using CWindow = CUnique<WindowTraits>;

// Memory of COM's task allocator (an item id list from the shell, say).
struct CoTaskMemTraits {
    using Handle = void*;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::CoTaskMemFree(h); }
};
using CCoTaskMem = CUnique<CoTaskMemTraits>;

// Files dropped on a window (WM_DROPFILES): released once read.
struct DropTraits {
    using Handle = HDROP;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::DragFinish(h); }
};
using CDrop = CUnique<DropTraits>;

struct BstrTraits {
    using Handle = BSTR;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::SysFreeString(h); }
};
using CBstr = CUnique<BstrTraits>;

// A started process and its first thread.
struct CProcess {
    CHandle process;
    CHandle thread;
    DWORD id = 0;

    // Takes over what CreateProcess filled in.
    void Attach(const PROCESS_INFORMATION& info) {
        process.Reset(info.hProcess);
        thread.Reset(info.hThread);
        id = info.dwProcessId;
    }
};

// COM on this thread for the scope's life, undone afterwards when this scope started it.
class CComScope {
public:
    CComScope() : m_hr(::CoInitialize(nullptr)) {}
    ~CComScope() {
        if (SUCCEEDED(m_hr)) {
            ::CoUninitialize();
        }
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    HRESULT m_hr;
};

} // namespace win32
