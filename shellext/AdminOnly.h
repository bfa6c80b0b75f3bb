// Who may change a file or folder, read from its security descriptor alone: machine-wide
// registration puts the library into every user's Explorer, administrators' included, so it
// is refused when anyone but the machine's administrators could replace it.
#pragma once

#include <windows.h>

// True when no one but SYSTEM, Administrators, TrustedInstaller and the descriptor's owner may
// write, append, delete children, change the permissions or take ownership - and the owner is
// one of those three or the given administrator (an owner may always change the permissions).
// administrator names an account known to be an administrator, or is null.
bool OnlyAdministratorsCanChange(PSECURITY_DESCRIPTOR descriptor, PSID administrator);
