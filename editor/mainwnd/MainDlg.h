// The editor's main window: the list of entries, adding by choosing a file, deleting, closing.
#pragma once

#include "Controls.h"
#include "Dialog.h"
#include "Owners.h"

#include <string>

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
    bool IsDuplicateItem(const std::string& title, const std::string& path) const;
    void SaveListToItems();

    BOOL PreTranslateMessage(MSG* msg) override;

    // Handlers, reached through the message map.
    void OnSelectFilePath();
    void OnDelete();
    LRESULT OnItemChangingList(NMHDR* hdr);
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
    // Refuses what "menu.dat" cannot hold, in the editor's own message box.
    bool CanStoreEntry(const std::string& title, const std::string& path);
    void ShowMessage(const std::string& text);
    void EnableDelete(bool enable);
    void LoadIcons();
};
