// Runs a parsed registry script against the registry, in register or unregister mode.
#pragma once

#include "RegScript.h"

#include <windows.h>

enum class RegMode { Register, Unregister };

// The predefined key that a script's root names.
HKEY RootKey(RegRoot root);

// Runs the statements below root. A failed registration is undone by an unregister run and
// its first failure returned.
HRESULT ApplyRegScript(const RegScript& script, HKEY root, RegMode mode);
