#include "TorlinModule.h"
#include "MenuData.h"
#include "TestSupport.h"

#include <wrl/client.h>

const CLSID kClsidQarvo = {QARVO_HANDLER_CLSID_INIT};
const CLSID kClsidCommand = {QARVO_COMMAND_CLSID_INIT};

template <typename Fn> static void Bind(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

TorlinModule::TorlinModule(const std::string& folder, const std::string& fileName)
    : m_folder(folder), m_path(folder + "\\" + fileName) {
    const std::string built = testing_support::BinFolder() + "\\Torlin.dll";
    if (!::CopyFileA(built.c_str(), m_path.c_str(), FALSE)) {
        return;
    }
    m_module.Reset(::LoadLibraryA(m_path.c_str()));
    if (!m_module) {
        return;
    }
    Bind(m_module.Get(), "DllCanUnloadNow", m_canUnload);
    Bind(m_module.Get(), "DllGetClassObject", m_getClassObject);
    Bind(m_module.Get(), "DllRegisterServer", m_register);
    Bind(m_module.Get(), "DllUnregisterServer", m_unregister);
    if (!m_canUnload || !m_getClassObject || !m_register || !m_unregister) {
        m_module.Reset();
    }
}

TorlinModule::~TorlinModule() {
    m_module.Reset();
    ::DeleteFileA(m_path.c_str());
}

void TorlinModule::WriteMenu(const MenuItemList& items) const {
    WriteMenuData(MenuDataPath().c_str(), items);
}

void TorlinModule::WriteIcons(const MenuItemList& items) const {
    testing_support::WriteFileBytes(
        MenuIconsPath(), FormatMenuIcons(items, testing_support::SampleIcons(items.size())));
}

HRESULT TorlinModule::CreateHandler(REFIID riid, void** ppv) const {
    return Create(kClsidQarvo, riid, ppv);
}

HRESULT TorlinModule::CreateCommand(REFIID riid, void** ppv) const {
    return Create(kClsidCommand, riid, ppv);
}

HRESULT TorlinModule::Create(REFCLSID clsid, REFIID riid, void** ppv) const {
    Microsoft::WRL::ComPtr<IClassFactory> factory;
    HRESULT hr = GetClassObject(clsid, IID_PPV_ARGS(&factory));
    if (FAILED(hr)) {
        return hr;
    }
    return factory->CreateInstance(nullptr, riid, ppv);
}
