// The editor's main dialog created in this process from the linked resources, on a seeded
// configuration in a temporary application folder.
#pragma once

#include "AnsiText.h"
#include "AppConfig.h"
#include "MainDlg.h"
#include "MenuApp.h"
#include "TestSupport.h"
#include "UiDriver.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

// Tells dialog (laid out at fromDpi) that its monitor's DPI is now toDpi, as Windows does when it
// is moved to another monitor, and checks that its client area, every control and the controls'
// font came out scaled, within a pixel.
void ExpectRelaidOutForDpi(HWND dialog, UINT fromDpi, UINT toDpi);

class MainDlgTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Seeds the configuration, then creates the dialog window as start-up does.
    void OpenMainDialog(const MenuItemList& items = {}, int col0Width = 150);
    // Runs OnSelectFilePath while a second thread answers the file dialog with path, and
    // then any message box; returns the message box's text, or "" when none came.
    std::string AddThroughFileDialog(const std::wstring& path);
    std::string AddThroughFileDialog(const std::string& path) {
        return AddThroughFileDialog(win32::ToWide(path));
    }
    void SelectRow(int row);
    std::string Row(int row) const;
    int RowCount() const { return dlg->m_listItems.GetItemCount(); }
    void Pump();

    testing_support::TempDir dir;
    CMenuApp app;
    CMainDlg* dlg = nullptr;
};
