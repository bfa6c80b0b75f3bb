// The editor's application object: single instance, start-up, and saving at exit.
#pragma once

#include "WinApp.h"

#include <string>

class CMenuApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

    void InitAppFolder();
    bool RegisterDialogClass();
    void CreateMainDlg();
    // Skin n (1 to 4) from the application folder; true when Skin.dll loaded it.
    bool LoadSkin(int skinType);
    // Once, at exit, after the main window is gone.
    void ReleaseSkin();

    BOOL m_bSkinLoaded = FALSE;
    HANDLE m_hMutex = nullptr;
    BOOL m_bFirstInstance = FALSE;

private:
    // "Config.xml" existed but could not be used: it is kept as "Config.xml.bak".
    void BackUpRejectedConfig();

    bool m_bConfigBackedUp = false;
};

// The system message box used before the main window exists and after it is gone.
void ShowErrorBox(const std::string& text);
