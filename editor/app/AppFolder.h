// The application folder as its program file's path gives it. Windows-free, so that it is also
// fuzzed natively.
#pragma once

#include <string>

// A drive's folder ("C:", "C:\Tools") or a share's ("\\server\share"): never one that depends on
// the current drive or folder.
bool IsAbsoluteFolder(const std::wstring& folder);

// The folder of a program file from its full path as the system reports it: everything before
// the last backslash, with a "\\?\" or "\\?\UNC\" prefix given back its ordinary form. Empty when
// that is no absolute folder.
std::wstring ModuleFolder(const std::wstring& modulePath);
