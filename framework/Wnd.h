// CWnd: owner of an HWND, the handle-to-object map, subclassing, message maps as tables, and
// reflection of control notifications back to the control's own object.
#pragma once

#include "MessageMap.h"

#include <windows.h>

#include <string>

// The text of any window, of any length.
std::string WindowText(HWND hwnd);

class CWnd;

// Lets a window's messages go past its object while it lives: for a burst of messages that the
// object does not handle (filling a list, say). Each message to a subclassed window costs the
// system's subclass bookkeeping, under Wine two calls to the window server.
class CSubclassPause {
public:
    explicit CSubclassPause(CWnd& wnd);
    ~CSubclassPause();
    CSubclassPause(const CSubclassPause&) = delete;
    CSubclassPause& operator=(const CSubclassPause&) = delete;

private:
    CWnd& m_wnd;
    bool m_bPaused;
};

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    // The object attached to a window, if any.
    static CWnd* FromHandlePermanent(HWND hwnd);

    // Routes the window's messages through this object (SetWindowSubclass); also the window
    // this object is attached to again, after UnsubclassWindow.
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(UINT id, CWnd* parent);
    // The messages go past this object again; it stays attached to the window. True when they
    // came through it until now.
    bool UnsubclassWindow();

    // Keyboard and mouse messages before they are dispatched; true when consumed.
    virtual BOOL PreTranslateMessage(MSG* msg);

    // Thin calls on the window.
    BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    // Off while many changes are made at once: the window then neither repaints nor
    // recomputes its layout after each of them.
    void SetRedraw(BOOL redraw = TRUE) const { SendMessage(WM_SETREDRAW, redraw); }
    void SetWindowText(const std::string& text) const { ::SetWindowTextA(m_hWnd, text.c_str()); }
    std::string GetWindowText() const { return WindowText(m_hWnd); }
    HWND GetDlgItem(UINT id) const { return ::GetDlgItem(m_hWnd, static_cast<int>(id)); }
    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return ::SendMessageA(m_hWnd, msg, wp, lp);
    }
    BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return ::PostMessageA(m_hWnd, msg, wp, lp);
    }
    BOOL DestroyWindow();
    // Centres the window on its owner when that is shown, else on its monitor's work area.
    void CenterWindow() const;

protected:
    // The message being handled goes on to the window's previous procedure.
    LRESULT Default();

    // The class's own handling of a message (its message map, then its base class's); false
    // sends the message on to default processing. Reflection to child objects comes first.
    virtual bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // A notification, command or colour message that this control's parent reflected back.
    virtual bool OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // Called after WM_NCDESTROY, when the window is gone.
    virtual void PostNcDestroy() {}

    void Attach(HWND hwnd);
    void Detach();

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                         DWORD_PTR ref);
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    bool ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    struct CurrentMessage {
        UINT msg;
        WPARAM wp;
        LPARAM lp;
    };
    CurrentMessage m_current = {};
    bool m_bSubclassed = false;
};
