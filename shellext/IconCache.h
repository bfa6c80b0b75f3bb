// The entries' icons in the classic submenu. The editor prepares them in "menu.icons" beside
// "menu.dat"; this library makes bitmaps of the size that suits the menu from that file once per
// process and hands the same bitmaps to every menu while the list's paths and that size stay the
// same. No entry's path is ever opened or looked up here.
#pragma once

#include "MenuItem.h"

#include <windows.h>

#include <cstddef>

// One list's bitmaps at one size: held by the cache while it is the current one and by every
// handler whose menu shows them, and freed by the last of these to let go.
struct CIconSet;

// The set for a menu of the whole list (at most 26 entries), with a reference for the caller;
// null when there are no usable icons for it, and the menu is then plain.
CIconSet* AcquireMenuIcons(const MenuItemList& items);
// The bitmap of entry i, which must be below the list's size.
HBITMAP MenuIconBitmap(const CIconSet* set, std::size_t i);
// Lets go of a reference from AcquireMenuIcons; null is allowed.
void ReleaseMenuIcons(CIconSet* set);

// Called from ModuleAttach and ModuleDetach: no handler holds a set once the library unloads.
void IconCacheAttach();
void IconCacheDetach(bool processEnding);
