#include "MainDlg.h"
#include "AppConfig.h"
#include "DlgAbout.h"
#include "Display.h"
#include "MenuApp.h"
#include "DlgMsgbx.h"
#include "FileDialog.h"
#include "MenuData.h"
#include "WinApp.h"
#include "MenuResource.h"
#include "Owners.h"
#include "QarvoIdentity.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>

namespace {

constexpr UINT_PTR kShowTimer = 100;
constexpr char kAppTitle[] = QARVO_EDITOR_TITLE;

// A window not redrawn while this lives, and redrawn again however the scope ends.
class CRedrawOff {
public:
    explicit CRedrawOff(const CWnd& wnd) : m_wnd(wnd) { m_wnd.SetRedraw(FALSE); }
    ~CRedrawOff() { m_wnd.SetRedraw(TRUE); }
    CRedrawOff(const CRedrawOff&) = delete;
    CRedrawOff& operator=(const CRedrawOff&) = delete;

private:
    const CWnd& m_wnd;
};
constexpr char kHelpFile[] = "Menu.chm";

} // namespace

const MsgMap<CMainDlg> CMainDlg::s_messageMap = {
    OnWmSysCommand<&CMainDlg::OnSysCommand>(),
    OnMessage<&CMainDlg::OnPaint>(WM_PAINT),
    OnWmQueryDragIcon<&CMainDlg::OnQueryDragIcon>(),
    OnWmSize<&CMainDlg::OnSize>(),
    OnMessage<&CMainDlg::OnDestroy>(WM_DESTROY),
    OnMessage<&CMainDlg::OnClose>(WM_CLOSE),
    OnWmTimer<&CMainDlg::OnTimer>(),
    OnCommand<&CMainDlg::OnAbout>(IDC_ABOUT),
    OnCommand<&CMainDlg::OnHelp>(IDC_HELP_BUTTON),
    OnCommand<&CMainDlg::OnSkins>(IDC_SKINS),
    OnCommand<&CMainDlg::OnClose>(IDC_EXIT),
    OnCommand<&CMainDlg::OnDelete>(IDC_DELETE),
    OnCommand<&CMainDlg::OnSelectFilePath>(IDC_SELECT_FILE),
    OnNotify<&CMainDlg::OnItemChangingList>(IDC_LIST_ITEMS, LVN_ITEMCHANGING),
};

bool GetFileNameFromPath(const std::string& path, std::string& title) {
    if (path.empty()) {
        return false;
    }
    // Multibyte-aware: a trail byte of a double-byte character may equal '\'.
    const char* last = nullptr;
    for (const char* p = path.c_str(); *p != '\0'; p = ::CharNextA(p)) {
        if (*p == '\\') {
            last = p;
        }
    }
    if (last == nullptr || last[1] == '\0') {
        title = path;
    } else {
        title = last + 1;
    }
    return true;
}

CMainDlg::CMainDlg(CWnd* parent) : CMapped(IDD_MAIN, parent) {}

CMainDlg::~CMainDlg() = default;

void CMainDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_EDIT_TITLE, m_strTitle, 128);
    DDX_Text(dx, IDC_EDIT_PATH, m_strPath, 256);
    DDX_Control(dx, IDC_LIST_ITEMS, m_listItems);
    DDX_Control(dx, IDC_DELETE, m_btnDelete);
    DDX_Control(dx, IDC_SELECT_FILE, m_btnSelectFile);
}

BOOL CMainDlg::OnInitDialog() {
    // Started first: the system waits at least 10 ms however short the interval, and the window
    // is filled meanwhile. The timer fires only from the message loop, after this returns, so the
    // window is still shown once, when its initialisation is done.
    ::SetTimer(m_hWnd, kShowTimer, 5, nullptr);
    CDialog::OnInitDialog();

    if (HMENU sysMenu = ::GetSystemMenu(m_hWnd, FALSE)) {
        char about[256] = {};
        ::LoadStringA(AfxGetInstanceHandle(), IDS_ABOUTBOX, about, sizeof about);
        if (about[0] != '\0') {
            ::AppendMenuA(sysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SetWindowText(kAppTitle);
    LoadIcons();
    // Screen readers name the list after its label, or else after its own text.
    m_listItems.SetWindowText(WindowText(GetDlgItem(IDC_LABEL_LIST)));
    FillList();
    // The keyboard starts on the command that adds an entry, not on the first control in the
    // Tab order; FALSE keeps the dialog manager from moving it there.
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_btnSelectFile.m_hWnd), TRUE);
    return FALSE;
}

void CMainDlg::LoadIcons() {
    const UINT dpi = GetDpi();
    const auto load = [dpi](int metric) {
        const int size = win32::MetricForDpi(metric, dpi);
        return static_cast<HICON>(::LoadImageA(AfxGetInstanceHandle(),
                                               MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, size,
                                               size, LR_DEFAULTCOLOR));
    };
    win32::CIcon big(load(SM_CXICON));
    win32::CIcon small(load(SM_CXSMICON));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
    // The icons of before are let go of only now that the window no longer shows them.
    m_hIcon = std::move(big);
    m_hSmallIcon = std::move(small);
}

void CMainDlg::OnDpiChanged(UINT oldDpi, UINT newDpi) {
    LoadIcons();
    // The user's width of the first column stays the same in 96-DPI pixels.
    if (m_listItems.m_hWnd != nullptr) {
        const int width =
            win32::ScaleToDpi(win32::ScaleFromDpi(m_listItems.GetColumnWidth(0), oldDpi), newDpi);
        RECT rc;
        ::GetWindowRect(m_listItems.m_hWnd, &rc);
        m_listItems.SetColumnWidth(0, width);
        // A negative width would ask the list to size the column to its texts.
        m_listItems.SetColumnWidth(1, std::max(0, static_cast<int>(rc.right - rc.left) - width));
    }
}

void CMainDlg::OnTimer(UINT_PTR id) {
    if (id == kShowTimer) {
        ::KillTimer(m_hWnd, kShowTimer);
        ShowWindow(SW_SHOW);
    }
    Default();
}

void CMainDlg::InitListColumns() {
    if (m_listItems.m_hWnd == nullptr) {
        return;
    }
    m_listItems.SetExtendedStyle(m_listItems.GetExtendedStyle() | LVS_EX_GRIDLINES |
                                 LVS_EX_FULLROWSELECT);
    RECT rc;
    ::GetWindowRect(m_listItems.m_hWnd, &rc);
    // Stored in pixels at 96 DPI: the same width at any scaling.
    const int width = win32::ScaleToDpi(g_appConfig.Col0Width, GetDpi());
    m_listItems.InsertColumn(0, "System menu title", LVCFMT_LEFT, width);
    m_listItems.InsertColumn(1, "Attached file path", LVCFMT_LEFT, (rc.right - rc.left) - width);
}

void CMainDlg::FillList() {
    InitListColumns();
    m_nCurItem = -1;
    ::EnableWindow(GetDlgItem(IDC_EDIT_PATH), FALSE);
    EnableDelete(false);
    // The rows go in with the list neither redrawn nor passing its messages through its object
    // (which handles none of them): each row would otherwise cost a redraw and the subclass
    // bookkeeping of every message.
    const CSubclassPause pause(m_listItems);
    {
        const CRedrawOff quiet(m_listItems);
        for (const MenuItem& item : g_appConfig.Items) {
            const int row = m_listItems.GetItemCount();
            m_listItems.InsertItem(row, std::string(FieldText(item.MenuTitle)));
            m_listItems.SetItemText(row, 1, std::string(FieldText(item.FilePath)));
        }
    }
    // The list lays its rows out (row height, scroll bar) when it first paints. Laid out now,
    // into a memory DC while the window is still hidden, its first paint on screen is its only
    // one: done then, the scroll bar's arrival would repaint the list and its header again.
    const win32::CMemoryDC memory(::CreateCompatibleDC(nullptr));
    if (memory) {
        m_listItems.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.Get()), PRF_CLIENT);
    }
}

LRESULT CMainDlg::OnItemChangingList(NMHDR* hdr) {
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(hdr);
    // Moving the selection, the list view may report the old row's loss only after the new row
    // became selected and focused: another row losing its state leaves the tracking alone.
    const bool lossOnly = (change->uNewState & ~change->uOldState) == 0;
    if (change->iItem >= 0 && change->iItem != m_nCurItem && m_nCurItem != -1 && lossOnly) {
        return 0;
    }
    if (change->uNewState == (LVIS_SELECTED | LVIS_FOCUSED)) {
        m_nCurItem = change->iItem;
        m_strTitle = m_listItems.GetItemText(m_nCurItem, 0);
        m_strPath = m_listItems.GetItemText(m_nCurItem, 1);
        UpdateData(FALSE);
        EnableDelete(true);
    } else {
        m_nCurItem = -1;
        EnableDelete(false);
    }
    return 0; // allow the change
}

void CMainDlg::EnableDelete(bool enable) {
    // Disabling the focused button would leave no focus, and with it no keyboard at all: hand
    // the focus to the list first.
    if (!enable && ::GetFocus() == m_btnDelete.m_hWnd) {
        ::SetFocus(m_listItems.m_hWnd);
    }
    m_btnDelete.EnableWindow(enable ? TRUE : FALSE);
}

void CMainDlg::ShowMessage(const std::string& text) {
    CDlgMsgbx box(text, this);
    box.DoModal();
}

bool CMainDlg::CanStoreEntry(const std::string& title, const std::string& path) {
    if (path.size() > menudata::kMaxPath) {
        ShowMessage("The file path is too long for the menu (at most 255 characters).");
        return false;
    }
    if (title.size() >= sizeof(MenuItem::MenuTitle)) {
        ShowMessage("The file name is too long for a menu title (at most 127 characters).");
        return false;
    }
    return true;
}

void CMainDlg::OnSelectFilePath() {
    // "menu.dat" describes at most 26 entries: say so before the user picks a 27th.
    if (m_listItems.GetItemCount() >= menudata::kMaxRecords) {
        ShowMessage("The menu holds at most 26 items.");
        return;
    }
    // The dialog must not move the current folder: nothing of ours may depend on it.
    CFileDialog dialog(TRUE, nullptr, nullptr,
                       OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR, nullptr);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    if (!dialog.IsPathNameExact()) {
        ShowMessage("The path has characters that the menu cannot store.");
        return;
    }
    const std::string path = dialog.GetPathName();
    std::string title = m_strTitle;
    GetFileNameFromPath(path, title);
    if (!CanStoreEntry(title, path)) {
        return;
    }
    m_strPath = path;
    m_strTitle = title;
    if (IsDuplicateItem(m_strTitle, m_strPath)) {
        ShowMessage("The same item have been existent.");
        return;
    }
    g_bListModified = true;
    AddListRow(m_strTitle, m_strPath);
    UpdateData(FALSE);
}

bool CMainDlg::AddListRow(const std::string& title, const std::string& path) {
    const int row = m_listItems.GetItemCount();
    m_listItems.InsertItem(row, title);
    m_listItems.SetItemText(row, 1, path);
    return true;
}

bool CMainDlg::IsDuplicateItem(const std::string& title, const std::string& path) const {
    const int count = m_listItems.GetItemCount();
    for (int row = 0; row < count; ++row) {
        if (m_listItems.GetItemText(row, 0) == title && m_listItems.GetItemText(row, 1) == path) {
            return true;
        }
    }
    return false;
}

void CMainDlg::OnDelete() {
    if (m_nCurItem == -1) {
        return;
    }
    m_listItems.DeleteItem(m_nCurItem);
    m_nCurItem = -1;
    EnableDelete(false);
    m_strTitle.clear();
    m_strPath.clear();
    UpdateData(FALSE);
    g_bListModified = true;
}

void CMainDlg::SaveListToItems() {
    const int count = m_listItems.GetItemCount();
    g_appConfig.Items.clear();
    g_appConfig.Items.shrink_to_fit();
    for (int row = 0; row < count; ++row) {
        g_appConfig.Items.push_back(
            MakeMenuItem(m_listItems.GetItemText(row, 0), m_listItems.GetItemText(row, 1)));
    }
}

void CMainDlg::OnClose() {
    if (m_listItems.m_hWnd != nullptr) {
        g_appConfig.Col0Width = win32::ScaleFromDpi(m_listItems.GetColumnWidth(0), GetDpi());
    }
    SaveListToItems();
    // The files are written by the application's shutdown, after the loop has ended.
    PostMessage(WM_QUIT, 0, 0);
    Default();
}

void CMainDlg::OnSysCommand(UINT id, LPARAM) {
    // The low four bits are the system's own.
    if ((id & ~0xFu) == IDM_ABOUTBOX) {
        OnAbout();
    } else {
        Default();
    }
}

void CMainDlg::OnAbout() {
    CDlgAbout about; // owned by the main window, as every dialog without a parent
    about.DoModal();
}

void CMainDlg::OnHelp() {
    // By its full path: a bare name would be looked for in whatever folder the editor was
    // started from.
    std::string path;
    if (AppFilePath(kHelpFile, path)) {
        ::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOW);
    }
}

void CMainDlg::OnSkins() {
    // 1, 2, 3, 4, 1, ...; a stored value out of range leads to 2.
    int skin = g_appConfig.SkinType;
    if (skin < 1 || skin > CMenuApp::kSkinCount) {
        skin = 1;
    }
    skin = skin % CMenuApp::kSkinCount + 1;
    g_appConfig.SkinType = skin;
    ShowWindow(SW_MINIMIZE);
    if (CWinApp* app = AfxGetApp()) {
        static_cast<CMenuApp*>(app)->LoadSkin(skin);
    }
    ShowWindow(SW_RESTORE);
}

BOOL CMainDlg::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN) {
        switch (msg->wParam) {
        case VK_ESCAPE: // never closes the main window
            return TRUE;
        case VK_RETURN: // whichever control has the focus
            OnSelectFilePath();
            return TRUE;
        case VK_F1:
            OnHelp();
            return TRUE;
        default:
            break;
        }
    }
    return CDialog::PreTranslateMessage(msg);
}

void CMainDlg::OnPaint() {
    if (!::IsIconic(m_hWnd)) {
        Default();
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cxIcon = win32::MetricForDpi(SM_CXICON, GetDpi());
    const int cyIcon = win32::MetricForDpi(SM_CYICON, GetDpi());
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    const int x = (rc.right - rc.left - cxIcon + 1) / 2;
    const int y = (rc.bottom - rc.top - cyIcon + 1) / 2;
    ::DrawIconEx(dc, x, y, m_hIcon.Get(), cxIcon, cyIcon, 0, nullptr, DI_NORMAL);
    ::EndPaint(m_hWnd, &ps);
}

HCURSOR CMainDlg::OnQueryDragIcon() {
    return m_hIcon.Get();
}

void CMainDlg::OnSize(UINT, int, int) {
    Default();
}

void CMainDlg::OnDestroy() {
    Default();
}

void CMainDlg::PostNcDestroy() {
    delete this;
}
