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
    return TRUE;
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
