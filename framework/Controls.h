// Thin typed wrappers over the common controls the editor uses; one message each.
#pragma once

#include "Wnd.h"

#include <commctrl.h>

#include <string>

class CStatic : public CWnd {};

class CButton : public CWnd {};

class CListCtrl : public CWnd {
public:
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    DWORD GetExtendedStyle() const {
        return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
    }
    void SetExtendedStyle(DWORD style) const {
        SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
    }
    int InsertColumn(int index, const char* heading, int format, int width) const;
    int GetColumnWidth(int column) const {
        return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
    }
    BOOL SetColumnWidth(int column, int width) const {
        return static_cast<BOOL>(
            SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)));
    }
    // image: the row's picture in the small image list, or I_IMAGECALLBACK to have the parent
    // asked for it (LVN_GETDISPINFO) whenever the row is drawn.
    int InsertItem(int index, const std::string& text, int image = 0) const;
    BOOL SetItemText(int index, int subItem, const std::string& text) const;
    std::string GetItemText(int index, int subItem) const;
    BOOL DeleteItem(int index) const {
        return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(index)));
    }
    // state within mask, for one row or (index -1) for every row.
    BOOL SetItemState(int index, UINT state, UINT mask) const;
    BOOL EnsureVisible(int index) const {
        return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE));
    }
    BOOL GetItemRect(int index, RECT& rc, int code) const {
        rc.left = code;
        return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(index),
                                             reinterpret_cast<LPARAM>(&rc)));
    }
    BOOL Scroll(int dx, int dy) const {
        return static_cast<BOOL>(SendMessage(LVM_SCROLL, static_cast<WPARAM>(dx), dy));
    }
    // The line shown between rows while one is dragged; index -1 hides it.
    BOOL SetInsertMark(int index, bool after) const;
    // Notifications in UTF-16: an edited label then reaches the parent as typed.
    BOOL SetUnicodeFormat(BOOL unicode) const {
        return static_cast<BOOL>(SendMessage(LVM_SETUNICODEFORMAT, static_cast<WPARAM>(unicode)));
    }
    // Starts editing a row's label in place (the control needs LVS_EDITLABELS): the wide
    // message, so the edit box takes any character the user types.
    HWND EditLabel(int index) const {
        return reinterpret_cast<HWND>(SendMessage(LVM_EDITLABELW, static_cast<WPARAM>(index)));
    }
    // The label being edited, or null.
    HWND GetEditControl() const { return reinterpret_cast<HWND>(SendMessage(LVM_GETEDITCONTROL)); }
};
