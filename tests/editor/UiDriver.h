// Drives windows from the outside, as a user would: finds them, types into them, presses
// their buttons. Works across threads and processes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ui {

std::string ClassName(HWND hwnd);
std::string Text(HWND hwnd);
std::string ItemText(HWND dialog, int id);
// The centre of a window, in screen coordinates.
POINT Centre(HWND hwnd);

// A visible top-level window that matches, waited for up to timeoutMs; null when none came.
HWND WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs = 20000);
HWND WaitForWindow(const char* className, const char* title, DWORD timeoutMs = 20000);
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000);

// What a screen reader learns of a window's client area (AccessibleObjectFromWindow, this
// thread): name, role, state and value.
struct Accessible {
    bool found = false;
    std::string name;
    long role = 0;
    long state = 0;
    std::string value;
};
Accessible ReadAccessible(HWND hwnd);
// The window's accessible object carries out its default action.
bool DoDefaultAction(HWND hwnd);

// The common file dialog: types path as the file name and presses Open.
HWND WaitForFileDialog(DWORD timeoutMs = 20000);
bool ChooseFile(HWND fileDialog, const std::wstring& path);
// Opens folder in the dialog, then chooses the names there, all at once as the user does when
// selecting several ("a.txt" "b.txt").
bool ChooseFiles(HWND fileDialog, const std::wstring& folder,
                 const std::vector<std::wstring>& names);

// A key pressed and released in a window (with Alt held: the system key messages).
void PostKey(HWND hwnd, WPARAM vk, bool alt = false);
// Text typed into a window, character by character.
void Type(HWND hwnd, const std::wstring& text);

// Files as Explorer drops them (DROPFILES, in UTF-16), for WM_DROPFILES in this process.
HGLOBAL MakeDropFiles(const std::vector<std::wstring>& paths);

// The editor's own message box: its text, then Enter.
HWND WaitForMessageBox(DWORD timeoutMs = 20000);

} // namespace ui
