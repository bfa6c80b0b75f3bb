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
    // The same with the class served by the library at dllPath, loaded as COM loads the file a
    // registration names (Wine's COM reads no class registered for one user only).
    HRESULT OpenFromLibrary(ShellTarget target, const std::string& path, const std::string& dllPath,
                            const CLSID& clsid, UINT idFirst);

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
    HRESULT Start(const Microsoft::WRL::ComPtr<IShellExtInit>& init, ShellTarget target,
                  const std::string& path, UINT idFirst);

    win32::CLibrary m_library; // outlives the handler made from it
    Microsoft::WRL::ComPtr<IContextMenu> m_handler;
    win32::CMenu m_menu;
    HRESULT m_hrInit = E_FAIL;
    HRESULT m_hrQuery = E_FAIL;
};

// What Windows 11's menu saw of one command (a root or a subcommand).
struct CommandNode {
    HRESULT fastState = E_FAIL; // GetState when it must be fast
    HRESULT slowState = E_FAIL; // then when it may be slow
    EXPCMDSTATE state = ECS_ENABLED;
    HRESULT titleResult = E_FAIL;
    std::wstring title;
    HRESULT iconResult = E_FAIL;
    std::wstring icon;
    EXPCMDFLAGS flags = ECF_DEFAULT;
    HRESULT enumResult = E_FAIL; // EnumSubCommands, when the flags promise subcommands
    std::vector<CommandNode> children;
    Microsoft::WRL::ComPtr<IExplorerCommand> command;
};

// Does for a command what Windows 11's menu does: creates the class a sparse package's manifest
// names for the kind of item from the DLL in the package's external location (as the COM
// surrogate does), sets a site whose window is the host's, asks the state fast and then slow,
// the title, icon and flags, walks the subcommands the same way and invokes one with the
// selection.
class CModernHost {
public:
    // The class named for the target in the manifest (an AppxManifest.xml) and its DLL in
    // location; the command is then walked for the item at path.
    HRESULT Open(const std::string& manifest, const std::string& location, ShellTarget target,
                 const std::string& path);
    // Walks a command already made, for the item at path.
    HRESULT Attach(IExplorerCommand* root, const std::string& path);

    // The class the manifest names for the target (GUID_NULL when none), and the DLL's path
    // below the external location.
    static HRESULT ManifestClass(const std::string& manifest, ShellTarget target, CLSID& clsid,
                                 std::string& dllPath);

    const CommandNode& Root() const { return m_root; }
    // The window the site hands out: launches and their messages belong to it.
    HWND SiteWindow() const { return m_window.Get(); }
    // Invokes the root's subcommand at index with the selection.
    HRESULT Invoke(std::size_t index) const;

    CModernHost();
    ~CModernHost();
    CModernHost(const CModernHost&) = delete;
    CModernHost& operator=(const CModernHost&) = delete;

private:
    win32::CLibrary m_library; // outlives the commands made from it
    win32::CWindow m_window;
    Microsoft::WRL::ComPtr<IUnknown> m_site;
    Microsoft::WRL::ComPtr<IShellItemArray> m_selection;
    CommandNode m_root;
};
