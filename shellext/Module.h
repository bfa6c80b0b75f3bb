// State of the loaded Torlin.dll: its module handle, the lock count that decides when it may be
// unloaded, and the class table.
#pragma once

#include <windows.h>

extern const CLSID CLSID_QarvoContextMenu;
extern const CLSID CLSID_QarvoExplorerCommand;

HMODULE ModuleHandle();
void ModuleLock();
void ModuleUnlock();
LONG ModuleLockCount();

// The path of the file name ("menu.dat", say) in this library's folder. False when the library's
// path or the file's path does not fit its 256-byte buffer.
bool ModuleFilePath(const char* name, char (&path)[256]);

// The calling thread's last error as an HRESULT; E_FAIL when a failing call left none.
HRESULT LastErrorResult();

// Called from DllMain; processEnding when the process is ending rather than this library
// being unloaded: then nothing needs freeing.
void ModuleAttach(HMODULE module);
void ModuleDetach(bool processEnding);

// The class factory of a class in the class table, created once and cached; answers riid.
// CLASS_E_CLASSNOTAVAILABLE for a class not in the table.
HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
