// The time of one skin change through the editor's own binding (read the file, repaint the
// main dialog holding 26 rows) for each of the four skins. skin_bench.exe (the skins are taken
// from the build's bin folder)
#include "AppConfig.h"
#include "MenuApp.h"
#include "MenuResource.h"
#include "Owners.h"
#include "TestSupport.h"

#include "BenchSupport.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

int main() {
    const std::string bin = testing_support::BinFolder();
    CMenuApp app;
    app.m_hInstance = ::GetModuleHandleA(nullptr);
    const win32::CComScope com;
    ::InitCommonControls();
    if (!SetAppFolder(bin) || !app.RegisterDialogClass()) {
        std::fprintf(stderr, "cannot prepare the editor's class and folder\n");
        return 1;
    }
    const win32::CWindow dlg(::CreateDialogParamA(
        app.m_hInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0));
    HWND list = ::GetDlgItem(dlg.Get(), IDC_LIST_ITEMS);
    LVCOLUMNA column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 150;
    ListView_InsertColumn(list, 0, &column);
    ListView_InsertColumn(list, 1, &column);
    for (int i = 0; i < 26; ++i) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<char*>("tool.exe");
        ListView_InsertItem(list, &item);
    }
    ::ShowWindow(dlg.Get(), SW_SHOW);

    std::printf("%8s %26s\n", "skin", "load and repaint (us)");
    for (int skin = 1; skin <= 4; ++skin) {
        std::vector<double> times;
        for (int run = 0; run < 31; ++run) {
            const double t0 = NowMicroseconds();
            const bool loaded = app.LoadSkin(skin);
            const double t1 = NowMicroseconds();
            if (!loaded) {
                std::fprintf(stderr, "cannot load skin %d from %s\n", skin, bin.c_str());
                return 1;
            }
            times.push_back(t1 - t0);
        }
        std::printf("%8d %26.0f\n", skin, Quantile(times, 0.5));
    }
    app.ReleaseSkin();
    return 0;
}
