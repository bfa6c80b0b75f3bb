#include "SkinPainter.h"
#include "Display.h"
#include "QarvoIdentity.h"

#include <commctrl.h>

namespace {

constexpr char kDialogClass[] = QARVO_WINDOW_CLASS;
constexpr UINT_PTR kSubclassId = 0x5c1;

// A list view's own colours from before the first skin, given back at release.
constexpr char kListSavedProp[] = "Qarvo.Skin.ListSaved";
constexpr char kListBkProp[] = "Qarvo.Skin.ListBk";
constexpr char kListTextBkProp[] = "Qarvo.Skin.ListTextBk";
constexpr char kListTextProp[] = "Qarvo.Skin.ListText";

// A brush owner whose empty state is a constant, unlike the shared owners': the skin's global
// state below is then initialised at compile time, with no initialiser to run at load.
class CBrush {
public:
    constexpr CBrush() = default;
    explicit CBrush(HBRUSH brush) : m_brush(brush) {}
    ~CBrush() {
        if (m_brush != nullptr) {
            ::DeleteObject(m_brush);
        }
    }
    CBrush(const CBrush&) = delete;
    CBrush& operator=(const CBrush&) = delete;

    HBRUSH Get() const { return m_brush; }
    void Swap(CBrush& other) {
        HBRUSH brush = m_brush;
        m_brush = other.m_brush;
        other.m_brush = brush;
    }

private:
    HBRUSH m_brush = nullptr;
};

// Selects a control's font into a DC for as long as it lives.
class CFontScope {
public:
    CFontScope(HDC dc, HWND control) : m_dc(dc) {
        if (HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageA(control, WM_GETFONT, 0, 0))) {
            m_old = ::SelectObject(dc, font);
        }
    }
    ~CFontScope() {
        if (m_old != nullptr) {
            ::SelectObject(m_dc, m_old);
        }
    }
    CFontScope(const CFontScope&) = delete;
    CFontScope& operator=(const CFontScope&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old = nullptr;
};

enum SkinBrush { kDialogBrush, kEditBrush, kReadOnlyBrush, kBrushCount };

struct SkinState {
    bool applied;
    // Windows' high contrast is on: the user's colours stand and nothing of the skin is painted
    // (the skin stays applied, to come back when it is switched off).
    bool highContrast;
    SkinColors colors;
    CBrush brush[kBrushCount];
    HHOOK hook;
    // The subclass procedures and the hook live in this module: it stays loaded until release.
    HMODULE pin;
};

// The editor has one user-interface thread; the skin belongs to it.
SkinState g_skin;

const SkinColors& Colors() {
    return g_skin.colors;
}

bool IsClass(HWND hwnd, const char* name) {
    char actual[64] = {};
    ::GetClassNameA(hwnd, actual, sizeof actual);
    return ::lstrcmpiA(actual, name) == 0;
}

bool HasButtonType(HWND hwnd, LONG type) {
    return (::GetWindowLongA(hwnd, GWL_STYLE) & BS_TYPEMASK) == type;
}

void Fill(HDC dc, const RECT& rc, COLORREF color) {
    ::SetDCBrushColor(dc, color);
    ::FillRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
}

// A frame of lines width pixels wide, inside rc.
void Frame(HDC dc, const RECT& rc, COLORREF color, int width) {
    Fill(dc, {rc.left, rc.top, rc.right, rc.top + width}, color);
    Fill(dc, {rc.left, rc.bottom - width, rc.right, rc.bottom}, color);
    Fill(dc, {rc.left, rc.top + width, rc.left + width, rc.bottom - width}, color);
    Fill(dc, {rc.right - width, rc.top + width, rc.right, rc.bottom - width}, color);
}

// A length of the skin's drawing, given at 96 DPI, in the pixels of window's DPI.
int Px(HWND window, int length) {
    return win32::ScaleToDpi(length, win32::DpiOf(window));
}

void Repaint(HWND hwnd) {
    ::RedrawWindow(hwnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// The application's own colouring (a link's, say) stands: only the system's default brushes
// are replaced, and the text colour only where nobody changed it.
LRESULT ControlColor(UINT msg, HDC dc, HWND control, LRESULT given) {
    const HBRUSH brush = reinterpret_cast<HBRUSH>(given);
    if (g_skin.highContrast) {
        return given;
    }
    if (brush != nullptr && brush != ::GetSysColorBrush(COLOR_3DFACE) &&
        brush != ::GetSysColorBrush(COLOR_WINDOW)) {
        return given;
    }
    const SkinColors& c = Colors();
    SkinColor back = kDialogBackground;
    SkinColor text = kDialogText;
    SkinBrush skinBrush = kDialogBrush;
    if (msg == WM_CTLCOLOREDIT) {
        back = kEditBackground;
        text = kEditText;
        skinBrush = kEditBrush;
    } else if (msg == WM_CTLCOLORSTATIC && IsClass(control, WC_EDITA)) {
        // Disabled and read-only edit boxes ask as statics do.
        back = kReadOnlyBackground;
        text = kReadOnlyText;
        skinBrush = kReadOnlyBrush;
    } else if (msg == WM_CTLCOLORSTATIC && c.Has(kStaticText)) {
        text = kStaticText;
    }
    if (msg != WM_CTLCOLORDLG && c.Has(text) &&
        ::GetTextColor(dc) == ::GetSysColor(COLOR_WINDOWTEXT)) {
        ::SetTextColor(dc, c.color[text]);
    }
    if (!c.Has(back) || g_skin.brush[skinBrush].Get() == nullptr) {
        return given;
    }
    ::SetBkColor(dc, c.color[back]);
    return reinterpret_cast<LRESULT>(g_skin.brush[skinBrush].Get());
}

// Push buttons are drawn whole: background by state, border, caption, focus outline.
LRESULT DrawPushButton(NMCUSTOMDRAW* cd) {
    HWND button = cd->hdr.hwndFrom;
    const SkinColors& c = Colors();
    // Buttons with an image keep their own drawing.
    if (g_skin.highContrast || !c.HasAny(kButtonColors) ||
        (!HasButtonType(button, BS_PUSHBUTTON) && !HasButtonType(button, BS_DEFPUSHBUTTON)) ||
        (::GetWindowLongA(button, GWL_STYLE) & (BS_BITMAP | BS_ICON)) != 0) {
        return CDRF_DODEFAULT;
    }
    if (cd->dwDrawStage == CDDS_PREPAINT) {
        return CDRF_SKIPDEFAULT; // already drawn at the erase stage
    }
    if (cd->dwDrawStage != CDDS_PREERASE) {
        return CDRF_DODEFAULT;
    }
    const UINT state = cd->uItemState;
    const COLORREF face = c.GetOrSystem(kButtonBackground, COLOR_BTNFACE);
    COLORREF back = face;
    COLORREF text = c.GetOrSystem(kButtonText, COLOR_BTNTEXT);
    if (state & CDIS_DISABLED) {
        back = c.Get(kButtonDisabledBackground, face);
        text = c.GetOrSystem(kButtonDisabledText, COLOR_GRAYTEXT);
    } else if (state & CDIS_SELECTED) {
        back = c.Get(kButtonPressedBackground, face);
    } else if (state & CDIS_HOT) {
        back = c.Get(kButtonHotBackground, face);
    }
    HDC dc = cd->hdc;
    RECT rc = cd->rc;
    Fill(dc, rc, back);
    const int line = Px(button, 1);
    const COLORREF border = c.GetOrSystem(kButtonBorder, COLOR_3DDKSHADOW);
    Frame(dc, rc, border, line);
    if (state & CDIS_DEFAULT) {
        RECT inner = rc;
        ::InflateRect(&inner, -line, -line);
        Frame(dc, inner, border, line);
    }

    char caption[128] = {};
    ::GetWindowTextA(button, caption, sizeof caption);
    const LRESULT cues = ::SendMessageA(button, WM_QUERYUISTATE, 0, 0);
    CFontScope font(dc, button);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, text);
    RECT label = rc;
    if (state & CDIS_SELECTED) {
        ::OffsetRect(&label, line, line);
    }
    ::DrawTextA(dc, caption, -1, &label,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE |
                    ((cues & UISF_HIDEACCEL) != 0 ? DT_HIDEPREFIX : 0));
    if ((state & CDIS_FOCUS) && (cues & UISF_HIDEFOCUS) == 0) {
        RECT focus = rc;
        const int inset = Px(button, 3);
        ::InflateRect(&focus, -inset, -inset);
        if (c.Has(kButtonFocus)) {
            Frame(dc, focus, c.color[kButtonFocus], line);
        } else {
            for (int i = 0; i < line; ++i) { // the system's dotted line, as wide as the others
                ::DrawFocusRect(dc, &focus);
                ::InflateRect(&focus, -1, -1);
            }
        }
    }
    return CDRF_SKIPDEFAULT;
}

// The selected row in the skin's colours instead of the system highlight.
LRESULT DrawListItem(NMLVCUSTOMDRAW* lv) {
    const SkinColors& c = Colors();
    if (g_skin.highContrast || !c.HasAny(kSelectionColors)) {
        return CDRF_DODEFAULT;
    }
    if (lv->nmcd.dwDrawStage == CDDS_PREPAINT) {
        // Row by row only while some row is selected: the others look as the list paints them.
        return ListView_GetSelectedCount(lv->nmcd.hdr.hwndFrom) > 0 ? CDRF_NOTIFYITEMDRAW
                                                                    : CDRF_DODEFAULT;
    }
    if (lv->nmcd.dwDrawStage == CDDS_ITEMPREPAINT &&
        ListView_GetItemState(lv->nmcd.hdr.hwndFrom, static_cast<int>(lv->nmcd.dwItemSpec),
                              LVIS_SELECTED) != 0) {
        lv->clrText = c.GetOrSystem(kSelectionText, COLOR_HIGHLIGHTTEXT);
        lv->clrTextBk = c.GetOrSystem(kSelectionBackground, COLOR_HIGHLIGHT);
        lv->nmcd.uItemState &= ~CDIS_SELECTED; // or the list view paints its own highlight
        return CDRF_NEWFONT;
    }
    return CDRF_DODEFAULT;
}

LRESULT DrawHeader(NMCUSTOMDRAW* cd) {
    const SkinColors& c = Colors();
    HWND header = cd->hdr.hwndFrom;
    HDC dc = cd->hdc;
    const COLORREF back = c.GetOrSystem(kHeaderBackground, COLOR_BTNFACE);
    const COLORREF border = c.GetOrSystem(kHeaderBorder, COLOR_3DSHADOW);
    RECT rc = cd->rc;
    const int line = Px(header, 1);
    switch (cd->dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPREPAINT: {
        Fill(dc, rc, back);
        Fill(dc, {rc.right - line, rc.top, rc.right, rc.bottom}, border);
        Fill(dc, {rc.left, rc.bottom - line, rc.right, rc.bottom}, border);
        char text[128] = {};
        HDITEMA item = {};
        item.mask = HDI_TEXT | HDI_FORMAT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        Header_GetItem(header, static_cast<int>(cd->dwItemSpec), &item);
        const int justify = item.fmt & HDF_JUSTIFYMASK;
        CFontScope font(dc, header);
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, c.GetOrSystem(kHeaderText, COLOR_BTNTEXT));
        ::InflateRect(&rc, -Px(header, 6), 0);
        ::DrawTextA(dc, text, -1, &rc,
                    (justify == HDF_RIGHT    ? DT_RIGHT
                     : justify == HDF_CENTER ? DT_CENTER
                                             : DT_LEFT) |
                        DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        return CDRF_SKIPDEFAULT;
    }
    case CDDS_POSTPAINT: {
        // The strip right of the last column.
        RECT rest;
        ::GetClientRect(header, &rest);
        const int count = Header_GetItemCount(header);
        RECT last;
        if (count > 0 &&
            Header_GetItemRect(header, Header_OrderToIndex(header, count - 1), &last)) {
            rest.left = last.right;
        }
        if (rest.left < rest.right) {
            Fill(dc, rest, back);
            Fill(dc, {rest.left, rest.bottom - line, rest.right, rest.bottom}, border);
        }
        return CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

// Group boxes are painted here: the system's own ignores the caption colour.
void PaintGroupBox(HWND group) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(group, &ps);
    CFontScope font(dc, group);
    // The caption's colours, asked of the parent as the control itself would.
    const HBRUSH back = reinterpret_cast<HBRUSH>(
        ::SendMessageA(::GetParent(group), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(group)));
    TEXTMETRICA tm;
    ::GetTextMetricsA(dc, &tm);
    RECT rc;
    ::GetClientRect(group, &rc);
    RECT frame = rc;
    frame.top += tm.tmHeight / 2 - 1;
    if (Colors().Has(kGroupFrame)) {
        Frame(dc, frame, Colors().color[kGroupFrame], Px(group, 1));
    } else {
        ::DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    }
    char caption[128] = {};
    if (::GetWindowTextA(group, caption, sizeof caption) > 0) {
        const int indent = Px(group, 8);
        RECT label = {rc.left + indent, rc.top, rc.right - indent, rc.top + tm.tmHeight};
        ::DrawTextA(dc, caption, -1, &label, DT_SINGLELINE | DT_CALCRECT);
        ::InflateRect(&label, Px(group, 2), 0);
        if (back != nullptr) {
            ::FillRect(dc, &label, back);
        }
        ::SetBkMode(dc, TRANSPARENT);
        ::DrawTextA(dc, caption, -1, &label, DT_SINGLELINE | DT_CENTER);
    }
    ::EndPaint(group, &ps);
}

LRESULT CALLBACK GroupBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_PAINT && !g_skin.highContrast) {
        PaintGroupBox(hwnd);
        return 0;
    }
    if (msg == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, &GroupBoxProc, kSubclassId);
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

// The list's colours from the skin, or its own ones where the skin gives none.
void ColorList(HWND list, const SkinColors& c) {
    const auto saved = [list](const char* prop) {
        return static_cast<COLORREF>(reinterpret_cast<ULONG_PTR>(::GetPropA(list, prop)));
    };
    ListView_SetBkColor(list, c.Get(kListBackground, saved(kListBkProp)));
    ListView_SetTextBkColor(list, c.Get(kListBackground, saved(kListTextBkProp)));
    ListView_SetTextColor(list, c.Get(kListText, saved(kListTextProp)));
}

// The list in the skin's colours, or in high contrast in the system's of now.
void ColorListNow(HWND list) {
    if (!g_skin.highContrast) {
        ColorList(list, Colors());
        return;
    }
    ListView_SetBkColor(list, ::GetSysColor(COLOR_WINDOW));
    ListView_SetTextBkColor(list, ::GetSysColor(COLOR_WINDOW));
    ListView_SetTextColor(list, ::GetSysColor(COLOR_WINDOWTEXT));
}

void UnskinList(HWND list) {
    if (::GetPropA(list, kListSavedProp) != nullptr) {
        ColorList(list, SkinColors{});
        static const char* const kProps[] = {kListSavedProp, kListBkProp, kListTextBkProp,
                                             kListTextProp};
        for (const char* prop : kProps) {
            ::RemovePropA(list, prop);
        }
    }
}

// The header is the list view's child: its notifications come here, not to the dialog.
LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_NOTIFY) {
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lp);
        if (hdr != nullptr && hdr->code == NM_CUSTOMDRAW &&
            hdr->hwndFrom == ListView_GetHeader(hwnd) && Colors().HasAny(kHeaderColors) &&
            !g_skin.highContrast) {
            return DrawHeader(reinterpret_cast<NMCUSTOMDRAW*>(lp));
        }
    } else if (msg == WM_NCDESTROY) {
        UnskinList(hwnd);
        ::RemoveWindowSubclass(hwnd, &ListProc, kSubclassId);
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

void SkinList(HWND list) {
    if (::GetPropA(list, kListSavedProp) == nullptr) {
        const auto save = [list](const char* prop, COLORREF color) {
            ::SetPropA(list, prop, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(color)));
        };
        save(kListBkProp, ListView_GetBkColor(list));
        save(kListTextBkProp, ListView_GetTextBkColor(list));
        save(kListTextProp, ListView_GetTextColor(list));
        ::SetPropA(list, kListSavedProp, reinterpret_cast<HANDLE>(1));
    }
    ColorListNow(list);
    ::SetWindowSubclass(list, &ListProc, kSubclassId, 0);
}

void SkinControls(HWND dialog) {
    ::EnumChildWindows(
        dialog,
        [](HWND child, LPARAM) -> BOOL {
            if (IsClass(child, WC_LISTVIEWA)) {
                SkinList(child);
            } else if (IsClass(child, WC_BUTTONA) && HasButtonType(child, BS_GROUPBOX)) {
                ::SetWindowSubclass(child, &GroupBoxProc, kSubclassId, 0);
            }
            return TRUE;
        },
        0);
}

LRESULT CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    switch (msg) {
    case WM_INITDIALOG: {
        // The controls exist from here on.
        const LRESULT result = ::DefSubclassProc(hwnd, msg, wp, lp);
        SkinControls(hwnd);
        return result;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return ControlColor(msg, reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp),
                            ::DefSubclassProc(hwnd, msg, wp, lp));
    case WM_NOTIFY: {
        // The application draws first; what it leaves to the default is drawn in the skin.
        const LRESULT result = ::DefSubclassProc(hwnd, msg, wp, lp);
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lp);
        if (result != CDRF_DODEFAULT || hdr == nullptr || hdr->code != NM_CUSTOMDRAW) {
            return result;
        }
        if (IsClass(hdr->hwndFrom, WC_BUTTONA)) {
            return DrawPushButton(reinterpret_cast<NMCUSTOMDRAW*>(lp));
        }
        if (IsClass(hdr->hwndFrom, WC_LISTVIEWA)) {
            return DrawListItem(reinterpret_cast<NMLVCUSTOMDRAW*>(lp));
        }
        return result;
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE: {
        // High contrast switched on or off, or its colours changed, while the dialog is open.
        const LRESULT result = ::DefSubclassProc(hwnd, msg, wp, lp);
        if (msg == WM_SYSCOLORCHANGE || wp == SPI_SETHIGHCONTRAST) {
            g_skin.highContrast = win32::HighContrastOn();
            ::EnumChildWindows(
                hwnd,
                [](HWND child, LPARAM) -> BOOL {
                    if (IsClass(child, WC_LISTVIEWA)) {
                        ColorListNow(child);
                    }
                    return TRUE;
                },
                0);
            Repaint(hwnd);
        }
        return result;
    }
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hwnd, &DialogProc, kSubclassId);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

// Dialogs created while a skin is applied are skinned from their first message on.
LRESULT CALLBACK WatchCreation(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND && IsClass(reinterpret_cast<HWND>(wp), kDialogClass)) {
        ::SetWindowSubclass(reinterpret_cast<HWND>(wp), &DialogProc, kSubclassId, 0);
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

BOOL CALLBACK SkinDialog(HWND hwnd, LPARAM) {
    if (IsClass(hwnd, kDialogClass)) {
        ::SetWindowSubclass(hwnd, &DialogProc, kSubclassId, 0);
        SkinControls(hwnd);
        Repaint(hwnd);
    }
    return TRUE;
}

BOOL CALLBACK UnskinDialog(HWND hwnd, LPARAM) {
    if (IsClass(hwnd, kDialogClass)) {
        ::RemoveWindowSubclass(hwnd, &DialogProc, kSubclassId);
        ::EnumChildWindows(
            hwnd,
            [](HWND child, LPARAM) -> BOOL {
                UnskinList(child);
                ::RemoveWindowSubclass(child, &ListProc, kSubclassId);
                ::RemoveWindowSubclass(child, &GroupBoxProc, kSubclassId);
                return TRUE;
            },
            0);
        Repaint(hwnd);
    }
    return TRUE;
}

HBRUSH BrushFor(const SkinColors& colors, SkinColor color) {
    return colors.Has(color) ? ::CreateSolidBrush(colors.color[color]) : nullptr;
}

} // namespace

void ApplySkin(const SkinColors& colors) {
    // The old brushes go only after every window has been repainted with the new ones.
    CBrush brush[kBrushCount] = {CBrush(BrushFor(colors, kDialogBackground)),
                                 CBrush(BrushFor(colors, kEditBackground)),
                                 CBrush(BrushFor(colors, kReadOnlyBackground))};
    for (int i = 0; i < kBrushCount; ++i) {
        g_skin.brush[i].Swap(brush[i]);
    }
    g_skin.colors = colors;
    g_skin.highContrast = win32::HighContrastOn();
    if (!g_skin.applied) {
        g_skin.applied = true;
        g_skin.hook = ::SetWindowsHookExA(WH_CBT, &WatchCreation, nullptr, ::GetCurrentThreadId());
        ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                             reinterpret_cast<LPCSTR>(&WatchCreation), &g_skin.pin);
    }
    ::EnumThreadWindows(::GetCurrentThreadId(), &SkinDialog, 0);
}

void RemoveSkin() {
    if (!g_skin.applied) {
        return;
    }
    if (g_skin.hook != nullptr) {
        ::UnhookWindowsHookEx(g_skin.hook);
        g_skin.hook = nullptr;
    }
    g_skin.colors = SkinColors{};
    ::EnumThreadWindows(::GetCurrentThreadId(), &UnskinDialog, 0);
    for (CBrush& brush : g_skin.brush) {
        CBrush none;
        brush.Swap(none);
    }
    g_skin.applied = false;
    if (HMODULE pin = g_skin.pin) {
        g_skin.pin = nullptr;
        ::FreeLibrary(pin); // the caller still holds its own reference
    }
}
