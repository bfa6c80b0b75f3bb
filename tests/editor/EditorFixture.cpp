#include "EditorFixture.h"
#include "MenuResource.h"

#include <commctrl.h>

#include <atomic>

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
