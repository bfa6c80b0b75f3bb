#include "FileDialog.h"
#include "AnsiText.h"
#include "WinApp.h"

#include <commdlg.h>

#include <cwchar>
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
    // rather than failing inside the dialog; room for some thousand names chosen at once.
    std::vector<wchar_t> file(65536, L'\0');
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

    m_paths.clear();
    const BOOL ok = m_bOpen ? ::GetOpenFileNameW(&ofn) : ::GetSaveFileNameW(&ofn);
    if (!ok) {
        return IDCANCEL;
    }
    // Several files come as the folder, then each name, each ended by a NUL; one file as its
    // full path. The name's offset tells them apart.
    const wchar_t* first = file.data();
    if (ofn.nFileOffset == 0 || first[ofn.nFileOffset - 1] != L'\0') {
        m_paths.emplace_back(first);
        return IDOK;
    }
    std::wstring folder = first;
    if (!folder.empty() && folder.back() != L'\\') {
        folder += L'\\';
    }
    for (const wchar_t* name = first + ofn.nFileOffset; *name != L'\0';
         name += std::wcslen(name) + 1) {
        m_paths.push_back(folder + name);
    }
    return IDOK;
}
