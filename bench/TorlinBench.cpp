// Cost of one context menu through Torlin.dll against the floor of the same work done by hand.
// torlin_bench.exe PATH_TO_Torlin.dll
#include "MenuData.h"
#include "QarvoIdentity.h"

#include "BenchSupport.h"

#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

const CLSID kClsid = {QARVO_HANDLER_CLSID_INIT};

// What any handler must do at the least: read the file, build the items.
void Floor(const std::string& dataPath, int records) {
    HMENU shellMenu = ::CreatePopupMenu();
    HANDLE file = ::CreateFileA(dataPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    static char buffer[4 + 26 * 384];
    DWORD got = 0;
    ::ReadFile(file, buffer, sizeof buffer, &got, nullptr);
    ::CloseHandle(file);
    for (int i = 0; i < records; ++i) {
        ::InsertMenuA(shellMenu, i, MF_BYPOSITION | MF_STRING, 100 + i, buffer + 4 + i * 384);
    }
    ::DestroyMenu(shellMenu);
}

void Handler(IClassFactory* factory) {
    HMENU shellMenu = ::CreatePopupMenu();
    ComPtr<IShellExtInit> init;
    factory->CreateInstance(nullptr, IID_PPV_ARGS(&init));
    init->Initialize(nullptr, nullptr, nullptr);
    ComPtr<IContextMenu> menu;
    init.As(&menu);
    menu->QueryContextMenu(shellMenu, 0, 100, 0x7fff, CMF_NORMAL);
    char help[64];
    menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, help, sizeof help);
    menu.Reset();
    init.Reset();
    ::DestroyMenu(shellMenu);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: torlin_bench PATH_TO_Torlin.dll\n");
        return 2;
    }
    const std::string built = argv[1];
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "qarvo-bench";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string dll = folder + "\\Torlin.dll";
    const std::string dataPath = folder + "\\menu.dat";
    if (!::CopyFileA(built.c_str(), dll.c_str(), FALSE)) {
        std::fprintf(stderr, "cannot copy %s\n", built.c_str());
        return 1;
    }
    const long long size = FileSizeBytes(built);

    HMODULE module = ::LoadLibraryA(dll.c_str());
    auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    if (getClassObject == nullptr || FAILED(getClassObject(kClsid, IID_PPV_ARGS(&factory)))) {
        std::fprintf(stderr, "cannot load %s\n", dll.c_str());
        return 1;
    }

    std::printf("Torlin.dll size: %lld bytes (%.1f KB; target at most 128 KB)\n", size,
                size / 1024.0);
    std::printf("%8s %16s %16s %8s\n", "records", "handler (us)", "floor (us)", "ratio");
    const int kRounds = 3000;
    for (int records : {1, 10, 26}) {
        MenuItemList items;
        for (int i = 0; i < records; ++i) {
            items.push_back(
                MakeMenuItem("Entry number " + std::to_string(i),
                             "C:\\Program Files\\Tool\\tool" + std::to_string(i) + ".exe"));
        }
        WriteMenuData(dataPath.c_str(), items);
        std::vector<double> handler, floor;
        for (int i = 0; i < 200; ++i) { // warm the file cache and the heap
            Handler(factory.Get());
            Floor(dataPath, records);
        }
        for (int i = 0; i < kRounds; ++i) {
            double t0 = NowMicroseconds();
            Handler(factory.Get());
            double t1 = NowMicroseconds();
            Floor(dataPath, records);
            double t2 = NowMicroseconds();
            handler.push_back(t1 - t0);
            floor.push_back(t2 - t1);
        }
        const double h = Median(handler), fl = Median(floor);
        std::printf("%8d %16.2f %16.2f %8.2f\n", records, h, fl, h / fl);
    }
    factory.Reset();
    ::FreeLibrary(module);
    ::DeleteFileA(dll.c_str());
    ::DeleteFileA(dataPath.c_str());
    ::RemoveDirectoryA(folder.c_str());
    return 0;
}
