// Registration of the built Torlin.dll with Wine's regsvr32, read back from the registry.
#include "AnsiText.h"
#include "RegScript.h"
#include "RegScriptRows.h"
#include "TorlinResource.h"
#include "TestSupport.h"
#include "TorlinModule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, kClassKey), "QarvoContextMenu Class");
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32"), dll.Path());
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel"),
              "Apartment");
    for (const std::string& key : kHandlerKeys) {
        EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, key), kClsidText) << key;
    }
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, kColumnKey), "QarvoContextMenu");

    ASSERT_EQ(RunRegsvr32("/u /s \"" + dll.Path() + "\""), 0u);
    ExpectNothingRegistered();
    // Shared keys marked NoRemove stay.
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers"));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "directory\\background\\shellex"));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "folder\\shellex\\ColumnHandlers"));
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
