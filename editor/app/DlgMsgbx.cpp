#include "DlgMsgbx.h"
#include "MenuResource.h"

const MsgMap<CDlgMsgbx> CDlgMsgbx::s_messageMap = {
    OnCommand<&CDlgMsgbx::OnButtonOk>(IDC_MSGBOX_OK),
    OnMessage<&CDlgMsgbx::OnPaint>(WM_PAINT),
};

CDlgMsgbx::CDlgMsgbx(const std::string& text, CWnd* parent)
    : CMapped(IDD_MSGBOX, parent), m_strText(text) {}

void CDlgMsgbx::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_MSGBOX_TEXT, m_stcText);
}

BOOL CDlgMsgbx::OnInitDialog() {
    CDialog::OnInitDialog();
    ::MessageBeep(MB_ICONQUESTION);
    m_stcText.SetWindowText(m_strText);
    FitText();
    return TRUE;
}

void CDlgMsgbx::FitText() {
    HWND text = m_stcText.m_hWnd;
    RECT rc;
    ::GetWindowRect(text, &rc);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
    // Measured as the static draws it: in its font, broken at words, names shown as written.
    ::SetWindowLongPtrA(text, GWL_STYLE, ::GetWindowLongPtrA(text, GWL_STYLE) | SS_NOPREFIX);
    RECT need = {0, 0, rc.right - rc.left, 0};
    if (HDC dc = ::GetDC(text)) {
        const HGDIOBJ font =
            ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(m_stcText.SendMessage(WM_GETFONT)));
        ::DrawTextA(dc, m_strText.c_str(), -1, &need,
                    DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
        ::SelectObject(dc, font);
        ::ReleaseDC(text, dc);
    }
    const int grow = need.bottom - (rc.bottom - rc.top);
    if (grow <= 0) {
        return;
    }
    ::SetWindowPos(text, nullptr, 0, 0, rc.right - rc.left, need.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND ok = GetDlgItem(IDC_MSGBOX_OK);
    RECT okRect;
    ::GetWindowRect(ok, &okRect);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&okRect), 2);
    ::SetWindowPos(ok, nullptr, okRect.left, okRect.top + grow, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT box;
    ::GetWindowRect(m_hWnd, &box);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, box.right - box.left, box.bottom - box.top + grow,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Enter and Esc both mean "understood".
BOOL CDlgMsgbx::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN)) {
        EndDialog(IDOK);
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

void CDlgMsgbx::OnButtonOk() {
    EndDialog(IDOK);
}

// The static and the button draw themselves.
void CDlgMsgbx::OnPaint() {
    PAINTSTRUCT ps;
    ::BeginPaint(m_hWnd, &ps);
    ::EndPaint(m_hWnd, &ps);
}
