// The editor's own message box: centred text (one line, or as many as it needs) and an OK
// button.
#pragma once

#include "Controls.h"
#include "Dialog.h"

#include <string>

class CDlgMsgbx : public CMapped<CDlgMsgbx, CDialog> {
public:
    static const MsgMap<CDlgMsgbx> s_messageMap;

    CDlgMsgbx(const std::string& text, CWnd* parent);

    std::string m_strText;
    CStatic m_stcText;

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

    void OnButtonOk();
    void OnPaint();

private:
    // Grows the box downwards until the whole text fits its width.
    void FitText();
};
