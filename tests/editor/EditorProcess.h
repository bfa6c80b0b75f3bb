// Menu.exe started as a process from an application folder and driven from outside.
#pragma once

#include "MenuItem.h"
#include "Owners.h"
#include "UiDriver.h"

#include <windows.h>

#include <string>
#include <vector>

DWORD WindowProcess(HWND hwnd);
// The texts of a window's children, to read a system message box.
std::string ChildTexts(HWND hwnd);
int RowCount(HWND mainWindow);
// Where the process loaded the library named name from; empty when it has not loaded it.
std::string LoadedLibraryPath(DWORD processId, const char* name);
void PressButton(HWND dialog, int id);
// Adds path through the editor's real file dialog: true once the new row is there.
bool AddThroughFileDialog(HWND mainWindow, const std::string& path);
// Adds the named files of folder, chosen all at once: true once their rows are there.
bool AddThroughFileDialog(HWND mainWindow, const std::string& folder,
                          const std::vector<std::string>& names);
// Writes a configuration of these entries into folder with the editor's own code, as a previous
// run would have.
bool SaveListAsEditor(const std::string& folder, const MenuItemList& items, int col0Width = 150);
// Copies Menu.exe and the Skin.dll it needs (the build's own unless another is named) into
// folder, as installed.
bool InstallEditor(const std::string& folder, const std::string& skinLibrary = "");
// Copies the build's skin files (Skin\<Name>\skin_<name>.xml) into folder, as installed.
bool InstallSkins(const std::string& folder);

// Terminated when still running at destruction. Started in startFolder (by default the
// application folder).
class EditorProcess {
public:
    EditorProcess(const std::string& folder, const std::string& commandLine = "",
                  const std::string& startFolder = "");
    // An editor that something else started.
    explicit EditorProcess(DWORD processId);
    ~EditorProcess();
    EditorProcess(const EditorProcess&) = delete;
    EditorProcess& operator=(const EditorProcess&) = delete;

    bool Started() const { return m_process.process.Valid(); }
    DWORD Id() const { return m_process.id; }

    HWND WaitForMainWindow() const;
    // A system message box of this process.
    HWND WaitForErrorBox(DWORD timeoutMs = 20000) const;
    // Waits for count system message boxes one after another, presses OK on each and returns
    // their texts; stops early when one does not come.
    std::string AcknowledgeErrorBoxes(int count) const;
    // Drops paths on the main window as Explorer does, from inside the editor's process (a
    // small library loaded there). True once the library is loaded; the drop follows.
    bool DropFiles(const std::vector<std::string>& paths) const;
    // The exit code, or 259 (still active) when it did not end in time.
    DWORD WaitForExit(DWORD timeoutMs = 20000) const;

private:
    win32::CProcess m_process;
};
