#include "DataExchange.h"
#include "Wnd.h"

void DDX_Text(CDataExchange* dx, UINT id, std::string& value, int maxChars) {
    HWND control = dx->m_pDlgWnd->GetDlgItem(id);
    if (control == nullptr) {
        return;
    }
    if (dx->m_bSaveAndValidate) {
        value = WindowText(control);
    } else {
        ::SendMessageA(control, EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
        ::SetWindowTextA(control, value.c_str());
    }
}

void DDX_Control(CDataExchange* dx, UINT id, CWnd& control) {
    if (control.m_hWnd == nullptr) {
        control.SubclassDlgItem(id, dx->m_pDlgWnd);
    }
}
