// The editor's main window: the list of entries, adding by choosing a file, deleting, closing.
#pragma once

#include "Controls.h"
#include "Dialog.h"
#include "Owners.h"

#include <map>
#include <string>
#include <vector>

// Stores the file-name part of path (after the last backslash) into title; a path without a
// backslash, or with nothing after it, is its own title. False only for an empty path.
bool GetFileNameFromPath(const std::string& path, std::string& title);

class CMainDlg : public CMapped<CMainDlg, CDialog> {
public:
    static const MsgMap<CMainDlg> s_messageMap;

    explicit CMainDlg(CWnd* parent = nullptr);
    ~CMainDlg() override;

    // The window's and taskbar's icons, from the icon's own sizes for the window's DPI.
    win32::CIcon m_hIcon;
    win32::CIcon m_hSmallIcon;
    std::string m_strTitle;
    std::string m_strPath;
    CListCtrl m_listItems;
    CButton m_btnSelectFile;
    CButton m_btnDelete;
    int m_nCurItem = -1;

    void InitListColumns();
    void FillList();
    bool AddListRow(const std::string& title, const std::string& path);
    // A row at index, its picture asked for whenever it is drawn: its target's icon.
    void InsertRow(int index, const std::string& title, const std::string& path);
    // True when a row already opens this path (whatever its title).
    bool IsDuplicateItem(const std::string& path) const;
    void SaveListToItems();
    // Adds each file as a chosen one is added, in this order; what cannot be added is said once,
    // at the end.
    void AddFiles(const std::vector<std::wstring>& paths);
    // Moves a row to another index; the moved row is then the one selected and tracked.
    void MoveRow(int from, int to);

    BOOL PreTranslateMessage(MSG* msg) override;

    // Handlers, reached through the message map.
    void OnSelectFilePath();
    void OnDelete();
    LRESULT OnItemChangingList(NMHDR* hdr);
    LRESULT OnEndLabelEditList(NMHDR* hdr);
    LRESULT OnBeginDragList(NMHDR* hdr);
    LRESULT OnGetDispInfoList(NMHDR* hdr);
    void OnIconsReady();
    void OnMouseMove(UINT keys, POINT pt);
    void OnLButtonUp(UINT keys, POINT pt);
    void OnCaptureChanged();
    void OnDropFiles(HDROP drop);
    void OnShowRefusal();
    void OnTimer(UINT_PTR id);
    void OnClose();
    void OnSysCommand(UINT id, LPARAM lp);
    void OnAbout();
    void OnHelp();
    void OnSkins();
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnSize(UINT type, int width, int height);
    void OnDestroy();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void PostNcDestroy() override;
    BOOL OnInitDialog() override;
    void OnDpiChanged(UINT oldDpi, UINT newDpi) override;

private:
    // Why a new entry cannot go into "menu.dat", or null when it can.
    const char* AddRefusal(const std::string& title, const std::string& path) const;
    void ShowMessage(const std::string& text);
    void EnableDelete(bool enable);
    void LoadIcons();
    // The rows' pictures made afresh at the window's DPI, the generic icon first.
    void MakeRowIcons();
    // The picture of a path's row: its target's icon once extracted, the generic one until then.
    int RowImage(const std::string& path);
    // The gap between rows (0 to the row count) nearest to a point of the list's client area.
    int DropIndexAt(POINT pt) const;
    void EndDrag();

    // The row being dragged to a new place, or -1.
    int m_nDragItem = -1;
    // A renamed title that was refused, said once the label editor is gone.
    std::string m_strRefusal;
    // Esc ended the title's editing.
    bool m_bLabelCancelled = false;
    // The rows' pictures at the window's DPI, and which of them each target's row shows (those
    // not in it show the generic one, at index 0).
    win32::CImageList m_imlIcons;
    std::map<std::string, int> m_iconImages;
};
