// The editor's settings and entries, kept in "Config.xml" in the application folder.
#pragma once

#include "MenuItem.h"

#include <windows.h>

#include <string>

struct AppConfig {
    int SkinType = 2;
    int Col0Width = 150;
    MenuItemList Items;
};

// The editor's one configuration, constructed with its defaults before start-up.
extern AppConfig g_appConfig;
// Set by every add and delete in the main window; decides whether "menu.dat" is written at exit.
extern bool g_bListModified;

// The folder of the editor's program file, without a trailing backslash; "Config.xml",
// "menu.dat" and the skins live there. False (and unchanged) for a folder over 255 characters.
bool SetAppFolder(const std::string& folder);
const std::string& AppFolder();
// The folder, a backslash and name, as long as it fits a 256-byte path buffer; false while no
// folder is known.
bool AppFilePath(const char* name, std::string& path);

// What a load noticed besides its result.
struct ConfigLoadNotes {
    // A title or path held characters without an exact counterpart in the ANSI code page: the
    // list shows them replaced, and saving would not give the file back as it was.
    bool inexactText = false;
};

// 1 when the document was read, 0 when no usable document exists (missing, unreadable, not
// well-formed, larger than xmldom::kMaxXmlFileBytes, holding a DTD, or a path that does not fit),
// -1 when it is invalid (no name, an App attribute of another value, or a failure inside the XML
// DOM).
int LoadConfig(const char* name, ConfigLoadNotes* notes = nullptr);

// Writes g_appConfig as a new document: into a file beside the old one, read back and compared,
// then moved over the old one in one step. False when no name is given, the path does not fit,
// the document would be larger than a load accepts, the XML DOM failed, or the new file could not
// be written, read back or put in place; the old file is then untouched and error receives the
// reason.
bool SaveConfig(const char* name, HRESULT* error = nullptr);
