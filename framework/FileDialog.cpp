#include "FileDialog.h"
#include "AnsiText.h"
#include "WinApp.h"

#include <commdlg.h>

#include <vector>

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName,
                         DWORD flags, const char* filter, CWnd* parent)
    : m_bOpen(openFileDialog), m_defaultExt(defaultExt ? defaultExt : ""),
      m_fileName(fileName ? fileName : ""), m_filter(filter ? filter : ""), m_flags(flags),
      m_pParent(parent) {}

INT_PTR CFileDialog::DoModal() {
    // The wide dialog: a name outside the ANSI code page comes back as it is, so the caller
    // can tell it apart instead of receiving a path full of "?".
    // Larger than MAX_PATH, so an overlong choice comes back to be refused with a message
    // rather than failing inside the dialog.
    std::vector<wchar_t> file(4096, L'\0');
    win32::ToWide(m_fileName).copy(file.data(), file.size() - 1);
    // Filters are "name|pattern|" pairs; the dialog wants NUL separators.
    std::wstring filter = win32::ToWide(m_filter);
    for (wchar_t& c : filter) {
        if (c == L'|') {
            c = L'\0';
        }
    }
    const std::wstring defaultExt = win32::ToWide(m_defaultExt);

    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = CWinApp::DefaultOwner(m_pParent);
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    ofn.Flags = m_flags | OFN_EXPLORER | OFN_ENABLESIZING;

    const BOOL ok = m_bOpen ? ::GetOpenFileNameW(&ofn) : ::GetSaveFileNameW(&ofn);
    if (!ok) {
        return IDCANCEL;
    }
    m_bPathExact = win32::ToAnsiExact(file.data(), -1, m_path);
    return IDOK;
}
