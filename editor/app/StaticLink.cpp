#include "StaticLink.h"
#include "AnsiText.h"
#include "Display.h"
#include "LinkAccessible.h"
#include "QarvoIdentity.h"
#include "WinApp.h"

HCURSOR CStaticLink::s_hLinkCursor = nullptr;
BOOL CStaticLink::s_bLinkCursorTried = FALSE;

const MsgMap<CStaticLink> CStaticLink::s_messageMap = {
    OnWmNcHitTest<&CStaticLink::OnNcHitTest>(),
    OnWmTimer<&CStaticLink::OnTimer>(),
    Reflected(OnWmCtlColor<&CStaticLink::OnCtlColor>(WM_CTLCOLORSTATIC)),
    OnWmLButtonDown<&CStaticLink::OnLButtonDown>(),
    OnWmSetCursor<&CStaticLink::OnSetCursor>(),
    OnMessage<&CStaticLink::OnGetDlgCode>(WM_GETDLGCODE),
    OnMessage<&CStaticLink::OnKeyDown>(WM_KEYDOWN),
    OnMessage<&CStaticLink::OnFocusChange>(WM_SETFOCUS),
    OnMessage<&CStaticLink::OnFocusChange>(WM_KILLFOCUS),
    OnMessage<&CStaticLink::OnPaint>(WM_PAINT),
    OnMessage<&CStaticLink::OnGetObject>(WM_GETOBJECT),
    OnMessage<&CStaticLink::OnSetFont>(WM_SETFONT),
};

namespace {

// String resource id of this program, of any length; empty when there is none.
std::string ResourceString(UINT id) {
    std::string text(256, '\0');
    for (;;) {
        const int got =
            ::LoadStringA(AfxGetInstanceHandle(), id, &text[0], static_cast<int>(text.size()));
        if (got < static_cast<int>(text.size()) - 1) {
            text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
            return text;
        }
        text.resize(text.size() * 2); // filled the buffer: it may have been cut
    }
}

// The hand of the system's old help viewer.
HCURSOR LoadHandCursor() {
    char folder[MAX_PATH] = {};
    const UINT length = ::GetSystemWindowsDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    const std::string path = std::string(folder, length) + "\\winhlp32.exe";
    // Only its resources are needed: none of its code is run.
    win32::CLibrary viewer(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!viewer) {
        return nullptr;
    }
    HCURSOR hand = ::LoadCursorA(viewer.Get(), MAKEINTRESOURCEA(106));
    // A copy of our own, which outlives the library.
    return hand != nullptr ? static_cast<HCURSOR>(::CopyIcon(hand)) : nullptr;
}

} // namespace

OpenResult CLinkTarget::Open() const {
    // A browser or mail program started by the elevated editor would run with its
    // administrator rights: the desktop's shell starts it as the user instead.
    return m_strTarget.empty() ? OpenResult::Failed : OpenAsDesktopUser(win32::ToWide(m_strTarget));
}

CStaticLink::CStaticLink(const char* target, BOOL autoDelete)
    : m_target(target != nullptr ? target : ""), m_bAutoDelete(autoDelete) {}

void CStaticLink::SetTextColour(COLORREF colour) {
    m_crText = colour;
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT CStaticLink::OnNcHitTest(POINT) {
    if (!m_bHover) {
        m_bHover = TRUE;
        SetTextColour(s_crHover);
        // The static hears nothing when the pointer leaves: the timer looks for it.
        ::SetTimer(m_hWnd, m_nTimerId, 100, nullptr);
    }
    // A client answer brings the clicks and cursor requests that a static without the notify
    // style would not get.
    return HTCLIENT;
}

void CStaticLink::OnTimer(UINT_PTR) {
    POINT pt = msgmap::PointOf(static_cast<LPARAM>(::GetMessagePos()));
    ::ScreenToClient(m_hWnd, &pt);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    if (!::PtInRect(&rc, pt)) {
        m_bHover = FALSE;
        ::KillTimer(m_hWnd, m_nTimerId);
        SetTextColour(s_crNormal);
    }
    Default();
}

HBRUSH CStaticLink::OnCtlColor(HDC dc, HWND) {
    // Text statics only (left, centred, right); pictures and frames keep their colours.
    const LONG_PTR type = ::GetWindowLongPtrA(m_hWnd, GWL_STYLE) & SS_TYPEMASK;
    if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT) {
        return nullptr;
    }
    if (!m_font) {
        HFONT current = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
        LOGFONTA lf;
        if (current != nullptr && ::GetObjectA(current, sizeof lf, &lf) == sizeof lf) {
            m_font.Reset(::CreateFontIndirectA(&lf));
        }
    }
    if (m_font) {
        ::SelectObject(dc, m_font.Get());
    }
    // In high contrast, the colour the user chose for links, whatever the state.
    ::SetTextColor(dc, win32::HighContrastOn() ? ::GetSysColor(COLOR_HOTLIGHT) : m_crText);
    ::SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(HOLLOW_BRUSH));
}

void CStaticLink::OnLButtonDown(UINT, POINT) {
    if (m_target.m_strTarget.empty()) {
        m_target.m_strTarget = ResourceString(static_cast<UINT>(::GetDlgCtrlID(m_hWnd)));
        if (m_target.m_strTarget.empty()) {
            m_target.m_strTarget = GetWindowText();
        }
    }
    if (m_target.m_strTarget.empty()) {
        return;
    }
    // Opened on the press, not on the release.
    switch (m_target.Open()) {
    case OpenResult::Opened:
        SetTextColour(s_crVisited);
        break;
    case OpenResult::Failed:
        ::MessageBeep(0);
        break;
    case OpenResult::NoUserRoute:
        // Never with the editor's rights: the user opens it. The system's box lets Ctrl+C copy
        // the address.
        ::MessageBoxA(::GetParent(m_hWnd),
                      ("Explorer could not open this for you, and the editor does not open it "
                       "with its administrator rights. Open it yourself in your browser or mail "
                       "program:\n\n" +
                       m_target.m_strTarget)
                          .c_str(),
                      QARVO_EDITOR_TITLE, MB_ICONINFORMATION);
        break;
    }
}

BOOL CStaticLink::OnSetCursor(HWND, UINT, UINT) {
    if (s_hLinkCursor == nullptr && !s_bLinkCursorTried) {
        s_hLinkCursor = LoadHandCursor();
        s_bLinkCursorTried = TRUE;
    }
    if (s_hLinkCursor == nullptr) {
        return FALSE; // the default cursor
    }
    ::SetCursor(s_hLinkCursor);
    return TRUE;
}

LRESULT CStaticLink::OnGetDlgCode(WPARAM, LPARAM lp) {
    const MSG* key = reinterpret_cast<const MSG*>(lp);
    LRESULT code = Default();
    // Enter would otherwise press the dialog's default button.
    if (key != nullptr && key->message == WM_KEYDOWN &&
        (key->wParam == VK_RETURN || key->wParam == VK_SPACE)) {
        code |= DLGC_WANTMESSAGE;
    }
    return code;
}

LRESULT CStaticLink::OnKeyDown(WPARAM key, LPARAM) {
    if (key == VK_RETURN || key == VK_SPACE) {
        OnLButtonDown(0, POINT{0, 0});
        return 0;
    }
    return Default();
}

void CStaticLink::OnFocusChange() {
    Default();
    // Its ground is the dialog's (the link paints no background): the dialog's part under it is
    // painted again, so a focus rectangle leaves no trace.
    HWND parent = ::GetParent(m_hWnd);
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    ::RedrawWindow(parent, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CStaticLink::OnPaint() {
    Default();
    // A static draws no focus of its own. Hidden, like every focus cue, until the keyboard is
    // used.
    if (::GetFocus() != m_hWnd || (SendMessage(WM_QUERYUISTATE) & UISF_HIDEFOCUS) != 0) {
        return;
    }
    const win32::CClientDC dc(m_hWnd);
    HFONT font = m_font ? m_font.Get() : reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    const HGDIOBJ old = ::SelectObject(dc.Get(), font);
    RECT text = {};
    const LONG_PTR style = ::GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    ::DrawTextA(dc.Get(), GetWindowText().c_str(), -1, &text,
                DT_CALCRECT | DT_SINGLELINE | ((style & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0));
    ::SelectObject(dc.Get(), old);
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    ::IntersectRect(&text, &text, &client);
    ::DrawFocusRect(dc.Get(), &text);
}

LRESULT CStaticLink::OnGetObject(WPARAM wp, LPARAM lp) {
    // The object id is 32 bits, whatever the width of LPARAM.
    if (static_cast<LONG>(lp) == OBJID_CLIENT) {
        if (const LRESULT object = LinkAccessibleObject(m_hWnd, wp, m_target.m_strTarget)) {
            return object;
        }
    }
    return Default();
}

LRESULT CStaticLink::OnSetFont(WPARAM, LPARAM) {
    m_font.Reset();
    return Default();
}

void CStaticLink::PostNcDestroy() {
    if (m_bAutoDelete) {
        delete this;
    }
}
