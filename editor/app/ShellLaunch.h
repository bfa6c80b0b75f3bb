// What the editor opens for the user (help, the About links) without lending it the editor's
// administrator rights.
#pragma once

#include <string>

enum class OpenResult {
    Opened,
    Failed,
    // No way to open it as the signed-in user: the desktop's shell cannot be reached and this
    // process is elevated. The caller decides (never an elevated launch of what it cannot vouch
    // for).
    NoUserRoute,
};

// Opens file (a program, document, web or mail address) with parameters as the desktop's
// signed-in user, through the desktop shell's own ShellExecute; where the desktop's shell cannot
// be reached, directly, but only from a process without an elevated token.
OpenResult OpenAsDesktopUser(const std::wstring& file, const std::wstring& parameters = L"");

// Whether this process runs elevated (also when that cannot be told).
bool IsProcessElevated();

// Opens the help file at path in the system's help viewer, %SystemRoot%\hh.exe by its full path;
// false when the viewer could not be started.
bool OpenHelpFile(const std::string& path);
