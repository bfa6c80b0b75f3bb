// CDialog: a dialog from a template, modeless (Create) or modal (DoModal, with its own message
// loop that offers messages to PreTranslateMessage), with data exchange.
#pragma once

#include "DataExchange.h"
#include "Wnd.h"

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

protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    virtual void OnOK();
    virtual void OnCancel();
    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    bool m_bModal = false;
    bool m_bEndModal = false;
    int m_nModalResult = -1;
};
