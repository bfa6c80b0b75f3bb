#include "WinApp.h"

namespace {
CWinApp* s_app = nullptr;
}

CWinApp::CWinApp() {
    s_app = this;
}

CWinApp::~CWinApp() {
    if (s_app == this) {
        s_app = nullptr;
    }
}

CWinApp* AfxGetApp() {
    return s_app;
}

HINSTANCE AfxGetInstanceHandle() {
    return s_app != nullptr && s_app->m_hInstance != nullptr ? s_app->m_hInstance
                                                             : ::GetModuleHandleA(nullptr);
}

bool CWinApp::PreTranslateChain(MSG* msg) {
    for (HWND hwnd = msg->hwnd; hwnd != nullptr; hwnd = ::GetParent(hwnd)) {
        if (CWnd* wnd = CWnd::FromHandlePermanent(hwnd)) {
            if (wnd->PreTranslateMessage(msg)) {
                return true;
            }
        }
        if (!(::GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD)) {
            break; // the top-level window was the last to ask
        }
    }
    return false;
}

void CWinApp::ProcessLoopMessage(MSG* msg) {
    // Handlers reached from PreTranslateMessage run outside any window procedure: what they
    // throw must not end the loop and skip the saves at exit. The message is dropped.
    try {
        if (!PreTranslateChain(msg)) {
            ::TranslateMessage(msg);
            ::DispatchMessageA(msg);
        }
    } catch (...) {
        ::MessageBeep(MB_ICONERROR);
    }
}

HWND CWinApp::DefaultOwner(const CWnd* parent) {
    if (parent != nullptr && parent->m_hWnd != nullptr) {
        return parent->m_hWnd;
    }
    CWinApp* app = AfxGetApp();
    return app != nullptr && app->m_pMainWnd != nullptr ? app->m_pMainWnd->m_hWnd : nullptr;
}

int CWinApp::Run() {
    MSG msg;
    for (;;) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            m_nQuitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got < 0) {
            m_nQuitCode = -1;
            break;
        }
        ProcessLoopMessage(&msg);
    }
    return ExitInstance();
}

int AfxWinMain(CWinApp& app, HINSTANCE instance) {
    app.m_hInstance = instance;
    try {
        if (!app.InitInstance()) {
            return app.ExitInstance();
        }
        return app.Run();
    } catch (...) {
        return -1;
    }
}
