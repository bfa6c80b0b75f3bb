// The editor's own message box: one centred line of text and an OK button.
#pragma once

#include "Controls.h"
#include "Dialog.h"

#include <string>

class CDlgMsgbx : public CDialog {
public:
    CDlgMsgbx(const std::string& text, CWnd* parent);

    std::string m_strText;
    CStatic m_stcText;

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    void OnButtonOk();
    void OnPaint();

private:
    static const MsgMapEntry<CDlgMsgbx> s_messageMap[];
};
