#include "Dialog.h"
#include "WinApp.h"

#include <commctrl.h>

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM, LPARAM lp) {
    // Everything but the first message reaches the object through its subclass procedure;
    // the dialog manager's own default handling runs behind it.
    if (msg != WM_INITDIALOG) {
        return FALSE;
    }
    CDialog* self = reinterpret_cast<CDialog*>(lp);
    // Attaching can allocate: nothing thrown may reach the dialog manager.
    try {
        if (!self->SubclassWindow(hwnd)) {
            return FALSE;
        }
        const BOOL result = self->OnInitDialog();
        self->CenterWindow(); // before it is first shown
        return result;
    } catch (...) {
        return FALSE;
    }
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    HWND hwnd = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(templateId),
                                     parent != nullptr ? parent->m_hWnd : nullptr,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr;
}

INT_PTR CDialog::DoModal() {
    HWND owner = CWinApp::DefaultOwner(m_pParentWnd);
    m_bModal = true;
    m_bEndModal = false;
    m_nModalResult = -1;
    const bool ownerWasEnabled = owner != nullptr && ::IsWindowEnabled(owner);
    HWND hwnd = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (hwnd == nullptr) {
        m_bModal = false;
        return -1;
    }
    if (ownerWasEnabled) {
        ::EnableWindow(owner, FALSE);
    }
    ::ShowWindow(hwnd, SW_SHOW);

    // Our own modal loop, so PreTranslateMessage sees the keys typed into the dialog.
    MSG msg;
    while (!m_bEndModal && ::IsWindow(hwnd)) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam)); // leave the quit to the outer loop
            break;
        }
        CWinApp::ProcessLoopMessage(&msg);
    }

    if (ownerWasEnabled) {
        ::EnableWindow(owner, TRUE);
        ::SetActiveWindow(owner);
    }
    ::DestroyWindow(hwnd);
    m_bModal = false;
    return m_nModalResult;
}

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    m_bEndModal = true;
    if (m_hWnd != nullptr) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        // Reached through a sent message (another process clicking the button, as automation
        // does), nothing would wake the loop waiting in GetMessage.
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
    }
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx{this, saveAndValidate != FALSE};
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (m_bModal) {
        UpdateData(TRUE);
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    if (m_bModal) {
        EndDialog(IDCANCEL);
    }
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    // The dialog manager's keyboard handling: tab order, mnemonics, Enter, Esc, space.
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && m_hWnd != nullptr &&
        (msg->hwnd == m_hWnd || ::IsChild(m_hWnd, msg->hwnd))) {
        return ::IsDialogMessageA(m_hWnd, msg);
    }
    return FALSE;
}

bool CDialog::OnWndMsg(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
        if (LOWORD(wp) == IDOK) {
            OnOK();
            result = 0;
            return true;
        }
        if (LOWORD(wp) == IDCANCEL) {
            OnCancel();
            result = 0;
            return true;
        }
    }
    return false;
}
