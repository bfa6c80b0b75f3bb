// The installer, its uninstaller and the portable folder, in a Wine prefix of their own: what
// they put where, what they register and list, for everyone and for one user, and the road of
// one entry through the installed programs. Each test starts and ends with nothing installed.
#include "AdminOnly.h"
#include "EditorProcess.h"
#include "MenuData.h"
#include "AnsiText.h"
#include "Owners.h"
#include "QarvoIdentity.h"
#include "ShellHost.h"
#include "ShellHostFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

using Microsoft::WRL::ComPtr;
using testing_support::BuildFolder;
using testing_support::CSecurityDescriptor;
using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::ReadRegString;
using testing_support::RegKeyExists;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

constexpr char kProduct[] = QARVO_PRODUCT_NAME;
constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QarvoContextMenu";
constexpr char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingRenames[] = "PendingFileRenameOperations";
constexpr ShellTarget kTargets[] = {ShellTarget::File, ShellTarget::Folder,
                                    ShellTarget::Background};

std::string StageFolder() {
    return BuildFolder() + "\\installer\\stage";
}
std::string SetupProgram() {
    return BuildFolder() + "\\dist\\" QARVO_SETUP_NAME;
}

std::string KnownFolder(int csidl) {
    char path[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}
std::string InstallFolder() {
    return KnownFolder(CSIDL_PROGRAM_FILES) + "\\" + kProduct;
}
std::string InstalledHandler() {
    return InstallFolder() + "\\Torlin.dll";
}
std::string Shortcut(int programs = CSIDL_COMMON_PROGRAMS) {
    return KnownFolder(programs) + "\\" + kProduct + ".lnk";
}
// Where an installation for the current user goes.
std::string UserInstallFolder() {
    return KnownFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\" + kProduct;
}

// What the installer (or the uninstaller) wrote of its last run (UTF-16 with a byte order mark).
std::string SetupLog(const char* name = "QarvoContextMenu-Setup.log") {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string bytes = ReadFileBytes(std::string(temp) + name);
    if (bytes.size() < 2) {
        return "";
    }
    return win32::ToAnsi(reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                         static_cast<int>(bytes.size() / 2 - 1));
}

// Every file below folder, as sorted relative paths.
std::vector<std::string> FilesBelow(const std::string& folder, const std::string& prefix = "") {
    std::vector<std::string> files;
    WIN32_FIND_DATAA fd;
    const win32::CFind find(::FindFirstFileA((folder + "\\" + prefix + "*").c_str(), &fd));
    if (!find) {
        return files;
    }
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            const std::vector<std::string> below = FilesBelow(folder, prefix + name + "\\");
            files.insert(files.end(), below.begin(), below.end());
        } else {
            files.push_back(prefix + name);
        }
    } while (::FindNextFileA(find.Get(), &fd));
    std::sort(files.begin(), files.end());
    return files;
}

bool SameBytes(const std::string& a, const std::string& b) {
    return ReadFileBytes(a) == ReadFileBytes(b);
}

// The build's layout and the uninstaller: what the installer puts into its folder.
std::vector<std::string> InstalledLayout() {
    std::vector<std::string> files = FilesBelow(StageFolder());
    files.push_back("Uninstall.exe");
    std::sort(files.begin(), files.end());
    return files;
}

DWORD ReadRegDword(HKEY root, const std::string& path, const char* name) {
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof value;
    ::RegGetValueA(root, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

// The SID of the user this test runs as, as text.
std::string CurrentUserSid() {
    win32::CHandle token;
    BYTE buffer[256];
    DWORD size = 0;
    char* text = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive()) ||
        !::GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size) ||
        !::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        return "";
    }
    const std::string sid = text;
    ::LocalFree(text);
    return sid;
}

// Every value of a registry hive as "key\value=data" lines, as reg.exe exports them.
std::set<std::string> RegistryLines(const char* hive) {
    const TempDir out;
    const std::string file = out.File("hive.reg");
    testing_support::RunAndWait("reg.exe export " + std::string(hive) + " \"" + file + "\" /y");
    const std::string bytes = ReadFileBytes(file);
    std::set<std::string> lines;
    if (bytes.size() < 2) {
        return lines;
    }
    const std::string text = win32::ToAnsi(reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                                           static_cast<int>(bytes.size() / 2 - 1));
    std::string key;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find("\r\n", at);
        end = end == std::string::npos ? text.size() : end;
        const std::string line = text.substr(at, end - at);
        if (line.rfind("[", 0) == 0) {
            key = line;
            lines.insert(key);
        } else if (!line.empty()) {
            lines.insert(key + line);
        }
        at = end + 2;
    }
    return lines;
}

// What after holds that before does not.
std::vector<std::string> Added(const std::set<std::string>& before,
                               const std::set<std::string>& after) {
    std::vector<std::string> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    return added;
}

std::string GuidText(const GUID& guid) {
    wchar_t wide[64] = {};
    ::StringFromGUID2(guid, wide, 64);
    return std::string(wide, wide + ::wcslen(wide));
}

// The class key of our handler as registered for files; empty when it is not registered.
std::string RegisteredClassKey() {
    const std::vector<RegisteredHandler> handlers =
        ShellHostFixture::OurHandlers(ShellTarget::File);
    return handlers.size() == 1 ? "CLSID\\" + GuidText(handlers[0].clsid) : "";
}

bool NothingRegistered() {
    return std::all_of(std::begin(kTargets), std::end(kTargets), [](ShellTarget target) {
        return ShellHostFixture::OurHandlers(target).empty();
    });
}

// The submenu's titles in the menu a host was opened with.
std::vector<std::string> SubmenuTitles(const CShellHost& host) {
    std::vector<std::string> titles;
    for (const MenuNode& node : host.Walk()) {
        if (node.text == "&Qarvo Context Menu") {
            for (const MenuNode& item : node.children) {
                titles.push_back(item.text);
            }
        }
    }
    return titles;
}

// The submenu's titles that a context menu of path shows through our registered handler.
std::vector<std::string> SubmenuTitles(const std::string& path) {
    const std::vector<RegisteredHandler> handlers =
        ShellHostFixture::OurHandlers(ShellTarget::File);
    CShellHost host;
    if (handlers.size() != 1 || host.Open(ShellTarget::File, path, handlers[0].clsid, 1) <= 0) {
        return {};
    }
    return SubmenuTitles(host);
}

// The files and folders queued for deletion at the next restart.
std::vector<std::string> PendingDeletions() {
    std::vector<char> data(64 * 1024);
    DWORD size = static_cast<DWORD>(data.size());
    std::vector<std::string> paths;
    if (::RegGetValueA(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, RRF_RT_REG_MULTI_SZ,
                       nullptr, data.data(), &size) != ERROR_SUCCESS) {
        return paths;
    }
    // Pairs of NT path and new name; an empty new name deletes. The buffer ends in zeros.
    const char* at = data.data();
    const char* const end = data.data() + size;
    while (at < end && *at != '\0') {
        std::string path = at;
        at += path.size() + 1;
        const std::string target = at;
        at += target.size() + 1;
        if (target.empty() && path.rfind("\\??\\", 0) == 0) {
            path.erase(0, 4);
            if (path.back() == '\\') {
                path.pop_back();
            }
            paths.push_back(path);
        }
    }
    return paths;
}

// What a restart of Windows does first: Wine's restart carries out the queued operations.
void Restart() {
    ::CoFreeUnusedLibrariesEx(0, 0);
    testing_support::RunAndWait("wineboot.exe -r");
}

// A command and every process it starts, in one job: an uninstaller hands over to a copy of
// itself in %TEMP% and ends at once.
class CProcessTree {
public:
    explicit CProcessTree(const std::string& commandLine)
        : m_job(::CreateJobObjectA(nullptr, nullptr)) {
        win32::CProcess started = testing_support::StartProcess(commandLine, CREATE_SUSPENDED);
        if (!m_job || !started.process) {
            return;
        }
        if (::AssignProcessToJobObject(m_job.Get(), started.process.Get())) {
            ::ResumeThread(started.thread.Get());
        } else {
            ::TerminateProcess(started.process.Get(), 99);
        }
        m_process = std::move(started.process);
    }
    ~CProcessTree() {
        if (ActiveProcesses() != 0) {
            ::TerminateJobObject(m_job.Get(), 99);
        }
    }
    CProcessTree(const CProcessTree&) = delete;
    CProcessTree& operator=(const CProcessTree&) = delete;

    // The first process's exit code once every process of the tree has ended; 259 (still
    // active) when they did not end in time.
    DWORD Wait(DWORD timeoutMs = 60000) const {
        ui::WaitUntil([this] { return ActiveProcesses() == 0; }, timeoutMs);
        DWORD code = STILL_ACTIVE;
        if (ActiveProcesses() == 0) {
            ::GetExitCodeProcess(m_process.Get(), &code);
        }
        return code;
    }

private:
    DWORD ActiveProcesses() const {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
        ::QueryInformationJobObject(m_job.Get(), JobObjectBasicAccountingInformation, &info,
                                    sizeof info, nullptr);
        return info.ActiveProcesses;
    }

    win32::CHandle m_job;
    win32::CHandle m_process;
};

// The text of a program's embedded manifest (resource 1 of type RT_MANIFEST).
std::string ManifestOf(const std::string& program) {
    const win32::CLibrary module(::LoadLibraryExA(
        program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    HRSRC found =
        module ? ::FindResourceA(module.Get(), MAKEINTRESOURCEA(1), RT_MANIFEST) : nullptr;
    HGLOBAL loaded = found ? ::LoadResource(module.Get(), found) : nullptr;
    const char* text = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    return text ? std::string(text, ::SizeofResource(module.Get(), found)) : "";
}

// The first control anywhere below a window that matches (a wizard's page is a dialog inside
// it).
template <class Matches> HWND Descendant(HWND window, Matches matches) {
    std::pair<Matches*, HWND> search(&matches, nullptr);
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM found) -> BOOL {
            auto* search = reinterpret_cast<std::pair<Matches*, HWND>*>(found);
            if (!(*search->first)(child)) {
                return TRUE;
            }
            search->second = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}
HWND DescendantWithId(HWND window, int id) {
    return Descendant(window, [id](HWND child) { return ::GetDlgCtrlID(child) == id; });
}

std::string ProductVersionOf(const std::string& program) {
    std::vector<char> info(::GetFileVersionInfoSizeA(program.c_str(), nullptr));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (info.empty() ||
        !::GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(info.size()), info.data()) ||
        !::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &size)) {
        return "";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(fixed->dwProductVersionMS),
                  LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
                  LOWORD(fixed->dwProductVersionLS));
    return text;
}

struct ShortcutFacts {
    std::string target, workingFolder;
};

ShortcutFacts ReadShortcut(const std::string& path) {
    ShortcutFacts facts;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    const std::wstring wide = win32::ToWide(path);
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_PPV_ARGS(&link))) &&
        SUCCEEDED(link.As(&file)) && SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
        char text[MAX_PATH] = {};
        link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
        facts.target = text;
        link->GetWorkingDirectory(text, MAX_PATH);
        facts.workingFolder = text;
    }
    return facts;
}

// The installer tests' prefix reports Windows 11 (build 22000) while this lives, as the
// prefix's registry tells every program started afterwards.
class CWindows11 {
public:
    CWindows11() {
        for (const char* name : kValues) {
            m_saved.push_back(ReadRegString(HKEY_LOCAL_MACHINE, kCurrentVersion, name));
            Set(name, "22000");
        }
    }
    ~CWindows11() {
        for (std::size_t i = 0; i < m_saved.size(); ++i) {
            Set(kValues[i], m_saved[i]);
        }
    }
    CWindows11(const CWindows11&) = delete;
    CWindows11& operator=(const CWindows11&) = delete;

private:
    static constexpr const char* kCurrentVersion =
        "Software\\Microsoft\\Windows NT\\CurrentVersion";
    static constexpr const char* kValues[] = {"CurrentBuildNumber", "CurrentBuild"};
    static void Set(const char* name, const std::string& value) {
        ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kCurrentVersion, name, REG_SZ, value.c_str(),
                          static_cast<DWORD>(value.size() + 1));
    }
    std::vector<std::string> m_saved;
};

// The recording stand-in (deploy_standin) in place of the system's PowerShell while this lives.
class CDeployStandIn {
public:
    CDeployStandIn() : m_program(KnownFolder(CSIDL_SYSTEM) + "\\WindowsPowerShell\\v1.0") {
        ::SHCreateDirectoryExA(nullptr, m_program.c_str(), nullptr);
        m_program += "\\powershell.exe";
        m_saved = ReadFileBytes(m_program);
        m_ready = ::CopyFileA((testing_support::ExeFolder() + "\\deploy_standin.exe").c_str(),
                              m_program.c_str(), FALSE) != FALSE;
    }
    ~CDeployStandIn() {
        ::DeleteFileA(File("deploy-requests.txt").c_str());
        ::DeleteFileA(File("deploy-refuse.txt").c_str());
        if (m_saved.empty()) {
            ::DeleteFileA(m_program.c_str());
        } else {
            WriteFileBytes(m_program, m_saved);
        }
    }
    CDeployStandIn(const CDeployStandIn&) = delete;
    CDeployStandIn& operator=(const CDeployStandIn&) = delete;

    bool Ready() const { return m_ready; }
    // What the installers asked of it so far, one request a line.
    std::vector<std::string> Requests() const {
        std::vector<std::string> lines;
        const std::string text = ReadFileBytes(File("deploy-requests.txt"));
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find('\n', at);
            lines.push_back(text.substr(at, end - at));
            at = end == std::string::npos ? text.size() : end + 1;
        }
        return lines;
    }
    // From now on a registration is refused, as Windows refuses a package it does not trust.
    bool Refuse() const { return WriteFileBytes(File("deploy-refuse.txt"), "refuse"); }

private:
    std::string File(const char* name) const {
        return m_program.substr(0, m_program.find_last_of('\\') + 1) + name;
    }
    std::string m_program;
    std::string m_saved;
    bool m_ready = false;
};

// The submenu titles a new shell host process shows for path: a process of its own, started
// after any change of the reported Windows version, as Explorer is.
std::vector<std::string> SubmenuTitlesInNewProcess(const std::string& path) {
    TempDir out;
    const std::string printed = out.File("menu.txt");
    testing_support::RunAndWait("cmd.exe /c \"\"" + BuildFolder() +
                                "\\tools-bin\\shellhost.exe\" file \"" + path + "\" > \"" +
                                printed + "\"\"");
    // The submenu's items follow its line, indented one step further.
    std::vector<std::string> titles;
    const std::string text = ReadFileBytes(printed);
    const std::size_t submenu = text.find("  &Qarvo Context Menu\r\n");
    if (submenu == std::string::npos) {
        return titles;
    }
    for (std::size_t at = text.find('\n', submenu) + 1; text.compare(at, 4, "    ") == 0;) {
        const std::size_t end = text.find("  [id", at);
        titles.push_back(text.substr(at + 4, end - at - 4));
        at = text.find('\n', at) + 1;
    }
    return titles;
}

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        ASSERT_FALSE(FileExists(InstallFolder())) << "a test left an installation behind";
        ASSERT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey)) << "a test left one listed";
        ASSERT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUninstallKey)) << "a test left one listed";
    }
    void TearDown() override {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            if (RegKeyExists(root, kUninstallKey)) {
                QuietUninstall(root);
            }
        }
        Restart();
        ::CoUninitialize();
    }

    // Setup's log is printed when it refuses or fails, so a failure says why.
    static DWORD Install(const std::string& options = "",
                         const std::string& setup = SetupProgram()) {
        const DWORD code = testing_support::RunAndWait("\"" + setup + "\" /S" + options);
        if (code != 0) {
            std::printf("Setup%s ended with %lu:\n%s\n", options.c_str(), code, SetupLog().c_str());
        }
        return code;
    }
    // As a deployment tool removes it: the quiet command of the uninstall entry, waited for
    // itself (not the processes it starts). Its log is printed when it does not simply end.
    static DWORD QuietUninstall(HKEY root = HKEY_LOCAL_MACHINE) {
        const DWORD code =
            testing_support::RunAndWait(ReadRegString(root, kUninstallKey, "QuietUninstallString"));
        if (code != 0) {
            std::printf("The uninstaller ended with %lu:\n%s\n", code,
                        SetupLog("QarvoContextMenu-Uninstall.log").c_str());
        }
        return code;
    }
    // The permissions Setup gave folder, as its log shows them.
    static std::string AskedFolderSecurity(const std::string& folder) {
        const std::string log = SetupLog();
        const std::string asked = "Folder security of " + folder + ": ";
        const std::size_t at = log.find(asked);
        if (at == std::string::npos) {
            return log;
        }
        return log.substr(at + asked.size(), log.find('\r', at) - at - asked.size());
    }
    // The road of one entry: the installed editor adds file through the file dialog and saves
    // the list at exit.
    static void AddThroughTheInstalledEditor(const std::string& folder, const std::string& file) {
        EditorProcess editor(folder);
        HWND main = editor.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(AddThroughFileDialog(main, file));
        ::PostMessageA(main, WM_CLOSE, 0, 0);
        ASSERT_EQ(editor.WaitForExit(), 0u);
    }
    static bool WriteUserFiles(const std::string& folder) {
        const MenuItemList list = {MakeMenuItem("notes.txt", "C:\\Docs\\notes.txt")};
        return WriteFileBytes(folder + "\\Config.xml", kConfig) &&
               WriteFileBytes(folder + "\\Config.xml.bak", "<Config/>") &&
               WriteMenuData((folder + "\\menu.dat").c_str(), list) &&
               WriteFileBytes(folder + "\\menu.icons",
                              FormatMenuIcons(list, testing_support::SampleIcons(1)));
    }

    static constexpr char kConfig[] =
        "<Config App=\"Qarvo Context Menu\"><Menu Count=\"1\"><Item MenuTitle=\"notes.txt\" "
        "FilePath=\"C:\\Docs\\notes.txt\"/></Menu></Config>";
};

} // namespace

// The editor asks for administrator rights itself, and only when its folder needs them.
TEST(EditorManifest, RunsWithTheRightsOfWhoeverStartsIt) {
    const std::string manifest = ManifestOf(testing_support::BinFolder() + "\\Menu.exe");
    const std::size_t at = manifest.find("<requestedExecutionLevel");
    ASSERT_NE(at, std::string::npos) << manifest;
    const std::string element = manifest.substr(at, manifest.find('>', at) - at);
    EXPECT_NE(element.find("level=\"asInvoker\""), std::string::npos) << element;
}

TEST_F(InstallerTest, SilentInstallPlacesRegistersAndListsTheProgramAndItsRoadWorks) {
    EXPECT_EQ(ProductVersionOf(SetupProgram()), QARVO_VERSION_TEXT);
    ASSERT_EQ(Install(), 0u);
    const std::string folder = InstallFolder();

    // The build's layout byte for byte, the uninstaller, nothing else.
    const std::vector<std::string> layout = FilesBelow(StageFolder());
    ASSERT_FALSE(layout.empty());
    const std::vector<std::string> expected = InstalledLayout();
    EXPECT_EQ(FilesBelow(folder), expected);
    for (const std::string& file : layout) {
        EXPECT_TRUE(SameBytes(folder + "\\" + file, StageFolder() + "\\" + file)) << file;
    }

    // The folder's own permissions, whatever its parent's: SYSTEM and Administrators full
    // control, Users read and run, nothing inherited, owned by Administrators - a folder that
    // the handler registers from. Wine keeps none of it: the log shows what was asked for.
    const std::string sddl = AskedFolderSecurity(folder);
    const CSecurityDescriptor descriptor(sddl.c_str());
    EXPECT_TRUE(descriptor ==
                CSecurityDescriptor("O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)"))
        << sddl;
    EXPECT_TRUE(OnlyAdministratorsCanChange(descriptor.Get(), nullptr));

    // The installed handler is registered under every key Explorer looks in.
    for (ShellTarget target : kTargets) {
        EXPECT_EQ(ShellHostFixture::OurHandlers(target).size(),
                  CShellHost::HandlerKeys(target).size());
    }
    const std::string classKey = RegisteredClassKey();
    ASSERT_FALSE(classKey.empty());
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32"), InstalledHandler());
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "ThreadingModel"),
              "Apartment");
    EXPECT_NE(ReadRegString(HKEY_LOCAL_MACHINE,
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Shell "
                            "Extensions\\Approved",
                            classKey.substr(6).c_str()),
              "<missing>");

    // Settings > Apps.
    const std::string uninstaller = "\"" + folder + "\\Uninstall.exe\"";
    const struct {
        const char* name;
        std::string value;
    } entry[] = {{"DisplayName", kProduct},      {"DisplayVersion", QARVO_VERSION_TEXT},
                 {"Publisher", QARVO_PUBLISHER}, {"DisplayIcon", folder + "\\Menu.exe,0"},
                 {"InstallLocation", folder},    {"UninstallString", uninstaller},
                 {"URLInfoAbout", QARVO_WEBSITE}};
    for (const auto& value : entry) {
        EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, value.name), value.value);
    }
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify"), 1u);
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "NoRepair"), 1u);
    std::size_t bytes = 0;
    for (const std::string& file : expected) {
        bytes += ReadFileBytes(folder + "\\" + file).size();
    }
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize"), bytes / 1024);

    // The Start menu of all users starts the editor in its folder.
    const ShortcutFacts shortcut = ReadShortcut(Shortcut());
    EXPECT_EQ(shortcut.target, folder + "\\Menu.exe");
    EXPECT_EQ(shortcut.workingFolder, folder);

    // The road of one entry: the installed editor adds a file, and the installed handler shows
    // it.
    TempDir docs;
    const std::string notes = docs.File("notes.txt");
    ASSERT_TRUE(WriteFileBytes(notes, "remember the milk\r\n"));
    ASSERT_NO_FATAL_FAILURE(AddThroughTheInstalledEditor(folder, notes));
    EXPECT_EQ(SubmenuTitles(notes), std::vector<std::string>{"notes.txt"});
    EXPECT_NE(::GetModuleHandleA(InstalledHandler().c_str()), nullptr);
}

TEST_F(InstallerTest, InstallForTheCurrentUserIsThatUsersAloneAndLeavesTheMachineAsItWas) {
    const std::set<std::string> machine = RegistryLines("HKLM");
    ASSERT_FALSE(machine.empty());
    EXPECT_EQ(Install(" /AllUsers /CurrentUser"), DWORD{ERROR_INVALID_PARAMETER});
    ASSERT_EQ(Install(" /CurrentUser"), 0u);
    const std::string folder = UserInstallFolder();
    EXPECT_EQ(FilesBelow(folder), InstalledLayout());
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_EQ(Added(machine, RegistryLines("HKLM")), std::vector<std::string>{});

    // The user's own folder, wherever it is: the user, SYSTEM and Administrators full control,
    // nothing inherited, its owner left as the user who made it.
    const std::string sddl = AskedFolderSecurity(folder);
    EXPECT_TRUE(
        CSecurityDescriptor(sddl.c_str()) ==
        CSecurityDescriptor(
            ("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + CurrentUserSid() + ")").c_str()))
        << sddl;

    // Registered, listed and on the Start menu for this user only.
    const std::string server =
        "Software\\Classes\\CLSID\\" QARVO_HANDLER_CLSID_TEXT "\\InprocServer32";
    std::vector<std::string> userKeys = {server};
    for (ShellTarget target : kTargets) {
        for (const std::string& key : CShellHost::HandlerKeys(target)) {
            userKeys.push_back("Software\\Classes\\" + key + "\\QarvoContextMenu");
        }
    }
    for (const std::string& key : userKeys) {
        EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, key)) << key;
    }
    const std::string handler = ReadRegString(HKEY_CURRENT_USER, server);
    EXPECT_EQ(handler, folder + "\\Torlin.dll");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, kUninstallKey, "InstallLocation"), folder);
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, kUninstallKey, "UninstallString"),
              "\"" + folder + "\\Uninstall.exe\"");
    EXPECT_EQ(ReadShortcut(Shortcut(CSIDL_PROGRAMS)).target, folder + "\\Menu.exe");

    // The road of one entry, to the installed handler loaded from the path its registration
    // names (Wine's COM reads no class registered for one user only).
    TempDir docs;
    const std::string notes = docs.File("notes.txt");
    ASSERT_TRUE(WriteFileBytes(notes, "remember the milk\r\n"));
    ASSERT_NO_FATAL_FAILURE(AddThroughTheInstalledEditor(folder, notes));
    {
        CLSID clsid;
        ASSERT_TRUE(
            SUCCEEDED(::CLSIDFromString(win32::ToWide(QARVO_HANDLER_CLSID_TEXT).c_str(), &clsid)));
        CShellHost explorer;
        EXPECT_GT(explorer.OpenFromLibrary(ShellTarget::File, notes, handler, clsid, 1), 0);
        EXPECT_EQ(SubmenuTitles(explorer), std::vector<std::string>{"notes.txt"});
    }

    // An installation for everyone is not added beside it; Setup says which one is there.
    EXPECT_EQ(Install(" /AllUsers"), DWORD{ERROR_PRODUCT_VERSION});
    EXPECT_NE(SetupLog().find("installed only for you, in " + folder + "."), std::string::npos)
        << SetupLog();
    EXPECT_FALSE(FileExists(InstallFolder()));

    EXPECT_EQ(QuietUninstall(HKEY_CURRENT_USER), 0u);
    EXPECT_FALSE(FileExists(folder));
    for (const std::string& key : userKeys) {
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, key)) << key;
    }
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUninstallKey));
    EXPECT_FALSE(FileExists(Shortcut(CSIDL_PROGRAMS)));
    const std::set<std::string> after = RegistryLines("HKLM");
    EXPECT_EQ(Added(machine, after), std::vector<std::string>{});
    EXPECT_EQ(Added(after, machine), std::vector<std::string>{});
}

TEST_F(InstallerTest, UpgradeReplacesAHandlerExplorerHoldsAndASilentUninstallThenAsksForARestart) {
    ASSERT_EQ(Install(), 0u);
    const std::string folder = InstallFolder();
    ASSERT_TRUE(WriteUserFiles(folder));
    const std::vector<std::string> userFiles = {"Config.xml", "Config.xml.bak", "menu.dat",
                                                "menu.icons"};
    std::vector<std::string> before;
    for (const std::string& file : userFiles) {
        before.push_back(ReadFileBytes(folder + "\\" + file));
    }
    // An older handler, loaded by Explorer for a context menu.
    const std::string handler = InstalledHandler();
    ASSERT_TRUE(WriteFileBytes(handler, ReadFileBytes(handler) + "older"));
    CShellHost explorer;
    ASSERT_EQ(explorer.Open(ShellTarget::File, folder + "\\menu.dat",
                            ShellHostFixture::OurHandlers(ShellTarget::File).at(0).clsid, 1),
              1);

    ASSERT_EQ(Install(), 0u);
    EXPECT_TRUE(SameBytes(handler, StageFolder() + "\\Torlin.dll")) << "the new handler";
    for (std::size_t i = 0; i < userFiles.size(); ++i) {
        EXPECT_EQ(ReadFileBytes(folder + "\\" + userFiles[i]), before[i]) << userFiles[i];
    }
    const std::vector<std::string> pending = PendingDeletions();
    EXPECT_TRUE(std::any_of(pending.begin(), pending.end(), [&](const std::string& path) {
        return path.rfind(folder + "\\", 0) == 0;
    })) << "the old handler goes at the next restart";
    EXPECT_EQ(SubmenuTitles(folder + "\\menu.dat"), std::vector<std::string>{"notes.txt"});

    // Removed silently while Explorer still holds the old handler: all but that file go, and
    // the exit code says that a restart finishes it.
    EXPECT_EQ(QuietUninstall(), DWORD{ERROR_SUCCESS_REBOOT_REQUIRED});
    EXPECT_TRUE(NothingRegistered());
    std::vector<std::string> held = {folder};
    for (const std::string& file : FilesBelow(folder)) {
        held.push_back(folder + "\\" + file);
    }
    EXPECT_GE(held.size(), 2u);
    const std::vector<std::string> queued = PendingDeletions();
    for (const std::string& path : held) {
        EXPECT_NE(std::find(queued.begin(), queued.end(), path), queued.end()) << path;
    }
    for (const std::string& file : userFiles) {
        EXPECT_FALSE(FileExists(folder + "\\" + file)) << file;
    }
}

TEST_F(InstallerTest, UpgradeAndUninstallWhileTheEditorRunsAreRefused) {
    ASSERT_EQ(Install(), 0u);
    const std::string folder = InstallFolder();
    EditorProcess editor(folder);
    HWND main = editor.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    // Refused before anything changes: the editor would write its files back afterwards.
    EXPECT_EQ(Install(), DWORD{ERROR_SHARING_VIOLATION});
    EXPECT_EQ(QuietUninstall(), DWORD{ERROR_SHARING_VIOLATION});
    EXPECT_EQ(FilesBelow(folder), InstalledLayout());
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, RegisteredClassKey() + "\\InprocServer32"),
              InstalledHandler());
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(editor.WaitForExit(), 0u);
    EXPECT_EQ(Install(), 0u) << "once it is closed";
}

TEST_F(InstallerTest, SilentInstallElsewhereAndSilentUninstallRemoveTheirOwnFilesKeysAndShortcut) {
    // The folder an administrator chose: given last, unquoted, spaces and all.
    const std::string folder = KnownFolder(CSIDL_PROGRAM_FILES) + "\\Qarvo Tools\\Context Menu";
    ASSERT_EQ(Install(" /AllUsers /D=" + folder), 0u);
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, RegisteredClassKey() + "\\InprocServer32"),
              folder + "\\Torlin.dll");
    ASSERT_TRUE(WriteUserFiles(folder));
    for (const char* leftByACrash : {"Config.xml.new", "menu.icons.new"}) {
        ASSERT_TRUE(WriteFileBytes(folder + "\\" + leftByACrash, "left by a crash"));
    }
    // Files that an administrator put there: not the uninstaller's.
    const std::vector<std::string> foreign = {"Skin\\Mine\\skin_mine.xml", "notes.txt"};
    ASSERT_TRUE(::CreateDirectoryA((folder + "\\Skin\\Mine").c_str(), nullptr));
    for (const std::string& file : foreign) {
        ASSERT_TRUE(WriteFileBytes(folder + "\\" + file, "mine"));
    }
    const std::string classKey = RegisteredClassKey();
    ASSERT_FALSE(classKey.empty());

    // Done when the command returns: what a script runs next meets no uninstaller at work.
    EXPECT_EQ(QuietUninstall(), 0u);
    EXPECT_EQ(FilesBelow(folder), foreign);
    EXPECT_TRUE(NothingRegistered());
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, classKey));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(FileExists(Shortcut()));
    for (const std::string& path : PendingDeletions()) {
        EXPECT_EQ(path.find(folder), std::string::npos) << "left for a restart: " << path;
    }
    // Installed again right away.
    ASSERT_EQ(Install(), 0u);
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, RegisteredClassKey() + "\\InprocServer32"),
              InstalledHandler());
    EXPECT_EQ(FilesBelow(InstallFolder()), InstalledLayout());
}

TEST_F(InstallerTest, UninstallWhileExplorerHoldsTheHandlerSaysARestartFinishesIt) {
    ASSERT_EQ(Install(), 0u);
    const std::string folder = InstallFolder();
    ASSERT_TRUE(WriteUserFiles(folder));
    {
        CShellHost explorer;
        ASSERT_EQ(explorer.Open(ShellTarget::File, folder + "\\menu.dat",
                                ShellHostFixture::OurHandlers(ShellTarget::File).at(0).clsid, 1),
                  1);

        // As Settings > Apps runs it, with its pages.
        CProcessTree uninstall(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"));
        // The wizard's caption ends with the page's (empty) subcaption.
        HWND wizard = ui::WaitForWindow([](HWND hwnd) {
            return ui::ClassName(hwnd) == "#32770" &&
                   ui::Text(hwnd).rfind("Qarvo Context Menu Uninstall", 0) == 0;
        });
        ASSERT_NE(wizard, nullptr);
        PressButton(wizard, IDOK); // Uninstall
        HWND told = ui::WaitForWindow([wizard](HWND hwnd) {
            return hwnd != wizard && ChildTexts(hwnd).find("restart") != std::string::npos;
        });
        ASSERT_NE(told, nullptr);
        EXPECT_NE(ChildTexts(told).find("Torlin.dll by Explorer"), std::string::npos)
            << ChildTexts(told);
        PressButton(told, IDOK);
        ASSERT_TRUE(ui::WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(wizard, IDOK)); }));
        PressButton(wizard, IDOK); // Close
        EXPECT_EQ(uninstall.Wait(), 0u);

        EXPECT_EQ(FilesBelow(folder), std::vector<std::string>{"Torlin.dll"});
        EXPECT_TRUE(NothingRegistered());
        EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_FALSE(FileExists(Shortcut()));
        const std::vector<std::string> pending = PendingDeletions();
        const std::vector<std::string> ours = {InstalledHandler(), folder};
        EXPECT_TRUE(std::search(pending.begin(), pending.end(), ours.begin(), ours.end()) !=
                    pending.end())
            << "the handler, then its folder";
    }
    Restart();
    EXPECT_FALSE(FileExists(folder));
}

TEST_F(InstallerTest, AFolderNotNewOrEmptyOrThatTheProgramsCannotReadIsRefusedBeforeAnything) {
    const std::string programs = KnownFolder(CSIDL_PROGRAM_FILES);
    // Filled beforehand by someone else: its Config.xml and menu.dat are not taken as the
    // user's, nor is anything put beside them.
    const std::string planted = programs + "\\Planted";
    ASSERT_TRUE(::CreateDirectoryA(planted.c_str(), nullptr));
    ASSERT_TRUE(WriteUserFiles(planted));
    const std::vector<std::string> plantedFiles = FilesBelow(planted);
    EXPECT_EQ(Install(" /D=" + planted), DWORD{ERROR_DIR_NOT_EMPTY});
    EXPECT_EQ(FilesBelow(planted), plantedFiles);
    EXPECT_TRUE(NothingRegistered());
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));

    // A name that the ANSI code page cannot spell, and a folder whose deepest file would need
    // more than the 255 bytes that the programs read paths into.
    const std::wstring unspellable = win32::ToWide(programs) + L"\\\x10D0\x10D1";
    const std::wstring setup = L"\"" + win32::ToWide(SetupProgram()) + L"\" /S /D=";
    EXPECT_EQ(testing_support::ExitCode(testing_support::StartProcess(setup + unspellable), 60000),
              DWORD{ERROR_BAD_PATHNAME});
    EXPECT_EQ(::GetFileAttributesW(unspellable.c_str()), INVALID_FILE_ATTRIBUTES);
    std::size_t deepest = 0;
    for (const std::string& file : InstalledLayout()) {
        deepest = std::max(deepest, file.size());
    }
    std::string deep = programs + "\\";
    deep.resize(255 - 1 - deepest, 'd'); // its deepest file takes exactly 255 bytes
    EXPECT_EQ(Install(" /D=" + deep + "d"), DWORD{ERROR_BAD_PATHNAME});
    EXPECT_FALSE(FileExists(deep + "d"));

    // The same on the folder page, after the first page's question - for everyone, unless
    // "only for me" is chosen, whose folder is the user's own: the reason, and the page stays.
    {
        CProcessTree wizard("\"" + SetupProgram() + "\"");
        HWND window = ui::WaitForWindow([](HWND hwnd) {
            return ui::ClassName(hwnd) == "#32770" &&
                   ui::Text(hwnd).rfind("Qarvo Context Menu Setup", 0) == 0;
        });
        ASSERT_NE(window, nullptr);
        const auto choice = [window](const char* text) {
            return Descendant(window, [text](HWND child) { return ui::Text(child) == text; });
        };
        HWND onlyForMe = nullptr;
        ASSERT_TRUE(ui::WaitUntil([&] {
            return (onlyForMe = choice("Only for &me (no administrator rights)"));
        })) << ChildTexts(window);
        HWND forEveryone = choice("For &everyone on this computer (needs administrator rights)");
        ASSERT_NE(forEveryone, nullptr);
        EXPECT_EQ(::SendMessageA(forEveryone, BM_GETCHECK, 0, 0), BST_CHECKED);
        ::SendMessageA(onlyForMe, BM_CLICK, 0, 0);
        PressButton(window, IDOK); // Next
        HWND folderEdit = nullptr;
        ASSERT_TRUE(ui::WaitUntil([&] { return (folderEdit = DescendantWithId(window, 1019)); }));
        EXPECT_EQ(ui::Text(folderEdit), UserInstallFolder());
        ::SendMessageW(folderEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(unspellable.c_str()));
        PressButton(window, IDOK); // Install
        HWND told = ui::WaitForWindow([window](HWND hwnd) {
            return hwnd != window && ChildTexts(hwnd).find("code page") != std::string::npos;
        });
        ASSERT_NE(told, nullptr);
        PressButton(told, IDOK);
        EXPECT_TRUE(ui::WaitUntil([&] { return !::IsWindow(told); }));
        EXPECT_TRUE(::IsWindowVisible(folderEdit)) << "still on the folder page";
        PressButton(window, IDCANCEL);
        HWND sure = ui::WaitForWindow([window](HWND hwnd) {
            return hwnd != window && ChildTexts(hwnd).find("sure") != std::string::npos;
        });
        ASSERT_NE(sure, nullptr);
        PressButton(sure, IDYES);
        wizard.Wait();
    }
    EXPECT_EQ(::GetFileAttributesW(unspellable.c_str()), INVALID_FILE_ATTRIBUTES);

    // With its deepest file at 255 bytes the folder is taken, and Torlin.dll registers there.
    ASSERT_EQ(Install(" /D=" + deep), 0u);
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, RegisteredClassKey() + "\\InprocServer32"),
              deep + "\\Torlin.dll");
    EXPECT_EQ(QuietUninstall(), 0u);
    EXPECT_FALSE(FileExists(deep));
}

TEST_F(InstallerTest, OneInstallationOnlyAndAnUninstallerTakesOnlyWhatIsItsOwn) {
    ASSERT_EQ(Install(), 0u);
    const std::string folder = InstallFolder();
    ASSERT_TRUE(WriteUserFiles(folder));
    // A second installation elsewhere is refused, naming the installed folder.
    const std::string elsewhere = KnownFolder(CSIDL_PROGRAM_FILES) + "\\Elsewhere";
    EXPECT_EQ(Install(" /D=" + elsewhere), DWORD{ERROR_PRODUCT_VERSION});
    EXPECT_FALSE(FileExists(elsewhere));
    EXPECT_NE(SetupLog().find("installed in " + folder + "."), std::string::npos) << SetupLog();
    // Nor is one for the current user added beside it.
    EXPECT_EQ(Install(" /CurrentUser"), DWORD{ERROR_PRODUCT_VERSION});
    EXPECT_NE(SetupLog().find("installed for everyone on this computer, in " + folder + "."),
              std::string::npos)
        << SetupLog();
    EXPECT_FALSE(FileExists(UserInstallFolder()));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUninstallKey));

    // What such a second installation left before that was refused: the same programs and
    // the uninstaller in another folder, with lists of their own.
    for (const std::string& file : InstalledLayout()) {
        const std::string copy = elsewhere + "\\" + file;
        const int made =
            ::SHCreateDirectoryExA(nullptr, copy.substr(0, copy.rfind('\\')).c_str(), nullptr);
        ASSERT_TRUE(made == ERROR_SUCCESS || made == ERROR_ALREADY_EXISTS) << file;
        ASSERT_TRUE(::CopyFileA((folder + "\\" + file).c_str(), copy.c_str(), FALSE)) << file;
    }
    ASSERT_TRUE(WriteUserFiles(elsewhere));
    EXPECT_EQ(CProcessTree("\"" + elsewhere + "\\Uninstall.exe\" /S").Wait(), 0u);
    // It took its programs, and left the lists of a folder that is not the installation, and
    // the registration, the shortcut and the uninstall entry of the one that is.
    EXPECT_EQ(FilesBelow(elsewhere),
              (std::vector<std::string>{"Config.xml", "Config.xml.bak", "menu.dat", "menu.icons"}));
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, RegisteredClassKey() + "\\InprocServer32"),
              InstalledHandler());
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), folder);
    EXPECT_TRUE(FileExists(Shortcut()));
    EXPECT_EQ(SubmenuTitles(folder + "\\menu.dat"), std::vector<std::string>{"notes.txt"});
}

TEST_F(InstallerTest, HandlerThatCannotBeRegisteredFailsTheSilentInstall) {
    EXPECT_NE(Install("", testing_support::ExeFolder() + "\\broken-handler-Setup.exe"), 0u);
    EXPECT_TRUE(NothingRegistered());
    EXPECT_TRUE(FileExists(InstallFolder() + "\\Uninstall.exe")) << "it can still be removed";
}

TEST_F(InstallerTest, PortableFolderRegistersTheHandlerBesideItsScripts) {
    // Unpacked from the zip by the test prefix's set-up.
    const std::string folder = KnownFolder(CSIDL_PROGRAM_FILES) + "\\Qarvo Portable";
    std::vector<std::string> expected = FilesBelow(StageFolder());
    expected.insert(expected.end(), {"ReadMe.txt", "Register.cmd", "Unregister.cmd"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesBelow(folder), expected);
    EXPECT_NE(ReadFileBytes(folder + "\\Register.cmd").find("\r\n"), std::string::npos);
    ASSERT_TRUE(WriteMenuData((folder + "\\menu.dat").c_str(),
                              {MakeMenuItem("notes.txt", "C:\\Docs\\notes.txt")}));

    // Run as from a prompt, in the Windows folder given; what the script says goes to output.
    const std::string output = folder + "\\said.txt";
    const auto run = [&](const std::string& command, const std::string& windows = "") {
        const std::size_t space = std::min(command.find(' '), command.size());
        const std::string root = windows.empty() ? "" : "set \"SystemRoot=" + windows + "\"&& ";
        return testing_support::RunAndWait("cmd.exe /c \"" + root + "\"" + folder + "\\" +
                                           command.substr(0, space) + "\"" + command.substr(space) +
                                           " /q > \"" + output + "\"\"");
    };
    const auto said = [&] { return ReadFileBytes(output); };
    const auto says = [&](const std::string& text) {
        return said().find(text) != std::string::npos;
    };
    // From a 32-bit prompt the 64-bit regsvr32 is reached as Sysnative: here a stand-in that
    // records how it was started.
    const auto standIn = [](const std::string& windows) {
        const std::string sysnative = windows + "\\Sysnative";
        return ::CreateDirectoryA(sysnative.c_str(), nullptr) &&
               ::CopyFileA((testing_support::ExeFolder() + "\\marker.exe").c_str(),
                           (sysnative + "\\regsvr32.exe").c_str(), FALSE);
    };
    const std::string windows = KnownFolder(CSIDL_WINDOWS);
    const std::string launched = windows + "\\Sysnative\\launched.txt";
    const auto started = [&](const std::string& script) {
        ::DeleteFileA(launched.c_str());
        return run(script) == 0 ? ReadFileBytes(launched) : said();
    };
    ASSERT_TRUE(standIn(windows));
    const std::string handler = "\"" + folder + "\\Torlin.dll\"";
    EXPECT_NE(started("Register.cmd").find("/s " + handler), std::string::npos);
    EXPECT_NE(started("Register.cmd /user").find("/s /n /i:user " + handler), std::string::npos);
    EXPECT_NE(started("Unregister.cmd /user").find("/u /s /n /i:user " + handler),
              std::string::npos);
    testing_support::RemoveTree(windows + "\\Sysnative");
    // Without administrator rights (the registry's own files unreadable: here, a Windows folder
    // without them) registering for all users says how to go on, and starts nothing.
    const TempDir otherWindows;
    ASSERT_TRUE(standIn(otherWindows.Path()));
    for (const char* script : {"Register.cmd", "Unregister.cmd"}) {
        EXPECT_EQ(run(script, otherWindows.Path()), 5u) << script;
        EXPECT_TRUE(says("\"Run as administrator\"") && says(" /user\"")) << said();
    }
    EXPECT_FALSE(FileExists(otherWindows.File("Sysnative\\launched.txt")));
    EXPECT_EQ(run("Register.cmd /users"), 87u);
    EXPECT_TRUE(NothingRegistered());

    // A folder that others may write into: refused, and the script says why.
    const CSecurityDescriptor everyone("D:(A;OICI;FA;;;WD)");
    const CSecurityDescriptor administrators(
        "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)");
    ASSERT_TRUE(everyone.ApplyListTo(folder));
    EXPECT_NE(run("Register.cmd"), 0u);
    EXPECT_TRUE(says("E_ACCESSDENIED") && says("Register.cmd /user")) << said();
    EXPECT_TRUE(NothingRegistered());
    // For the current user alone the folder is the user's own: registered below the user's
    // classes (nothing of the machine's), and removed again.
    const std::string userClass =
        std::string("Software\\Classes\\CLSID\\") + QARVO_HANDLER_CLSID_TEXT + "\\InprocServer32";
    ASSERT_EQ(run("Register.cmd /user"), 0u) << said();
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, userClass), folder + "\\Torlin.dll");
    EXPECT_TRUE(NothingRegistered());
    EXPECT_EQ(run("Unregister.cmd /user"), 0u) << said();
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, userClass));
    ASSERT_TRUE(administrators.ApplyListTo(folder));

    ASSERT_EQ(run("Register.cmd"), 0u);
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, RegisteredClassKey() + "\\InprocServer32"),
              folder + "\\Torlin.dll");
    EXPECT_EQ(SubmenuTitles(folder + "\\ReadMe.txt"), std::vector<std::string>{"notes.txt"});
    EXPECT_EQ(run("Unregister.cmd"), 0u);
    EXPECT_TRUE(NothingRegistered());
}

TEST_F(InstallerTest, Windows11PackageIsRegisteredForItsUsersAndRemovedOnUpgradeAndUninstall) {
    const std::string signedSetup = BuildFolder() + "\\signed-release\\dist\\" QARVO_SETUP_NAME;
    ASSERT_TRUE(FileExists(signedSetup)) << "made by package.signed_release_verifies";
    const CDeployStandIn deploy;
    ASSERT_TRUE(deploy.Ready());
    const std::string folder = InstallFolder();
    const TempDir docs;
    const std::string notes = docs.File("notes.txt");
    const auto installWithAList = [&](const std::string& setup) {
        return Install("", setup) == 0 && WriteFileBytes(notes, "notes") &&
               WriteMenuData((folder + "\\menu.dat").c_str(), {MakeMenuItem("notes.txt", notes)});
    };
    const std::vector<std::string> classic = {"notes.txt"};

    // Before Windows 11 (the prefix's own version) no step runs: the classic menu serves.
    ASSERT_TRUE(installWithAList(signedSetup));
    EXPECT_EQ(SubmenuTitlesInNewProcess(notes), classic);
    EXPECT_EQ(QuietUninstall(), 0u);
    EXPECT_TRUE(deploy.Requests().empty());

    const CWindows11 windows11;
    // An unsigned release leaves Windows 11 to the classic handler.
    ASSERT_TRUE(installWithAList(SetupProgram()));
    EXPECT_EQ(SubmenuTitlesInNewProcess(notes), classic);
    EXPECT_EQ(QuietUninstall(), 0u);
    EXPECT_TRUE(deploy.Requests().empty());

    // A signed one registers its package for every user, the install folder as its external
    // location; the classic handler then steps aside, so "Show more options" shows the
    // submenu once, the packaged command's.
    ASSERT_TRUE(installWithAList(signedSetup));
    const std::string package = folder + "\\" + kProduct + ".msix";
    const std::string registration =
        "-Register -AllUsers -Package \"" + package + "\" -ExternalLocation \"" + folder + "\"";
    std::vector<std::string> requests = deploy.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].find(registration), std::string::npos) << requests[0];
    EXPECT_TRUE(FileExists(package));
    const std::string family =
        ReadRegString(HKEY_LOCAL_MACHINE, QARVO_PACKAGE_KEY, QARVO_PACKAGE_VALUE);
    EXPECT_EQ(family.rfind(QARVO_PACKAGE_NAME "_", 0), 0u) << family;
    EXPECT_NE(requests[0].find("-Family \"" + family + "\""), std::string::npos) << requests[0];
    EXPECT_TRUE(SubmenuTitlesInNewProcess(notes).empty());

    // An upgrade stops the surrogate that holds the library and removes the package (for all
    // users) before any file is replaced, then registers the new one.
    const std::string removal = "-Remove -AllUsers -Family \"" + family + "\" -Handler \"" +
                                InstalledHandler() + "\" -ExternalLocation \"" + folder + "\"";
    ASSERT_EQ(Install("", signedSetup), 0u);
    requests = deploy.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_NE(requests[1].find(removal), std::string::npos) << requests[1];
    EXPECT_NE(requests[2].find(registration), std::string::npos) << requests[2];

    // Uninstalling removes it again, and the record of it.
    EXPECT_EQ(QuietUninstall(), 0u);
    requests = deploy.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_NE(requests[3].find(removal), std::string::npos) << requests[3];
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, QARVO_PACKAGE_KEY));

    // Installed for the current user, the package is that user's alone: nothing provisioned
    // for others, its record under HKCU, and removed for that user.
    ASSERT_EQ(Install(" /CurrentUser", signedSetup), 0u);
    const std::string userFolder = UserInstallFolder();
    requests = deploy.Requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_NE(requests[4].find("-Register -Package \"" + userFolder + "\\" + kProduct +
                               ".msix\" -ExternalLocation \"" + userFolder + "\""),
              std::string::npos)
        << requests[4];
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, QARVO_PACKAGE_KEY, QARVO_PACKAGE_VALUE), family);
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, QARVO_PACKAGE_KEY));
    EXPECT_EQ(QuietUninstall(HKEY_CURRENT_USER), 0u);
    requests = deploy.Requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_NE(requests[5].find("-Remove -Family \"" + family + "\""), std::string::npos)
        << requests[5];
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, QARVO_PACKAGE_KEY));

    // A package Windows refuses is reported, the installation still succeeds, and the classic
    // menu keeps serving.
    ASSERT_TRUE(deploy.Refuse());
    ASSERT_TRUE(installWithAList(signedSetup));
    requests = deploy.Requests();
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_NE(requests[6].find(registration), std::string::npos) << requests[6];
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, QARVO_PACKAGE_KEY, QARVO_PACKAGE_VALUE),
              "<missing>");
    EXPECT_FALSE(FileExists(package));
    EXPECT_EQ(SubmenuTitlesInNewProcess(notes), classic);
}
