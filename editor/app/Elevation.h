// The editor asks for administrator rights only when its folder needs them (a per-user
// installation never does, a machine-wide one in Program Files does): whether the folder takes
// its files, and the start with those rights. The decision itself is in AppFolder.h.
#pragma once

#include "AppFolder.h"

#include <windows.h>

#include <string>

// Whether the running user can create and delete a file in folder, tried with a real temporary
// file (no permission is read: the system alone knows what applies).
bool FolderIsWritable(const std::string& folder);

// Starts program again in folder with administrator rights (the system asks the user), marked
// with kRestartedElevated. ERROR_SUCCESS once it runs; ERROR_CANCELLED when the user said no.
DWORD StartElevated(const std::wstring& program, const std::wstring& folder);
