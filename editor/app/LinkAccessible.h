// What screen readers learn of a link: the system's own accessible object of the link's
// window (name, place, focus), told to be a link: its role, the linked state, its target as
// value, and following it as default action.
#pragma once

#include <windows.h>

#include <string>

// The answer to WM_GETOBJECT for the client area of link; 0 leaves the system's plain object.
// The default action is the key that opens the link (Enter), sent to its window.
LRESULT LinkAccessibleObject(HWND link, WPARAM wp, const std::string& target);
