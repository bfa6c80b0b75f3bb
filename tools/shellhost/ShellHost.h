// Does for a context menu what Explorer does: finds the handlers registered for the kind of
// item, creates them through COM, initialises them with a real data object, lets them fill a
// real popup menu, asks for help text and invokes a command.
#pragma once

#include "Owners.h"

#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>
#include <vector>

enum class ShellTarget { File, Folder, Background };

struct RegisteredHandler {
    std::string key;  // the ContextMenuHandlers key it was found under
    std::string name; // the handler's subkey name
    CLSID clsid;
};

struct MenuNode {
    std::string text;
    UINT id = 0;
    std::vector<MenuNode> children; // non-empty for a popup
};

class CShellHost {
public:
    static std::vector<std::string> HandlerKeys(ShellTarget target);
    static std::vector<RegisteredHandler> FindHandlers(ShellTarget target);
    // Only the registrations whose handler key has this name.
    static std::vector<RegisteredHandler> FindHandlers(ShellTarget target, const std::string& name);

    // Creates the handler, initialises it for the item at path (for Background: the folder
    // at path) and lets it add to a fresh popup menu with command identifiers from idFirst.
    HRESULT Open(ShellTarget target, const std::string& path, const CLSID& clsid, UINT idFirst);

    HRESULT InitializeResult() const { return m_hrInit; }
    HRESULT QueryResult() const { return m_hrQuery; }
    HMENU Menu() const { return m_menu.Get(); }
    std::vector<MenuNode> Walk() const;
    std::string HelpText(UINT offset, bool unicode) const;
    HRESULT Invoke(UINT offset) const;

    CShellHost() = default;
    CShellHost(const CShellHost&) = delete;
    CShellHost& operator=(const CShellHost&) = delete;

private:
    Microsoft::WRL::ComPtr<IContextMenu> m_handler;
    win32::CMenu m_menu;
    HRESULT m_hrInit = E_FAIL;
    HRESULT m_hrQuery = E_FAIL;
};
