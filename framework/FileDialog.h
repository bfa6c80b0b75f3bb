// CFileDialog: the common file-open dialog.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CWnd;

class CFileDialog {
public:
    CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr,
                const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                CWnd* parent = nullptr);

    // IDOK when the user chose a file, IDCANCEL otherwise.
    INT_PTR DoModal();
    // The full paths chosen, in the order the dialog gives them (one unless the flags allow
    // several). In UTF-16, as chosen: a name outside the ANSI code page is still told apart,
    // where its ANSI form would name another file, or none.
    const std::vector<std::wstring>& GetPathNames() const { return m_paths; }

private:
    BOOL m_bOpen;
    std::string m_defaultExt, m_fileName, m_filter;
    DWORD m_flags;
    CWnd* m_pParent;
    std::vector<std::wstring> m_paths;
};
