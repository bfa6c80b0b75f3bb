// The About dialog and its links, in this process: what the dialog shows and how it ends, the
// main window's two ways to it, and the link's colours as its answer to WM_CTLCOLORSTATIC
// gives them.
#include "Bitmap.h"
#include "DlgAbout.h"
#include "Display.h"
#include "EditorFixture.h"
#include "StaticLink.h"
#include "MenuResource.h"
#include "Owners.h"
#include "QarvoIdentity.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <exdisp.h>
#include <wrl/client.h>

#include <thread>
#include <utility>
#include <vector>

using testing_support::ExeFolder;
using testing_support::UnixProcessOf;
using testing_support::WaitForFile;

namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kPurple = RGB(128, 0, 128);

HWND WaitForAbout() {
    return ui::WaitForWindow(QARVO_WINDOW_CLASS, "About " QARVO_PRODUCT_NAME);
}

// The text colour a control is painted in: what its parent's WM_CTLCOLORSTATIC sets.
COLORREF TextColour(HWND control, LOGFONTA* font = nullptr) {
    const win32::CMemoryDC memory(::CreateCompatibleDC(nullptr));
    HDC dc = memory.Get();
    ::SetTextColor(dc, RGB(1, 2, 3));
    ::SendMessageA(::GetParent(control), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(control));
    const COLORREF colour = ::GetTextColor(dc);
    if (font != nullptr) {
        ::GetObjectA(::GetCurrentObject(dc, OBJ_FONT), sizeof *font, font);
    }
    return colour;
}

// Whether the desktop's shell answers for its windows, as it does from a user's sign-in on.
// Wine starts its desktop with the first window of a session and serves the list a moment later.
bool DesktopShellServes() {
    Microsoft::WRL::ComPtr<IShellWindows> windows;
    VARIANT anywhere;
    ::VariantInit(&anywhere);
    long hwnd = 0;
    Microsoft::WRL::ComPtr<IDispatch> desktop;
    return SUCCEEDED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                        IID_IShellWindows,
                                        reinterpret_cast<void**>(windows.GetAddressOf()))) &&
           windows->FindWindowSW(&anywhere, &anywhere, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH,
                                 desktop.GetAddressOf()) == S_OK;
}

class StaticLinkTest : public MainDlgTest {
protected:
    // A static of the main dialog made a link that deletes itself with its window.
    HWND AddLink(int id, const std::string& text, DWORD style = SS_LEFT) {
        HWND hwnd =
            ::CreateWindowA("STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | style, 20, 20, 200, 16,
                            dlg->m_hWnd, reinterpret_cast<HMENU>(INT_PTR{id}), nullptr, nullptr);
        ::SendMessageA(hwnd, WM_SETFONT, dlg->SendMessage(WM_GETFONT), FALSE);
        CStaticLink* link = new CStaticLink(nullptr, TRUE);
        if (!link->SubclassWindow(hwnd)) {
            delete link;
            ADD_FAILURE() << "not subclassed";
        }
        return hwnd;
    }
};

} // namespace

TEST_F(MainDlgTest, AboutDialogShowsTheProductAndEndsAsOkOnEnterAndAsCancelOnEsc) {
    OpenMainDialog();
    for (const WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        std::string caption;
        std::vector<std::string> texts;
        COLORREF web = 0, mail = 0, version = 0;
        RECT picture = {}, expected = {2, 1, 219, 94}; // the template's frame: place, size
        SIZE shown = {};
        std::thread driver([&] {
            HWND about = WaitForAbout();
            if (about == nullptr) {
                return;
            }
            caption = ui::Text(about);
            for (HWND c = ::GetWindow(about, GW_CHILD); c != nullptr;
                 c = ::GetWindow(c, GW_HWNDNEXT)) {
                if ((::GetWindowLongPtrA(c, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
                    ::GetWindowRect(c, &picture);
                    ::MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&picture), 2);
                    BITMAP bm = {};
                    ::GetObjectA(
                        reinterpret_cast<HBITMAP>(::SendMessageA(c, STM_GETIMAGE, IMAGE_BITMAP, 0)),
                        sizeof bm, &bm);
                    shown = {bm.bmWidth, bm.bmHeight};
                } else {
                    texts.push_back(ui::Text(c));
                }
            }
            ::MapDialogRect(about, &expected);
            web = TextColour(::GetDlgItem(about, IDC_LINK_WEB));
            mail = TextColour(::GetDlgItem(about, IDC_LINK_MAIL));
            version = TextColour(::GetWindow(::GetDlgItem(about, IDOK), GW_HWNDNEXT));
            ::PostMessageA(about, WM_KEYDOWN, key, 0);
        });
        CDlgAbout about;
        const INT_PTR result = about.DoModal();
        driver.join();
        EXPECT_EQ(result, key == VK_RETURN ? IDOK : IDCANCEL);
        EXPECT_EQ(caption, "About Qarvo Context Menu");
        EXPECT_EQ(texts,
                  (std::vector<std::string>{
                      "&OK", QARVO_PRODUCT_NAME " Version " QARVO_VERSION_SHORT, QARVO_COPYRIGHT,
                      "Website : www.qarvo.example", "Mail to : support@qarvo.example"}));
        EXPECT_EQ(web, kBlue);
        EXPECT_EQ(mail, kBlue);
        EXPECT_NE(version, kBlue) << "only the two links are links";
        // The picture fills its frame.
        EXPECT_EQ(picture.left, expected.left);
        EXPECT_EQ(picture.top, expected.top);
        EXPECT_EQ(picture.right - picture.left, expected.right);
        EXPECT_EQ(picture.bottom - picture.top, expected.bottom);
        EXPECT_EQ(shown.cx, picture.right - picture.left);
        EXPECT_EQ(shown.cy, picture.bottom - picture.top);
    }
    // The drawing itself: 24 bits per pixel.
    HRSRC res = ::FindResourceA(nullptr, MAKEINTRESOURCEA(IDB_ABOUT), RT_BITMAP);
    ASSERT_NE(res, nullptr);
    const auto* header =
        static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(nullptr, res)));
    EXPECT_EQ(header->biBitCount, 24);
}

TEST_F(MainDlgTest, AboutPictureFillsItsFrameAtItsDpiAndAfterADpiChange) {
    OpenMainDialog();
    CDlgAbout about(dlg);
    ASSERT_TRUE(about.Create(IDD_ABOUTBOX, dlg));
    HWND frame = about.GetDlgItem(IDC_ABOUT_PICTURE);
    const auto fills = [frame] {
        RECT rc;
        ::GetClientRect(frame, &rc);
        BITMAP bm = {};
        ::GetObjectA(
            reinterpret_cast<HBITMAP>(::SendMessageA(frame, STM_GETIMAGE, IMAGE_BITMAP, 0)),
            sizeof bm, &bm);
        return bm.bmWidth == rc.right && bm.bmHeight == rc.bottom && rc.bottom > 0;
    };
    EXPECT_TRUE(fills());
    // Scaled down from the drawing, never up, at 100% to 200%.
    RECT rc;
    ::GetClientRect(frame, &rc);
    BITMAP drawing = {};
    const win32::CBitmap source(static_cast<HBITMAP>(::LoadImageA(
        ::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_ABOUT), IMAGE_BITMAP, 0, 0, 0)));
    ::GetObjectA(source.Get(), sizeof drawing, &drawing);
    EXPECT_LE(rc.bottom, drawing.bmHeight);

    // The dialog, its links' font and the picture follow a move to another monitor.
    const UINT dpi = about.GetDpi();
    ExpectRelaidOutForDpi(about.m_hWnd, dpi, dpi * 2);
    EXPECT_TRUE(fills());
    LOGFONTA link = {}, dialogs = {};
    TextColour(about.GetDlgItem(IDC_LINK_WEB), &link);
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(about.GetDlgItem(IDOK), WM_GETFONT, 0, 0)),
                 sizeof dialogs, &dialogs);
    EXPECT_EQ(link.lfHeight, dialogs.lfHeight) << "the link copies the new font";
    about.DestroyWindow();
}

TEST(ScaleBitmap, AveragesWhatEachPixelCoversAndCutsOrContinuesTheSides) {
    // 8 x 4 pixels: a checkerboard, and a picture red on its left half and blue on its right.
    const auto make = [](auto colour) {
        const win32::CMemoryDC dc(::CreateCompatibleDC(nullptr));
        win32::CBitmap bitmap(::CreateBitmap(8, 4, 1, 32, nullptr));
        const HGDIOBJ old = ::SelectObject(dc.Get(), bitmap.Get());
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 8; ++x) {
                ::SetPixel(dc.Get(), x, y, colour(x, y));
            }
        }
        ::SelectObject(dc.Get(), old);
        return bitmap;
    };
    const auto row = [](const win32::CBitmap& bitmap, int y) {
        const win32::CMemoryDC dc(::CreateCompatibleDC(nullptr));
        const HGDIOBJ old = ::SelectObject(dc.Get(), bitmap.Get());
        BITMAP bm = {};
        ::GetObjectA(bitmap.Get(), sizeof bm, &bm);
        std::vector<COLORREF> pixels;
        for (int x = 0; x < bm.bmWidth; ++x) {
            pixels.push_back(::GetPixel(dc.Get(), x, y));
        }
        ::SelectObject(dc.Get(), old);
        return pixels;
    };
    const win32::CBitmap board =
        make([](int x, int y) { return (x + y) % 2 != 0 ? RGB(255, 255, 255) : RGB(0, 0, 0); });
    // Half the size: every pixel covers two by two of black and white.
    const win32::CBitmap grey = ScaleBitmap(board.Get(), 4, 2);
    for (COLORREF c : row(grey, 1)) {
        EXPECT_NEAR(GetRValue(c), 128, 1);
        EXPECT_NEAR(GetBValue(c), 128, 1);
    }
    constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);
    const win32::CBitmap halves = make([&](int x, int) { return x < 4 ? kRed : kBlue; });
    EXPECT_EQ(row(ScaleBitmap(halves.Get(), 6, 2), 0),
              (std::vector<COLORREF>{kRed, kRed, kRed, kBlue, kBlue, kBlue}))
        << "wider than the picture: its edge columns continue";
    EXPECT_EQ(row(ScaleBitmap(halves.Get(), 2, 2), 0), (std::vector<COLORREF>{kRed, kBlue}))
        << "narrower: cut equally at both sides";
}

TEST_F(MainDlgTest, AboutLinksAreReachedByTabOpenedByEnterOrSpaceAndReadAsLinks) {
    const std::string marker = dir.File("marker.exe");
    ASSERT_TRUE(::CopyFileA((ExeFolder() + "\\marker.exe").c_str(), marker.c_str(), FALSE));
    OpenMainDialog();
    // The About dialog with both links opening the marker program.
    class CMarkedAbout : public CDlgAbout {
    public:
        CMarkedAbout(CWnd* parent, std::string target)
            : CDlgAbout(parent), m_marker(std::move(target)) {}

    protected:
        BOOL OnInitDialog() override {
            const BOOL result = CDlgAbout::OnInitDialog();
            m_linkWeb.m_target.m_strTarget = m_marker;
            m_linkMail.m_target.m_strTarget = m_marker;
            return result;
        }

    private:
        std::string m_marker;
    } about(dlg, marker);
    ASSERT_TRUE(about.Create(IDD_ABOUTBOX, dlg));
    about.ShowWindow(SW_SHOW);
    const HWND ok = about.GetDlgItem(IDOK), web = about.GetDlgItem(IDC_LINK_WEB),
               mail = about.GetDlgItem(IDC_LINK_MAIL);
    const auto press = [&](WPARAM key) {
        MSG down = {::GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
        const bool consumed = CWinApp::PreTranslateChain(&down);
        Pump();
        return consumed;
    };
    const auto opened = [&] {
        const std::string launched = dir.File("launched.txt");
        const bool seen = WaitForFile(launched, 20000) &&
                          ui::WaitUntil([&] { return UnixProcessOf(marker) == 0; });
        ::DeleteFileA(launched.c_str());
        return seen;
    };

    // The top line of a link's text cell: a focus rectangle runs along it.
    const auto topLine = [](HWND link) {
        std::vector<COLORREF> line;
        for (int x = 0; x < 40; ++x) {
            line.push_back(testing_support::ScreenPixel(link, x, 0));
        }
        return line;
    };
    Pump();
    const std::vector<COLORREF> unfocused = topLine(web);

    EXPECT_EQ(::GetFocus(), ok);
    std::vector<HWND> order;
    std::vector<COLORREF> focused;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(press(VK_TAB));
        order.push_back(::GetFocus());
        if (::GetFocus() == web) {
            focused = topLine(web);
        }
    }
    EXPECT_EQ(order, (std::vector<HWND>{web, mail, ok}));
    EXPECT_NE(focused, unfocused) << "the focused link shows a focus rectangle";
    EXPECT_EQ(topLine(web), unfocused) << "and leaves no trace of it";
    for (HWND link : {web, mail}) {
        const ui::Accessible read = ui::ReadAccessible(link);
        EXPECT_EQ(read.role, ROLE_SYSTEM_LINK);
        EXPECT_EQ(read.name, ui::Text(link));
        EXPECT_EQ(read.value, marker) << "its target";
        EXPECT_EQ(read.state & (STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE),
                  STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE);
    }

    // Enter on a link opens it and leaves the dialog open; so do Space and a screen reader.
    ::SetFocus(web);
    EXPECT_TRUE(press(VK_RETURN));
    EXPECT_TRUE(opened());
    EXPECT_TRUE(::IsWindowVisible(about.m_hWnd));
    ::SetFocus(mail);
    EXPECT_TRUE(press(VK_SPACE));
    EXPECT_TRUE(opened());
    EXPECT_TRUE(ui::DoDefaultAction(web));
    EXPECT_TRUE(opened());
    // Enter anywhere else still ends the dialog.
    ::SetFocus(ok);
    EXPECT_TRUE(press(VK_RETURN));
    EXPECT_FALSE(::IsWindowVisible(about.m_hWnd));
    about.DestroyWindow();
}

TEST_F(MainDlgTest, TheSystemMenusAboutItemAndTheAboutButtonShowTheAboutDialog) {
    OpenMainDialog();
    const LPARAM button = reinterpret_cast<LPARAM>(dlg->GetDlgItem(IDC_ABOUT));
    struct Way {
        UINT msg;
        WPARAM wp;
        LPARAM lp;
    } ways[] = {{WM_SYSCOMMAND, IDM_ABOUTBOX, 0},
                {WM_SYSCOMMAND, IDM_ABOUTBOX | 3, 0}, // the low four bits are the system's
                {WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED), button}};
    for (const Way& way : ways) {
        SCOPED_TRACE(way.wp);
        HWND owner = nullptr;
        std::thread driver([&] {
            if (HWND about = WaitForAbout()) {
                owner = ::GetWindow(about, GW_OWNER);
                ::PostMessageA(about, WM_KEYDOWN, VK_ESCAPE, 0);
            }
        });
        dlg->SendMessage(way.msg, way.wp, way.lp);
        driver.join();
        EXPECT_EQ(owner, dlg->m_hWnd);
        EXPECT_TRUE(::IsWindowEnabled(dlg->m_hWnd));
    }
    // Every other system command is the system's.
    dlg->SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsIconic(dlg->m_hWnd));
}

TEST_F(StaticLinkTest, RedUnderThePointerBlueAgainWhenATimerTickFindsItOutside) {
    OpenMainDialog();
    HWND link = AddLink(2001, "a link");
    LOGFONTA used = {}, own = {};
    EXPECT_EQ(TextColour(link, &used), kBlue);
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(link, WM_GETFONT, 0, 0)), sizeof own, &own);
    EXPECT_STREQ(used.lfFaceName, own.lfFaceName) << "the control's own font, not underlined";
    EXPECT_EQ(used.lfHeight, own.lfHeight);
    EXPECT_FALSE(used.lfUnderline);
    // A picture static is no text: its colours stay the dialog's.
    EXPECT_NE(TextColour(AddLink(2002, "", SS_BITMAP)), kBlue);

    const POINT on = ui::Centre(link);
    ::SetCursorPos(on.x, on.y);
    EXPECT_EQ(::SendMessageA(link, WM_NCHITTEST, 0, MAKELPARAM(on.x, on.y)), HTCLIENT);
    EXPECT_EQ(TextColour(link), kRed);
    ::PostMessageA(link, WM_TIMER, 1, 0);
    Pump();
    EXPECT_EQ(TextColour(link), kRed) << "the pointer is still on it";

    ::SetCursorPos(0, 0);
    EXPECT_TRUE(ui::WaitUntil([&] {
        Pump();
        return TextColour(link) == kBlue;
    }));
    EXPECT_FALSE(::KillTimer(link, 1)) << "the hover timer was stopped";

    // In high contrast, the colour the user chose for links.
    {
        const testing_support::CHighContrast contrast({::GetModuleHandleA(nullptr)});
        ASSERT_TRUE(contrast.Patched());
        EXPECT_EQ(TextColour(link), ::GetSysColor(COLOR_HOTLIGHT));
    }
    EXPECT_EQ(TextColour(link), kBlue);
}

TEST_F(StaticLinkTest, ButtonDownOpensTheTargetAndTurnsPurpleOnlyWhenItOpened) {
    const std::string marker = dir.File("marker.exe");
    ASSERT_TRUE(::CopyFileA((ExeFolder() + "\\marker.exe").c_str(), marker.c_str(), FALSE));
    OpenMainDialog();
    ::SetCursorPos(0, 0);

    // No target and no string resource 2003: the window text is the target. The marker
    // program notes that it ran and ends by itself.
    HWND opens = AddLink(2003, marker);
    ASSERT_TRUE(ui::WaitUntil(DesktopShellServes));
    ::SendMessageA(opens, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(TextColour(opens), kPurple);
    EXPECT_TRUE(WaitForFile(dir.File("launched.txt"), 20000));
    // Started by the desktop's shell, as its user: never a child of the (elevated) editor.
    EXPECT_EQ(testing_support::ReadFileBytes(dir.File("launched-by.txt")), "explorer.exe");
    EXPECT_TRUE(ui::WaitUntil([&] { return UnixProcessOf(marker) == 0; }));

    // String resource 101 comes before the window text, and names nothing that opens: a beep,
    // and the colour stays.
    HWND fails = AddLink(IDS_ABOUTBOX, marker);
    ::SendMessageA(fails, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(TextColour(fails), kBlue);
}
