// Registration of the built Torlin.dll with Wine's regsvr32, read back from the registry.
#include "AdminOnly.h"
#include "AnsiText.h"
#include "RegScript.h"
#include "RegScriptRows.h"
#include "TorlinResource.h"
#include "TestSupport.h"
#include "TorlinModule.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <sddl.h>

#include <string>
#include <vector>

using testing_support::CSecurityDescriptor;
using testing_support::TempDir;

using testing_support::ReadRegString;
using testing_support::RegKeyExists;

namespace {

constexpr char kApproved[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const std::string kClassKey = std::string("CLSID\\") + kClsidText;

const std::vector<std::string> kHandlerKeys = {
    "*\\shellex\\ContextMenuHandlers\\QarvoContextMenu",
    "directory\\background\\shellex\\ContextMenuHandlers\\QarvoContextMenu",
    "directory\\shellex\\ContextMenuHandlers\\QarvoContextMenu",
    "folder\\shellex\\ContextMenuHandlers\\QarvoContextMenu",
};
const std::string kColumnKey = std::string("folder\\shellex\\ColumnHandlers\\") + kClsidText;

DWORD RunRegsvr32(const std::string& args) {
    return testing_support::RunAndWait("regsvr32.exe " + args);
}

void ExpectNothingRegistered() {
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kClassKey));
    for (const std::string& key : kHandlerKeys) {
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, key)) << key;
    }
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kColumnKey));
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kApproved, kClsidText), "<missing>");
}

// Every key of the registration of the library at path, below classes (HKEY_CLASSES_ROOT, or a
// user's own classes).
void ExpectRegisteredBelow(HKEY classes, const std::string& path) {
    EXPECT_EQ(ReadRegString(classes, kClassKey), "QarvoContextMenu Class");
    EXPECT_EQ(ReadRegString(classes, kClassKey + "\\InprocServer32"), path);
    EXPECT_EQ(ReadRegString(classes, kClassKey + "\\InprocServer32", "ThreadingModel"),
              "Apartment");
    for (const std::string& key : kHandlerKeys) {
        EXPECT_EQ(ReadRegString(classes, key), kClsidText) << key;
    }
    EXPECT_EQ(ReadRegString(classes, kColumnKey), "QarvoContextMenu");
}

// A key of HKEY_CLASSES_ROOT made volatile for a while: no lasting key can be created below it.
class CVolatileKey {
public:
    explicit CVolatileKey(std::string path) : m_path(std::move(path)) {
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, m_path.c_str());
        win32::CKey key;
        ::RegCreateKeyExA(HKEY_CLASSES_ROOT, m_path.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                          KEY_READ, nullptr, key.Receive(), nullptr);
    }
    ~CVolatileKey() {
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, m_path.c_str());
        testing_support::CreateRegKey(HKEY_CLASSES_ROOT, m_path);
    }
    CVolatileKey(const CVolatileKey&) = delete;
    CVolatileKey& operator=(const CVolatileKey&) = delete;

private:
    std::string m_path;
};

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dll.Loaded());
        dll.Unregister();
        ExpectNothingRegistered();
    }
    void TearDown() override { dll.Unregister(); }

    TempDir dir;
    TorlinModule dll{dir.Path()};
};

} // namespace

TEST_F(RegistrationTest, Regsvr32WritesEveryKeyAndRemovesThemAgain) {
    ASSERT_EQ(RunRegsvr32("/s \"" + dll.Path() + "\""), 0u);

    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kApproved, kClsidText), "DllRegShlExt extension");
    ExpectRegisteredBelow(HKEY_CLASSES_ROOT, dll.Path());

    ASSERT_EQ(RunRegsvr32("/u /s \"" + dll.Path() + "\""), 0u);
    ExpectNothingRegistered();
    // Shared keys marked NoRemove stay.
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers"));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "directory\\background\\shellex"));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "folder\\shellex\\ColumnHandlers"));
}

TEST_F(RegistrationTest, PerUserRegistrationWritesTheSameKeysForTheUserAloneAndRemovesThemAgain) {
    // The machine's software (its classes and the approved list among them); the user's
    // classes, a key every Windows user has (a fresh Wine prefix does not).
    const testing_support::CRegSnapshot machine(HKEY_LOCAL_MACHINE, "Software");
    ASSERT_TRUE(testing_support::CreateRegKey(HKEY_CURRENT_USER, "Software\\Classes"));
    const std::string quotedPath = " \"" + dll.Path() + "\"";
    ASSERT_EQ(RunRegsvr32("/u /s /n /i:user" + quotedPath), 0u) << "what an earlier run left";
    const testing_support::CRegSnapshot userClasses(HKEY_CURRENT_USER, "Software\\Classes");
    const std::vector<std::string> unchanged;

    // The folder rule holds for machine-wide registration only: a per-user folder is the
    // user's own, and only the user's Explorer loads the library.
    ASSERT_TRUE(CSecurityDescriptor("D:(A;OICI;FA;;;WD)").ApplyListTo(dir.Path()));
    ASSERT_EQ(dll.Register(), E_ACCESSDENIED);
    ASSERT_EQ(RunRegsvr32("/s /n /i:user" + quotedPath), 0u);
    win32::CKey classes;
    ASSERT_EQ(
        ::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, KEY_READ, classes.Receive()),
        ERROR_SUCCESS);
    ExpectRegisteredBelow(classes.Get(), dll.Path());
    EXPECT_EQ(machine.Changes(), unchanged)
        << "nothing of the machine's, the approved list included";

    // Wine's COM reads no class registered for one user alone, so what Windows does with these
    // keys is done here by hand: the registered library, asked for the registered class.
    {
        const win32::CLibrary registered(
            ::LoadLibraryA(ReadRegString(classes.Get(), kClassKey + "\\InprocServer32").c_str()));
        ASSERT_TRUE(registered);
        const auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(::GetProcAddress(registered.Get(), "DllGetClassObject")));
        ASSERT_NE(getClassObject, nullptr);
        CLSID clsid = {};
        ASSERT_EQ(::CLSIDFromString(
                      win32::ToWide(ReadRegString(classes.Get(), kHandlerKeys[0])).c_str(), &clsid),
                  S_OK);
        Microsoft::WRL::ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(clsid, IID_PPV_ARGS(&factory)), S_OK);
        Microsoft::WRL::ComPtr<IContextMenu> handler;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&handler)), S_OK);
    }

    // Removed again, down to the keys it needed: the user's classes are as they were.
    ASSERT_EQ(RunRegsvr32("/u /s /n /i:user" + quotedPath), 0u);
    EXPECT_EQ(userClasses.Changes(), unchanged);

    // Any other command line is refused, and writes nothing.
    for (const char* args : {"/s /n /i:machine", "/s /n /i", "/u /s /n /i:all"}) {
        EXPECT_NE(RunRegsvr32(args + quotedPath), 0u) << args;
    }
    EXPECT_EQ(userClasses.Changes(), unchanged);
    EXPECT_EQ(machine.Changes(), unchanged);
}

TEST(Registration, PathWithAQuoteIsWrittenOnce) {
    TempDir dir;
    const std::string folder = dir.Path() + "\\it's here";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    {
        TorlinModule dll(folder);
        ASSERT_TRUE(dll.Loaded());
        ASSERT_EQ(dll.Register(), S_OK);
        EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32"), dll.Path());
        EXPECT_EQ(dll.Unregister(), S_OK);
    }
    ExpectNothingRegistered();
}

TEST(Registration, LibraryWhoseMenuCouldNeverLoadIsNotRegistered) {
    TempDir dir;
    // With "\\Torlin.dll" a folder of 245 characters or more gives a library path that the
    // handler cannot read whole; 244 still works.
    for (std::size_t length : {244u, 245u, 248u}) {
        SCOPED_TRACE(length);
        std::string folder = dir.Path() + "\\";
        folder.resize(length, 'f');
        ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
        TorlinModule dll(folder);
        ASSERT_TRUE(dll.Loaded());
        if (length == 244) {
            EXPECT_EQ(dll.Register(), S_OK);
            EXPECT_EQ(dll.Unregister(), S_OK);
        } else {
            EXPECT_EQ(dll.Register(), HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
        }
        ExpectNothingRegistered();
    }

    // A folder named in letters that the ANSI code page cannot spell (the temporary folder's
    // own path is plain ASCII).
    const std::wstring folder = win32::ToWide(dir.Path()) + L"\\\x10D0\x10D1";
    const std::wstring path = folder + L"\\Torlin.dll";
    const std::string built = testing_support::BinFolder() + "\\Torlin.dll";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(::CopyFileW(win32::ToWide(built).c_str(), path.c_str(), FALSE));
    {
        const win32::CLibrary module(::LoadLibraryW(path.c_str()));
        ASSERT_TRUE(module);
        const auto registerServer = reinterpret_cast<HRESULT(WINAPI*)()>(
            reinterpret_cast<void*>(::GetProcAddress(module.Get(), "DllRegisterServer")));
        EXPECT_EQ(registerServer(), HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION));
    }
    ExpectNothingRegistered();
    ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

TEST_F(RegistrationTest, RegisteringTwiceLeavesOneRegistration) {
    ASSERT_EQ(dll.Register(), S_OK);
    ASSERT_TRUE(testing_support::CreateRegKey(HKEY_CLASSES_ROOT, (kClassKey + "\\Stale")));
    ASSERT_EQ(dll.Register(), S_OK);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Stale"));
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32"), dll.Path());
    EXPECT_EQ(dll.Unregister(), S_OK);
    ExpectNothingRegistered();
    EXPECT_EQ(dll.Unregister(), S_OK) << "unregistering when nothing is registered";
    EXPECT_EQ(RunRegsvr32("/u /s \"" + dll.Path() + "\""), 0u);
}

TEST_F(RegistrationTest, UnregisterStopsAtForeignSubkey) {
    ASSERT_EQ(dll.Register(), S_OK);
    const std::string foreignKey = kClassKey + "\\InprocServer32\\Foreign";
    ASSERT_TRUE(testing_support::CreateRegKey(HKEY_CLASSES_ROOT, foreignKey));

    const HRESULT hr = dll.Unregister();
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_WIN32);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, foreignKey));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, kHandlerKeys[0])) << "later statements not run";

    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, foreignKey.c_str());
    EXPECT_EQ(dll.Unregister(), S_OK);
}

TEST_F(RegistrationTest, WithoutTheApprovedListNothingIsWritten) {
    // Save the approved list, remove it, and put it back whatever happens.
    struct ApprovedBackup {
        ApprovedBackup() { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kApproved); }
        ~ApprovedBackup() { testing_support::CreateRegKey(HKEY_LOCAL_MACHINE, kApproved); }
    } backup;
    EXPECT_EQ(dll.Register(), E_ACCESSDENIED);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kClassKey));
    for (const std::string& key : kHandlerKeys) {
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, key)) << key;
    }
    EXPECT_EQ(dll.Unregister(), S_OK) << "a missing approved list is ignored when unregistering";
}

TEST_F(RegistrationTest, OnlyALibraryThatAdministratorsAloneCanChangeIsRegistered) {
    // The rule, on descriptors: who may change the file or its folder.
    constexpr char kAdministrator[] = "S-1-5-21-1-2-3-1001"; // the one registering
    const struct {
        const char* sddl;
        bool byThatAdministrator;
        bool registers;
    } cases[] = {
        // The installer's folder, and Program Files (owned by TrustedInstaller).
        {"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)", false, true},
        {"O:S-1-5-80-956008885-3425904046-3637158000-3191138418-2428521017"
         "D:P(A;;FA;;;S-1-5-80-956008885-3425904046-3637158000-3191138418-2428521017)"
         "(A;;0x1301bf;;;SY)(A;;0x1301bf;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)"
         "(A;OICIIO;GA;;;SY)(A;OICIIO;GA;;;BA)(A;OICIIO;GXGR;;;BU)",
         false, true},
        // A second drive's root, where Authenticated Users may modify.
        {"O:BAD:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;AU)(A;OICI;0x1200a9;;;BU)",
         false, false},
        // Each right that lets a user replace the library, put one beside it or give himself
        // that: write (add a file), append (add a folder), delete a child, change the list,
        // take ownership, and the generic ones.
        {"O:BAD:(A;;FA;;;BA)(A;;0x100002;;;BU)", false, false},
        {"O:BAD:(A;;FA;;;BA)(A;;0x100004;;;BU)", false, false},
        {"O:BAD:(A;;FA;;;BA)(A;;0x100040;;;BU)", false, false},
        {"O:BAD:(A;;FA;;;BA)(A;;WD;;;BU)", false, false},
        {"O:BAD:(A;;FA;;;BA)(A;;WO;;;BU)", false, false},
        {"O:BAD:(A;;FA;;;BA)(A;;GW;;;WD)", false, false},
        {"O:BAD:(A;;FA;;;BA)(A;;GA;;;IU)", false, false},
        // Reading and running are no change; an entry only for what is made below, and a
        // denial, grant the object nothing.
        {"O:BAD:(A;;FA;;;BA)(A;;FRFX;;;WD)(A;OICIIO;GA;;;BU)(D;;FA;;;WD)", false, true},
        // No list at all lets everyone in.
        {"O:BA", false, false},
        // An owner may always change the list: only an administrator may own it, and only
        // then do his own entries count.
        {"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;BA)(A;;FA;;;S-1-5-21-1-2-3-1001)", false, false},
        {"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;BA)(A;;FA;;;S-1-5-21-1-2-3-1001)", true, true},
        {"O:BAD:(A;;FA;;;BA)(A;;FA;;;S-1-5-21-1-2-3-1001)", true, false},
    };
    PSID administrator = nullptr;
    ASSERT_TRUE(::ConvertStringSidToSidA(kAdministrator, &administrator));
    for (const auto& c : cases) {
        const CSecurityDescriptor descriptor(c.sddl);
        ASSERT_NE(descriptor.Get(), nullptr) << c.sddl;
        EXPECT_EQ(OnlyAdministratorsCanChange(descriptor.Get(),
                                              c.byThatAdministrator ? administrator : nullptr),
                  c.registers)
            << c.sddl;
    }
    ::LocalFree(administrator);

    // Real files: Wine reports a file's owner as the user running it (the one registering),
    // SYSTEM and the owner with full control, and Everyone with what the Unix mode gives
    // others. A folder or library that others may write is refused before anything is written.
    const CSecurityDescriptor everyone("D:(A;OICI;FA;;;WD)");
    const CSecurityDescriptor administrators(
        "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)");
    ASSERT_TRUE(everyone.ApplyListTo(dir.Path()));
    EXPECT_EQ(dll.Register(), E_ACCESSDENIED);
    EXPECT_NE(RunRegsvr32("/s \"" + dll.Path() + "\""), 0u);
    ExpectNothingRegistered();
    ASSERT_TRUE(administrators.ApplyListTo(dir.Path()));
    ASSERT_TRUE(everyone.ApplyListTo(dll.Path()));
    EXPECT_EQ(dll.Register(), E_ACCESSDENIED);
    ExpectNothingRegistered();
    ASSERT_TRUE(administrators.ApplyListTo(dll.Path()));
    EXPECT_EQ(dll.Register(), S_OK);
}

TEST_F(RegistrationTest, FailedRegistrationPutsBackWhatWasThereAndNothingElse) {
    // The column handlers' key made volatile: registration fails near its end, at the one
    // key it cannot create below it.
    const std::string columns = "folder\\shellex\\ColumnHandlers";
    const HRESULT blocked = HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE);
    {
        const CVolatileKey volatileColumns(columns);
        EXPECT_EQ(dll.Register(), blocked);
    }
    ExpectNothingRegistered(); // the approved value included

    // An earlier working registration, from another folder, is left as it was.
    TempDir otherDir;
    TorlinModule other(otherDir.Path());
    ASSERT_EQ(other.Register(), S_OK);
    {
        const CVolatileKey volatileColumns(columns);
        EXPECT_EQ(dll.Register(), blocked);
    }
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, kClassKey), "QarvoContextMenu Class");
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32"), other.Path());
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel"),
              "Apartment");
    for (const std::string& key : kHandlerKeys) {
        EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, key), kClsidText) << key;
    }
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, kApproved, kClsidText), "DllRegShlExt extension");
    EXPECT_EQ(other.Unregister(), S_OK);
}

TEST(RegistrationScript, EmbeddedScriptIsTheExpectedStatementList) {
    const std::string path = testing_support::BinFolder() + "\\Torlin.dll";
    const win32::CLibrary module(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module);
    HRSRC info = ::FindResourceExA(module.Get(), "REGISTRY", MAKEINTRESOURCEA(IDR_REGISTRY),
                                   MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(info, nullptr);
    const std::string text(
        static_cast<const char*>(::LockResource(::LoadResource(module.Get(), info))),
        ::SizeofResource(module.Get(), info));
    EXPECT_NE(text.find("\r\n"), std::string::npos) << "lines end in CR LF";

    RegScript script;
    ASSERT_TRUE(ParseRegScript(ExpandRegScript(text, {{"Module", "M"}}), script));
    EXPECT_EQ(script.root, RegRoot::ClassesRoot);

    // One row per key statement: parent row, name, marker, default value, named value.
    const std::vector<std::string> rows = RegScriptRows(script.statements);

    const std::string c = kClsidText;
    const std::vector<std::string> expected = {
        "0|CLSID|NoRemove|",
        "1|" + c + "|ForceRemove|QarvoContextMenu Class",
        "2|InprocServer32|none|M|ThreadingModel=Apartment",
        "0|*|NoRemove|",
        "4|shellex|NoRemove|",
        "5|ContextMenuHandlers|NoRemove|",
        "6|QarvoContextMenu|ForceRemove|" + c,
        "0|directory|NoRemove|",
        "8|background|NoRemove|",
        "9|shellex|NoRemove|",
        "10|ContextMenuHandlers|NoRemove|",
        "11|QarvoContextMenu|ForceRemove|" + c,
        "0|directory|NoRemove|",
        "13|shellex|NoRemove|",
        "14|ContextMenuHandlers|NoRemove|",
        "15|QarvoContextMenu|ForceRemove|" + c,
        "0|folder|NoRemove|",
        "17|shellex|NoRemove|",
        "18|ColumnHandlers|NoRemove|",
        "19|" + c + "|ForceRemove|QarvoContextMenu",
        "0|folder|NoRemove|",
        "21|shellex|NoRemove|",
        "22|ContextMenuHandlers|NoRemove|",
        "23|QarvoContextMenu|ForceRemove|" + c,
    };
    EXPECT_EQ(rows, expected);
}
