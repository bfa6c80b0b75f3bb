// The editor's application object: single instance, start-up, and saving at exit.
#pragma once

#include "WinApp.h"

#include <string>
#include <vector>

class CMenuApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

    void InitAppFolder();
    bool RegisterDialogClass();
    void CreateMainDlg();
    // The skins are numbered 1 to kSkinCount.
    static constexpr int kSkinCount = 4;
    // Skin n (1 to kSkinCount) from the application folder; true when Skin.dll loaded it.
    bool LoadSkin(int skinType);
    // Once, at exit, after the main window is gone.
    void ReleaseSkin();

    BOOL m_bSkinLoaded = FALSE;
    HANDLE m_hMutex = nullptr;
    BOOL m_bFirstInstance = FALSE;

private:
    // Takes the single-instance mutex; false when another editor holds it.
    bool ClaimFirstInstance();
    // Brings the running editor forward, or says that it shows no window.
    void ShowRunningEditor();
    // When this editor cannot write its folder and may ask for administrator rights, starts
    // itself again with them: true when this one ends here.
    bool HandOverToElevatedEditor();
    // Loads "Config.xml", keeps a copy of a file it cannot use faithfully and says what it found.
    void LoadConfiguration();
    // Writes "Config.xml" and, where it does not match the list, "menu.dat"; each failure adds
    // a report for the user.
    void SaveFiles(std::vector<std::string>& reports);

    // "Config.xml" could not be used and could not be kept as "Config.xml.bak": it is the only
    // copy of what it holds, so it is never overwritten.
    bool m_bKeepConfigFile = false;
    // The list came from a usable "Config.xml" (or was edited), so "menu.dat" must follow it.
    bool m_bListIsAuthoritative = false;
};

// The system message box used before the main window exists and after it is gone.
void ShowErrorBox(const std::string& text);
