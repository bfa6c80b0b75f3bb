// Resource and control identifiers of Menu.exe.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDR_MAINFRAME 128
#define IDD_MSGBOX 133
#define IDB_ABOUT 137

// Controls nothing refers to.
#define IDC_STATIC (-1)

// System menu command of the About item.
#define IDM_ABOUTBOX 0x0010

#define IDC_GROUP_COMMANDS 1001
#define IDC_GROUP_ITEMS 1003
#define IDC_LIST_ITEMS 1005
#define IDC_SELECT_FILE 1006
#define IDC_DELETE 1007
#define IDC_EDIT_PATH 1009
#define IDC_LABEL_PATH 1012
#define IDC_LABEL_TITLE 1013
#define IDC_LABEL_LIST 1014
#define IDC_HELP_BUTTON 1016
#define IDC_SKINS 1017
#define IDC_ABOUT 1018
#define IDC_EDIT_TITLE 1019
#define IDC_MSGBOX_OK 1020
#define IDC_MSGBOX_TEXT 1021
#define IDC_EXIT 1031

// The About dialog's links and picture.
#define IDC_LINK_WEB 1031
#define IDC_LINK_MAIL 1032
#define IDC_ABOUT_PICTURE 1033
