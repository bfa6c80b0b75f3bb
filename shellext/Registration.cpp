// DllRegisterServer and DllUnregisterServer: the approved-list value, then the embedded
// registry script.
#include "Module.h"
#include "RegScriptApply.h"
#include "ComPlumbing.h"
#include "AnsiText.h"
#include "Owners.h"
#include "QarvoIdentity.h"
#include "TorlinResource.h"

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

HRESULT RunRegistryScript(RegMode mode) {
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
    return ApplyRegScript(script, RootKey(script.root), mode);
}

} // namespace

STDAPI DllRegisterServer() {
    return ComBoundary([] {
        const HRESULT usable = CheckUsableModulePath();
        if (FAILED(usable)) {
            return usable;
        }
        if (!IsWin9x()) {
            win32::CKey approved;
            if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, KEY_SET_VALUE,
                                approved.Receive()) != ERROR_SUCCESS) {
                return E_ACCESSDENIED;
            }
            const LONG error = ::RegSetValueExA(approved.Get(), QARVO_HANDLER_CLSID_TEXT, 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(kApprovedText),
                                                sizeof kApprovedText);
            if (error != ERROR_SUCCESS) {
                return HRESULT_FROM_WIN32(static_cast<unsigned long>(error));
            }
        }
        return RunRegistryScript(RegMode::Register);
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
