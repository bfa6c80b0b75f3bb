#include "Dialog.h"
#include "Display.h"
#include "WinApp.h"

#include <commctrl.h>

#include <utility>

namespace {

// From Windows 10 1703 the dialog manager scales a per-monitor dialog by itself when it moves to
// a monitor of another DPI. It is switched off: the dialog does it (ApplyDpi) the same way on
// every system, and also for what the dialog manager leaves alone (columns, pictures, icons).
void TakeOverDpiScaling(HWND dialog) {
    using SetDialogDpiChangeBehaviorFn =
        BOOL(WINAPI*)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS);
    static const SetDialogDpiChangeBehaviorFn s_set =
        win32::NewerUser32Entry<SetDialogDpiChangeBehaviorFn>("SetDialogDpiChangeBehavior");
    if (s_set != nullptr) {
        s_set(dialog, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
    }
}

} // namespace

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
        TakeOverDpiScaling(hwnd);
        self->RememberLayout();
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

void CDialog::RememberLayout() {
    m_nDpi = m_nLayoutDpi = win32::DpiOf(m_hWnd);
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    m_layoutClient = {client.right, client.bottom};
    m_layout.clear();
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        CPlacement placed = {child, {}};
        ::GetWindowRect(child, &placed.rc);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&placed.rc), 2);
        m_layout.push_back(placed);
    }
    m_hControlFont = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    m_bHasLayoutFont = m_hControlFont != nullptr &&
                       ::GetObjectA(m_hControlFont, sizeof m_layoutFont, &m_layoutFont) ==
                           static_cast<int>(sizeof m_layoutFont);
}

void CDialog::ApplyDpi(UINT dpi, const RECT& suggested) {
    const UINT oldDpi = m_nDpi;
    if (dpi == 0 || dpi == oldDpi || m_nLayoutDpi == 0) {
        return;
    }
    m_nDpi = dpi;
    // Each edge from the template's layout, not from the last one: no rounding piles up.
    const auto scale = [this](LONG length) {
        return ::MulDiv(length, static_cast<int>(m_nDpi), static_cast<int>(m_nLayoutDpi));
    };

    // The template's font at the new DPI; at the DPI of the layout, the template's own.
    const HFONT fontBefore = m_dpiFont ? m_dpiFont.Get() : m_hControlFont;
    win32::CFont font;
    if (m_bHasLayoutFont && dpi != m_nLayoutDpi) {
        LOGFONTA lf = m_layoutFont;
        lf.lfHeight = scale(lf.lfHeight);
        lf.lfWidth = scale(lf.lfWidth);
        font.Reset(::CreateFontIndirectA(&lf));
    }
    const HFONT fontAfter = font ? font.Get() : m_hControlFont;

    // Where the system suggests, with the client area the controls need whatever the frame.
    const int width = suggested.right - suggested.left;
    const int height = suggested.bottom - suggested.top;
    ::SetWindowPos(m_hWnd, nullptr, suggested.left, suggested.top, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    const int growX = scale(m_layoutClient.cx) - client.right;
    const int growY = scale(m_layoutClient.cy) - client.bottom;
    if (growX != 0 || growY != 0) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, width + growX, height + growY,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    HDWP moves = ::BeginDeferWindowPos(static_cast<int>(m_layout.size()));
    for (const CPlacement& placed : m_layout) {
        if (!::IsWindow(placed.hwnd)) {
            continue;
        }
        // A control given a font of its own keeps it: that is its owner's to scale.
        if (fontAfter != nullptr &&
            reinterpret_cast<HFONT>(::SendMessageA(placed.hwnd, WM_GETFONT, 0, 0)) == fontBefore) {
            ::SendMessageA(placed.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fontAfter), FALSE);
        }
        const RECT& rc = placed.rc;
        const int left = scale(rc.left), top = scale(rc.top);
        if (moves != nullptr) {
            moves = ::DeferWindowPos(moves, placed.hwnd, nullptr, left, top, scale(rc.right) - left,
                                     scale(rc.bottom) - top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (moves != nullptr) {
        ::EndDeferWindowPos(moves);
    }
    m_dpiFont = std::move(font); // the font of before goes once no control uses it

    OnDpiChanged(oldDpi, dpi);
    ::RedrawWindow(m_hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

bool CDialog::OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_DPICHANGED) {
        if (lp != 0) {
            ApplyDpi(LOWORD(wp), *reinterpret_cast<const RECT*>(lp));
        }
        result = 0;
        return true;
    }
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
