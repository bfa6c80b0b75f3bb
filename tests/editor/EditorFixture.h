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

#include <functional>
#include <string>
#include <thread>
#include <vector>

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
    // Runs action on this thread while a second one answers the file dialog, when one opens,
    // with choose, and then the message box, when one comes; returns the box's text, or "".
    std::string RunAndAnswer(const std::function<void()>& action,
                             const std::function<bool(HWND fileDialog)>& choose = nullptr);
    // OnSelectFilePath with path chosen in the file dialog; the message box's text, or "".
    std::string AddThroughFileDialog(const std::wstring& path);
    std::string AddThroughFileDialog(const std::string& path) {
        return AddThroughFileDialog(win32::ToWide(path));
    }
    // Files dropped on the window, as Explorer drops them; the message box's text, or "".
    std::string Drop(const std::vector<std::wstring>& paths);
    void SelectRow(int row);
    // A click on a row's title, as the mouse makes it.
    void ClickRow(int row);
    std::string Row(int row) const;
    int RowCount() const { return dlg->m_listItems.GetItemCount(); }
    // What the application's message loop would do with the messages of the next 50 ms.
    void Pump();

    // Where the last message box had its text and its button, in screen coordinates.
    RECT boxText = {}, boxButton = {};

    testing_support::TempDir dir;
    CMenuApp app;
    CMainDlg* dlg = nullptr;
};
