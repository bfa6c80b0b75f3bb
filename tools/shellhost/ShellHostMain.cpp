// shellhost.exe [--show [--ready FILE]] file|folder|background PATH
// shellhost.exe --modern MANIFEST FOLDER [--invoke N] file|folder|background PATH
// Builds the context menu Explorer would show for PATH with every registered handler, prints
// it, and with --show pops it up on the display (the submenu opened) for a screenshot; FILE is
// created once the submenu is open, so a script can take the picture then. With --modern it
// drives the command that the sparse package's AppxManifest.xml names for the kind of item, as
// Windows 11's menu does, from the DLL in FOLDER (the package's external location), prints
// what it saw and, with --invoke, invokes subcommand N.
#include "AnsiText.h"
#include "Owners.h"
#include "ShellHost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

HMENU s_hRootMenu = nullptr;
const char* s_readyFile = nullptr;

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
    if (msg == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(wp) != s_hRootMenu) {
        ::SetTimer(hwnd, 3, 200, nullptr); // the submenu has had time to paint itself
    }
    if (msg == WM_TIMER && wp == 3) {
        ::KillTimer(hwnd, 3);
        if (s_readyFile != nullptr) {
            win32::CHandle(::CreateFileA(s_readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        }
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
    s_hRootMenu = menu;
    ::SetTimer(hwnd, 1, 500, nullptr);
    ::SetTimer(hwnd, 2, static_cast<UINT>(seconds) * 1000, nullptr);
    const UINT chosen =
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN, 80, 80, 0, hwnd, nullptr);
    ::DestroyWindow(hwnd);
    return static_cast<int>(chosen);
}

void PrintCommand(const CommandNode& node, int depth) {
    std::printf(
        "%*s%s  [state fast 0x%08lx, slow 0x%08lx = %lu; flags %lu; icon 0x%08lx]\n", depth * 2, "",
        win32::ToAnsi(node.title.c_str()).c_str(), static_cast<unsigned long>(node.fastState),
        static_cast<unsigned long>(node.slowState), static_cast<unsigned long>(node.state),
        static_cast<unsigned long>(node.flags), static_cast<unsigned long>(node.iconResult));
    for (const CommandNode& child : node.children) {
        PrintCommand(child, depth + 1);
    }
}

int Modern(const std::string& manifest, const std::string& location, int invoke, ShellTarget target,
           const std::string& path) {
    CModernHost host;
    const HRESULT hr = host.Open(manifest, location, target, path);
    std::printf("%s: 0x%08lx\n", manifest.c_str(), static_cast<unsigned long>(hr));
    if (FAILED(hr)) {
        return 1;
    }
    PrintCommand(host.Root(), 1);
    if (invoke >= 0) {
        const HRESULT invoked = host.Invoke(static_cast<std::size_t>(invoke));
        std::printf("invoke %d: 0x%08lx\n", invoke, static_cast<unsigned long>(invoked));
        return FAILED(invoked) ? 1 : 0;
    }
    return 0;
}

ShellTarget TargetOf(const std::string& kind) {
    return kind == "folder"       ? ShellTarget::Folder
           : kind == "background" ? ShellTarget::Background
                                  : ShellTarget::File;
}

} // namespace

int main(int argc, char** argv) {
    int arg = 1;
    if (argc >= 6 && std::strcmp(argv[1], "--modern") == 0) {
        int invoke = -1;
        arg = 4;
        if (std::strcmp(argv[arg], "--invoke") == 0 && argc == 8) {
            invoke = std::atoi(argv[arg + 1]);
            arg += 2;
        }
        if (argc - arg == 2) {
            const win32::CComScope com;
            return Modern(argv[2], argv[3], invoke, TargetOf(argv[arg]), argv[arg + 1]);
        }
    }
    bool show = false;
    if (arg < argc && std::strcmp(argv[arg], "--show") == 0) {
        show = true;
        ++arg;
        if (arg + 1 < argc && std::strcmp(argv[arg], "--ready") == 0) {
            s_readyFile = argv[arg + 1];
            arg += 2;
        }
    }
    if (argc - arg != 2) {
        std::fprintf(
            stderr, "usage: shellhost [--show [--ready FILE]] file|folder|background PATH\n"
                    "       shellhost --modern MANIFEST FOLDER [--invoke N] file|folder|background "
                    "PATH\n");
        return 2;
    }
    const ShellTarget target = TargetOf(argv[arg]);
    const win32::CComScope com; // outlives the hosts below
    int status = 1;
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
    return status;
}
