// DllRegisterServer and DllUnregisterServer: the approved-list value, then the embedded
// registry script. DllInstall "user": the same script below the current user's classes.
#include "Module.h"
#include "AdminOnly.h"
#include "RegScriptApply.h"
#include "ComPlumbing.h"
#include "AnsiText.h"
#include "Owners.h"
#include "QarvoIdentity.h"
#include "TorlinResource.h"

#include <aclapi.h>

#include <string>

namespace {

constexpr char kApprovedKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr char kApprovedText[] = "DllRegShlExt extension";

// The Windows 9x family has no approved list.
bool IsWin9x() {
    return (::GetVersion() & 0x80000000u) != 0;
}

HRESULT ModulePath(std::string& path) {
    char buffer[MAX_PATH] = {};
    const DWORD len = ::GetModuleFileNameA(ModuleHandle(), buffer, MAX_PATH);
    if (len == 0) {
        return LastErrorResult();
    }
    if (len >= MAX_PATH) {
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    path.assign(buffer, len);
    return S_OK;
}

// A library whose menu could never load is not registered: the handler reads its own path
// as ANSI text into 256 bytes and "menu.dat" beside it.
HRESULT CheckUsableModulePath() {
    WCHAR wide[MAX_PATH] = {};
    const DWORD len = ::GetModuleFileNameW(ModuleHandle(), wide, MAX_PATH);
    if (len == 0) {
        return LastErrorResult();
    }
    std::string ansi;
    if (len < MAX_PATH && !win32::ToAnsiExact(wide, static_cast<int>(len), ansi)) {
        return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    }
    char dataPath[256];
    if (!ModuleFilePath("menu.dat", dataPath)) {
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    return S_OK;
}

// The user registering: an administrator, as only administrators get past the approved list's
// key that registration opens next. Null when the token cannot tell.
PSID RegisteringUser(BYTE (&buffer)[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE]) {
    win32::CHandle token;
    DWORD size = 0;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive()) ||
        !::GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size)) {
        return nullptr;
    }
    return reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
}

// Machine-wide registration puts this library into the Explorer of every user, administrators'
// included: it is refused when anyone but the administrators could change the file or its
// folder. (A per-user registration serves only its own user and needs no such rule.)
HRESULT CheckOnlyAdministratorsCanChangeModule() {
    std::string path;
    const HRESULT hr = ModulePath(path);
    if (FAILED(hr)) {
        return hr;
    }
    alignas(TOKEN_USER) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    const PSID administrator = RegisteringUser(user);
    // The file, then its folder (with its backslash, so that a drive's root is "C:\\").
    for (int i = 0; i < 2; ++i, path.erase(path.rfind('\\') + 1)) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        const DWORD error = ::GetNamedSecurityInfoA(
            path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
            nullptr, nullptr, nullptr, nullptr, &descriptor);
        if (error != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(error);
        }
        const bool safe = OnlyAdministratorsCanChange(descriptor, administrator);
        ::LocalFree(descriptor);
        if (!safe) {
            return E_ACCESSDENIED;
        }
    }
    return S_OK;
}

HRESULT LoadScriptText(const std::string& modulePath, std::string& text) {
    // As data: its resources are read without running it again.
    const win32::CLibrary module(
        ::LoadLibraryExA(modulePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) {
        return LastErrorResult();
    }
    HRSRC info = ::FindResourceExA(module.Get(), "REGISTRY", MAKEINTRESOURCEA(IDR_REGISTRY),
                                   MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (info == nullptr) {
        return LastErrorResult();
    }
    HGLOBAL data = ::LoadResource(module.Get(), info);
    const DWORD size = ::SizeofResource(module.Get(), info);
    const void* bytes = data != nullptr ? ::LockResource(data) : nullptr;
    if (bytes == nullptr) {
        return LastErrorResult();
    }
    text.assign(static_cast<const char*>(bytes), size);
    return S_OK;
}

std::string DoubleQuotes(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out;
}

// Runs the script below root, or below the script's own root when root is null.
HRESULT RunRegistryScript(RegMode mode, HKEY root = nullptr, RegUndoLog* log = nullptr) {
    std::string modulePath;
    HRESULT hr = ModulePath(modulePath);
    if (FAILED(hr)) {
        return hr;
    }
    std::string text;
    hr = LoadScriptText(modulePath, text);
    if (FAILED(hr)) {
        return hr;
    }
    const std::string quoted = DoubleQuotes(modulePath);
    const RegReplacements replacements = {{"Module", quoted}, {"Module_Raw", quoted}};
    RegScript script;
    if (!ParseRegScript(ExpandRegScript(text, replacements), script)) {
        return DISP_E_EXCEPTION;
    }
    return ApplyRegScript(script, root != nullptr ? root : RootKey(script.root), mode, log);
}

} // namespace

STDAPI DllRegisterServer() {
    return ComBoundary([] {
        HRESULT hr = CheckUsableModulePath();
        if (SUCCEEDED(hr)) {
            hr = CheckOnlyAdministratorsCanChangeModule();
        }
        if (FAILED(hr)) {
            return hr;
        }
        // Uncommitted, it puts back what this run changed, the approved value included.
        RegUndoLog changes;
        if (!IsWin9x()) {
            win32::CKey approved;
            if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE,
                                approved.Receive()) != ERROR_SUCCESS) {
                return E_ACCESSDENIED;
            }
            const LONG error =
                changes.SetString(approved.Get(), QARVO_HANDLER_CLSID_TEXT, kApprovedText);
            if (error != ERROR_SUCCESS) {
                return HRESULT_FROM_WIN32(static_cast<unsigned long>(error));
            }
        }
        hr = RunRegistryScript(RegMode::Register, nullptr, &changes);
        if (SUCCEEDED(hr)) {
            changes.Commit();
        }
        return hr;
    });
}

STDAPI DllUnregisterServer() {
    return ComBoundary([] {
        if (!IsWin9x()) {
            win32::CKey approved;
            if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE,
                                approved.Receive()) == ERROR_SUCCESS) {
                ::RegDeleteValueA(approved.Get(), QARVO_HANDLER_CLSID_TEXT);
            }
        }
        return RunRegistryScript(RegMode::Unregister);
    });
}

// regsvr32 /n /i:user registers for the current user alone, /u /n /i:user removes that again.
// Explorer reads HKEY_CURRENT_USER\Software\Classes over the machine's classes for that user
// only, so neither the folder rule nor the machine's approved list applies.
STDAPI DllInstall(BOOL install, PCWSTR commandLine) {
    return ComBoundary([&] {
        if (commandLine == nullptr || ::lstrcmpiW(commandLine, L"user") != 0) {
            return E_INVALIDARG;
        }
        if (install) {
            const HRESULT hr = CheckUsableModulePath();
            if (FAILED(hr)) {
                return hr;
            }
        }
        win32::CKey classes;
        const LONG error =
            ::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, nullptr, 0,
                              KEY_READ | KEY_WRITE, nullptr, classes.Receive(), nullptr);
        if (error != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(static_cast<unsigned long>(error));
        }
        return RunRegistryScript(install ? RegMode::Register : RegMode::UnregisterAndPrune,
                                 classes.Get());
    });
}
