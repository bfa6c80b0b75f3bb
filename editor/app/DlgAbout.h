// The About dialog: the product's name and version, its maker, a picture, and links to the web
// site and to the support mail address.
#pragma once

#include "Dialog.h"
#include "Owners.h"
#include "StaticLink.h"

class CDlgAbout : public CMapped<CDlgAbout, CDialog> {
public:
    static const MsgMap<CDlgAbout> s_messageMap;

    explicit CDlgAbout(CWnd* parent = nullptr);

    CStaticLink m_linkWeb;
    CStaticLink m_linkMail;

    BOOL PreTranslateMessage(MSG* msg) override;

    void OnSize(UINT type, int width, int height);

protected:
    BOOL OnInitDialog() override;
    void OnDpiChanged(UINT oldDpi, UINT newDpi) override;

private:
    // The picture drawn at the size of its frame, scaled down from the larger drawing.
    void ShowPicture();
    win32::CBitmap m_picture;
};
