// CDialog: a dialog from a template, modeless (Create) or modal (DoModal, with its own message
// loop that offers messages to PreTranslateMessage), with data exchange, laid out again for the
// DPI of each monitor it is moved to.
#pragma once

#include "DataExchange.h"
#include "Owners.h"
#include "Wnd.h"

#include <vector>

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr)
        : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

    // Modeless: creates the window and returns whether it exists.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Modal: IDOK, IDCANCEL or what EndDialog was given; -1 when the window could not be made.
    INT_PTR DoModal();
    void EndDialog(int result);

    // Direction true: controls to members; false: members to controls.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    BOOL PreTranslateMessage(MSG* msg) override;

    // The DPI the dialog is laid out for: its monitor's.
    UINT GetDpi() const { return m_nDpi; }

protected:
    virtual BOOL OnInitDialog();
    // After WM_DPICHANGED has scaled the window, its controls and their font: what else the
    // dialog sizes by its DPI (list columns, pictures, icons).
    virtual void OnDpiChanged(UINT /*oldDpi*/, UINT /*newDpi*/) {}
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK();
    virtual void OnCancel();
    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    // The layout as the dialog manager made it from the template, at the DPI of then.
    struct CPlacement {
        HWND hwnd;
        RECT rc; // in the dialog's client coordinates
    };
    void RememberLayout();
    void ApplyDpi(UINT dpi, const RECT& suggested);

    UINT m_nDpi = 0;
    UINT m_nLayoutDpi = 0;
    SIZE m_layoutClient = {};
    std::vector<CPlacement> m_layout;
    LOGFONTA m_layoutFont = {};
    bool m_bHasLayoutFont = false;
    HFONT m_hControlFont = nullptr; // the font the controls were given with the layout
    win32::CFont m_dpiFont;         // that font made again for another DPI

    bool m_bModal = false;
    bool m_bEndModal = false;
    int m_nModalResult = -1;
};
