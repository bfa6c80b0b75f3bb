// CWinApp: the application object, its start-up, message loop and exit code.
#pragma once

#include "Wnd.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // TRUE runs the message loop; FALSE goes straight to ExitInstance.
    virtual BOOL InitInstance() { return TRUE; }
    // The process exit code: the quit message's code.
    virtual int ExitInstance() { return m_nQuitCode; }
    // The message loop until WM_QUIT, then ExitInstance.
    int Run();

    // Offers msg to PreTranslateMessage of the windows from its target up to the top-level
    // window; true when one consumed it.
    static bool PreTranslateChain(MSG* msg);
    // One message of a message loop: pre-translated, or translated and dispatched.
    static void ProcessLoopMessage(MSG* msg);
    // The owner of a dialog: its parent, or else the main window, as users expect.
    static HWND DefaultOwner(const CWnd* parent);

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;

protected:
    int m_nQuitCode = 0;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();

// The program's entry: InitInstance, then Run, or ExitInstance at once.
int AfxWinMain(CWinApp& app, HINSTANCE instance);
