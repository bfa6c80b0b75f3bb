#include "SafeFile.h"
#include "Owners.h"

namespace {

HRESULT LastError() {
    const DWORD error = ::GetLastError();
    return HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
}

// Writes bytes as a new file and makes sure they reached the disk.
HRESULT WriteNewFile(const std::string& path, const std::string& bytes) {
    win32::CHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return LastError();
    }
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) ||
        written != bytes.size()) {
        return LastError();
    }
    if (!::FlushFileBuffers(file.Get())) {
        return LastError();
    }
    return S_OK;
}

} // namespace

HRESULT ReplaceFileSafely(const std::string& path, const std::string& bytes,
                          const std::function<bool(const std::string& written)>& check) {
    // The new file goes however this ends, a check that throws included, unless it was moved.
    struct CNewFile {
        const std::string path;
        ~CNewFile() { ::DeleteFileA(path.c_str()); }
    } temp{path + ".new"};
    HRESULT hr = WriteNewFile(temp.path, bytes);
    if (SUCCEEDED(hr) && !check(temp.path)) {
        hr = HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT);
    }
    if (SUCCEEDED(hr) && !::MoveFileExA(temp.path.c_str(), path.c_str(),
                                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        hr = LastError();
    }
    return hr;
}

bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
    const win32::CHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file.Valid() || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        return false;
    }
    bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    return ::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
           got == bytes.size();
}
