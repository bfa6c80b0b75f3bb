#include "TorlinModule.h"
#include "MenuData.h"
#include "TestSupport.h"

#include <wrl/client.h>

const CLSID kClsidQarvo = {
    0x9df566e2, 0xcc90, 0x497b, {0xb2, 0x8c, 0xa3, 0x26, 0xac, 0x3b, 0xa8, 0xb9}};

template <typename Fn> static void Bind(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

TorlinModule::TorlinModule(const std::string& folder, const std::string& fileName)
    : m_folder(folder), m_path(folder + "\\" + fileName) {
    const std::string built = testing_support::BinFolder() + "\\Torlin.dll";
    if (!::CopyFileA(built.c_str(), m_path.c_str(), FALSE)) {
        return;
    }
    m_module = ::LoadLibraryA(m_path.c_str());
    if (m_module == nullptr) {
        return;
    }
    Bind(m_module, "DllCanUnloadNow", m_canUnload);
    Bind(m_module, "DllGetClassObject", m_getClassObject);
    Bind(m_module, "DllRegisterServer", m_register);
    Bind(m_module, "DllUnregisterServer", m_unregister);
    if (!m_canUnload || !m_getClassObject || !m_register || !m_unregister) {
        ::FreeLibrary(m_module);
        m_module = nullptr;
    }
}

TorlinModule::~TorlinModule() {
    if (m_module != nullptr) {
        ::FreeLibrary(m_module);
    }
    ::DeleteFileA(m_path.c_str());
}

void TorlinModule::WriteMenu(const MenuItemList& items) const {
    WriteMenuData(MenuDataPath().c_str(), items);
}

HRESULT TorlinModule::CreateHandler(REFIID riid, void** ppv) const {
    Microsoft::WRL::ComPtr<IClassFactory> factory;
    HRESULT hr = GetClassObject(kClsidQarvo, IID_PPV_ARGS(&factory));
    if (FAILED(hr)) {
        return hr;
    }
    return factory->CreateInstance(nullptr, riid, ppv);
}

MenuItemList SampleItems(int n) {
    MenuItemList items;
    for (int i = 0; i < n; ++i) {
        items.push_back(MakeMenuItem("Item " + std::to_string(i),
                                     "C:\\Files\\item" + std::to_string(i) + ".txt"));
    }
    return items;
}
