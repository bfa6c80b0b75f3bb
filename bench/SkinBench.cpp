// Size of Skin.dll, and the time of one skin change through the editor's own binding (read the
// file, repaint the main dialog holding 26 rows) for each of the four skins.
// skin_bench.exe PATH_TO_bin
#include "AppConfig.h"
#include "MenuApp.h"
#include "MenuResource.h"

#include "BenchSupport.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin_bench PATH_TO_bin\n");
        return 2;
    }
    const std::string bin = argv[1];
    CMenuApp app;
    app.m_hInstance = ::GetModuleHandleA(nullptr);
    ::CoInitialize(nullptr);
    ::InitCommonControls();
    if (!SetAppFolder(bin) || !app.RegisterDialogClass()) {
        std::fprintf(stderr, "cannot prepare the editor's class and folder\n");
        return 1;
    }
    HWND dlg = ::CreateDialogParamA(
        app.m_hInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    HWND list = ::GetDlgItem(dlg, IDC_LIST_ITEMS);
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
    ::ShowWindow(dlg, SW_SHOW);

    const long long size = FileSizeBytes(bin + "\\Skin.dll");
    std::printf("Skin.dll size: %lld bytes (%.1f KB; target at most 64 KB)\n", size, size / 1024.0);
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
        std::printf("%8d %26.0f\n", skin, Median(times));
    }
    app.ReleaseSkin();
    ::DestroyWindow(dlg);
    return 0;
}
