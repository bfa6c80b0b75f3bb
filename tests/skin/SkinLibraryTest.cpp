// Skin.dll as the editor meets it: loaded from the deliverables folder and called by ordinal,
// against dialogs of the editor's window class made from the editor's main dialog template.
// The colours are read back from the screen, where each control shows only its background.
#include "TestSupport.h"
#include "Display.h"
#include "QarvoIdentity.h"
#include "MenuResource.h"
#include "XmlFile.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <ostream>
#include <string>

using testing_support::ScreenPixel;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

// Left out of a skin file: the system's own colour is expected there.
constexpr COLORREF kUnset = CLR_INVALID;
// The application colours one label itself, as the About dialog colours its links.
constexpr COLORREF kAppLabel = RGB(0x80, 0x20, 0x40);

struct Look {
    COLORREF dialog, button, edit, readOnly, list, selection, header, label;
    bool operator==(const Look& o) const {
        return dialog == o.dialog && button == o.button && edit == o.edit &&
               readOnly == o.readOnly && list == o.list && selection == o.selection &&
               header == o.header && label == o.label;
    }
};

void PrintTo(const Look& l, std::ostream* os) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "{dialog %06lx button %06lx edit %06lx readOnly %06lx list %06lx "
                  "selection %06lx header %06lx label %06lx}",
                  l.dialog, l.button, l.edit, l.readOnly, l.list, l.selection, l.header, l.label);
    *os << text;
}

// What the screen should show under a skin of these colours.
Look Expected(const Look& skin, const Look& system) {
    const auto pick = [](COLORREF given, COLORREF fallback) {
        return given != kUnset ? given : fallback;
    };
    return {pick(skin.dialog, system.dialog), pick(skin.button, system.button),
            pick(skin.edit, system.edit),     pick(skin.readOnly, system.readOnly),
            pick(skin.list, system.list),     pick(skin.selection, system.selection),
            pick(skin.header, system.header), kAppLabel};
}

std::string Hex(COLORREF c) {
    char text[8];
    // Either case of hexadecimal digits is read.
    std::snprintf(text, sizeof text, "#%02X%02x%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

// A skin file of these background colours, with a comment and an element given twice.
std::string SkinXml(const Look& skin) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- test -->\n"
                      "<Skin Name=\"Test\">\n  <Dialog Background=\"#000000\"/>\n";
    const auto element = [&xml](const char* name, COLORREF c) {
        if (c != kUnset) {
            xml += std::string("  <") + name + " Background=\"" + Hex(c) + "\"/>\n";
        }
    };
    element("Dialog", skin.dialog); // replaces the first one
    element("Button", skin.button);
    element("Edit", skin.edit);
    element("ReadOnlyEdit", skin.readOnly);
    element("List", skin.list);
    element("ListSelection", skin.selection);
    element("Header", skin.header);
    return xml + "</Skin>\n";
}

class SkinLibrary {
public:
    SkinLibrary()
        : m_module(::LoadLibraryA((testing_support::BinFolder() + "\\Skin.dll").c_str())) {
        if (m_module) {
            m_load = reinterpret_cast<bool (*)(const char*)>(
                reinterpret_cast<void*>(::GetProcAddress(m_module.Get(), MAKEINTRESOURCEA(2))));
            m_release = reinterpret_cast<void (*)()>(
                reinterpret_cast<void*>(::GetProcAddress(m_module.Get(), MAKEINTRESOURCEA(3))));
        }
    }

    bool Ready() const { return m_load != nullptr && m_release != nullptr; }
    HMODULE Module() const { return m_module.Get(); }
    bool HasNamedExport(const char* name) const {
        return ::GetProcAddress(m_module.Get(), name) != nullptr;
    }
    bool Load(const std::string& path) const { return m_load(path.c_str()); }
    void Release() const { m_release(); }

private:
    win32::CLibrary m_module;
    bool (*m_load)(const char*) = nullptr;
    void (*m_release)() = nullptr;
};

INT_PTR CALLBACK TestDialogProc(HWND, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CTLCOLORSTATIC && ::GetDlgCtrlID(reinterpret_cast<HWND>(lp)) == IDC_LABEL_TITLE) {
        static const HBRUSH s_brush = ::CreateSolidBrush(kAppLabel);
        ::SetTextColor(reinterpret_cast<HDC>(wp), RGB(0xFF, 0xFF, 0xFF));
        ::SetBkColor(reinterpret_cast<HDC>(wp), kAppLabel);
        return reinterpret_cast<INT_PTR>(s_brush);
    }
    return FALSE;
}

void Pump() {
    MSG msg;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 100) {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::Sleep(5);
    }
}

// The main dialog template with one selected row of two columns, a disabled path box, placed at x,
// y apart from the others.
HWND OpenDialog(int x, int y) {
    HWND dlg = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN),
                                    nullptr, &TestDialogProc, 0);
    if (dlg == nullptr) {
        return nullptr;
    }
    HWND list = ::GetDlgItem(dlg, IDC_LIST_ITEMS);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = 150;
    column.pszText = const_cast<char*>("Title");
    ListView_InsertColumn(list, 0, &column);
    ListView_InsertColumn(list, 1, &column);
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.pszText = const_cast<char*>("row");
    ListView_InsertItem(list, &item);
    ListView_SetItemText(list, 0, 1, const_cast<char*>("C:\\row.txt"));
    ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
    ::EnableWindow(::GetDlgItem(dlg, IDC_EDIT_PATH), FALSE);
    ::SetWindowPos(dlg, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    return dlg;
}

Look ReadLook(HWND dlg) {
    Pump();
    HWND list = ::GetDlgItem(dlg, IDC_LIST_ITEMS);
    RECT row = {};
    ListView_GetItemRect(list, 0, &row, LVIR_BOUNDS);
    RECT client;
    ::GetClientRect(list, &client);
    return {ScreenPixel(dlg, 2, 2),
            ScreenPixel(::GetDlgItem(dlg, IDC_HELP_BUTTON), 4, 4),
            ScreenPixel(::GetDlgItem(dlg, IDC_EDIT_TITLE), 2, 2),
            ScreenPixel(::GetDlgItem(dlg, IDC_EDIT_PATH), 2, 2),
            ScreenPixel(list, client.right - 3, client.bottom - 3),
            ScreenPixel(list, row.right - 10, (row.top + row.bottom) / 2),
            ScreenPixel(ListView_GetHeader(list), 3, 3),
            ScreenPixel(::GetDlgItem(dlg, IDC_LABEL_TITLE), 0, 0)};
}

// The library, and the editor's dialog class that it skins.
class SkinLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::InitCommonControls();
        WNDCLASSA wc = {};
        ::GetClassInfoA(nullptr, "#32770", &wc);
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = QARVO_WINDOW_CLASS;
        ASSERT_TRUE(::RegisterClassA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
        ASSERT_TRUE(skin.Ready());
    }

    const win32::CComScope com;
    SkinLibrary skin;
    TempDir dir;
};

constexpr Look kFirst = {
    RGB(0xE0, 0xF0, 0xE4), RGB(0xC8, 0xE6, 0xD0), RGB(0xFA, 0xFF, 0xF0), RGB(0xE4, 0xE8, 0xD8),
    RGB(0xF4, 0xFA, 0xF6), RGB(0xB0, 0xD8, 0xC0), RGB(0xD0, 0xE0, 0xD4), kAppLabel};

} // namespace

TEST_F(SkinLibraryTest, PaintsTheClassDialogsUntilReleased) {
    EXPECT_FALSE(skin.HasNamedExport("SkinLoad")) << "entries by ordinal only";
    const Look first = kFirst;
    // No Edit element: edit boxes keep their system colours.
    const Look second = {RGB(0xF6, 0xEA, 0xDC),
                         RGB(0xEC, 0xD4, 0xB8),
                         kUnset,
                         RGB(0xF0, 0xE6, 0xDA),
                         RGB(0xFF, 0xFA, 0xF2),
                         RGB(0xE8, 0xC8, 0xA0),
                         RGB(0xEE, 0xDC, 0xC4),
                         kAppLabel};
    // A folder name that would mean something else in a URL.
    const std::string odd = dir.File("a%20b #c");
    ASSERT_TRUE(::CreateDirectoryA(odd.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(dir.File("first.xml"), SkinXml(first)));
    ASSERT_TRUE(WriteFileBytes(odd + "\\second.xml", SkinXml(second)));

    const win32::CWindow before(OpenDialog(0, 0));
    ASSERT_TRUE(before);
    // The system's look (its theme's, where it has one), to compare against.
    const Look system = ReadLook(before.Get());
    EXPECT_EQ(system.dialog, ::GetSysColor(COLOR_3DFACE));
    EXPECT_EQ(system.label, kAppLabel);

    ASSERT_TRUE(skin.Load(dir.File("first.xml")));
    const win32::CWindow after(OpenDialog(640, 0));
    EXPECT_EQ(ReadLook(before.Get()), Expected(first, system)) << "a dialog that was open";
    EXPECT_EQ(ReadLook(after.Get()), Expected(first, system)) << "a dialog opened later";

    // A new skin replaces the old one without a release.
    ASSERT_TRUE(skin.Load(odd + "\\second.xml"));
    EXPECT_EQ(ReadLook(before.Get()), Expected(second, system));
    EXPECT_EQ(ReadLook(after.Get()), Expected(second, system));

    const char* const bad[] = {
        "not xml",
        "<Theme><Dialog Background=\"#102030\"/></Theme>",
        "<Skin Title=\"x\"><Dialog Background=\"#102030\"/></Skin>",
        "<Skin><Dialog Background=\"#102030\"/><Window Background=\"#102030\"/></Skin>",
        "<Skin><Dialog Background=\"#102030\" Border=\"#102030\"/></Skin>",
        "<Skin><Dialog Background=\"#10203\"/></Skin>",
        "<Skin><Dialog Background=\"#1020304\"/></Skin>",
        "<Skin><Dialog Background=\"102030\"/></Skin>",
        "<Skin><Dialog Background=\"#10203G\"/></Skin>",
        "<Skin><Dialog Background=\"#102030\"><Edit/></Dialog></Skin>",
        "<Skin>text<Dialog Background=\"#102030\"/></Skin>",
        "<!DOCTYPE Skin [<!ENTITY c \"#102030\">]><Skin><Dialog Background=\"&c;\"/></Skin>",
    };
    EXPECT_FALSE(skin.Load(dir.File("missing.xml")));
    // A good skin, grown past the size limit.
    std::string big = SkinXml(first);
    big.insert(big.rfind("</Skin>"), "<!--" + std::string(xmldom::kMaxXmlFileBytes, 'x') + "-->");
    ASSERT_TRUE(WriteFileBytes(dir.File("big.xml"), big));
    EXPECT_FALSE(skin.Load(dir.File("big.xml")));
    for (const char* xml : bad) {
        SCOPED_TRACE(xml);
        ASSERT_TRUE(WriteFileBytes(dir.File("bad.xml"), xml));
        EXPECT_FALSE(skin.Load(dir.File("bad.xml")));
    }
    EXPECT_EQ(ReadLook(before.Get()), Expected(second, system)) << "a failed load keeps the look";

    // The commented sample of the format is a skin of its own.
    EXPECT_TRUE(skin.Load(testing_support::ExeFolder() + "\\sample_skin.xml"));

    skin.Release();
    EXPECT_EQ(ReadLook(before.Get()), system);
    EXPECT_EQ(ReadLook(after.Get()), system);
    const win32::CWindow late(OpenDialog(0, 480));
    EXPECT_EQ(ReadLook(late.Get()), system) << "no dialog is skinned after the release";
    skin.Release(); // harmless
}

TEST_F(SkinLibraryTest, HighContrastPaintsNothingOfTheSkinUntilItIsOff) {
    ASSERT_TRUE(WriteFileBytes(dir.File("first.xml"), SkinXml(kFirst)));
    const win32::CWindow dialog(OpenDialog(0, 0));
    ASSERT_TRUE(dialog);
    const Look system = ReadLook(dialog.Get());
    {
        const testing_support::CHighContrast contrast({skin.Module()});
        ASSERT_TRUE(contrast.Patched());
        ASSERT_TRUE(skin.Load(dir.File("first.xml")));
        EXPECT_EQ(ReadLook(dialog.Get()), system) << "loaded in high contrast";
    }
    EXPECT_EQ(ReadLook(dialog.Get()), Expected(kFirst, system)) << "switched off: the skin";
    {
        const testing_support::CHighContrast contrast({skin.Module()});
        EXPECT_EQ(ReadLook(dialog.Get()), system) << "switched on while shown";
        const win32::CWindow later(OpenDialog(640, 0));
        EXPECT_EQ(ReadLook(later.Get()), system) << "opened while on";
    }
    EXPECT_EQ(ReadLook(dialog.Get()), Expected(kFirst, system));
    skin.Release();
}

TEST_F(SkinLibraryTest, LinesAndPaddingsFollowTheDpi) {
    constexpr COLORREF kGround = RGB(0xF0, 0xF0, 0xF0), kFace = RGB(0xFF, 0xFF, 0xFF),
                       kBorder = RGB(0xFF, 0, 0), kFocus = RGB(0, 0, 0xFF),
                       kHeaderLine = RGB(0, 0xC0, 0);
    ASSERT_TRUE(WriteFileBytes(dir.File("lines.xml"),
                               "<Skin><Dialog Background=\"" + Hex(kGround) +
                                   "\"/><Button Background=\"" + Hex(kFace) + "\" Border=\"" +
                                   Hex(kBorder) + "\" Focus=\"" + Hex(kFocus) +
                                   "\"/><Header Background=\"" + Hex(kFace) + "\" Border=\"" +
                                   Hex(kHeaderLine) + "\"/></Skin>"));
    ASSERT_TRUE(skin.Load(dir.File("lines.xml")));
    const win32::CWindow dialog(OpenDialog(0, 0));
    ASSERT_TRUE(dialog);
    const UINT dpi = win32::DpiOf(dialog.Get());
    const int line = win32::ScaleToDpi(1, dpi), inset = win32::ScaleToDpi(3, dpi);

    // A focused button, not the default one, with the keyboard's cues shown.
    HWND button = ::GetDlgItem(dialog.Get(), IDC_HELP_BUTTON);
    ::SendMessageA(dialog.Get(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    ::SetFocus(button);
    ::SendMessageA(button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    Pump();
    RECT rc;
    ::GetClientRect(button, &rc);
    std::vector<COLORREF> across, expected;
    for (int x = 0; x < inset + line + 2; ++x) {
        across.push_back(ScreenPixel(button, x, rc.bottom / 2));
        expected.push_back(x < line           ? kBorder
                           : x < inset        ? kFace
                           : x < inset + line ? kFocus
                                              : kFace);
    }
    EXPECT_EQ(across, expected) << "border, face, focus frame, face at " << dpi << " DPI";

    // The header's column line.
    HWND header = ListView_GetHeader(::GetDlgItem(dialog.Get(), IDC_LIST_ITEMS));
    ASSERT_TRUE(Header_GetItemRect(header, 0, &rc));
    across.clear();
    expected.clear();
    for (int x = rc.right - line - 2; x < rc.right; ++x) {
        across.push_back(ScreenPixel(header, x, (rc.top + rc.bottom) / 2));
        expected.push_back(x < rc.right - line ? kFace : kHeaderLine);
    }
    EXPECT_EQ(across, expected) << "the column's line at " << dpi << " DPI";
    skin.Release();
}
