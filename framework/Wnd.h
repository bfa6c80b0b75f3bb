// CWnd: owner of an HWND, the handle-to-object map, subclassing, message maps as tables, and
// reflection of control notifications back to the control's own object.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

class CWnd;

// One row of a message map: a window message, a command (a control's notification through
// WM_COMMAND, BN_CLICKED for buttons) or a WM_NOTIFY code from a control.
template <class T> struct MsgMapEntry {
    enum class Kind { Message, Command, Notify };
    Kind kind;
    UINT id;   // message, or control id
    UINT code; // WM_COMMAND notification or WM_NOTIFY code
    LRESULT (T::*onMessage)(WPARAM, LPARAM);
    void (T::*onCommand)(); // commands, and messages whose parameters mean nothing
    LRESULT (T::*onNotify)(NMHDR*);
};

template <class T> constexpr MsgMapEntry<T> OnMessage(UINT msg, LRESULT (T::*fn)(WPARAM, LPARAM)) {
    return {MsgMapEntry<T>::Kind::Message, msg, 0, fn, nullptr, nullptr};
}
// A message handled by a handler without parameters; the message's result is 0.
template <class T> constexpr MsgMapEntry<T> OnMessage(UINT msg, void (T::*fn)()) {
    return {MsgMapEntry<T>::Kind::Message, msg, 0, nullptr, fn, nullptr};
}
template <class T>
constexpr MsgMapEntry<T> OnCommand(UINT id, void (T::*fn)(), UINT code = BN_CLICKED) {
    return {MsgMapEntry<T>::Kind::Command, id, code, nullptr, fn, nullptr};
}
template <class T> constexpr MsgMapEntry<T> OnNotify(UINT id, UINT code, LRESULT (T::*fn)(NMHDR*)) {
    return {MsgMapEntry<T>::Kind::Notify, id, code, nullptr, nullptr, fn};
}

// Runs the first matching row of a map; false when no row matches.
template <class T, std::size_t N>
bool DispatchMessageMap(T* self, const MsgMapEntry<T> (&map)[N], UINT msg, WPARAM wp, LPARAM lp,
                        LRESULT& result) {
    using Kind = typename MsgMapEntry<T>::Kind;
    for (const MsgMapEntry<T>& e : map) {
        if (e.kind == Kind::Message && e.id == msg) {
            if (e.onMessage != nullptr) {
                result = (self->*e.onMessage)(wp, lp);
            } else {
                (self->*e.onCommand)();
                result = 0;
            }
            return true;
        }
        if (e.kind == Kind::Command && msg == WM_COMMAND && e.id == LOWORD(wp) &&
            e.code == HIWORD(wp)) {
            (self->*e.onCommand)();
            result = 0;
            return true;
        }
        if (e.kind == Kind::Notify && msg == WM_NOTIFY) {
            NMHDR* hdr = reinterpret_cast<NMHDR*>(lp);
            if (hdr != nullptr && e.id == hdr->idFrom && e.code == hdr->code) {
                result = (self->*e.onNotify)(hdr);
                return true;
            }
        }
    }
    return false;
}

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    // The object attached to a window, if any.
    static CWnd* FromHandlePermanent(HWND hwnd);

    // Routes the window's messages through this object (SetWindowSubclass).
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(UINT id, CWnd* parent);
    void UnsubclassWindow();

    // Keyboard and mouse messages before they are dispatched; true when consumed.
    virtual BOOL PreTranslateMessage(MSG* msg);

    // Thin calls on the window.
    BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    void SetWindowText(const std::string& text) const { ::SetWindowTextA(m_hWnd, text.c_str()); }
    std::string GetWindowText() const;
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
