// Runs a parsed registry script against the registry, in register or unregister mode.
#pragma once

#include "RegScript.h"
#include "Owners.h"

#include <windows.h>

#include <string>
#include <vector>

// UnregisterAndPrune also removes the NoRemove keys that are left empty: below a user's own
// classes they were made for this registration, and no other program expects them there.
enum class RegMode { Register, Unregister, UnregisterAndPrune };

// What a registration run changed, so that a failure puts back exactly what was there before:
// keys it created go again, values it set get their earlier data (or go, when there was none).
// A log that is not committed is undone when it goes, however the run ends.
class RegUndoLog {
public:
    RegUndoLog() = default;
    ~RegUndoLog() { Undo(); }
    RegUndoLog(const RegUndoLog&) = delete;
    RegUndoLog& operator=(const RegUndoLog&) = delete;

    // Sets the REG_SZ value name of key (the default value for null), noting what it held.
    LONG SetString(HKEY key, const char* name, const std::string& data);
    // Creates parent\name (non-volatile, for reading and writing), noting it when it is new.
    LONG CreateKey(HKEY parent, const char* name, win32::CKey& key);
    // Puts back everything noted, the last change first.
    void Undo() noexcept;
    // Keeps every change: the run succeeded.
    void Commit() noexcept;

private:
    struct Change; // one heap block each, linked from the last to the first
    // Notes a change of key (a handle of the log's own, closed with the note) and name, with
    // room for size bytes of earlier data; null, and key closed, when out of memory.
    Change* Note(HKEY key, const char* name, DWORD size) noexcept;
    void Forget() noexcept;

    Change* m_last = nullptr;
};

// The predefined key that a script's root names.
HKEY RootKey(RegRoot root);

// Runs the statements below root. A registration notes its changes in log (one of its own when
// none is given, committed on success) and undoes it on failure, with whatever the caller noted
// there before. ForceRemove keys are cleared of what the script does not name only once the
// run has succeeded, so a failure never removes an earlier registration.
HRESULT ApplyRegScript(const RegScript& script, HKEY root, RegMode mode, RegUndoLog* log = nullptr);
