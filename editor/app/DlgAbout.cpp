#include "DlgAbout.h"
#include "Bitmap.h"
#include "MenuResource.h"
#include "QarvoIdentity.h"
#include "WinApp.h"

#include <utility>

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
    ShowPicture();
    return TRUE;
}

void CDlgAbout::OnDpiChanged(UINT, UINT) {
    ShowPicture();
}

void CDlgAbout::ShowPicture() {
    HWND frame = GetDlgItem(IDC_ABOUT_PICTURE);
    RECT rc = {};
    ::GetClientRect(frame, &rc);
    const win32::CBitmap drawing(
        static_cast<HBITMAP>(::LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDB_ABOUT),
                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    win32::CBitmap picture = ScaleBitmap(drawing.Get(), rc.right, rc.bottom);
    if (!picture) {
        return; // the frame stays empty rather than showing a stretched picture
    }
    ::SendMessageA(frame, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.Get()));
    m_picture = std::move(picture); // the one shown before goes once the frame let go of it
}

// Enter and Esc end it whichever control has the focus, except Enter on a control that asks
// for the key: a link, which it opens.
BOOL CDlgAbout::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN)) {
        const bool forControl =
            msg->wParam == VK_RETURN &&
            (::SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg)) &
             DLGC_WANTMESSAGE) != 0;
        if (!forControl) {
            EndDialog(msg->wParam == VK_RETURN ? IDOK : IDCANCEL);
            return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(msg);
}

void CDlgAbout::OnSize(UINT, int, int) {
    Default();
}
