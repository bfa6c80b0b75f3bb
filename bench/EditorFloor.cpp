// The floor of the editor's start: its main dialog template (with its class, manifest and
// common controls) shown by an empty dialog procedure, and nothing else. It ends when its
// window is asked to close.
#include "MenuResource.h"
#include "Owners.h"
#include "QarvoIdentity.h"

#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ::InitCommonControls();
    // The template names the editor's class, a copy of the system dialog class.
    WNDCLASSA wc = {};
    ::GetClassInfoA(instance, "#32770", &wc);
    wc.lpszClassName = QARVO_WINDOW_CLASS;
    wc.hInstance = instance;
    ::RegisterClassA(&wc);
    const win32::CWindow dialog(::CreateDialogParamA(
        instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0));
    ::ShowWindow(dialog.Get(), SW_SHOW);
    // The procedure does nothing, so a posted WM_CLOSE is caught here, in the loop.
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != WM_CLOSE) {
        ::DispatchMessageA(&msg);
    }
    return 0;
}
