#include "AppConfig.h"
#include "QarvoIdentity.h"
#include "SafeFile.h"
#include "XmlDom.h"
#include "XmlFile.h"

#include <cstdio>
#include <cstdlib>

AppConfig g_appConfig;
bool g_bListModified = false;

namespace {

std::string s_appFolder;

constexpr char kAuthor[] = QARVO_COMPANY_NAME;
constexpr char kWebsite[] = QARVO_WEBSITE;
constexpr char kAppName[] = QARVO_PRODUCT_NAME;
constexpr char kVersion[] = QARVO_VERSION_COMMAS;
constexpr std::size_t kMaxPath = 255;

std::string FormatInt(long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld", value);
    return text;
}

enum class Section { None, Setting, Menu };

void ReadSetting(const xmldom::Node& child, AppConfig& config) {
    const std::string name = child.Name();
    if (name == "SkinType") {
        config.SkinType = std::atoi(child.Text().c_str());
    } else if (name == "Col0Width") {
        config.Col0Width = std::atoi(child.Text().c_str());
    }
}

// Any element with both attributes is an entry, whatever its name. Values are read as stored:
// a title of spaces stays spaces.
void ReadItem(const xmldom::Node& child, AppConfig& config, ConfigLoadNotes& notes) {
    MenuItem item{};
    bool hasTitle = false, hasPath = false;
    const xmldom::AttributeMap attributes = child.Attributes();
    const long count = attributes.Length();
    for (long i = 0; i < count && !(hasTitle && hasPath); ++i) {
        const xmldom::Node attribute = attributes.Item(i);
        const std::string name = attribute.Name();
        const bool title = name == "MenuTitle", path = name == "FilePath";
        if (!title && !path) {
            continue;
        }
        bool exact = true;
        const std::string value = attribute.Value(&exact);
        notes.inexactText |= !exact;
        if (title) {
            AssignField(item.MenuTitle, value);
            hasTitle = true;
        } else {
            AssignField(item.FilePath, value);
            hasPath = true;
        }
    }
    if (hasTitle && hasPath) {
        config.Items.push_back(item);
    }
}

int ReadDocument(const xmldom::Document& doc, AppConfig& config, ConfigLoadNotes& notes) {
    const xmldom::Node root = doc.DocumentElement();
    if (!root) {
        return 0;
    }
    const xmldom::AttributeMap attributes = root.Attributes();
    const long count = attributes.Length();
    for (long i = 0; i < count; ++i) {
        const xmldom::Node attribute = attributes.Item(i);
        if (attribute.Name() == "App" && attribute.Value() != kAppName) {
            return -1;
        }
    }

    // An element that is neither Setting nor Menu keeps the kind of the section before it.
    // Comments, text and processing instructions are skipped.
    Section section = Section::None;
    for (xmldom::Node child = root.FirstChild(); child; child = child.NextSibling()) {
        if (!child.IsElement()) {
            continue;
        }
        const std::string name = child.Name();
        if (name == "Setting") {
            section = Section::Setting;
        } else if (name == "Menu") {
            section = Section::Menu;
        }
        if (section == Section::None) {
            continue;
        }
        for (xmldom::Node entry = child.FirstChild(); entry; entry = entry.NextSibling()) {
            if (!entry.IsElement()) {
                continue;
            }
            if (section == Section::Setting) {
                ReadSetting(entry, config);
            } else {
                ReadItem(entry, config, notes);
            }
        }
    }
    return 1;
}

} // namespace

bool SetAppFolder(const std::string& folder) {
    if (folder.size() > kMaxPath) {
        return false;
    }
    s_appFolder = folder;
    return true;
}

const std::string& AppFolder() {
    return s_appFolder;
}

bool AppFilePath(const char* name, std::string& path) {
    if (s_appFolder.empty()) {
        return false; // never resolve against the current drive's root
    }
    std::string full = s_appFolder + "\\" + name;
    if (full.size() > kMaxPath) {
        return false;
    }
    path = std::move(full);
    return true;
}

int LoadConfig(const char* name, ConfigLoadNotes* notes) {
    ConfigLoadNotes ignored;
    ConfigLoadNotes& found = notes != nullptr ? *notes : ignored;
    found = ConfigLoadNotes{};
    if (name == nullptr || *name == '\0') {
        return -1;
    }
    std::string path;
    if (!AppFilePath(name, path)) {
        return 0;
    }
    try {
        const xmldom::Document doc = xmldom::Document::Create();
        if (!doc.Load(path)) {
            doc.ParseErrorCode();
            return 0;
        }
        return ReadDocument(doc, g_appConfig, found);
    } catch (const std::exception&) {
        // Whatever was read before the failure stays.
        return -1;
    }
}

namespace {

bool SameConfig(const AppConfig& a, const AppConfig& b) {
    if (a.SkinType != b.SkinType || a.Col0Width != b.Col0Width ||
        a.Items.size() != b.Items.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.Items.size(); ++i) {
        if (FieldText(a.Items[i].MenuTitle) != FieldText(b.Items[i].MenuTitle) ||
            FieldText(a.Items[i].FilePath) != FieldText(b.Items[i].FilePath)) {
            return false;
        }
    }
    return true;
}

// The document is checked by reading it back with the same DOM that will load it next time.
HRESULT ReplaceWithVerifiedCopy(const std::string& path, const std::string& bytes,
                                const AppConfig& expected) {
    return ReplaceFileSafely(path, bytes, [&expected](const std::string& written) {
        AppConfig read;
        ConfigLoadNotes notes;
        const xmldom::Document check = xmldom::Document::Create();
        return check.Load(written) && ReadDocument(check, read, notes) == 1 &&
               SameConfig(read, expected);
    });
}

} // namespace

bool SaveConfig(const char* name, HRESULT* error) {
    HRESULT ignored;
    HRESULT& reason = error != nullptr ? *error : ignored;
    reason = S_OK;
    if (name == nullptr || *name == '\0') {
        reason = E_INVALIDARG;
        return false;
    }
    std::string path;
    if (!AppFilePath(name, path)) {
        reason = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    try {
        const xmldom::Document doc = xmldom::Document::Create();
        const xmldom::Node config = doc.CreateElement("Config");
        config.SetAttribute("Author", kAuthor);
        config.SetAttribute("Website", kWebsite);
        config.SetAttribute("App", kAppName);
        config.SetAttribute("Version", kVersion);
        doc.AppendChild(config);

        const xmldom::Node setting = doc.CreateElement("Setting");
        config.AppendChild(setting);
        const xmldom::Node skinType = doc.CreateElement("SkinType");
        skinType.SetText(FormatInt(g_appConfig.SkinType));
        setting.AppendChild(skinType);
        const xmldom::Node col0Width = doc.CreateElement("Col0Width");
        col0Width.SetText(FormatInt(g_appConfig.Col0Width));
        setting.AppendChild(col0Width);

        const xmldom::Node menu = doc.CreateElement("Menu");
        menu.SetAttribute("Count", FormatInt(static_cast<long long>(g_appConfig.Items.size())));
        config.AppendChild(menu);
        for (const MenuItem& entry : g_appConfig.Items) {
            const xmldom::Node item = doc.CreateElement("Item");
            item.SetAttribute("MenuTitle", std::string(FieldText(entry.MenuTitle)));
            item.SetAttribute("FilePath", std::string(FieldText(entry.FilePath)));
            menu.AppendChild(item);
        }

        const std::string bytes = doc.SaveToBytes();
        // A file that the next start would refuse unread is never written.
        if (bytes.size() > xmldom::kMaxXmlFileBytes) {
            reason = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
            return false;
        }
        reason = ReplaceWithVerifiedCopy(path, bytes, g_appConfig);
        return SUCCEEDED(reason);
    } catch (const xmldom::XmlError& e) {
        reason = e.Result();
        return false;
    } catch (const std::exception&) {
        reason = E_OUTOFMEMORY;
        return false;
    }
}
