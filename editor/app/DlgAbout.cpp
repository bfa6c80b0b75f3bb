#include "DlgAbout.h"
#include "MenuResource.h"
#include "QarvoIdentity.h"

namespace {

constexpr char kProductName[] = QARVO_PRODUCT_NAME;
constexpr char kWebsite[] = QARVO_WEBSITE;
constexpr char kSupportMail[] = QARVO_SUPPORT_MAIL;

} // namespace

const MsgMap<CDlgAbout> CDlgAbout::s_messageMap = {
    OnWmSize<&CDlgAbout::OnSize>(),
};

CDlgAbout::CDlgAbout(CWnd* parent)
    : CMapped(IDD_ABOUTBOX, parent), m_linkWeb(nullptr, FALSE), m_linkMail(nullptr, FALSE) {}

BOOL CDlgAbout::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowText(std::string("About ") + kProductName);
    m_linkWeb.m_target.m_strTarget = kWebsite;
    m_linkWeb.SubclassDlgItem(IDC_LINK_WEB, this);
    m_linkMail.m_target.m_strTarget = std::string("mailto:") + kSupportMail;
    m_linkMail.SubclassDlgItem(IDC_LINK_MAIL, this);
    return TRUE;
}

// Enter and Esc end it whichever control has the focus.
BOOL CDlgAbout::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN)) {
        EndDialog(msg->wParam == VK_RETURN ? IDOK : IDCANCEL);
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

void CDlgAbout::OnSize(UINT, int, int) {
    Default();
}
