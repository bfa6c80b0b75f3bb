// The application folder as its program file's path gives it, and whether the editor asks for
// administrator rights to write it. Windows-free, so that it is also fuzzed natively.
#pragma once

#include <string>

// A drive's folder ("C:", "C:\Tools") or a share's ("\\server\share"): never one that depends on
// the current drive or folder.
bool IsAbsoluteFolder(const std::wstring& folder);

// The folder of a program file from its full path as the system reports it: everything before
// the last backslash, with a "\\?\" or "\\?\UNC\" prefix given back its ordinary form. Empty when
// that is no absolute folder.
std::wstring ModuleFolder(const std::wstring& modulePath);

// The argument an editor started with administrator rights by another one is given: it never
// starts itself again, whatever its folder allows.
constexpr wchar_t kRestartedElevated[] = L"/elevated";

// Whether the editor starts itself again with administrator rights and ends: only when its
// folder cannot take its files and this start is neither elevated nor such a restart. Every
// other start runs, and a save that then fails is reported at exit.
bool ShouldRestartElevated(bool folderWritable, bool elevatedOrRestarted);

// Whether a command line, after the program's own (possibly quoted) name, holds the argument
// kRestartedElevated.
bool IsRestartedElevated(const std::wstring& commandLine);
