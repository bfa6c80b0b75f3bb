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
    int InsertItem(int index, const std::string& text) const;
    BOOL SetItemText(int index, int subItem, const std::string& text) const;
    std::string GetItemText(int index, int subItem) const;
    BOOL DeleteItem(int index) const {
        return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(index)));
    }
};
