#include "MainDlg.h"
#include "AppConfig.h"
#include "DlgAbout.h"
#include "Display.h"
#include "MenuApp.h"
#include "DlgMsgbx.h"
#include "EntryIcons.h"
#include "FileDialog.h"
#include "MenuData.h"
#include "WinApp.h"
#include "MenuResource.h"
#include "Owners.h"
#include "QarvoIdentity.h"
#include "ShellLaunch.h"

#include "AnsiText.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>

namespace {

constexpr UINT_PTR kShowTimer = 100;
constexpr char kAppTitle[] = QARVO_EDITOR_TITLE;
// Posted to say why a renamed title was refused, once the list's label editor is gone: a box
// shown while it ends would take its focus and end it a second time.
constexpr UINT kMsgShowRefusal = WM_APP + 1;
// Posted by the threads that extract the entries' icons, each time one target's are ready.
constexpr UINT kMsgIconsReady = WM_APP + 2;
// Fires once the window has been shown and painted (a timer comes after every paint): the rows'
// icons are asked for then, so their extraction does not share the processor with the first
// paint.
constexpr UINT_PTR kIconsTimer = 101;
// A report of refused files names this many, then says how many more there were.
constexpr std::size_t kMaxReportedRefusals = 10;

constexpr char kListFull[] = "The menu holds at most 26 items.";
constexpr char kDuplicate[] = "The same item have been existent.";
constexpr char kPathTooLong[] = "The file path is too long for the menu (at most 255 characters).";
constexpr char kPathNotStorable[] = "The path has characters that the menu cannot store.";
constexpr char kTitleNotStorable[] = "The title has characters that the menu cannot store.";

// Only spaces (of any kind the code page knows), or nothing at all.
bool IsBlank(const std::string& text) {
    const std::wstring wide = win32::ToWide(text);
    std::vector<WORD> types(wide.size());
    if (!wide.empty() &&
        !::GetStringTypeW(CT_CTYPE1, wide.data(), static_cast<int>(wide.size()), types.data())) {
        return false;
    }
    return std::all_of(types.begin(), types.end(),
                       [](WORD type) { return (type & (C1_SPACE | C1_BLANK)) != 0; });
}

// Why a title cannot be a menu title, or null when it can. A title taken from a file is
// spoken of as the file's name.
const char* TitleRefusal(const std::string& title, bool fromFileName) {
    if (title.size() >= sizeof(MenuItem::MenuTitle)) {
        return fromFileName ? "The file name is too long for a menu title (at most 127 characters)."
                            : "The title is too long for the menu (at most 127 characters).";
    }
    if (IsBlank(title)) {
        return "A menu title cannot be empty or only spaces.";
    }
    return nullptr;
}

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

// The size of the rows' icons at dpi, as an index of the sizes "menu.icons" holds: the one the
// context menu shows at that scaling.
int RowIconSizeIndex(UINT dpi) {
    return MenuIconSizeIndex(static_cast<std::uint32_t>(win32::MetricForDpi(SM_CXSMICON, dpi)));
}

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
    OnNotify<&CMainDlg::OnEndLabelEditList>(IDC_LIST_ITEMS, LVN_ENDLABELEDITW),
    OnNotify<&CMainDlg::OnBeginDragList>(IDC_LIST_ITEMS, LVN_BEGINDRAG),
    OnNotify<&CMainDlg::OnGetDispInfoList>(IDC_LIST_ITEMS, LVN_GETDISPINFOW),
    OnWmMouse<&CMainDlg::OnMouseMove>(WM_MOUSEMOVE),
    OnWmMouse<&CMainDlg::OnLButtonUp>(WM_LBUTTONUP),
    OnMessage<&CMainDlg::OnCaptureChanged>(WM_CAPTURECHANGED),
    OnWmDropFiles<&CMainDlg::OnDropFiles>(),
    OnMessage<&CMainDlg::OnShowRefusal>(kMsgShowRefusal),
    OnMessage<&CMainDlg::OnIconsReady>(kMsgIconsReady),
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
    CEntryIcons::NotifyWindow(m_hWnd, kMsgIconsReady);
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
    MakeRowIcons();
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
        ::SetTimer(m_hWnd, kIconsTimer, USER_TIMER_MINIMUM, nullptr);
    } else if (id == kIconsTimer) {
        ::KillTimer(m_hWnd, kIconsTimer);
        for (int row = 0; row < m_listItems.GetItemCount(); ++row) {
            EntryIcons().Request(m_listItems.GetItemText(row, 1));
        }
    }
    Default();
}

void CMainDlg::MakeRowIcons() {
    if (m_listItems.m_hWnd == nullptr) {
        return;
    }
    const int k = RowIconSizeIndex(GetDpi());
    const int side = static_cast<int>(menuicons::kSizes[k]);
    win32::CImageList images(
        ::ImageList_Create(side, side, ILC_COLOR32, menudata::kMaxRecords + 1, 4));
    const win32::CIcon generic = IconFromPixels(GenericIcons().Pixels[k], side);
    if (images && ::ImageList_ReplaceIcon(images.Get(), -1, generic.Get()) != 0) {
        images.Reset(); // plain rows rather than wrong pictures
    }
    m_iconImages.clear(); // the targets' icons are added at this size as their rows are drawn
    ListView_SetImageList(m_listItems.m_hWnd, images.Get(), LVSIL_SMALL);
    // The pictures of before are let go of only now that the list no longer shows them.
    m_imlIcons = std::move(images);
    ::InvalidateRect(m_listItems.m_hWnd, nullptr, TRUE);
}

int CMainDlg::RowImage(const std::string& path) {
    const auto known = m_iconImages.find(path);
    if (known != m_iconImages.end()) {
        return known->second;
    }
    const MenuIconSet* icons = EntryIcons().Ready(path);
    if (icons == nullptr || !m_imlIcons) {
        return 0; // the generic icon until the target's arrives
    }
    const int k = RowIconSizeIndex(GetDpi());
    const win32::CIcon icon =
        icons != &GenericIcons()
            ? IconFromPixels(icons->Pixels[k], static_cast<int>(menuicons::kSizes[k]))
            : win32::CIcon();
    const int added = icon ? ::ImageList_ReplaceIcon(m_imlIcons.Get(), -1, icon.Get()) : -1;
    const int image = added > 0 ? added : 0;
    m_iconImages.emplace(path, image);
    return image;
}

LRESULT CMainDlg::OnGetDispInfoList(NMHDR* hdr) {
    NMLVDISPINFOW* info = reinterpret_cast<NMLVDISPINFOW*>(hdr);
    if ((info->item.mask & LVIF_IMAGE) != 0 && info->item.iSubItem == 0) {
        info->item.iImage = RowImage(m_listItems.GetItemText(info->item.iItem, 1));
    }
    return 0;
}

void CMainDlg::OnIconsReady() {
    // Each row asks for its picture again as it is drawn.
    if (m_listItems.m_hWnd != nullptr) {
        ::InvalidateRect(m_listItems.m_hWnd, nullptr, FALSE);
    }
}

void CMainDlg::InitListColumns() {
    if (m_listItems.m_hWnd == nullptr) {
        return;
    }
    m_listItems.SetExtendedStyle(m_listItems.GetExtendedStyle() | LVS_EX_GRIDLINES |
                                 LVS_EX_FULLROWSELECT);
    // A renamed title then arrives as typed, so what the code page cannot spell is told apart.
    m_listItems.SetUnicodeFormat(TRUE);
    MakeRowIcons();
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
            InsertRow(m_listItems.GetItemCount(), std::string(FieldText(item.MenuTitle)),
                      std::string(FieldText(item.FilePath)));
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
    // A renamed or moved row's new text is reported too; only states concern the tracking.
    if ((change->uChanged & LVIF_STATE) == 0) {
        return 0;
    }
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

const char* CMainDlg::AddRefusal(const std::string& title, const std::string& path) const {
    // "menu.dat" describes at most 26 entries.
    if (m_listItems.GetItemCount() >= menudata::kMaxRecords) {
        return kListFull;
    }
    if (path.size() > menudata::kMaxPath) {
        return kPathTooLong;
    }
    if (const char* refusal = TitleRefusal(title, true)) {
        return refusal;
    }
    if (IsDuplicateItem(path)) {
        return kDuplicate;
    }
    return nullptr;
}

void CMainDlg::OnSelectFilePath() {
    // Said before the user picks a 27th.
    if (m_listItems.GetItemCount() >= menudata::kMaxRecords) {
        ShowMessage(kListFull);
        return;
    }
    // The dialog must not move the current folder: nothing of ours may depend on it.
    CFileDialog dialog(
        TRUE, nullptr, nullptr,
        OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_ALLOWMULTISELECT, nullptr);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    AddFiles(dialog.GetPathNames());
}

void CMainDlg::AddFiles(const std::vector<std::wstring>& paths) {
    std::vector<std::string> refusals;
    int added = -1;
    for (const std::wstring& wide : paths) {
        std::string path, title;
        const bool exact = win32::ToAnsiExact(wide.c_str(), -1, path);
        GetFileNameFromPath(path, title);
        const char* refusal = exact ? AddRefusal(title, path) : kPathNotStorable;
        if (refusal != nullptr) {
            // One file alone is answered as it always was; several are named with their reason.
            refusals.push_back(paths.size() == 1 ? refusal : title + ": " + refusal);
            continue;
        }
        m_strPath = path;
        m_strTitle = title;
        g_bListModified = true;
        AddListRow(m_strTitle, m_strPath);
        added = m_listItems.GetItemCount() - 1;
    }
    if (added != -1) {
        UpdateData(FALSE);
        m_listItems.EnsureVisible(added);
    }
    if (refusals.empty()) {
        return;
    }
    std::string report;
    if (paths.size() > 1) {
        report = "Not added (" + std::to_string(refusals.size()) + " of " +
                 std::to_string(paths.size()) + "):";
    }
    for (std::size_t i = 0; i < refusals.size() && i < kMaxReportedRefusals; ++i) {
        report += (report.empty() ? "" : "\n") + refusals[i];
    }
    if (refusals.size() > kMaxReportedRefusals) {
        report += "\n... and " + std::to_string(refusals.size() - kMaxReportedRefusals) + " more.";
    }
    ShowMessage(report);
}

bool CMainDlg::AddListRow(const std::string& title, const std::string& path) {
    InsertRow(m_listItems.GetItemCount(), title, path);
    EntryIcons().Request(path);
    return true;
}

void CMainDlg::InsertRow(int index, const std::string& title, const std::string& path) {
    m_listItems.InsertItem(index, title, I_IMAGECALLBACK);
    m_listItems.SetItemText(index, 1, path);
}

bool CMainDlg::IsDuplicateItem(const std::string& path) const {
    const int count = m_listItems.GetItemCount();
    for (int row = 0; row < count; ++row) {
        if (m_listItems.GetItemText(row, 1) == path) {
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
    // The list may hand the deleted row's focus to the row now in its place; a click there
    // would then report that row losing the focus right after gaining it, and nothing would
    // be tracked. No row keeps the focus: the next click or arrow key sets it afresh.
    m_listItems.SetItemState(-1, 0, LVIS_FOCUSED);
    EnableDelete(false);
    m_strTitle.clear();
    m_strPath.clear();
    UpdateData(FALSE);
    g_bListModified = true;
}

LRESULT CMainDlg::OnEndLabelEditList(NMHDR* hdr) {
    const NMLVDISPINFOW* edit = reinterpret_cast<const NMLVDISPINFOW*>(hdr);
    const int row = edit->item.iItem;
    const bool cancelled = m_bLabelCancelled;
    m_bLabelCancelled = false;
    const wchar_t* typed = edit->item.pszText;
    // An emptied field may arrive as no text at all, like Esc: told apart by the field itself.
    HWND editor = m_listItems.GetEditControl();
    if (typed == nullptr && !cancelled && editor != nullptr &&
        ::GetWindowTextLengthW(editor) == 0) {
        typed = L"";
    }
    if (typed == nullptr || row < 0) {
        return FALSE; // cancelled, or left as it was
    }
    std::string title;
    const char* refusal =
        win32::ToAnsiExact(typed, -1, title) ? TitleRefusal(title, false) : kTitleNotStorable;
    if (refusal != nullptr) {
        m_strRefusal = refusal;
        PostMessage(kMsgShowRefusal);
        return FALSE; // the old title stays
    }
    if (title == m_listItems.GetItemText(row, 0)) {
        return FALSE;
    }
    g_bListModified = true;
    if (row == m_nCurItem) {
        m_strTitle = title;
        UpdateData(FALSE);
    }
    return TRUE; // the list takes the text, exactly as the menu will store it
}

void CMainDlg::OnShowRefusal() {
    const std::string text = std::move(m_strRefusal);
    m_strRefusal.clear();
    if (!text.empty()) {
        ShowMessage(text);
    }
}

void CMainDlg::MoveRow(int from, int to) {
    const int count = m_listItems.GetItemCount();
    if (from < 0 || from >= count || to < 0 || to >= count || from == to) {
        return;
    }
    const std::string title = m_listItems.GetItemText(from, 0);
    const std::string path = m_listItems.GetItemText(from, 1);
    {
        const CRedrawOff quiet(m_listItems);
        m_listItems.DeleteItem(from);
        InsertRow(to, title, path);
    }
    // The moved row alone is selected, as after a click on it, so the keys move it on.
    m_listItems.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    m_listItems.SetItemState(to, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_listItems.EnsureVisible(to);
    g_bListModified = true;
}

LRESULT CMainDlg::OnBeginDragList(NMHDR* hdr) {
    const NMLISTVIEW* drag = reinterpret_cast<const NMLISTVIEW*>(hdr);
    if (drag->iItem >= 0) {
        m_nDragItem = drag->iItem;
        // The mouse now reports to the dialog wherever it goes, until the button is released.
        ::SetCapture(m_hWnd);
    }
    return 0;
}

int CMainDlg::DropIndexAt(POINT pt) const {
    const int count = m_listItems.GetItemCount();
    RECT first;
    if (count == 0 || !m_listItems.GetItemRect(0, first, LVIR_BOUNDS) ||
        first.bottom <= first.top) {
        return 0;
    }
    // From the first row's place, which lies above the client area once the list scrolled.
    const int height = first.bottom - first.top;
    const int offset = pt.y - first.top + height / 2;
    return offset < 0 ? 0 : std::min(offset / height, count);
}

void CMainDlg::OnMouseMove(UINT, POINT pt) {
    if (m_nDragItem < 0) {
        Default();
        return;
    }
    ::MapWindowPoints(m_hWnd, m_listItems.m_hWnd, &pt, 1);
    // Beyond the list's top or bottom edge the rows scroll towards the mouse.
    RECT client, first;
    ::GetClientRect(m_listItems.m_hWnd, &client);
    if (m_listItems.GetItemRect(0, first, LVIR_BOUNDS)) {
        const int height = first.bottom - first.top;
        HWND header = ListView_GetHeader(m_listItems.m_hWnd);
        RECT headerRect = {};
        if (header != nullptr) {
            ::GetWindowRect(header, &headerRect);
        }
        if (pt.y < headerRect.bottom - headerRect.top) {
            m_listItems.Scroll(0, -height);
        } else if (pt.y >= client.bottom) {
            m_listItems.Scroll(0, height);
        }
    }
    const int gap = DropIndexAt(pt);
    const int count = m_listItems.GetItemCount();
    m_listItems.SetInsertMark(gap < count ? gap : count - 1, gap >= count);
}

void CMainDlg::OnLButtonUp(UINT, POINT pt) {
    if (m_nDragItem < 0) {
        Default();
        return;
    }
    ::MapWindowPoints(m_hWnd, m_listItems.m_hWnd, &pt, 1);
    const int from = m_nDragItem;
    const int gap = DropIndexAt(pt);
    EndDrag();
    // The row leaves its own place first: a gap below it is one row higher afterwards.
    MoveRow(from, gap > from ? gap - 1 : gap);
}

void CMainDlg::EndDrag() {
    m_nDragItem = -1;
    m_listItems.SetInsertMark(-1, false);
    if (::GetCapture() == m_hWnd) {
        ::ReleaseCapture();
    }
}

void CMainDlg::OnCaptureChanged() {
    // Another window took the mouse (or Esc released it): the drag ends where it began.
    if (m_nDragItem >= 0) {
        m_nDragItem = -1;
        m_listItems.SetInsertMark(-1, false);
    }
    Default();
}

// Files dropped from Explorer (the window carries WS_EX_ACCEPTFILES). Running as administrator
// the editor leaves the message filter as Windows sets it: opened to drops from programs of
// lower rights, any program of the user could slip paths into an administrator's list.
void CMainDlg::OnDropFiles(HDROP dropped) {
    std::vector<std::wstring> paths;
    {
        const win32::CDrop drop(dropped);
        const UINT count = ::DragQueryFileW(drop.Get(), 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            const UINT length = ::DragQueryFileW(drop.Get(), i, nullptr, 0);
            std::wstring path(length + 1, L'\0');
            path.resize(::DragQueryFileW(drop.Get(), i, &path[0], length + 1));
            paths.push_back(path);
        }
    }
    if (!paths.empty()) {
        AddFiles(paths);
    }
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
    // A title still being edited is kept, as when the user clicks elsewhere.
    if (m_listItems.m_hWnd != nullptr && m_listItems.GetEditControl() != nullptr) {
        ::SetFocus(m_listItems.m_hWnd);
    }
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
    if (AppFilePath(kHelpFile, path) && !OpenHelpFile(path)) {
        ShowMessage("The help viewer could not be started.");
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
    const bool inList = msg->hwnd != nullptr && msg->hwnd == m_listItems.m_hWnd;
    if (msg->message == WM_KEYDOWN) {
        // The title being edited in the list takes Enter (keep) and Esc (cancel) for itself.
        if ((msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE) && msg->hwnd != nullptr &&
            msg->hwnd == m_listItems.GetEditControl()) {
            m_bLabelCancelled = msg->wParam == VK_ESCAPE;
            return FALSE;
        }
        switch (msg->wParam) {
        case VK_ESCAPE: // never closes the main window; it only ends a drag
            if (m_nDragItem >= 0) {
                EndDrag();
            }
            return TRUE;
        case VK_RETURN: // whichever control has the focus
            OnSelectFilePath();
            return TRUE;
        case VK_F1:
            OnHelp();
            return TRUE;
        case VK_F2:
            if (inList && m_nCurItem != -1) {
                m_listItems.EditLabel(m_nCurItem);
                return TRUE;
            }
            break;
        case VK_DELETE:
            if (inList) {
                OnDelete();
                return TRUE;
            }
            break;
        default:
            break;
        }
    } else if (msg->message == WM_SYSKEYDOWN && inList &&
               (msg->wParam == VK_UP || msg->wParam == VK_DOWN)) {
        // Alt+Up, Alt+Down: the tracked row one place up or down.
        if (m_nCurItem != -1) {
            MoveRow(m_nCurItem, m_nCurItem + (msg->wParam == VK_UP ? -1 : 1));
        }
        return TRUE;
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
    CEntryIcons::NotifyWindow(nullptr, 0);
    Default();
}

void CMainDlg::PostNcDestroy() {
    delete this;
}
