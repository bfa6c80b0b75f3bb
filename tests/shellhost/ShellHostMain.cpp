// shellhost.exe [--show] file|folder|background PATH
// Builds the context menu Explorer would show for PATH with every registered handler, prints
// it, and with --show pops it up on the display (the submenu opened) for a screenshot.
#include "ShellHost.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void Print(const std::vector<MenuNode>& nodes, int depth) {
    for (const MenuNode& node : nodes) {
        std::printf("%*s%s", depth * 2, "", node.text.c_str());
        if (node.children.empty()) {
            std::printf("  [id %u]", node.id);
        }
        std::printf("\n");
        Print(node.children, depth + 1);
    }
}

LRESULT CALLBACK HostWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER && wp == 1) {
        // Open the submenu through its mnemonic, as a user pressing Q would.
        INPUT keys[2] = {};
        keys[0].type = keys[1].type = INPUT_KEYBOARD;
        keys[0].ki.wVk = keys[1].ki.wVk = 'Q';
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        ::SendInput(2, keys, sizeof(INPUT));
        ::KillTimer(hwnd, 1);
        return 0;
    }
    if (msg == WM_TIMER && wp == 2) {
        ::EndMenu();
        ::KillTimer(hwnd, 2);
        return 0;
    }
    return ::DefWindowProcA(hwnd, msg, wp, lp);
}

int Show(HMENU menu, int seconds) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HostWndProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "QarvoShellHost";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassA(&wc);
    HWND hwnd = ::CreateWindowA("QarvoShellHost", "Shell host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                40, 40, 640, 420, nullptr, nullptr, wc.hInstance, nullptr);
    ::SetForegroundWindow(hwnd);
    ::SetTimer(hwnd, 1, 500, nullptr);
    ::SetTimer(hwnd, 2, static_cast<UINT>(seconds) * 1000, nullptr);
    const UINT chosen =
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN, 80, 80, 0, hwnd, nullptr);
    ::DestroyWindow(hwnd);
    return static_cast<int>(chosen);
}

} // namespace

int main(int argc, char** argv) {
    int arg = 1;
    bool show = false;
    if (arg < argc && std::strcmp(argv[arg], "--show") == 0) {
        show = true;
        ++arg;
    }
    if (argc - arg != 2) {
        std::fprintf(stderr, "usage: shellhost [--show] file|folder|background PATH\n");
        return 2;
    }
    const std::string kind = argv[arg];
    const ShellTarget target = kind == "folder"       ? ShellTarget::Folder
                               : kind == "background" ? ShellTarget::Background
                                                      : ShellTarget::File;
    ::CoInitialize(nullptr);
    int status = 1;
    {
        std::vector<std::unique_ptr<CShellHost>> hosts;
        UINT idFirst = 100;
        for (const RegisteredHandler& handler : CShellHost::FindHandlers(target)) {
            auto host = std::make_unique<CShellHost>();
            const HRESULT hr = host->Open(target, argv[arg + 1], handler.clsid, idFirst);
            std::printf("%s\\%s: 0x%08lx\n", handler.key.c_str(), handler.name.c_str(),
                        static_cast<unsigned long>(hr));
            if (SUCCEEDED(hr)) {
                Print(host->Walk(), 1);
                std::printf("  help text: %s\n", host->HelpText(0, false).c_str());
                status = 0;
                if (show) {
                    Show(host->Menu(), 4);
                    show = false;
                }
                hosts.push_back(std::move(host));
            }
            idFirst += 0x1000;
        }
    }
    ::CoUninitialize();
    return status;
}
