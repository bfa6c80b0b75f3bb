// Torlin.dll registered with regsvr32 and driven the way Explorer drives it.
#include "MenuData.h"
#include "ShellHost.h"
#include "ShellHostFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

TEST_F(ShellHostFixture, SubmenuOnFilesFoldersAndBackgroundsLaunchesTheChosenEntry) {
    const MenuItemList items = {MakeMenuItem("notes.txt", Folder() + "\\notes.txt"),
                                MakeMenuItem("Marker tool", Folder() + "\\marker.exe")};
    ASSERT_TRUE(WriteMenuData((Folder() + "\\menu.dat").c_str(), items));

    struct Case {
        ShellTarget target;
        std::string path;
        std::size_t keys;
    };
    const Case cases[] = {{ShellTarget::File, Folder() + "\\notes.txt", 1},
                          {ShellTarget::Folder, Folder(), 2},
                          {ShellTarget::Background, Folder(), 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::vector<RegisteredHandler> handlers = OurHandlers(c.target);
        ASSERT_EQ(handlers.size(), c.keys) << "one registration per ContextMenuHandlers key";
        for (const RegisteredHandler& handler : handlers) {
            CShellHost host;
            ASSERT_EQ(host.Open(c.target, c.path, handler.clsid, 300), 2) << handler.key;
            const std::vector<MenuNode> menu = host.Walk();
            ASSERT_EQ(menu.size(), 3u);
            EXPECT_EQ(menu[0].text, "&Open");
            EXPECT_EQ(menu[1].text, "&Qarvo Context Menu");
            EXPECT_EQ(menu[2].text, "P&roperties");
            ASSERT_EQ(menu[1].children.size(), 2u);
            EXPECT_EQ(menu[1].children[0].text, "notes.txt");
            EXPECT_EQ(menu[1].children[0].id, 300u);
            EXPECT_EQ(menu[1].children[1].text, "Marker tool");
            EXPECT_EQ(menu[1].children[1].id, 301u);
            EXPECT_EQ(host.HelpText(0, false), "Custom menu");
            EXPECT_EQ(host.HelpText(1, true), "Custom menu");
        }
    }

    // Choosing the second item launches the program behind it.
    CShellHost host;
    ASSERT_EQ(host.Open(ShellTarget::File, Folder() + "\\notes.txt",
                        OurHandlers(ShellTarget::File)[0].clsid, 1),
              2);
    ASSERT_EQ(host.Invoke(1), S_OK);
    EXPECT_FALSE(WaitForLaunch(Folder()).empty());
}

TEST_F(ShellHostFixture, EveryIdOfAFullMenuLaunchesItsEntryWithOpenShown) {
    // A document type whose default verb is not "open"; both verbs start the marker.
    struct DocumentType {
        explicit DocumentType(const std::string& marker) {
            Set(".qarvoverb", "Qarvo.VerbProbe");
            Set("Qarvo.VerbProbe\\shell", "other");
            for (const char* verb : {"open", "other"}) {
                Set(std::string("Qarvo.VerbProbe\\shell\\") + verb + "\\command",
                    "\"" + marker + "\" " + verb + " \"%1\"");
            }
        }
        ~DocumentType() {
            ::RegDeleteTreeA(HKEY_CLASSES_ROOT, ".qarvoverb");
            ::RegDeleteTreeA(HKEY_CLASSES_ROOT, "Qarvo.VerbProbe");
        }
        static void Set(const std::string& key, const std::string& value) {
            ::RegSetKeyValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                              static_cast<DWORD>(value.size() + 1));
        }
    } type(Folder() + "\\marker.exe");
    const std::string document = Folder() + "\\probe.qarvoverb";
    ASSERT_TRUE(testing_support::WriteFileBytes(document, "document"));

    // The last entry names a copy of the marker by a path that fills its field, no NUL after.
    std::string program = Folder() + "\\";
    program.resize(sizeof(MenuItem::FilePath) - 4, 'm');
    program += ".exe";
    ASSERT_TRUE(::CopyFileA((Folder() + "\\marker.exe").c_str(), program.c_str(), FALSE));

    MenuItemList items = {MakeMenuItem("Document", document)};
    while (items.size() < menudata::kMaxRecords - 1) {
        items.push_back(MakeMenuItem("Notes " + std::to_string(items.size()), "C:\\notes.txt"));
    }
    items.push_back(MakeMenuItem("Program", ""));
    std::memcpy(items.back().FilePath, program.data(), sizeof items.back().FilePath);
    ASSERT_TRUE(WriteMenuData((Folder() + "\\menu.dat").c_str(), items));

    CShellHost host;
    ASSERT_EQ(host.Open(ShellTarget::File, document, OurHandlers(ShellTarget::File)[0].clsid, 500),
              menudata::kMaxRecords);
    const std::vector<MenuNode> submenu = host.Walk()[1].children;
    ASSERT_EQ(submenu.size(), items.size());
    for (std::size_t i = 0; i < submenu.size(); ++i) {
        EXPECT_EQ(submenu[i].text, FieldText(items[i].MenuTitle)) << i;
        EXPECT_EQ(submenu[i].id, 500 + i) << i;
    }

    const std::string shown = std::to_string(SW_SHOW) + "\n";
    ASSERT_EQ(host.Invoke(menudata::kMaxRecords - 1), S_OK);
    EXPECT_EQ(WaitForLaunch(Folder()), shown + "\"" + program + "\"");
    ASSERT_EQ(host.Invoke(0), S_OK);
    EXPECT_EQ(WaitForLaunch(Folder()),
              shown + "\"" + Folder() + "\\marker.exe\" open \"" + document + "\"");
}

TEST_F(ShellHostFixture, NoSubmenuWithoutEntries) {
    for (bool withFile : {false, true}) {
        if (withFile) {
            ASSERT_TRUE(WriteMenuData((Folder() + "\\menu.dat").c_str(), {}));
        }
        CShellHost host;
        EXPECT_EQ(host.Open(ShellTarget::File, Folder() + "\\notes.txt",
                            OurHandlers(ShellTarget::File)[0].clsid, 1),
                  E_INVALIDARG);
        EXPECT_EQ(host.InitializeResult(), E_INVALIDARG);
    }
}

TEST_F(ShellHostFixture, Windows11CommandNamedByThePackageLaunchesEveryEntryWithOpenShown) {
    // The manifest of the package the build made; the DLL comes from its external location.
    const std::string manifest =
        testing_support::BuildFolder() + "\\installer\\package-work\\msix\\AppxManifest.xml";
    const std::string second = Folder() + "\\second marker.exe";
    ASSERT_TRUE(::CopyFileA((Folder() + "\\marker.exe").c_str(), second.c_str(), FALSE));
    const MenuItemList items = {MakeMenuItem("Marker tool", Folder() + "\\marker.exe"),
                                MakeMenuItem("Second marker", second)};
    ASSERT_TRUE(WriteMenuData((Folder() + "\\menu.dat").c_str(), items));

    const struct {
        ShellTarget target;
        std::string path;
    } cases[] = {{ShellTarget::File, Folder() + "\\notes.txt"},
                 {ShellTarget::Folder, Folder()},
                 {ShellTarget::Background, Folder()}};
    const std::string shown = std::to_string(SW_SHOW) + "\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        CModernHost host;
        ASSERT_EQ(host.Open(manifest, Folder(), c.target, c.path), S_OK);
        const CommandNode& root = host.Root();
        EXPECT_EQ(root.title, L"Qarvo Context Menu");
        EXPECT_EQ(root.flags, EXPCMDFLAGS{ECF_HASSUBCOMMANDS});
        EXPECT_EQ(root.fastState, E_PENDING);
        EXPECT_EQ(root.state, EXPCMDSTATE{ECS_ENABLED});
        ASSERT_EQ(root.children.size(), items.size());
        EXPECT_EQ(root.children[0].title, L"Marker tool");
        EXPECT_EQ(root.children[1].title, L"Second marker");
        // Every entry opens its own path with "open", shown, whatever was selected.
        for (std::size_t i = 0; i < items.size(); ++i) {
            ASSERT_EQ(host.Invoke(i), S_OK) << i;
            EXPECT_EQ(WaitForLaunch(Folder()),
                      shown + "\"" + std::string(FieldText(items[i].FilePath)) + "\"")
                << i;
        }
    }
}
