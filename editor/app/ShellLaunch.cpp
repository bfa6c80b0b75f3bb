#include "ShellLaunch.h"
#include "AnsiText.h"
#include "Owners.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

template <class T> HRESULT Query(IUnknown* from, REFIID iid, ComPtr<T>& to) {
    return from->QueryInterface(iid, reinterpret_cast<void**>(to.ReleaseAndGetAddressOf()));
}

// The shell automation of the desktop window, which Explorer serves from its own process with
// the signed-in user's unelevated token. The known way there from an elevated program: the list
// of shell windows names the desktop, the desktop's top-level browser shows a view, and that
// view's background object belongs to the shell's automation, whose ShellExecute runs inside
// Explorer, so what it starts is Explorer's child and never this process's.
HRESULT DesktopShell(ComPtr<IShellDispatch2>& shell) {
    ComPtr<IShellWindows> windows;
    HRESULT hr =
        ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                           reinterpret_cast<void**>(windows.GetAddressOf()));
    if (FAILED(hr)) {
        return hr;
    }
    VARIANT anywhere;
    ::VariantInit(&anywhere);
    long desktopWindow = 0;
    ComPtr<IDispatch> desktop;
    hr = windows->FindWindowSW(&anywhere, &anywhere, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                               desktop.GetAddressOf());
    if (hr != S_OK || desktop == nullptr) {
        return FAILED(hr) ? hr : E_FAIL; // S_FALSE: no desktop window in the list
    }
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background, application;
    ComPtr<IShellFolderViewDual> folderView;
    if (FAILED(hr = Query(desktop.Get(), IID_IServiceProvider, services)) ||
        FAILED(hr = services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                           reinterpret_cast<void**>(browser.GetAddressOf()))) ||
        FAILED(hr = browser->QueryActiveShellView(view.GetAddressOf())) ||
        FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch,
                                        reinterpret_cast<void**>(background.GetAddressOf()))) ||
        FAILED(hr = Query(background.Get(), IID_IShellFolderViewDual, folderView)) ||
        FAILED(hr = folderView->get_Application(application.GetAddressOf()))) {
        return hr;
    }
    return Query(application.Get(), IID_IShellDispatch2, shell);
}

VARIANT Text(const win32::CBstr& text) {
    VARIANT v;
    ::VariantInit(&v);
    if (text) {
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = text.Get(); // borrowed: the CBstr keeps it
    }
    return v;
}

} // namespace

bool IsProcessElevated() {
    win32::CHandle token;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive()) ||
        !::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size)) {
        return true; // what cannot be told is taken for the worse case
    }
    return elevation.TokenIsElevated != 0;
}

OpenResult OpenAsDesktopUser(const std::wstring& file, const std::wstring& parameters) {
    ComPtr<IShellDispatch2> shell;
    if (SUCCEEDED(DesktopShell(shell))) {
        const win32::CBstr bfile(::SysAllocString(file.c_str()));
        const win32::CBstr bparameters(parameters.empty() ? nullptr
                                                          : ::SysAllocString(parameters.c_str()));
        const win32::CBstr verb(::SysAllocString(L"open"));
        VARIANT folder, show;
        ::VariantInit(&folder);
        ::VariantInit(&show);
        V_VT(&show) = VT_I4;
        V_I4(&show) = SW_SHOWNORMAL;
        // The desktop tried as the user would: a failure there is no reason to try elsewhere.
        return bfile && verb &&
                       shell->ShellExecute(bfile.Get(), Text(bparameters), folder, Text(verb),
                                           show) == S_OK
                   ? OpenResult::Opened
                   : OpenResult::Failed;
    }
    // Without the desktop's shell (another shell, none yet): a process that is not elevated
    // has nothing to hand on.
    if (IsProcessElevated()) {
        return OpenResult::NoUserRoute;
    }
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) ? OpenResult::Opened : OpenResult::Failed;
}

bool OpenHelpFile(const std::string& path) {
    wchar_t windows[MAX_PATH];
    const UINT length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    const std::wstring viewer = std::wstring(windows, length) + L"\\hh.exe";
    // The viewer takes the rest of its command line as the file, spaces and all, as the
    // system's own association hands it over.
    const std::wstring file = win32::ToWide(path);
    switch (OpenAsDesktopUser(viewer, file)) {
    case OpenResult::Opened:
        return true;
    case OpenResult::Failed:
        return false;
    case OpenResult::NoUserRoute:
        break;
    }
    // The system's own viewer on a file of the protected program folder: that much may run
    // with this process's rights where the user's shell cannot be reached.
    std::wstring command = L"\"" + viewer + L"\" " + file;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(viewer.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started)) {
        return false;
    }
    win32::CProcess process;
    process.Attach(started); // only to close its handles
    return true;
}
