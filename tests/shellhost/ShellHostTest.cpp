// Torlin.dll registered with regsvr32 and driven the way Explorer drives it.
#include "MenuData.h"
#include "ShellHost.h"
#include "ShellHostFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

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
    EXPECT_TRUE(WaitForFile(Folder() + "\\launched.txt"));
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
