// Windows 11's menu: the command "Qarvo Context Menu" with one subcommand per entry. Explorer
// creates it through the sparse package's COM surrogate and asks it, rather than a menu, what
// to show; the entries and the launch are the classic handler's (MenuEntries.h).
#pragma once

#include "ComPlumbing.h"
#include "MenuItem.h"

#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

// One class for the root (no entry) and for each entry's subcommand.
class QarvoExplorerCommand final : public IExplorerCommand,
                                   public IObjectWithSite,
                                   public CRefCounted<QarvoExplorerCommand> {
public:
    // The root command, answering riid.
    static HRESULT Create(REFIID riid, void** ppv);

    // The root when entry is null, otherwise the entry's subcommand (which copies it).
    QarvoExplorerCommand(const MenuItem* entry, IUnknown* site);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }
    // IExplorerCommand
    STDMETHODIMP GetTitle(IShellItemArray* items, LPWSTR* name) override;
    STDMETHODIMP GetIcon(IShellItemArray* items, LPWSTR* icon) override;
    STDMETHODIMP GetToolTip(IShellItemArray* items, LPWSTR* tip) override;
    STDMETHODIMP GetCanonicalName(GUID* name) override;
    STDMETHODIMP GetState(IShellItemArray* items, BOOL okToBeSlow, EXPCMDSTATE* state) override;
    STDMETHODIMP Invoke(IShellItemArray* items, IBindCtx* bindContext) override;
    STDMETHODIMP GetFlags(EXPCMDFLAGS* flags) override;
    STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** subcommands) override;
    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID riid, void** ppv) override;

private:
    friend class CRefCounted<QarvoExplorerCommand>;
    ~QarvoExplorerCommand() = default;

    bool m_bRoot;
    MenuItem m_entry;
    Microsoft::WRL::ComPtr<IUnknown> m_site;
};
