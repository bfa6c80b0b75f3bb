#include "Controls.h"

int CListCtrl::InsertColumn(int index, const char* heading, int format, int width) const {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<char*>(heading);
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(&column)));
}

int CListCtrl::InsertItem(int index, const std::string& text, int image) const {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = index;
    item.iImage = image;
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemText(int index, int subItem, const std::string& text) const {
    LVITEMA item = {};
    item.iSubItem = subItem;
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<BOOL>(
        SendMessage(LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

std::string CListCtrl::GetItemText(int index, int subItem) const {
    // Any length: grow the buffer until the text fits.
    std::string buffer(256, '\0');
    for (;;) {
        LVITEMA item = {};
        item.iSubItem = subItem;
        item.pszText = &buffer[0];
        item.cchTextMax = static_cast<int>(buffer.size());
        const int len = static_cast<int>(SendMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(index),
                                                     reinterpret_cast<LPARAM>(&item)));
        if (len < static_cast<int>(buffer.size()) - 1) {
            buffer.resize(static_cast<std::size_t>(len));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

BOOL CListCtrl::SetItemState(int index, UINT state, UINT mask) const {
    LVITEMA item = {};
    item.state = state;
    item.stateMask = mask;
    return static_cast<BOOL>(
        SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetInsertMark(int index, bool after) const {
    LVINSERTMARK mark = {};
    mark.cbSize = sizeof mark;
    mark.dwFlags = after ? LVIM_AFTER : 0;
    mark.iItem = index;
    return static_cast<BOOL>(SendMessage(LVM_SETINSERTMARK, 0, reinterpret_cast<LPARAM>(&mark)));
}
