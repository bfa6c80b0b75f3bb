// Small helpers shared by the test programs.
#pragma once

#include "MenuIcons.h"
#include "MenuItem.h"
#include "Owners.h"

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under %TEMP% that is removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
void RemoveTree(const std::string& path);

// The REG_SZ value (the default one when name is null) of root\path, or "<missing>".
std::string ReadRegString(HKEY root, const std::string& path, const char* name = nullptr);
bool RegKeyExists(HKEY root, const std::string& path);
// Creates root\path (and what leads to it); false when it could not.
bool CreateRegKey(HKEY root, const std::string& path);

// Every key and value below root\path as it was when made, compared later with the registry as
// it is then.
class CRegSnapshot {
public:
    CRegSnapshot(HKEY root, std::string path);
    // What changed since: "+ line" for what is new, "- line" for what went, one line per key
    // ("key path") or value ("key path\[name] type: data bytes").
    std::vector<std::string> Changes() const;

private:
    HKEY m_root;
    std::string m_path;
    std::vector<std::string> m_lines; // sorted
};

// Starts a command line (in folder, or the current one), running program when one is named
// (the command line's first token then says whatever the caller wants); an empty process when
// it could not.
win32::CProcess StartProcess(const std::string& commandLine, DWORD flags = 0,
                             const char* folder = nullptr, const char* program = nullptr);
// The same for a command line that the ANSI code page cannot spell.
win32::CProcess StartProcess(const std::wstring& commandLine, DWORD flags = 0);
// Waits up to timeoutMs for the process; its exit code, or STILL_ACTIVE (259).
DWORD ExitCode(const win32::CProcess& process, DWORD timeoutMs);
// Runs a command line and waits for it; its exit code, or (DWORD)-1 when it could not start.
DWORD RunAndWait(const std::string& commandLine);

// The Unix process of the Wine program started as programPath (its full Windows path); 0 when
// none runs.
int UnixProcessOf(const std::string& programPath);
// Kills a Unix process with SIGKILL, as a crash or a power cut would: none of its code runs
// any more. Returns at once; wait for the process to be gone.
void KillUnixProcess(int unixPid);
// Waits until path exists; false when it did not appear in time.
bool WaitForFile(const std::string& path, DWORD timeoutMs);

// A security descriptor made from SDDL text; null when the text is not one.
class CSecurityDescriptor {
public:
    explicit CSecurityDescriptor(const char* sddl);
    ~CSecurityDescriptor();
    CSecurityDescriptor(const CSecurityDescriptor&) = delete;
    CSecurityDescriptor& operator=(const CSecurityDescriptor&) = delete;

    PSECURITY_DESCRIPTOR Get() const { return m_sd; }
    // Byte for byte the same descriptor as other.
    bool operator==(const CSecurityDescriptor& other) const;
    // Gives a file or folder this descriptor's list. Wine keeps no list: it turns what the list
    // gives Everyone into the Unix mode's bits for others.
    bool ApplyListTo(const std::string& path) const;

private:
    PSECURITY_DESCRIPTOR m_sd = nullptr;
};

// n entries "Item i" -> "C:\Files\item<i>.txt".
MenuItemList SampleItems(int n);
// Icons for n entries: every pixel of entry i at size k is SampleIconPixel(i, k), opaque.
std::vector<MenuIconSet> SampleIcons(std::size_t n);
constexpr std::uint32_t SampleIconPixel(std::size_t entry, int sizeIndex) {
    return 0xFF000000u | static_cast<std::uint32_t>(entry) << 8 | menuicons::kSizes[sizeIndex];
}
// The bitmap that item pos of a menu shows; null for none.
HBITMAP MenuItemBitmap(HMENU menu, UINT pos);
// Which of the icon file's sizes is the small icon at the DPI this run was started at
// (QARVO_TEST_DPI, or 96).
int IconSizeOfThisRun();
// Same titles and paths, entry for entry (the bytes after each text's NUL play no part).
bool SameEntries(const MenuItemList& a, const MenuItemList& b);

// The colour a window shows at (x, y) of its client area, as read back from the screen.
COLORREF ScreenPixel(HWND hwnd, int x, int y);

// Points a loaded module's import of dll!function at replacement while it lives.
class CImportPatch {
public:
    CImportPatch(HMODULE module, const char* dll, const char* function, void* replacement);
    // A slot that no import table lists, such as one of a delay-loading import library, which
    // binds it at its first call: the program's own __imp_ symbol of the function.
    CImportPatch(void** slot, void* replacement);
    ~CImportPatch();
    CImportPatch(const CImportPatch&) = delete;
    CImportPatch& operator=(const CImportPatch&) = delete;

    bool Patched() const { return m_slot != nullptr; }

private:
    void Write(void* value);

    void** m_slot = nullptr;
    void* m_original = nullptr;
};

// Windows' high-contrast mode, on while this lives, as the given modules see it: their import of
// SystemParametersInfoA reports it (Wine has no mode of its own to switch). The thread's
// top-level windows are told of each switch as Windows tells them.
class CHighContrast {
public:
    explicit CHighContrast(std::initializer_list<HMODULE> modules);
    ~CHighContrast();
    CHighContrast(const CHighContrast&) = delete;
    CHighContrast& operator=(const CHighContrast&) = delete;

    bool Patched() const;

private:
    std::vector<std::unique_ptr<CImportPatch>> m_patches;
};

// Folder of the running test program, the build folder above it and the deliverables in it.
std::string ExeFolder();
std::string BuildFolder();
std::string BinFolder();

} // namespace testing_support
