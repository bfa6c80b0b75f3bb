// The built Torlin.dll, copied into a folder of the test's own and loaded from there, so each
// test controls the "menu.dat" beside it. Only the exports are used, never our object files.
#pragma once

#include "MenuItem.h"
#include "Owners.h"
#include "QarvoIdentity.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

class TorlinModule {
public:
    explicit TorlinModule(const std::string& folder, const std::string& fileName = "Torlin.dll");
    ~TorlinModule();
    TorlinModule(const TorlinModule&) = delete;
    TorlinModule& operator=(const TorlinModule&) = delete;

    bool Loaded() const { return m_module.Valid(); }
    const std::string& Path() const { return m_path; }
    std::string MenuDataPath() const { return m_folder + "\\menu.dat"; }
    std::string MenuIconsPath() const { return m_folder + "\\menu.icons"; }
    void WriteMenu(const MenuItemList& items) const;
    // The icon file made for items, holding testing_support::SampleIcons.
    void WriteIcons(const MenuItemList& items) const;

    HRESULT CanUnloadNow() const { return m_canUnload(); }
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const {
        return m_getClassObject(clsid, riid, ppv);
    }
    HRESULT Register() const { return m_register(); }
    HRESULT Unregister() const { return m_unregister(); }

    // A new handler through the class factory, asked for riid.
    HRESULT CreateHandler(REFIID riid, void** ppv) const;
    // A new Windows 11 command (the root) through its class factory, asked for riid.
    HRESULT CreateCommand(REFIID riid, void** ppv) const;

private:
    HRESULT Create(REFCLSID clsid, REFIID riid, void** ppv) const;

    std::string m_folder;
    std::string m_path;
    win32::CLibrary m_module;
    HRESULT(WINAPI* m_canUnload)() = nullptr;
    HRESULT(WINAPI* m_getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(WINAPI* m_register)() = nullptr;
    HRESULT(WINAPI* m_unregister)() = nullptr;
};

extern const CLSID kClsidQarvo;
extern const CLSID kClsidCommand;
constexpr char kClsidText[] = QARVO_HANDLER_CLSID_TEXT;
