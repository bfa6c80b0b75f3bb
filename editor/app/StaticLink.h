// A static text that works as a hyperlink: blue, red under the pointer, purple once opened;
// the press of the left button opens its target through the desktop's shell, as the signed-in
// user.
#pragma once

#include "Controls.h"
#include "Owners.h"
#include "ShellLaunch.h"

#include <string>
#include <utility>

// What a link opens: a web address, a "mailto:" address, a file.
class CLinkTarget {
public:
    CLinkTarget() = default;
    explicit CLinkTarget(std::string target) : m_strTarget(std::move(target)) {}
    virtual ~CLinkTarget() = default;

    // Opened as the desktop's user (OpenAsDesktopUser); Failed when there is no target.
    virtual OpenResult Open() const;

    std::string m_strTarget;
};

class CStaticLink : public CMapped<CStaticLink, CStatic> {
public:
    static const MsgMap<CStaticLink> s_messageMap;

    static constexpr COLORREF s_crNormal = RGB(0, 0, 255);
    static constexpr COLORREF s_crVisited = RGB(128, 0, 128);
    static constexpr COLORREF s_crHover = RGB(255, 0, 0);

    // Without a target, the string resource with the control's id names it, or else the
    // control's text. An auto-deleting link is made with new and deletes itself with its window.
    explicit CStaticLink(const char* target = nullptr, BOOL autoDelete = TRUE);

    CLinkTarget m_target;
    COLORREF m_crText = s_crNormal;
    win32::CFont m_font; // a copy of the control's font, made when first coloured
    BOOL m_bAutoDelete;
    BOOL m_bHover = FALSE;
    UINT m_nTimerId = 1;

    // Handlers, reached through the message map.
    LRESULT OnNcHitTest(POINT screen);
    void OnTimer(UINT_PTR id);
    HBRUSH OnCtlColor(HDC dc, HWND control);
    void OnLButtonDown(UINT keys, POINT client);
    BOOL OnSetCursor(HWND window, UINT hitTest, UINT mouseMessage);
    // The keyboard: a link in the Tab order opens with Enter or Space, as with a click, and
    // shows a focus rectangle; screen readers meet it as a link.
    LRESULT OnGetDlgCode(WPARAM wp, LPARAM lp);
    LRESULT OnKeyDown(WPARAM key, LPARAM lp);
    void OnFocusChange();
    void OnPaint();
    LRESULT OnGetObject(WPARAM wp, LPARAM lp);
    // A new font (the dialog's at another DPI) is copied again at the next colouring.
    LRESULT OnSetFont(WPARAM wp, LPARAM lp);

protected:
    void PostNcDestroy() override;

private:
    void SetTextColour(COLORREF colour);

    // Loaded on the first cursor request over any link and kept until the process ends; none
    // when it could not be loaded, and then not tried again.
    static HCURSOR s_hLinkCursor;
    static BOOL s_bLinkCursorTried;
};
