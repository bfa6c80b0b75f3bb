// Defines the few interface identifiers this DLL uses, instead of linking libuuid, which
// would carry every GUID the SDK knows into Explorer's address space.
#include <initguid.h>

#include <windows.h>
#include <shlobj.h>
