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
// The folder, a backslash and name, as long as it fits a 256-byte path buffer.
bool AppFilePath(const char* name, std::string& path);

// 1 when the document was read, 0 when no usable document exists (missing, unreadable, not
// well-formed, or a path that does not fit), -1 when it is invalid (no name, an App attribute
// of another value, or a failure inside the XML DOM).
int LoadConfig(const char* name);

// Writes g_appConfig as a new document. False when no name is given, the path does not fit or
// the XML DOM failed; error then receives the reason.
bool SaveConfig(const char* name, HRESULT* error = nullptr);
