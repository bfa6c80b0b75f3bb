// The entries' icons as the shell shows them (a target's own icon, or its document type's) at the
// sizes of "menu.icons", extracted off the user-interface thread, each target on a thread of its
// own. The main window's list and the icon file written at exit take them from here.
#pragma once

#include "MenuIcons.h"
#include "Owners.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A target whose icons are not ready this long after they were asked for is given the generic
// document icon: an unreachable network path holds the exit up by at most this much.
constexpr DWORD kIconTimeLimitMs = 2000;

// The icons of path through the shell, on the calling thread (with COM initialised): the generic
// document icon at any size the shell cannot give (a missing file, say).
MenuIconSet ExtractEntryIcons(const std::string& path);
// The generic document icon at every size, made once and kept for the life of the process.
const MenuIconSet& GenericIcons();

// An icon's pixels at side x side as "menu.icons" holds them (alpha premultiplied, top row
// first); empty when they cannot be drawn.
std::vector<std::uint32_t> IconPixels(HICON icon, int side);
// Those pixels as an icon again, for the controls that take icons; null when they are not
// side x side.
win32::CIcon IconFromPixels(const std::vector<std::uint32_t>& pixels, int side);

class CEntryIcons {
public:
    // Starts extracting the icons of path on a thread of its own, unless they are ready or under
    // way.
    void Request(const std::string& path);
    // The icons of path when they are ready; null while they are not.
    const MenuIconSet* Ready(const std::string& path) const;
    // The icons of the menu's entries (the first 26): each waited for until kIconTimeLimitMs after
    // it was asked for, and the generic icon for any that are still not ready.
    std::vector<MenuIconSet> Collect(const MenuItemList& items);
    // Each time icons become ready, message is posted to window (none while window is null).
    static void NotifyWindow(HWND window, UINT message);

private:
    struct Job;
    std::map<std::string, std::shared_ptr<Job>> m_jobs;
};

// The editor's one set of icons.
CEntryIcons& EntryIcons();
