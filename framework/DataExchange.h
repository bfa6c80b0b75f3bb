// Dialog data exchange: members to controls and back, and controls bound to their objects.
#pragma once

#include <windows.h>

#include <string>

class CWnd;

struct CDataExchange {
    CWnd* m_pDlgWnd;
    bool m_bSaveAndValidate; // true: from the controls into the members
};

// Text of control id with a member; toward the controls it also limits typing to maxChars.
void DDX_Text(CDataExchange* dx, UINT id, std::string& value, int maxChars);
// Binds control id to its object (subclassing it) the first time.
void DDX_Control(CDataExchange* dx, UINT id, CWnd& control);
