#include "MenuData.h"
#include "MenuIcons.h"
#include "Owners.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

using testing_support::ReadFileBytes;
using testing_support::SampleItems;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

std::string Header(const std::string& digits) {
    std::string h = digits;
    h.resize(4, '\0');
    return h;
}

std::string RecordBytes(const MenuItem& item) {
    return std::string(reinterpret_cast<const char*>(&item), sizeof item);
}

std::string Image(const MenuItemList& list) {
    std::string bytes = Header(std::to_string(list.size() * 384));
    for (const MenuItem& item : list) {
        bytes += RecordBytes(item);
    }
    return bytes;
}

} // namespace

TEST(MenuItemFields, TextThatDoesNotFitLeavesFieldEmpty) {
    const std::string title127(127, 't'), title128(128, 't');
    const std::string path255(255, 'p'), path256(256, 'p');

    MenuItem fits = MakeMenuItem(title127, path255);
    EXPECT_EQ(FieldText(fits.MenuTitle), title127);
    EXPECT_EQ(FieldText(fits.FilePath), path255);

    MenuItem tooLong = MakeMenuItem(title128, path256);
    EXPECT_EQ(FieldText(tooLong.MenuTitle), "");
    EXPECT_EQ(FieldText(tooLong.FilePath), "");
    const MenuItem zero{};
    EXPECT_EQ(std::memcmp(&tooLong, &zero, sizeof zero), 0) << "a refused text leaves zeros";

    // Assigning over an existing text clears the whole field first.
    MenuItem item = MakeMenuItem("a longer title", "C:\\x");
    EXPECT_FALSE(AssignField(item.MenuTitle, title128));
    EXPECT_EQ(std::string(item.MenuTitle, sizeof item.MenuTitle), std::string(128, '\0'));
}

TEST(MenuItemFields, FieldWithoutNulEndsAtFieldEnd) {
    MenuItem item{};
    std::memset(item.MenuTitle, 'A', sizeof item.MenuTitle);
    std::memset(item.FilePath, 'B', sizeof item.FilePath);
    EXPECT_EQ(FieldText(item.MenuTitle), std::string(128, 'A'));
    EXPECT_EQ(FieldText(item.FilePath), std::string(256, 'B'));
}

TEST(WriteMenuData, FileImagesByteForByte) {
    TempDir dir;
    const std::string path = dir.File("menu.dat");
    struct Case {
        int records;
        const char* header;
        std::size_t size;
    };
    for (const Case& c : {Case{0, "0", 4}, Case{1, "384", 388}, Case{2, "768", 772},
                          Case{3, "1152", 1156}, Case{26, "9984", 9988}}) {
        SCOPED_TRACE(c.records);
        const MenuItemList list = SampleItems(c.records);
        ASSERT_TRUE(WriteMenuData(path.c_str(), list));
        const std::string bytes = ReadFileBytes(path);
        ASSERT_EQ(bytes.size(), c.size);
        EXPECT_EQ(bytes.substr(0, 4), Header(c.header));
        EXPECT_EQ(bytes, Image(list));
    }
}

TEST(WriteMenuData, MoreThan26RecordsNeverWritesAMisleadingHeader) {
    TempDir dir;
    const std::string path = dir.File("menu.dat");
    const MenuItemList list = SampleItems(27);
    EXPECT_FALSE(WriteMenuData(path.c_str(), list));

    const MenuItemList first26(list.begin(), list.begin() + 26);
    EXPECT_EQ(ReadFileBytes(path), Image(first26));

    MenuItemList back;
    EXPECT_EQ(ReadMenuData(path.c_str(), back), 1);
    EXPECT_EQ(back.size(), 26u);
}

TEST(WriteMenuData, OverwritingALongerFileTruncatesIt) {
    TempDir dir;
    const std::string path = dir.File("menu.dat");
    ASSERT_TRUE(WriteFileBytes(path, std::string(20000, 'x')));
    const MenuItemList list = SampleItems(1);
    ASSERT_TRUE(WriteMenuData(path.c_str(), list));
    EXPECT_EQ(ReadFileBytes(path), Image(list));
}

TEST(WriteMenuData, FileHeldWithoutWriteSharingIsLeftAlone) {
    TempDir dir;
    const std::string path = dir.File("menu.dat");
    const std::string original = Image(SampleItems(2));
    ASSERT_TRUE(WriteFileBytes(path, original));

    // Another process holding the file exclusively: the probe fails, CREATE_NEW must not
    // replace it. Then one that reads but does not share writing: no truncation either.
    for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}}) {
        SCOPED_TRACE(share);
        win32::CHandle other(::CreateFileA(path.c_str(), GENERIC_READ, share, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(other.Valid());
        EXPECT_FALSE(WriteMenuData(path.c_str(), SampleItems(1)));
        // The reason is the file being in use, not a file that "exists".
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        other.Reset();
        EXPECT_EQ(ReadFileBytes(path), original);
    }
}

TEST(WriteMenuData, RefusesBadPaths) {
    TempDir dir;
    const MenuItemList list = SampleItems(1);
    EXPECT_FALSE(WriteMenuData(nullptr, list));
    // 256 characters does not fit the 256-byte path buffer: refused, never truncated.
    std::string longPath = dir.Path() + "\\" + std::string(256, 'n');
    longPath.resize(256);
    EXPECT_FALSE(WriteMenuData(longPath.c_str(), list));
    EXPECT_FALSE(WriteMenuData(dir.File("missing\\menu.dat").c_str(), list));
}

TEST(ReadMenuData, RoundTripKeepsEveryByte) {
    TempDir dir;
    const std::string path = dir.File("menu.dat");
    MenuItemList list = SampleItems(3);
    // Raw bytes: CR, LF and Ctrl-Z must not be translated, bytes after the NUL survive too.
    const char odd[] = {'\x0D', '\x0A', '\x1A', 'z', '\xE9', '\xFF'};
    std::memcpy(list[1].MenuTitle, odd, sizeof odd);
    std::memcpy(list[1].FilePath + 200, odd, sizeof odd);
    ASSERT_TRUE(WriteMenuData(path.c_str(), list));

    MenuItemList back = SampleItems(5); // the reader clears what was there
    ASSERT_EQ(ReadMenuData(path.c_str(), back), 1);
    ASSERT_EQ(back.size(), 3u);
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(RecordBytes(back[i]), RecordBytes(list[i])) << i;
    }
}

TEST(ReadMenuData, TrustsTheHeaderOverTheFileSize) {
    TempDir dir;
    const std::string path = dir.File("menu.dat");
    const MenuItemList three = SampleItems(3);
    std::string records = Image(three).substr(4);
    MenuItemList back;

    // "1000" is not a multiple of 384: two records, the remaining 232 bytes ignored.
    ASSERT_TRUE(WriteFileBytes(path, "1000" + records));
    EXPECT_EQ(ReadMenuData(path.c_str(), back), 1);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(RecordBytes(back[1]), RecordBytes(three[1]));

    // A header smaller than the data: only what it covers.
    ASSERT_TRUE(WriteFileBytes(path, Header("384") + records));
    EXPECT_EQ(ReadMenuData(path.c_str(), back), 1);
    EXPECT_EQ(back.size(), 1u);

    // Header, sign and white space as atoi reads them.
    for (const char* header : {"0", "", "abc", "-384", " 38", "+768"}) {
        ASSERT_TRUE(WriteFileBytes(path, Header(header) + records));
        EXPECT_EQ(ReadMenuData(path.c_str(), back), 1) << header;
        const std::size_t expected = std::strcmp(header, "+768") == 0 ? 2u : 0u;
        EXPECT_EQ(back.size(), expected) << header;
    }
}

TEST(ReadMenuData, ShortFileKeepsOnlyCompleteRecords) {
    TempDir dir;
    const std::string path = dir.File("menu.dat");
    const MenuItemList three = SampleItems(3);
    MenuItemList back;

    // Header claims three records; one and a half follow.
    ASSERT_TRUE(WriteFileBytes(path, Image(three).substr(0, 4 + 384 + 200)));
    EXPECT_EQ(ReadMenuData(path.c_str(), back), 1);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(RecordBytes(back[0]), RecordBytes(three[0]));

    // Empty and header-only files.
    for (const std::string& bytes : {std::string(), std::string("384"), Header("9984")}) {
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        EXPECT_EQ(ReadMenuData(path.c_str(), back), 1);
        EXPECT_TRUE(back.empty());
    }
}

TEST(ReadMenuData, MissingFileOrBadPathGivesMinusOneAndEmptyList) {
    TempDir dir;
    MenuItemList back = SampleItems(2);
    EXPECT_EQ(ReadMenuData(dir.File("menu.dat").c_str(), back), -1);
    EXPECT_TRUE(back.empty());

    back = SampleItems(2);
    EXPECT_EQ(ReadMenuData(nullptr, back), -1);
    EXPECT_TRUE(back.empty());

    std::string longPath = dir.Path() + "\\" + std::string(300, 'n');
    EXPECT_EQ(ReadMenuData(longPath.c_str(), back), -1);
}

TEST(ReadMenuData, ReaderAndWriterShareTheFile) {
    TempDir dir;
    const std::string path = dir.File("menu.dat");
    ASSERT_TRUE(WriteMenuData(path.c_str(), SampleItems(2)));

    // A writer holds the file (sharing reading only): a reader still gets in.
    {
        win32::CHandle writer(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(writer.Valid());
        MenuItemList back;
        EXPECT_EQ(ReadMenuData(path.c_str(), back), 1);
        EXPECT_EQ(back.size(), 2u);
    }
    // A reader holds the file as ReadMenuData opens it: the writer's probe and open succeed.
    {
        win32::CHandle reader(::CreateFileA(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(reader.Valid());
        EXPECT_TRUE(WriteMenuData(path.c_str(), SampleItems(1)));
    }
    EXPECT_EQ(ReadFileBytes(path).size(), 388u);
}

TEST(ReadMenuData, DamagedFilesNeverYieldRecordsThatAreNotThere) {
    TempDir dir;
    const std::string path = dir.File("menu.dat");
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    for (int round = 0; round < 300; ++round) {
        std::string bytes(next() % 12000, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(next() & 0xff);
        }
        if (round % 2 == 0 && bytes.size() >= 4) {
            // A plausible header over random records.
            const std::string header = std::to_string(next() % 10000);
            bytes.replace(0, 4, Header(header.substr(0, 4)));
        }
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        MenuItemList back;
        ASSERT_EQ(ReadMenuData(path.c_str(), back), 1) << round;
        const std::size_t available = bytes.size() > 4 ? bytes.size() - 4 : 0;
        ASSERT_LE(back.size() * 384, available) << round;
        for (std::size_t i = 0; i < back.size(); ++i) {
            ASSERT_EQ(RecordBytes(back[i]), bytes.substr(4 + i * 384, 384)) << round;
        }
    }
}

// The icon file holds each entry's pixels where the extension looks for them, serves only the
// list of paths it was made for (titles play no part), and each screen size picks its icon.
TEST(MenuIcons, AFileServesOnlyTheListItWasMadeFor) {
    MenuItemList items = SampleItems(3);
    const std::vector<MenuIconSet> icons = testing_support::SampleIcons(items.size());
    const std::string image = FormatMenuIcons(items, icons);
    const auto locate = [&image](const MenuItemList& list, int k, menuicons::Block& block) {
        return LocateMenuIcons(image.data(), image.size(), image.size(),
                               MenuIconsKey(list.data(), list.size()),
                               static_cast<std::uint32_t>(list.size()), k, block);
    };
    for (int k = 0; k < menuicons::kSizeCount; ++k) {
        menuicons::Block block{};
        ASSERT_TRUE(locate(items, k, block)) << "size " << menuicons::kSizes[k];
        std::uint32_t lastOfEntry2 = 0;
        std::memcpy(&lastOfEntry2, image.data() + block.Offset + block.Bytes - 4, 4);
        EXPECT_EQ(lastOfEntry2, testing_support::SampleIconPixel(2, k));
    }

    menuicons::Block block{};
    MenuItemList renamed = items;
    AssignField(renamed[1].MenuTitle, "Another title");
    EXPECT_TRUE(locate(renamed, 0, block));
    const MenuItemList reordered = {items[1], items[0], items[2]};
    const MenuItemList otherPath = {items[0], items[1], MakeMenuItem("Item 2", "C:\\other.txt")};
    const MenuItemList fewer(items.begin(), items.begin() + 2);
    for (const MenuItemList* stale : {&reordered, &otherPath, &fewer}) {
        EXPECT_FALSE(locate(*stale, 0, block));
    }
    EXPECT_TRUE(FormatMenuIcons(items, {icons[0], icons[1]}).empty()) << "an entry without icon";

    const std::pair<std::uint32_t, int> choices[] = {{12, 0}, {16, 0}, {19, 0}, {20, 1},
                                                     {24, 2}, {31, 2}, {32, 3}, {48, 3}};
    for (const auto& [pixels, index] : choices) {
        EXPECT_EQ(MenuIconSizeIndex(pixels), index) << pixels << " pixels";
    }
}
