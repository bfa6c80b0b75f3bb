#include "XmlFile.h"
#include "Owners.h"

#include <wrl/client.h>

namespace xmldom {

using Microsoft::WRL::ComPtr;

namespace {

HRESULT LastError() {
    const DWORD error = ::GetLastError();
    return HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_READ_FAULT);
}

// The file's bytes in a memory stream, the file closed again before anything parses them.
HRESULT ReadFileStream(const wchar_t* path, IStream** stream) {
    *stream = nullptr;
    // No writer may change the bytes while they are read; replacing the file stays possible.
    const win32::CHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                            nullptr));
    LARGE_INTEGER size;
    if (!file.Valid() || !::GetFileSizeEx(file.Get(), &size)) {
        return LastError();
    }
    if (size.QuadPart > kMaxXmlFileBytes) {
        return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    }
    const DWORD bytes = static_cast<DWORD>(size.QuadPart);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes != 0 ? bytes : 1);
    if (memory == nullptr) {
        return E_OUTOFMEMORY;
    }
    ComPtr<IStream> owner;
    HRESULT hr = ::CreateStreamOnHGlobal(memory, TRUE, owner.GetAddressOf());
    if (FAILED(hr)) {
        ::GlobalFree(memory);
        return hr;
    }
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file.Get(), ::GlobalLock(memory), bytes, &read, nullptr);
    ::GlobalUnlock(memory);
    if (!ok) {
        return LastError();
    }
    // The block may be larger than asked for: the stream ends where the file's bytes do.
    ULARGE_INTEGER length;
    length.QuadPart = read;
    hr = owner->SetSize(length);
    if (FAILED(hr)) {
        return hr;
    }
    *stream = owner.Detach();
    return S_OK;
}

HRESULT SetBoolProperty(IXMLDOMDocument2* doc, const wchar_t* name, VARIANT_BOOL value) {
    const win32::CBstr property(::SysAllocString(name));
    if (!property) {
        return E_OUTOFMEMORY;
    }
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value;
    return doc->setProperty(property.Get(), v);
}

} // namespace

HRESULT CreateHardenedDocument(IXMLDOMDocument2** doc) {
    *doc = nullptr;
    ComPtr<IXMLDOMDocument2> created;
    HRESULT hr =
        ::CoCreateInstance(CLSID_DOMDocument30, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument2,
                           reinterpret_cast<void**>(created.GetAddressOf()));
    // MSXML 3.0 knows external resolution and validation only as these first-level switches;
    // without ProhibitDTD no document is read at all.
    if (SUCCEEDED(hr)) {
        hr = created->put_async(VARIANT_FALSE);
    }
    if (SUCCEEDED(hr)) {
        hr = created->put_validateOnParse(VARIANT_FALSE);
    }
    if (SUCCEEDED(hr)) {
        hr = created->put_resolveExternals(VARIANT_FALSE);
    }
    if (SUCCEEDED(hr)) {
        hr = SetBoolProperty(created.Get(), L"ProhibitDTD", VARIANT_TRUE);
    }
    if (SUCCEEDED(hr)) {
        *doc = created.Detach();
    }
    return hr;
}

HRESULT LoadXmlFile(IXMLDOMDocument2* doc, const wchar_t* path) {
    ComPtr<IStream> stream;
    const HRESULT hr = ReadFileStream(path, stream.GetAddressOf());
    if (FAILED(hr)) {
        return hr;
    }
    VARIANT source;
    ::VariantInit(&source);
    V_VT(&source) = VT_UNKNOWN;
    V_UNKNOWN(&source) = stream.Get(); // borrowed: the ComPtr keeps the reference
    VARIANT_BOOL loaded = VARIANT_FALSE;
    // A parse failure is S_FALSE with VARIANT_FALSE (some parsers say E_FAIL): only S_OK with
    // TRUE is a document.
    if (doc->load(source, &loaded) != S_OK || loaded != VARIANT_TRUE) {
        return S_FALSE;
    }
    // A parser that ignores ProhibitDTD keeps the document type it read: that is the sign.
    ComPtr<IXMLDOMDocumentType> doctype;
    if (doc->get_doctype(doctype.GetAddressOf()) == S_OK && doctype != nullptr) {
        return S_FALSE;
    }
    return S_OK;
}

} // namespace xmldom
