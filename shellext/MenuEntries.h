// What the classic handler and Windows 11's command share: one reading of "menu.dat" and one
// launch of an entry.
#pragma once

#include "MenuItem.h"

#include <windows.h>

// Reads "menu.dat" from this library's folder into items (at most 26 entries, in file order).
// E_INVALIDARG when the path does not fit (the list is left as it was), the file cannot be read
// or holds no entry (the list is then empty). May throw std::bad_alloc: call it inside a
// ComBoundary.
HRESULT LoadMenuEntries(MenuItemList& items);

// Opens the entry's path with the shell's "open" verb, shown, over owner (may be null), with
// the SEE_MASK_ flags given (no UI, no asynchronous launch). A failed launch is the system's
// error as an HRESULT.
HRESULT LaunchEntry(const MenuItem& item, HWND owner, ULONG seeMask);

// On Windows 11 with the sparse package registered for this user, Explorer shows the packaged
// command in both menus, "Show more options" included: the classic handler then adds nothing,
// so the submenu never appears twice.
bool PackagedCommandServesTheMenu();
