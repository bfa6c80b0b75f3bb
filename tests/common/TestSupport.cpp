#include "TestSupport.h"
#include "AnsiText.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace testing_support {

TempDir::TempDir() {
    static std::atomic<unsigned> s_counter{0};
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string base(temp);
    if (!base.empty() && base.back() == '\\') {
        base.pop_back();
    }
    for (;;) {
        char name[64];
        std::snprintf(name, sizeof name, "\\qarvo-%lu-%u", ::GetCurrentProcessId(),
                      s_counter.fetch_add(1));
        m_path = base + name;
        if (::CreateDirectoryA(m_path.c_str(), nullptr)) {
            break;
        }
    }
}

TempDir::~TempDir() {
    RemoveTree(m_path);
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA fd;
    const win32::CFind find(::FindFirstFileA((path + "\\*").c_str(), &fd));
    if (find) {
        do {
            const std::string name = fd.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string full = path + "\\" + name;
            ::SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                ::DeleteFileA(full.c_str());
            }
        } while (::FindNextFileA(find.Get(), &fd));
    }
    ::RemoveDirectoryA(path.c_str());
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadRegString(HKEY root, const std::string& path, const char* name) {
    char data[1024] = {};
    DWORD size = sizeof data;
    if (::RegGetValueA(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS) {
        return "<missing>";
    }
    return data;
}

bool RegKeyExists(HKEY root, const std::string& path) {
    win32::CKey key;
    return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

bool CreateRegKey(HKEY root, const std::string& path) {
    win32::CKey key;
    return ::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             key.Receive(), nullptr) == ERROR_SUCCESS;
}

namespace {

// The lines of parent\\name, shown as path.
void AddRegTreeLines(HKEY parent, const char* name, const std::string& path,
                     std::vector<std::string>& lines) {
    win32::CKey key;
    if (::RegOpenKeyExA(parent, name, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
        return;
    }
    lines.push_back(path);
    std::vector<char> child(16384); // the longest value name and its NUL
    std::vector<BYTE> data(1024);
    for (DWORD i = 0;;) {
        DWORD nameSize = static_cast<DWORD>(child.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LONG error = ::RegEnumValueA(key.Get(), i, child.data(), &nameSize, nullptr, &type,
                                           data.data(), &size);
        if (error == ERROR_MORE_DATA) {
            data.resize(std::max<std::size_t>(size, data.size() * 2));
            continue;
        }
        if (error != ERROR_SUCCESS) {
            break;
        }
        std::ostringstream line;
        line << path << "\\[" << child.data() << "] " << type << ":";
        for (DWORD b = 0; b < size; ++b) {
            line << ' ' << static_cast<int>(data[b]);
        }
        lines.push_back(line.str());
        ++i;
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(child.size());
        if (::RegEnumKeyExA(key.Get(), i, child.data(), &nameSize, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS) {
            break;
        }
        const std::string name = child.data();
        AddRegTreeLines(key.Get(), name.c_str(), path.empty() ? name : path + "\\" + name, lines);
    }
}

std::vector<std::string> RegTreeLines(HKEY root, const std::string& path) {
    std::vector<std::string> lines;
    AddRegTreeLines(root, path.c_str(), path, lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace

CRegSnapshot::CRegSnapshot(HKEY root, std::string path)
    : m_root(root), m_path(std::move(path)), m_lines(RegTreeLines(m_root, m_path)) {}

std::vector<std::string> CRegSnapshot::Changes() const {
    const std::vector<std::string> now = RegTreeLines(m_root, m_path);
    std::vector<std::string> gone;
    std::vector<std::string> added;
    std::set_difference(m_lines.begin(), m_lines.end(), now.begin(), now.end(),
                        std::back_inserter(gone));
    std::set_difference(now.begin(), now.end(), m_lines.begin(), m_lines.end(),
                        std::back_inserter(added));
    std::vector<std::string> changes;
    for (const std::string& line : gone) {
        changes.push_back("- " + line);
    }
    for (const std::string& line : added) {
        changes.push_back("+ " + line);
    }
    return changes;
}

CSecurityDescriptor::CSecurityDescriptor(const char* sddl) {
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &m_sd,
                                                                nullptr)) {
        m_sd = nullptr;
    }
}

CSecurityDescriptor::~CSecurityDescriptor() {
    ::LocalFree(m_sd);
}

bool CSecurityDescriptor::operator==(const CSecurityDescriptor& other) const {
    const DWORD size = m_sd != nullptr ? ::GetSecurityDescriptorLength(m_sd) : 0;
    return size != 0 && other.m_sd != nullptr &&
           ::GetSecurityDescriptorLength(other.m_sd) == size &&
           std::memcmp(m_sd, other.m_sd, size) == 0;
}

bool CSecurityDescriptor::ApplyListTo(const std::string& path) const {
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    return m_sd != nullptr && ::GetSecurityDescriptorDacl(m_sd, &present, &dacl, &defaulted) &&
           ::SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl,
                                   nullptr) == ERROR_SUCCESS;
}

MenuItemList SampleItems(int n) {
    MenuItemList items;
    for (int i = 0; i < n; ++i) {
        items.push_back(MakeMenuItem("Item " + std::to_string(i),
                                     "C:\\Files\\item" + std::to_string(i) + ".txt"));
    }
    return items;
}

std::vector<MenuIconSet> SampleIcons(std::size_t n) {
    std::vector<MenuIconSet> icons(n);
    for (std::size_t i = 0; i < n; ++i) {
        for (int k = 0; k < menuicons::kSizeCount; ++k) {
            const std::uint32_t side = menuicons::kSizes[k];
            icons[i].Pixels[k].assign(side * side, SampleIconPixel(i, k));
        }
    }
    return icons;
}

HBITMAP MenuItemBitmap(HMENU menu, UINT pos) {
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_BITMAP;
    ::GetMenuItemInfoA(menu, pos, TRUE, &item);
    return item.hbmpItem;
}

int IconSizeOfThisRun() {
    const char* dpi = std::getenv("QARVO_TEST_DPI");
    const int runAt = dpi != nullptr ? std::atoi(dpi) : USER_DEFAULT_SCREEN_DPI;
    return MenuIconSizeIndex(
        static_cast<std::uint32_t>(::MulDiv(16, runAt, USER_DEFAULT_SCREEN_DPI)));
}

bool SameEntries(const MenuItemList& a, const MenuItemList& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const MenuItem& x, const MenuItem& y) {
               return FieldText(x.MenuTitle) == FieldText(y.MenuTitle) &&
                      FieldText(x.FilePath) == FieldText(y.FilePath);
           });
}

win32::CProcess StartProcess(const std::string& commandLine, DWORD flags, const char* folder,
                             const char* program) {
    std::string command = commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    win32::CProcess process;
    if (::CreateProcessA(program, &command[0], nullptr, nullptr, FALSE, flags, nullptr, folder, &si,
                         &pi)) {
        process.Attach(pi);
    }
    return process;
}

win32::CProcess StartProcess(const std::wstring& commandLine, DWORD flags) {
    std::wstring command = commandLine;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    win32::CProcess process;
    if (::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                         &si, &pi)) {
        process.Attach(pi);
    }
    return process;
}

DWORD ExitCode(const win32::CProcess& process, DWORD timeoutMs) {
    ::WaitForSingleObject(process.process.Get(), timeoutMs);
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(process.process.Get(), &code);
    return code;
}

DWORD RunAndWait(const std::string& commandLine) {
    const win32::CProcess process = StartProcess(commandLine);
    return process.process ? ExitCode(process, 60000) : static_cast<DWORD>(-1);
}

namespace {

// Wine starts Unix programs as well; the command line is cut into their arguments by the
// Windows rules, so only double quotes need escaping inside a quoted argument.
void RunShell(const std::string& script, const std::vector<std::string>& args) {
    std::string command = "/bin/sh -c \"";
    for (char c : script) {
        command += c == '"' ? std::string("\\\"") : std::string(1, c);
    }
    command += "\" sh";
    for (const std::string& arg : args) {
        command += " \"" + arg + "\"";
    }
    RunAndWait(command);
}

std::string UnixPath(const std::string& windowsPath) {
    using ToUnix = char*(CDECL*)(const WCHAR*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    const std::wstring wide = win32::ToWide(windowsPath);
    char* unix = toUnix != nullptr ? toUnix(wide.c_str()) : nullptr;
    const std::string path = unix != nullptr ? unix : "";
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return path;
}

} // namespace

int UnixProcessOf(const std::string& programPath) {
    // A Wine process's first argument is its Windows path, and it runs in this prefix: other
    // prefixes on the machine may run a program of the same path. One grep finds the few
    // candidates (a process per /proc entry is too slow on a busy machine). The shell is not
    // waited for by Wine, so its answer appears in one step when it is complete.
    TempDir dir;
    const std::string out = dir.File("pid");
    RunShell(R"sh(n=0; for f in $(grep -lzxF -e "$1" /proc/[0-9]*/cmdline 2>/dev/null); do )sh"
             R"sh(p=${f%/cmdline}; [ "$(tr '\0' '\n' 2>/dev/null < $f | head -n 1)" = "$1" ] && )sh"
             R"sh(grep -qzxF -e "WINEPREFIX=$WINEPREFIX" $p/environ 2>/dev/null && )sh"
             R"sh(n=${p#/proc/}; done; echo $n > "$2.new"; mv "$2.new" "$2")sh",
             {programPath, UnixPath(out)});
    WaitForFile(out, 10000);
    return std::atoi(ReadFileBytes(out).c_str());
}

void KillUnixProcess(int unixPid) {
    RunShell("kill -9 " + std::to_string(unixPid), {});
}

bool WaitForFile(const std::string& path, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!FileExists(path)) {
        if (::GetTickCount() - start > timeoutMs) {
            return false;
        }
        ::Sleep(10);
    }
    return true;
}

std::string ExeFolder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\'));
}

std::string BuildFolder() {
    const std::string exe = ExeFolder();
    return exe.substr(0, exe.find_last_of('\\'));
}

std::string BinFolder() {
    return BuildFolder() + "\\bin";
}

COLORREF ScreenPixel(HWND hwnd, int x, int y) {
    const win32::CClientDC dc(hwnd);
    return ::GetPixel(dc.Get(), x, y);
}

CImportPatch::CImportPatch(HMODULE module, const char* dll, const char* function,
                           void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0 && m_slot == nullptr; ++entry) {
        if (::lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) {
            continue;
        }
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) &&
                std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                m_slot = reinterpret_cast<void**>(&slots->u1.Function);
                break;
            }
        }
    }
    if (m_slot != nullptr) {
        m_original = *m_slot;
        Write(replacement);
    }
}

CImportPatch::CImportPatch(void** slot, void* replacement) : m_slot(slot), m_original(*slot) {
    Write(replacement);
}

CImportPatch::~CImportPatch() {
    if (m_slot != nullptr) {
        Write(m_original);
    }
}

void CImportPatch::Write(void* value) {
    DWORD protection = 0;
    ::VirtualProtect(m_slot, sizeof *m_slot, PAGE_READWRITE, &protection);
    *m_slot = value;
    ::VirtualProtect(m_slot, sizeof *m_slot, protection, &protection);
}

namespace {

using SystemParametersInfoFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT);

BOOL WINAPI HighContrastParameters(UINT action, UINT param, PVOID value, UINT update) {
    if (action == SPI_GETHIGHCONTRAST && value != nullptr) {
        auto* contrast = static_cast<HIGHCONTRASTA*>(value);
        contrast->dwFlags = HCF_AVAILABLE | HCF_HIGHCONTRASTON;
        contrast->lpszDefaultScheme = nullptr;
        return TRUE;
    }
    static const auto s_system = reinterpret_cast<SystemParametersInfoFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("user32.dll"), "SystemParametersInfoA")));
    return s_system(action, param, value, update);
}

// What Windows sends every top-level window when the mode is switched.
void AnnounceHighContrast() {
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM) -> BOOL {
            ::SendMessageA(hwnd, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
            ::SendMessageA(hwnd, WM_SYSCOLORCHANGE, 0, 0);
            return TRUE;
        },
        0);
}

} // namespace

CHighContrast::CHighContrast(std::initializer_list<HMODULE> modules) {
    for (HMODULE module : modules) {
        m_patches.push_back(
            std::make_unique<CImportPatch>(module, "user32.dll", "SystemParametersInfoA",
                                           reinterpret_cast<void*>(&HighContrastParameters)));
    }
    AnnounceHighContrast();
}

CHighContrast::~CHighContrast() {
    m_patches.clear();
    AnnounceHighContrast();
}

bool CHighContrast::Patched() const {
    return std::all_of(m_patches.begin(), m_patches.end(),
                       [](const std::unique_ptr<CImportPatch>& patch) { return patch->Patched(); });
}

} // namespace testing_support
