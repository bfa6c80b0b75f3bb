// Message maps as tables. Each row names a message (or a control's command or notification)
// and the member that handles it; what the handler receives is decided once, here, for each
// kind of message, so a class states no WPARAM/LPARAM cracking of its own.
//
//     const MsgMap<CMainDlg> CMainDlg::s_messageMap = {
//         OnWmTimer<&CMainDlg::OnTimer>(),
//         OnCommand<&CMainDlg::OnDelete>(IDC_DELETE),
//     };
#pragma once

#include <windows.h>

#include <type_traits>
#include <vector>

template <class T> struct MsgMapEntry {
    UINT msg;       // WM_COMMAND and WM_NOTIFY rows also match id and code
    UINT id;        // the control of a command or notification
    UINT code;      // the command's notification (BN_CLICKED) or the WM_NOTIFY code
    bool reflected; // the control's own handling of what its parent reflected back to it
    // Runs the handler; false leaves the message to default processing.
    bool (*call)(T* self, WPARAM wp, LPARAM lp, LRESULT& result);
};

// A class's rows, in table order.
template <class T> using MsgMap = std::vector<MsgMapEntry<T>>;

namespace msgmap {

template <class F> struct MemberOf;
template <class C, class R, class... A> struct MemberOf<R (C::*)(A...)> { using Class = C; };
template <auto Fn> using ClassOf = typename MemberOf<decltype(Fn)>::Class;

// Signed coordinates packed in an LPARAM (negative on a second monitor left of the first).
inline int LowSigned(LPARAM lp) {
    return static_cast<short>(LOWORD(lp));
}
inline int HighSigned(LPARAM lp) {
    return static_cast<short>(HIWORD(lp));
}
inline POINT PointOf(LPARAM lp) {
    return POINT{LowSigned(lp), HighSigned(lp)};
}

template <auto Fn>
constexpr MsgMapEntry<ClassOf<Fn>> Row(UINT msg, UINT id, UINT code,
                                       decltype(MsgMapEntry<ClassOf<Fn>>::call) call) {
    return {msg, id, code, false, call};
}

// The handler's return value as the message's result; a void handler's result is 0.
template <auto Fn, class... A> LRESULT Invoke(ClassOf<Fn>* self, A... args) {
    if constexpr (std::is_void_v<decltype((self->*Fn)(args...))>) {
        (self->*Fn)(args...);
        return 0;
    } else {
        return (LRESULT)(self->*Fn)(args...);
    }
}

} // namespace msgmap

// Any message: the handler takes (WPARAM, LPARAM) and returns LRESULT, or takes nothing.
template <auto Fn> constexpr auto OnMessage(UINT msg) {
    using T = msgmap::ClassOf<Fn>;
    return msgmap::Row<Fn>(msg, 0, 0, [](T* self, WPARAM wp, LPARAM lp, LRESULT& result) {
        if constexpr (std::is_invocable_v<decltype(Fn), T*, WPARAM, LPARAM>) {
            result = msgmap::Invoke<Fn>(self, wp, lp);
        } else {
            result = msgmap::Invoke<Fn>(self);
        }
        return true;
    });
}

// A control's command, a button click unless another notification is named: void().
template <auto Fn> constexpr auto OnCommand(UINT id, UINT code = BN_CLICKED) {
    using T = msgmap::ClassOf<Fn>;
    return msgmap::Row<Fn>(WM_COMMAND, id, code, [](T* self, WPARAM, LPARAM, LRESULT& result) {
        result = msgmap::Invoke<Fn>(self);
        return true;
    });
}

// A control's WM_NOTIFY: LRESULT(NMHDR*).
template <auto Fn> constexpr auto OnNotify(UINT id, UINT code) {
    using T = msgmap::ClassOf<Fn>;
    return msgmap::Row<Fn>(WM_NOTIFY, id, code, [](T* self, WPARAM, LPARAM lp, LRESULT& result) {
        result = msgmap::Invoke<Fn>(self, reinterpret_cast<NMHDR*>(lp));
        return true;
    });
}

// void(UINT command, LPARAM): the system menu's command id and the message's parameter.
template <auto Fn> constexpr auto OnWmSysCommand() {
    using T = msgmap::ClassOf<Fn>;
    return msgmap::Row<Fn>(WM_SYSCOMMAND, 0, 0, [](T* self, WPARAM wp, LPARAM lp, LRESULT& result) {
        result = msgmap::Invoke<Fn>(self, static_cast<UINT>(wp), lp);
        return true;
    });
}

// void(UINT_PTR timerId).
template <auto Fn> constexpr auto OnWmTimer() {
    using T = msgmap::ClassOf<Fn>;
    return msgmap::Row<Fn>(WM_TIMER, 0, 0, [](T* self, WPARAM wp, LPARAM, LRESULT& result) {
        result = msgmap::Invoke<Fn>(self, static_cast<UINT_PTR>(wp));
        return true;
    });
}

// void(UINT type, int width, int height): the new client size.
template <auto Fn> constexpr auto OnWmSize() {
    using T = msgmap::ClassOf<Fn>;
    return msgmap::Row<Fn>(WM_SIZE, 0, 0, [](T* self, WPARAM wp, LPARAM lp, LRESULT& result) {
        result = msgmap::Invoke<Fn>(self, static_cast<UINT>(wp), msgmap::LowSigned(lp),
                                    msgmap::HighSigned(lp));
        return true;
    });
}

// HCURSOR(): the cursor shown while a minimised window is dragged.
template <auto Fn> constexpr auto OnWmQueryDragIcon() {
    return OnMessage<Fn>(WM_QUERYDRAGICON);
}

// HBRUSH(HDC, HWND control) for one of the WM_CTLCOLOR* messages; a null brush leaves the
// message to default processing.
template <auto Fn> constexpr auto OnWmCtlColor(UINT msg) {
    using T = msgmap::ClassOf<Fn>;
    return msgmap::Row<Fn>(msg, 0, 0, [](T* self, WPARAM wp, LPARAM lp, LRESULT& result) {
        const HBRUSH brush = (self->*Fn)(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
        result = reinterpret_cast<LRESULT>(brush);
        return brush != nullptr;
    });
}

// BOOL(HWND window, UINT hitTest, UINT mouseMessage); FALSE leaves the cursor to default
// processing.
template <auto Fn> constexpr auto OnWmSetCursor() {
    using T = msgmap::ClassOf<Fn>;
    return msgmap::Row<Fn>(WM_SETCURSOR, 0, 0, [](T* self, WPARAM wp, LPARAM lp, LRESULT& result) {
        const BOOL handled = (self->*Fn)(reinterpret_cast<HWND>(wp), LOWORD(lp), HIWORD(lp));
        result = handled;
        return handled != FALSE;
    });
}

// LRESULT(POINT screen): the hit-test code of a point in screen coordinates.
template <auto Fn> constexpr auto OnWmNcHitTest() {
    using T = msgmap::ClassOf<Fn>;
    return msgmap::Row<Fn>(WM_NCHITTEST, 0, 0, [](T* self, WPARAM, LPARAM lp, LRESULT& result) {
        result = msgmap::Invoke<Fn>(self, msgmap::PointOf(lp));
        return true;
    });
}

// void(UINT keys, POINT client) for a mouse message of the client area (WM_MOUSEMOVE,
// WM_LBUTTONUP, ...).
template <auto Fn> constexpr auto OnWmMouse(UINT msg) {
    using T = msgmap::ClassOf<Fn>;
    return msgmap::Row<Fn>(msg, 0, 0, [](T* self, WPARAM wp, LPARAM lp, LRESULT& result) {
        result = msgmap::Invoke<Fn>(self, static_cast<UINT>(wp), msgmap::PointOf(lp));
        return true;
    });
}

// void(HDROP): files dropped on a window that accepts them; the handler releases the drop.
template <auto Fn> constexpr auto OnWmDropFiles() {
    using T = msgmap::ClassOf<Fn>;
    return msgmap::Row<Fn>(WM_DROPFILES, 0, 0, [](T* self, WPARAM wp, LPARAM, LRESULT& result) {
        result = msgmap::Invoke<Fn>(self, reinterpret_cast<HDROP>(wp));
        return true;
    });
}

// void(UINT keys, POINT client): the left button pressed.
template <auto Fn> constexpr auto OnWmLButtonDown() {
    return OnWmMouse<Fn>(WM_LBUTTONDOWN);
}

// The row applies to what a control's parent reflects back to the control (its colours).
template <class T> constexpr MsgMapEntry<T> Reflected(MsgMapEntry<T> entry) {
    entry.reflected = true;
    return entry;
}

// Runs the first row of the map that matches; false when none matches or its handler left the
// message to default processing.
template <class T>
bool DispatchMessageMap(T* self, const MsgMap<T>& map, bool reflected, UINT msg, WPARAM wp,
                        LPARAM lp, LRESULT& result) {
    for (const MsgMapEntry<T>& e : map) {
        if (e.reflected != reflected || e.msg != msg) {
            continue;
        }
        if (msg == WM_COMMAND && (e.id != LOWORD(wp) || e.code != HIWORD(wp))) {
            continue;
        }
        if (msg == WM_NOTIFY) {
            const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lp);
            if (hdr == nullptr || e.id != hdr->idFrom || e.code != hdr->code) {
                continue;
            }
        }
        return e.call(self, wp, lp, result);
    }
    return false;
}

// The one place where a class's map is consulted: derive T from CMapped<T, Base> and give T a
// public static s_messageMap. Its own rows come first, then Base's handling.
template <class T, class Base> class CMapped : public Base {
public:
    using Base::Base;

protected:
    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        return DispatchMessageMap(static_cast<T*>(this), T::s_messageMap, false, msg, wp, lp,
                                  result) ||
               Base::OnWndMsg(msg, wp, lp, result);
    }
    bool OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        return DispatchMessageMap(static_cast<T*>(this), T::s_messageMap, true, msg, wp, lp,
                                  result) ||
               Base::OnChildNotify(msg, wp, lp, result);
    }
};
