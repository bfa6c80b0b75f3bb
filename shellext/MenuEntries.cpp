#include "MenuEntries.h"
#include "MenuData.h"
#include "Module.h"
#include "Owners.h"

#include "QarvoIdentity.h"

#include <cstring>

namespace {

// A field copied into a buffer one byte wider, so a field without a NUL ends at its width.
template <std::size_t N> struct CTerminated {
    explicit CTerminated(const char (&field)[N]) {
        std::memcpy(text, field, N);
        text[N] = '\0';
    }
    char text[N + 1];
};

// The running system's build number, whatever the calling program's manifest says.
DWORD SystemBuild() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return getVersion != nullptr && getVersion(&info) == 0 ? info.dwBuildNumber : 0;
}

} // namespace

HRESULT LoadMenuEntries(MenuItemList& items) {
    char dataPath[256];
    if (!ModuleFilePath("menu.dat", dataPath) || ReadMenuData(dataPath, items) <= 0 ||
        items.empty()) {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT LaunchEntry(const MenuItem& item, HWND owner, ULONG seeMask) {
    const CTerminated<sizeof(MenuItem::FilePath)> path(item.FilePath);
    // A launch that fails is reported; the system tells the user why over the owner window,
    // unless the caller asked for no UI.
    SHELLEXECUTEINFOA launch = {};
    launch.cbSize = sizeof launch;
    launch.fMask = seeMask;
    launch.hwnd = owner;
    launch.lpVerb = "open";
    launch.lpFile = path.text;
    launch.nShow = SW_SHOW;
    if (!::ShellExecuteExA(&launch)) {
        return LastErrorResult();
    }
    return S_OK;
}

bool PackagedCommandServesTheMenu() {
    if (SystemBuild() < 22000) {
        return false; // before Windows 11 no menu shows packaged commands
    }
    // The installer names the package here once Windows has registered it: a per-user install
    // under the user's own key, read first as the user's classes come before the machine's (the
    // installer keeps the two kinds apart); a machine-wide one under the machine's.
    char familyAnsi[128] = {};
    bool recorded = false;
    const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    for (HKEY root : roots) {
        DWORD size = sizeof familyAnsi;
        recorded = ::RegGetValueA(root, QARVO_PACKAGE_KEY, QARVO_PACKAGE_VALUE, RRF_RT_REG_SZ,
                                  nullptr, familyAnsi, &size) == ERROR_SUCCESS;
        if (recorded) {
            break;
        }
    }
    if (!recorded) {
        return false;
    }
    WCHAR family[128] = {};
    ::MultiByteToWideChar(CP_ACP, 0, familyAnsi, -1, family, ARRAYSIZE(family) - 1);
    // Provisioned for all users, it reaches each user at their next sign-in, and a user may
    // have removed it: ask whether this user has it, where the system can tell.
    using GetPackagesFn = LONG(WINAPI*)(PCWSTR, UINT32*, PWSTR*, UINT32*, WCHAR*);
    const auto getPackages = reinterpret_cast<GetPackagesFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetPackagesByPackageFamily")));
    if (getPackages == nullptr) {
        return true;
    }
    UINT32 count = 0;
    UINT32 length = 0;
    const LONG error = getPackages(family, &count, nullptr, &length, nullptr);
    return (error == ERROR_SUCCESS || error == ERROR_INSUFFICIENT_BUFFER) && count > 0;
}
