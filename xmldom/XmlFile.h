// How every document of ours is made and how a file gets into it, shared by the editor's
// wrapper and by Skin.dll (so nothing here needs the C++ runtime: no exceptions, no containers).
#pragma once

#include <windows.h>
#include <msxml2.h>

namespace xmldom {

// No settings or skin file comes near this size; a larger file is refused without being parsed.
constexpr DWORD kMaxXmlFileBytes = 1024 * 1024;

// A new MSXML 3.0 document, in-process only, that loads synchronously, refuses a DTD, resolves
// nothing outside the document and validates nothing. COM must be initialised on the thread.
HRESULT CreateHardenedDocument(IXMLDOMDocument2** doc);

// Reads the file at path and parses its bytes into doc. The path is a file's, never a URL: a
// folder named "a%20b" or "c#d" is just that folder. S_OK when it parsed; S_FALSE when it is not
// well-formed or holds a DTD; HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE) when it is larger than
// kMaxXmlFileBytes; the error of opening or reading the file otherwise.
HRESULT LoadXmlFile(IXMLDOMDocument2* doc, const wchar_t* path);

} // namespace xmldom
