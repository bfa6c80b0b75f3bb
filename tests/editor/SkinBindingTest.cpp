// The editor's calls of Skin.dll, seen through a build of the library that notes each call in
// "skin-calls.log" beside itself: "load <1|0> <path>" and "release <dialogs still open>".
#include "EditorProcess.h"
#include "TestSupport.h"

#include "MenuResource.h"
#include <gtest/gtest.h>

#include <string>

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

// The skin folder of skin number n is kSkins[n - 1].
const char* const kSkins[] = {"Pying", "Wguang", "Zzhong", "Mmo"};

std::string SkinPath(const std::string& folder, int n) {
    std::string name = kSkins[n - 1];
    std::string lower = name;
    for (char& c : lower) {
        c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    }
    return folder + "\\Skin\\" + name + "\\skin_" + lower + ".xml";
}

class SkinBindingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Install(dir.Path())); }

    // The editor with the noting Skin.dll and the build's four skins.
    static bool Install(const std::string& folder) {
        return InstallEditor(folder, testing_support::ExeFolder() + "\\skin-calls\\Skin.dll") &&
               InstallSkins(folder);
    }

    void SeedSkinType(int n) const {
        ASSERT_TRUE(WriteFileBytes(dir.File("Config.xml"),
                                   "<Config App=\"Qarvo Context Menu\"><Setting><SkinType>" +
                                       std::to_string(n) + "</SkinType></Setting></Config>"));
    }
    std::string SavedConfig() const { return ReadFileBytes(dir.File("Config.xml")); }
    std::string Load(int n, bool loaded = true) const {
        return std::string("load ") + (loaded ? "1 " : "0 ") + SkinPath(dir.Path(), n) + "\n";
    }

    // Starts the editor from folder, lets act drive its main window, closes it, and returns the
    // calls the editor made of Skin.dll.
    template <class Act> static std::string Run(const std::string& folder, Act act) {
        const std::string log = folder + "\\skin-calls.log";
        ::DeleteFileA(log.c_str());
        EditorProcess editor(folder);
        HWND main = editor.WaitForMainWindow();
        EXPECT_NE(main, nullptr);
        if (main != nullptr) {
            act(main);
            ::PostMessageA(main, WM_CLOSE, 0, 0);
        }
        EXPECT_EQ(editor.WaitForExit(), 0u);
        return ReadFileBytes(log);
    }
    std::string Run() const {
        return Run(dir.Path(), [](HWND) {});
    }
    // Presses "Skins" and waits until the skin awaited was asked for and the window is back.
    std::string RunPressingSkins(const std::string& awaited) const {
        return Run(dir.Path(), [&](HWND main) {
            PressButton(main, IDC_SKINS);
            EXPECT_TRUE(ui::WaitUntil([&] {
                return ReadFileBytes(dir.File("skin-calls.log")).find(awaited) != std::string::npos;
            }));
            EXPECT_TRUE(ui::WaitUntil([&] { return !::IsIconic(main); })) << "restored";
        });
    }

    TempDir dir;
};

} // namespace

TEST_F(SkinBindingTest, StartLoadsTheConfiguredSkinAndExitReleasesItAfterTheWindow) {
    // Without a configuration: skin 2; released once, when no dialog is left.
    EXPECT_EQ(Run(), Load(2) + "release 0\n");
    for (int outOfRange : {0, 5}) {
        SeedSkinType(outOfRange);
        EXPECT_EQ(Run(), "") << "no load and no release for " << outOfRange;
    }
}

TEST_F(SkinBindingTest, SkinsMovesToTheNextSkinAndRestoresTheWindow) {
    const struct { int from, to; } cases[] = {{4, 1}, {0, 2}, {9, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        SeedSkinType(c.from);
        const std::string atStart = c.from >= 1 && c.from <= 4 ? Load(c.from) : "";
        EXPECT_EQ(RunPressingSkins(Load(c.to)), atStart + Load(c.to) + "release 0\n");
        EXPECT_NE(SavedConfig().find("<SkinType>" + std::to_string(c.to) + "</SkinType>"),
                  std::string::npos)
            << SavedConfig();
    }
}

TEST_F(SkinBindingTest, FailedLoadAfterAGoodOneStillReleasesAtExit) {
    ASSERT_TRUE(WriteFileBytes(SkinPath(dir.Path(), 3), "not a skin"));
    EXPECT_EQ(RunPressingSkins(Load(3, false)), Load(2) + Load(3, false) + "release 0\n");
    EXPECT_NE(SavedConfig().find("<SkinType>3</SkinType>"), std::string::npos)
        << "the choice stays";
}

TEST_F(SkinBindingTest, SkinPathOverThePathBufferIsNeverPassedOn) {
    // An application folder that fits its 255 characters, while its skin paths do not.
    std::string folder = dir.Path();
    while (folder.size() < 239) {
        folder += "\\" + std::string(std::min<std::size_t>(60, 239 - folder.size()), 'd');
        ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    }
    ASSERT_LE(folder.size(), 255u);
    ASSERT_GT(SkinPath(folder, 2).size(), 255u);
    ASSERT_TRUE(Install(folder));
    EXPECT_EQ(Run(folder, [](HWND main) { PressButton(main, IDC_SKINS); }), "");
}
