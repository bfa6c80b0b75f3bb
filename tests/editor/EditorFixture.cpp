#include "EditorFixture.h"
#include "MenuResource.h"

#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <vector>

void ExpectRelaidOutForDpi(HWND dialog, UINT fromDpi, UINT toDpi) {
    const auto scaled = [&](LONG length) {
        return ::MulDiv(length, static_cast<int>(toDpi), static_cast<int>(fromDpi));
    };
    const auto fontHeight = [](HWND hwnd) {
        LOGFONTA lf = {};
        HFONT font = reinterpret_cast<HFONT>(::SendMessageA(hwnd, WM_GETFONT, 0, 0));
        return font != nullptr && ::GetObjectA(font, sizeof lf, &lf) != 0 ? std::abs(lf.lfHeight)
                                                                          : 0;
    };
    struct Before {
        HWND hwnd;
        RECT rc;
        int font;
    };
    std::vector<Before> before;
    for (HWND c = ::GetWindow(dialog, GW_CHILD); c != nullptr; c = ::GetWindow(c, GW_HWNDNEXT)) {
        Before b = {c, {}, fontHeight(c)};
        ::GetWindowRect(c, &b.rc);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&b.rc), 2);
        before.push_back(b);
    }
    RECT client = {}, window = {};
    ::GetClientRect(dialog, &client);
    ::GetWindowRect(dialog, &window);
    // Where Windows would suggest: the same corner, the window scaled.
    RECT suggested = {window.left, window.top, window.left + scaled(window.right - window.left),
                      window.top + scaled(window.bottom - window.top)};
    ::SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(toDpi, toDpi),
                   reinterpret_cast<LPARAM>(&suggested));

    RECT now = {};
    ::GetClientRect(dialog, &now);
    EXPECT_NEAR(now.right, scaled(client.right), 1) << "client width";
    EXPECT_NEAR(now.bottom, scaled(client.bottom), 1) << "client height";
    for (const Before& b : before) {
        SCOPED_TRACE(::GetDlgCtrlID(b.hwnd));
        ::GetWindowRect(b.hwnd, &now);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&now), 2);
        EXPECT_NEAR(now.left, scaled(b.rc.left), 1);
        EXPECT_NEAR(now.top, scaled(b.rc.top), 1);
        EXPECT_NEAR(now.right, scaled(b.rc.right), 1);
        EXPECT_NEAR(now.bottom, scaled(b.rc.bottom), 1);
        if (b.font != 0) {
            EXPECT_NEAR(fontHeight(b.hwnd), scaled(b.font), 1) << "the control's font";
        }
    }
}

void MainDlgTest::SetUp() {
    ::CoInitialize(nullptr);
    ::InitCommonControls();
    app.m_hInstance = ::GetModuleHandleA(nullptr);
    static bool s_registered = app.RegisterDialogClass();
    ASSERT_TRUE(s_registered);
    g_appConfig = AppConfig{};
    g_bListModified = false;
    ASSERT_TRUE(SetAppFolder(dir.Path()));
}

void MainDlgTest::TearDown() {
    if (dlg != nullptr && dlg->m_hWnd != nullptr) {
        ::DestroyWindow(dlg->m_hWnd); // the dialog deletes itself
    }
    app.m_pMainWnd = nullptr;
    ::CoUninitialize();
}

void MainDlgTest::OpenMainDialog(const MenuItemList& items, int col0Width) {
    g_appConfig.Items = items;
    g_appConfig.Col0Width = col0Width;
    dlg = new CMainDlg(nullptr);
    app.m_pMainWnd = dlg;
    ASSERT_TRUE(dlg->Create(IDD_MAIN, nullptr));
    Pump();
}

void MainDlgTest::Pump() {
    MSG msg;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 50) {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                continue; // the test checks for it on its own
            }
            CWinApp::ProcessLoopMessage(&msg);
        }
        ::Sleep(5);
    }
}

std::string MainDlgTest::RunAndAnswer(const std::function<void()>& action,
                                      const std::function<bool(HWND)>& choose) {
    std::string message;
    std::atomic<bool> done{false};
    std::thread driver([&] {
        bool chosen = !choose;
        ui::WaitUntil([&] {
            if (!chosen) {
                if (HWND fileDialog = ui::WaitForFileDialog(0)) {
                    chosen = choose(fileDialog);
                }
            }
            if (HWND box = ui::WaitForMessageBox(0)) {
                message = ui::ItemText(box, IDC_MSGBOX_TEXT);
                ::GetWindowRect(::GetDlgItem(box, IDC_MSGBOX_TEXT), &boxText);
                ::GetWindowRect(::GetDlgItem(box, IDC_MSGBOX_OK), &boxButton);
                ::PostMessageA(box, WM_KEYDOWN, VK_RETURN, 0);
                return true;
            }
            return done.load();
        });
    });
    action();
    done = true;
    driver.join();
    Pump();
    return message;
}

std::string MainDlgTest::AddThroughFileDialog(const std::wstring& path) {
    return RunAndAnswer([this] { dlg->OnSelectFilePath(); },
                        [&path](HWND fileDialog) { return ui::ChooseFile(fileDialog, path); });
}

std::string MainDlgTest::Drop(const std::vector<std::wstring>& paths) {
    return RunAndAnswer([&] {
        ::PostMessageA(dlg->m_hWnd, WM_DROPFILES,
                       reinterpret_cast<WPARAM>(ui::MakeDropFiles(paths)), 0);
        Pump();
    });
}

void MainDlgTest::SelectRow(int row) {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageA(dlg->m_listItems.m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(&item));
}

void MainDlgTest::ClickRow(int row) {
    RECT rc;
    dlg->m_listItems.GetItemRect(row, rc, LVIR_LABEL);
    const LPARAM at = MAKELPARAM(rc.left + 5, (rc.top + rc.bottom) / 2);
    ::PostMessageA(dlg->m_listItems.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageA(dlg->m_listItems.m_hWnd, WM_LBUTTONUP, 0, at);
    Pump();
}

std::string MainDlgTest::Row(int row) const {
    return dlg->m_listItems.GetItemText(row, 0) + "|" + dlg->m_listItems.GetItemText(row, 1);
}
