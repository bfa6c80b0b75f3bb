#include "Module.h"
#include "ClassFactory.h"
#include "ContextMenu.h"
#include "ExplorerCommand.h"
#include "IconCache.h"

#include "QarvoIdentity.h"

#include <atomic>
#include <cstring>
#include <new>

const CLSID CLSID_QarvoContextMenu = {QARVO_HANDLER_CLSID_INIT};
const CLSID CLSID_QarvoExplorerCommand = {QARVO_COMMAND_CLSID_INIT};

namespace {

HMODULE s_hModule = nullptr;
LONG s_nLockCount = 0;

// The class table: every class this library serves, each factory cached on first request.
struct ClassEntry {
    const CLSID* clsid;
    CClassFactory::CreateFn create;
    std::atomic<IClassFactory*> factory;
};
ClassEntry s_classes[] = {{&CLSID_QarvoContextMenu, &QarvoContextMenu::Create, nullptr},
                          {&CLSID_QarvoExplorerCommand, &QarvoExplorerCommand::Create, nullptr}};
CRITICAL_SECTION s_csObjectTable;

// The class's factory, made once and kept until the library is unloaded; null when it cannot
// be made.
IClassFactory* CachedFactory(ClassEntry& entry) {
    if (IClassFactory* factory = entry.factory.load()) {
        return factory;
    }
    ::EnterCriticalSection(&s_csObjectTable);
    IClassFactory* factory = entry.factory.load();
    if (factory == nullptr) {
        if (CClassFactory* created = new (std::nothrow) CClassFactory(entry.create)) {
            created->AddRef(); // the cache's reference
            factory = created;
            entry.factory.store(factory);
        }
    }
    ::LeaveCriticalSection(&s_csObjectTable);
    return factory;
}

} // namespace

HMODULE ModuleHandle() {
    return s_hModule;
}
void ModuleLock() {
    ::InterlockedIncrement(&s_nLockCount);
}
void ModuleUnlock() {
    ::InterlockedDecrement(&s_nLockCount);
}
LONG ModuleLockCount() {
    return ::InterlockedCompareExchange(&s_nLockCount, 0, 0);
}

bool ModuleFilePath(const char* name, char (&path)[256]) {
    char modulePath[256] = {};
    const DWORD len = ::GetModuleFileNameA(s_hModule, modulePath, sizeof modulePath);
    if (len == 0 || len >= sizeof modulePath) {
        return false; // no path, or one the buffer could not hold whole
    }
    const char* lastSlash = std::strrchr(modulePath, '\\');
    std::size_t folderLen = 0;
    if (len > 4 && lastSlash != nullptr) {
        folderLen = static_cast<std::size_t>(lastSlash - modulePath);
    }
    const std::size_t nameSize = std::strlen(name) + 1;
    if (folderLen + 1 + nameSize > sizeof path) {
        return false;
    }
    std::memcpy(path, modulePath, folderLen);
    path[folderLen] = '\\';
    std::memcpy(path + folderLen + 1, name, nameSize);
    return true;
}

HRESULT LastErrorResult() {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

void ModuleAttach(HMODULE module) {
    s_hModule = module;
    ::InitializeCriticalSection(&s_csObjectTable);
    IconCacheAttach();
}

void ModuleDetach(bool processEnding) {
    IconCacheDetach(processEnding);
    for (ClassEntry& entry : s_classes) {
        if (IClassFactory* factory = entry.factory.exchange(nullptr)) {
            factory->Release();
        }
    }
    ::DeleteCriticalSection(&s_csObjectTable);
}

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    for (ClassEntry& entry : s_classes) {
        if (clsid == *entry.clsid) {
            IClassFactory* factory = CachedFactory(entry);
            return factory != nullptr ? factory->QueryInterface(riid, ppv) : E_OUTOFMEMORY;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}
