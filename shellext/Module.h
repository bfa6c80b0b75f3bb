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

// The path of "menu.dat" in this library's folder. False when the library's path or the data
// file's path does not fit its 256-byte buffer.
bool MenuDataPath(char (&path)[256]);

// The calling thread's last error as an HRESULT; E_FAIL when a failing call left none.
HRESULT LastErrorResult();

// Called from DllMain.
void ModuleAttach(HMODULE module);
void ModuleDetach();

// The class factory of a class in the class table, created once and cached; answers riid.
// CLASS_E_CLASSNOTAVAILABLE for a class not in the table.
HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
