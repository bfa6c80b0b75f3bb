#include "Wnd.h"

#include <commctrl.h>

#include <algorithm>
#include <unordered_map>

namespace {

// The editor has one user-interface thread, so the map needs no lock.
std::unordered_map<HWND, CWnd*>& HandleMap() {
    static std::unordered_map<HWND, CWnd*> s_map;
    return s_map;
}

constexpr UINT_PTR kSubclassId = 0x51a7;

} // namespace

CWnd::~CWnd() {
    if (m_hWnd != nullptr) {
        UnsubclassWindow();
        Detach();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    auto it = HandleMap().find(hwnd);
    return it != HandleMap().end() ? it->second : nullptr;
}

void CWnd::Attach(HWND hwnd) {
    m_hWnd = hwnd;
    HandleMap()[hwnd] = this;
}

void CWnd::Detach() {
    auto it = HandleMap().find(m_hWnd);
    if (it != HandleMap().end() && it->second == this) {
        HandleMap().erase(it);
    }
    m_hWnd = nullptr;
}

bool CWnd::SubclassWindow(HWND hwnd) {
    if (hwnd == nullptr || m_bSubclassed || (m_hWnd != nullptr && m_hWnd != hwnd)) {
        return false;
    }
    if (!::SetWindowSubclass(hwnd, &CWnd::SubclassProc, kSubclassId,
                             reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    m_bSubclassed = true;
    Attach(hwnd);
    return true;
}

bool CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

bool CWnd::UnsubclassWindow() {
    if (!m_bSubclassed || m_hWnd == nullptr) {
        return false;
    }
    ::RemoveWindowSubclass(m_hWnd, &CWnd::SubclassProc, kSubclassId);
    m_bSubclassed = false;
    return true;
}

CSubclassPause::CSubclassPause(CWnd& wnd) : m_wnd(wnd), m_bPaused(wnd.UnsubclassWindow()) {}

CSubclassPause::~CSubclassPause() {
    if (m_bPaused && m_wnd.m_hWnd != nullptr) {
        m_wnd.SubclassWindow(m_wnd.m_hWnd);
    }
}

std::string WindowText(HWND hwnd) {
    const int len = ::GetWindowTextLengthA(hwnd);
    std::string text(static_cast<std::size_t>(len) + 1, '\0');
    const int got = ::GetWindowTextA(hwnd, &text[0], len + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

BOOL CWnd::DestroyWindow() {
    return m_hWnd != nullptr ? ::DestroyWindow(m_hWnd) : FALSE;
}

void CWnd::CenterWindow() const {
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    const bool onOwner = owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoA(::MonitorFromWindow(onOwner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST),
                      &monitor);
    const RECT& area = monitor.rcWork;
    RECT around = area;
    if (onOwner) {
        ::GetWindowRect(owner, &around);
    }
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    // Whole on the work area, its caption first when it cannot be.
    x = std::max<int>(area.left, std::min<int>(x, area.right - width));
    y = std::max<int>(area.top, std::min<int>(y, area.bottom - height));
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT CWnd::Default() {
    return ::DefSubclassProc(m_hWnd, m_current.msg, m_current.wp, m_current.lp);
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

bool CWnd::ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    HWND child = nullptr;
    switch (msg) {
    case WM_COMMAND:
        child = reinterpret_cast<HWND>(lp);
        break;
    case WM_NOTIFY:
        child = lp != 0 ? reinterpret_cast<NMHDR*>(lp)->hwndFrom : nullptr;
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        child = reinterpret_cast<HWND>(lp);
        break;
    default:
        return false;
    }
    CWnd* object = child != nullptr && child != m_hWnd ? FromHandlePermanent(child) : nullptr;
    return object != nullptr && object->OnChildNotify(msg, wp, lp, result);
}

bool CWnd::OnWndMsg(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    const CurrentMessage saved = m_current;
    m_current = {msg, wp, lp};
    LRESULT result = 0;
    if (!ReflectToChild(msg, wp, lp, result) && !OnWndMsg(msg, wp, lp, result)) {
        result = Default();
    }
    m_current = saved;
    return result;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                    DWORD_PTR ref) {
    CWnd* self = reinterpret_cast<CWnd*>(ref);
    if (msg == WM_NCDESTROY) {
        const LRESULT result = ::DefSubclassProc(hwnd, msg, wp, lp);
        self->UnsubclassWindow();
        self->Detach();
        self->PostNcDestroy(); // may delete the object
        return result;
    }
    // Nothing thrown by a handler may cross into the system's window procedure.
    try {
        return self->WindowProc(msg, wp, lp);
    } catch (...) {
        return ::DefSubclassProc(hwnd, msg, wp, lp);
    }
}
