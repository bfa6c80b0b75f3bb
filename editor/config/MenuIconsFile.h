// "menu.icons" beside "menu.dat": the entries' icons, written by the editor for the shell
// extension (MenuIcons.h has its format).
#pragma once

#include "MenuIcons.h"

#include <windows.h>

#include <string>
#include <vector>

// Whether the file at path is whole and holds the icons of exactly this list (its first 26
// entries, which are the menu's).
bool MenuIconsMatch(const std::string& path, const MenuItemList& items);

// Writes the icons of the list's first 26 entries, one set each, crash-safely
// (ReplaceFileSafely); S_OK or the reason it could not.
HRESULT WriteMenuIcons(const std::string& path, const MenuItemList& items,
                       const std::vector<MenuIconSet>& icons);
