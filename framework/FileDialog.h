// CFileDialog: the common file-open dialog.
#pragma once

#include <windows.h>

#include <string>

class CWnd;

class CFileDialog {
public:
    CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr,
                const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                CWnd* parent = nullptr);

    // IDOK when the user chose a file, IDCANCEL otherwise.
    INT_PTR DoModal();
    // The chosen path in the ANSI code page.
    std::string GetPathName() const { return m_path; }
    // False when the chosen path has characters without an exact ANSI counterpart: the path
    // above then names another file, or none.
    bool IsPathNameExact() const { return m_bPathExact; }

private:
    BOOL m_bOpen;
    std::string m_defaultExt, m_fileName, m_filter;
    DWORD m_flags;
    CWnd* m_pParent;
    std::string m_path;
    bool m_bPathExact = true;
};
