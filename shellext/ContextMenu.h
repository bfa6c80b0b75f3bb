// The context menu handler that the shell creates for every context menu it builds.
#pragma once

#include "ComPlumbing.h"
#include "IconCache.h"
#include "MenuItem.h"

#include <windows.h>
#include <shlobj.h>

class QarvoContextMenu : public IShellExtInit,
                         public IContextMenu,
                         public CRefCounted<QarvoContextMenu> {
public:
    // Creates a handler and answers riid; a handler that cannot answer is destroyed at once.
    static HRESULT Create(REFIID riid, void** ppv);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY progId) override;
    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT idCmdFirst, UINT idCmdLast,
                                  UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved, CHAR* name,
                                  UINT cchMax) override;

protected:
    QarvoContextMenu() = default;
    virtual ~QarvoContextMenu() { ReleaseMenuIcons(m_pIcons); }

private:
    friend class CRefCounted<QarvoContextMenu>;
    template <class T, class... Args> friend HRESULT CreateComObject(REFIID, void**, Args&&...);

    HRESULT LoadItems();

    MenuItemList m_items;
    // The icons this handler's menus show, held while it lives: the shell keeps the handler
    // as long as its menu.
    CIconSet* m_pIcons = nullptr;
};
