// Config.xml through the real MSXML 3.0 of the platform.
#include <winsock2.h> // before windows.h

#include "AppConfig.h"
#include "QarvoIdentity.h"
#include "TestSupport.h"
#include "XmlDom.h"
#include "XmlFile.h"

#include <gtest/gtest.h>

#include <string>

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::CoInitialize(nullptr);
        g_appConfig = AppConfig{};
        ASSERT_TRUE(SetAppFolder(dir.Path()));
    }
    void TearDown() override { ::CoUninitialize(); }

    int LoadText(const std::string& xml) {
        EXPECT_TRUE(WriteFileBytes(dir.File("Config.xml"), xml));
        return LoadConfig("Config.xml");
    }

    static void ExpectDefaults() {
        EXPECT_EQ(g_appConfig.SkinType, 2);
        EXPECT_EQ(g_appConfig.Col0Width, 150);
        EXPECT_TRUE(g_appConfig.Items.empty());
    }

    static std::string Entry(std::size_t i) {
        const MenuItem& item = g_appConfig.Items.at(i);
        return std::string(FieldText(item.MenuTitle)) + "|" + std::string(FieldText(item.FilePath));
    }

    TempDir dir;
};

// The tree as the platform DOM reads it: elements with attributes in order, and text.
std::string Describe(const xmldom::Node& node) {
    std::string out = node.Name();
    const xmldom::AttributeMap attributes = node.Attributes();
    for (long i = 0; i < attributes.Length(); ++i) {
        const xmldom::Node a = attributes.Item(i);
        out += (i == 0 ? "[" : ",") + a.Name() + "=" + a.Text();
        if (i + 1 == attributes.Length()) {
            out += "]";
        }
    }
    std::string children;
    for (xmldom::Node child = node.FirstChild(); child; child = child.NextSibling()) {
        children += child.IsElement() ? "(" + Describe(child) + ")" : "{" + child.Text() + "}";
    }
    return out + children;
}

std::string DescribeFile(const std::string& path) {
    const xmldom::Document doc = xmldom::Document::Create();
    if (!doc.Load(path)) {
        return "<not loaded>";
    }
    return Describe(doc.DocumentElement());
}

} // namespace

TEST_F(ConfigTest, MissingOrBrokenDocumentKeepsDefaults) {
    EXPECT_EQ(LoadConfig("Config.xml"), 0);
    ExpectDefaults();
    EXPECT_EQ(LoadText("<Config><Setting><SkinType>3</SkinType></Setting>"), 0);
    ExpectDefaults();
    EXPECT_EQ(LoadText(""), 0);
    EXPECT_EQ(LoadConfig(nullptr), -1);
    EXPECT_EQ(LoadConfig(""), -1);
}

TEST_F(ConfigTest, RootOnlyAndAppAttribute) {
    EXPECT_EQ(LoadText("<Config/>"), 1);
    ExpectDefaults();
    EXPECT_EQ(LoadText("<Anything Author='x' App='Qarvo Context Menu'/>"), 1);
    EXPECT_EQ(LoadText("<Config App='qarvo context menu'><Setting><SkinType>4</SkinType>"
                       "</Setting></Config>"),
              -1);
    ExpectDefaults();
}

TEST_F(ConfigTest, SettingsUseAtoiAndTheLastOccurrenceWins) {
    EXPECT_EQ(LoadText("<Config><Setting><SkinType> 3</SkinType><Col0Width>99px</Col0Width>"
                       "</Setting></Config>"),
              1);
    EXPECT_EQ(g_appConfig.SkinType, 3);
    EXPECT_EQ(g_appConfig.Col0Width, 99);

    g_appConfig = AppConfig{};
    EXPECT_EQ(LoadText("<Config><Setting><SkinType>3x</SkinType></Setting>"
                       "<Setting><SkinType>abc</SkinType><Col0Width>-7</Col0Width></Setting>"
                       "</Config>"),
              1);
    EXPECT_EQ(g_appConfig.SkinType, 0);
    EXPECT_EQ(g_appConfig.Col0Width, -7);
}

TEST_F(ConfigTest, EntriesComeFromTheItemsNotFromCount) {
    EXPECT_EQ(LoadText("<Config><Menu Count='5'>"
                       "<Item MenuTitle='a' FilePath='C:\\a.txt'/>"
                       "<Item FilePath='C:\\b.txt' MenuTitle='b'/>"
                       "<Item MenuTitle='only a title'/>"
                       "<Other MenuTitle='c' FilePath='C:\\c.txt'/>"
                       "<!-- a comment --></Menu>"
                       "<Menu Count='0'><Item MenuTitle='d' FilePath='C:\\d.txt'/></Menu>"
                       "</Config>"),
              1);
    ASSERT_EQ(g_appConfig.Items.size(), 4u);
    EXPECT_EQ(Entry(0), "a|C:\\a.txt");
    EXPECT_EQ(Entry(1), "b|C:\\b.txt");
    EXPECT_EQ(Entry(2), "c|C:\\c.txt");
    EXPECT_EQ(Entry(3), "d|C:\\d.txt");
}

TEST_F(ConfigTest, UnknownRootChildKeepsThePrecedingSection) {
    EXPECT_EQ(LoadText("<Config><Ignored><Item MenuTitle='x' FilePath='y'/></Ignored>"
                       "<Menu/><Extra><Item MenuTitle='e' FilePath='C:\\e'/></Extra>"
                       "<Setting/><More><SkinType>4</SkinType></More></Config>"),
              1);
    ASSERT_EQ(g_appConfig.Items.size(), 1u);
    EXPECT_EQ(Entry(0), "e|C:\\e");
    EXPECT_EQ(g_appConfig.SkinType, 4);
}

TEST_F(ConfigTest, TextsThatDoNotFitLeaveTheirFieldEmpty) {
    const std::string title128(128, 't'), title127(127, 't'), path256(256, 'p');
    EXPECT_EQ(LoadText("<Config><Menu><Item MenuTitle='" + title128 +
                       "' FilePath='C:\\x'/>"
                       "<Item MenuTitle='" +
                       title127 + "' FilePath='" + path256 +
                       "'/>"
                       "</Menu></Config>"),
              1);
    ASSERT_EQ(g_appConfig.Items.size(), 2u);
    EXPECT_EQ(Entry(0), "|C:\\x");
    EXPECT_EQ(Entry(1), title127 + "|");
}

TEST_F(ConfigTest, SaveWritesTheExactTree) {
    g_appConfig.SkinType = 4;
    g_appConfig.Col0Width = 201;
    g_appConfig.Items = {MakeMenuItem("notes.txt", "C:\\Tools\\notes.txt"),
                         MakeMenuItem("it's <&> \"odd\"", "C:\\a b\\c.exe")};
    ASSERT_TRUE(SaveConfig("Config.xml"));
    EXPECT_EQ(DescribeFile(dir.File("Config.xml")),
              "Config[Author=" QARVO_COMPANY_NAME ",Website=" QARVO_WEBSITE
              ",App=" QARVO_PRODUCT_NAME ",Version=" QARVO_VERSION_COMMAS "]"
              "(Setting(SkinType{4})(Col0Width{201}))"
              "(Menu[Count=2](Item[MenuTitle=notes.txt,FilePath=C:\\Tools\\notes.txt])"
              "(Item[MenuTitle=it's <&> \"odd\",FilePath=C:\\a b\\c.exe]))");

    g_appConfig = AppConfig{};
    ASSERT_TRUE(SaveConfig("Config.xml"));
    EXPECT_EQ(DescribeFile(dir.File("Config.xml")),
              "Config[Author=" QARVO_COMPANY_NAME ",Website=" QARVO_WEBSITE
              ",App=" QARVO_PRODUCT_NAME ",Version=" QARVO_VERSION_COMMAS "]"
              "(Setting(SkinType{2})(Col0Width{150}))(Menu[Count=0])");
}

TEST_F(ConfigTest, RoundTripKeepsTextAsItWasOrSaysItCannot) {
    // Values are read as stored: white space is not normalised away.
    g_appConfig.Items = {MakeMenuItem("   ", "C:\\a"), MakeMenuItem(" two  spaces ", "C:\\b")};
    ASSERT_TRUE(SaveConfig("Config.xml"));
    g_appConfig = AppConfig{};
    ConfigLoadNotes notes;
    ASSERT_EQ(LoadConfig("Config.xml", &notes), 1);
    ASSERT_EQ(g_appConfig.Items.size(), 2u);
    EXPECT_EQ(Entry(0), "   |C:\\a");
    EXPECT_EQ(Entry(1), " two  spaces |C:\\b");
    EXPECT_FALSE(notes.inexactText);

    // Text without a counterpart in the code page is loaded, but the load says so.
    g_appConfig = AppConfig{};
    ASSERT_EQ(LoadText("<Config><Menu><Item MenuTitle=\"\xE6\x97\xA5\xE6\x9C\xAC\" "
                       "FilePath=\"C:\\x\"/></Menu></Config>"),
              1);
    ASSERT_EQ(LoadConfig("Config.xml", &notes), 1);
    EXPECT_TRUE(notes.inexactText);

    if (::GetACP() != 1252) {
        GTEST_SKIP() << "the rest needs the Western code page, this system uses " << ::GetACP();
    }
    const std::string title = "Caf\xE9", path = "C:\\\xDCn\xEF"
                                                "code\\r\xE9sum\xE9.txt";
    g_appConfig = AppConfig{};
    g_appConfig.Items = {MakeMenuItem(title, path)};
    g_appConfig.SkinType = 1;
    ASSERT_TRUE(SaveConfig("Config.xml"));

    g_appConfig = AppConfig{};
    ASSERT_EQ(LoadConfig("Config.xml", &notes), 1);
    ASSERT_EQ(g_appConfig.Items.size(), 1u);
    EXPECT_EQ(std::string(FieldText(g_appConfig.Items[0].MenuTitle)), title);
    EXPECT_EQ(std::string(FieldText(g_appConfig.Items[0].FilePath)), path);
    EXPECT_EQ(g_appConfig.SkinType, 1);
    EXPECT_FALSE(notes.inexactText);
}

TEST_F(ConfigTest, FailedSaveReportsFalseAndLeavesTheOldFileAlone) {
    const std::string old = "<Config App=\"Qarvo Context Menu\"><Menu><Item MenuTitle=\"a\" "
                            "FilePath=\"C:\\a\"/></Menu></Config>";
    ASSERT_TRUE(WriteFileBytes(dir.File("Config.xml"), old));
    g_appConfig.Items = {MakeMenuItem("b", "C:\\b")};
    // The new copy cannot be written beside the old one: the old file stays whole.
    ASSERT_TRUE(::CreateDirectoryA(dir.File("Config.xml.new").c_str(), nullptr));
    HRESULT reason = S_OK;
    EXPECT_FALSE(SaveConfig("Config.xml", &reason));
    EXPECT_TRUE(FAILED(reason));
    EXPECT_EQ(ReadFileBytes(dir.File("Config.xml")), old);
    ASSERT_TRUE(::RemoveDirectoryA(dir.File("Config.xml.new").c_str()));
    // Written, read back and put in place, with nothing left beside it.
    ASSERT_TRUE(SaveConfig("Config.xml"));
    EXPECT_NE(ReadFileBytes(dir.File("Config.xml")).find("MenuTitle=\"b\""), std::string::npos);
    EXPECT_FALSE(FileExists(dir.File("Config.xml.new")));
    // A list whose document a load would refuse as too large is not written either.
    g_appConfig.Items.assign(3000,
                             MakeMenuItem(std::string(100, 't'), "C:\\" + std::string(250, 'p')));
    EXPECT_FALSE(SaveConfig("Config.xml", &reason));
    EXPECT_EQ(reason, HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
    EXPECT_NE(ReadFileBytes(dir.File("Config.xml")).find("MenuTitle=\"b\""), std::string::npos);
    g_appConfig.Items = {MakeMenuItem("b", "C:\\b")};

    // A folder in the way of the file itself: refused, and nothing is left behind.
    ASSERT_TRUE(::DeleteFileA(dir.File("Config.xml").c_str()));
    ASSERT_TRUE(::CreateDirectoryA(dir.File("Config.xml").c_str(), nullptr));
    EXPECT_FALSE(SaveConfig("Config.xml"));
    EXPECT_FALSE(SaveConfig(nullptr));
    EXPECT_FALSE(SaveConfig(""));
    EXPECT_FALSE(FileExists(dir.File("Config.xml\\Config.xml")));
    EXPECT_FALSE(FileExists(dir.File("Config.xml.new")));

    // A folder whose "\Config.xml" would not fit the 256-byte buffer: refused, not truncated.
    std::string folder = dir.Path() + "\\" + std::string(246 - dir.Path().size() - 1, 'f');
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(SetAppFolder(folder));
    EXPECT_FALSE(SaveConfig("Config.xml"));
    EXPECT_EQ(LoadConfig("Config.xml"), 0);
    EXPECT_FALSE(SetAppFolder(std::string(256, 'x')));
}

TEST_F(ConfigTest, HostileOrOversizedFilesAreRefusedAndReachNoNetwork) {
    // A web server on this machine that no document may call on.
    WSADATA wsa;
    ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    const SOCKET server = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    u_long nonBlocking = 1;
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(server, 4), 0);
    ASSERT_EQ(::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ASSERT_EQ(::ioctlsocket(server, FIONBIO, &nonBlocking), 0);
    const std::string web = "http://127.0.0.1:" + std::to_string(::ntohs(address.sin_port));

    const auto item = [](const char* title) {
        return std::string("<Menu><Item MenuTitle=\"") + title +
               "\" FilePath=\"C:\\f\"/></Menu></Config>";
    };
    // Nine levels of ten references each: a billion copies of "lol" if the parser expanded them.
    std::string laughs = "<!DOCTYPE Config [<!ENTITY t0 \"lol\">";
    for (int level = 1; level <= 9; ++level) {
        std::string references;
        for (int i = 0; i < 10; ++i) {
            references += "&t" + std::to_string(level - 1) + ";";
        }
        laughs += "<!ENTITY t" + std::to_string(level) + " \"" + references + "\">";
    }
    laughs += "<!ENTITY t \"&t9;\">]><Config>" + item("&t;");
    const std::string hostile[] = {
        "<!DOCTYPE Config [<!ENTITY t \"title\">]><Config>" + item("&t;"),
        "<!DOCTYPE Config SYSTEM \"" + web + "/config.dtd\"><Config>" + item("a"),
        "<!DOCTYPE Config [<!ENTITY t SYSTEM \"" + web + "/t.xml\">]><Config>" + item("&t;"),
        "<!DOCTYPE Config [<!ENTITY t SYSTEM \"\\\\127.0.0.1\\share\\t.xml\">]><Config>" +
            item("&t;"),
        laughs,
    };
    for (const std::string& xml : hostile) {
        SCOPED_TRACE(xml);
        EXPECT_EQ(LoadText(xml), 0);
        ExpectDefaults();
    }
    EXPECT_EQ(::accept(server, nullptr, nullptr), INVALID_SOCKET) << "no document called out";
    ::closesocket(server);
    ::WSACleanup();

    // Up to the limit a file is read; one byte more and it is refused unread.
    const std::string head = "<Config><Menu><Item MenuTitle=\"a\" FilePath=\"C:\\a\"/></Menu><!--";
    const std::string tail = "--></Config>";
    std::string xml =
        head + std::string(xmldom::kMaxXmlFileBytes - head.size() - tail.size(), 'x') + tail;
    EXPECT_EQ(LoadText(xml), 1);
    g_appConfig = AppConfig{};
    EXPECT_EQ(LoadText(xml.insert(head.size(), "x")), 0);
    ExpectDefaults();
}

TEST_F(ConfigTest, LoadKeepsOnlyElementsAndSkipsOtherNodes) {
    EXPECT_EQ(LoadText("<?xml version='1.0'?>\n<!-- saved by hand -->\n<Config>\n  text\n"
                       "  <?pi data?>\n  <Setting>\n    <!-- c -->\n    <SkinType>1</SkinType>\n"
                       "  </Setting>\n</Config>\n"),
              1);
    EXPECT_EQ(g_appConfig.SkinType, 1);
}
