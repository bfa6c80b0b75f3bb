// State of the loaded Torlin.dll: its module handle, the lock count that decides when it may be
// unloaded, and the one class it serves.
#pragma once

#include <windows.h>

// {9DF566E2-CC90-497B-B28C-A326AC3BA8B9}
extern const CLSID CLSID_QarvoContextMenu;
constexpr char kClsidString[] = "{9DF566E2-CC90-497B-B28C-A326AC3BA8B9}";

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

// The class factory for CLSID_QarvoContextMenu, created once and cached; answers riid.
HRESULT GetCachedClassObject(REFIID riid, void** ppv);
