#include "FileDialog.h"
#include "WinApp.h"

#include <commdlg.h>

#include <vector>

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName,
                         DWORD flags, const char* filter, CWnd* parent)
    : m_bOpen(openFileDialog), m_defaultExt(defaultExt ? defaultExt : ""),
      m_fileName(fileName ? fileName : ""), m_filter(filter ? filter : ""), m_flags(flags),
      m_pParent(parent) {}

INT_PTR CFileDialog::DoModal() {
    // Larger than MAX_PATH, so an overlong choice comes back to be refused with a message
    // rather than failing inside the dialog.
    std::vector<char> file(4096, '\0');
    m_fileName.copy(file.data(), file.size() - 1);
    // Filters are "name|pattern|" pairs; the dialog wants NUL separators.
    std::string filter = m_filter;
    for (char& c : filter) {
        if (c == '|') {
            c = '\0';
        }
    }

    // With no explicit parent the dialog belongs to the main window, as users expect.
    HWND owner = m_pParent != nullptr ? m_pParent->m_hWnd : nullptr;
    if (owner == nullptr && AfxGetApp() != nullptr && AfxGetApp()->m_pMainWnd != nullptr) {
        owner = AfxGetApp()->m_pMainWnd->m_hWnd;
    }
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = m_defaultExt.empty() ? nullptr : m_defaultExt.c_str();
    ofn.Flags = m_flags | OFN_EXPLORER | OFN_ENABLESIZING;

    const BOOL ok = m_bOpen ? ::GetOpenFileNameA(&ofn) : ::GetSaveFileNameA(&ofn);
    if (!ok) {
        return IDCANCEL;
    }
    m_path = file.data();
    return IDOK;
}
