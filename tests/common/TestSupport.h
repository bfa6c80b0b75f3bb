// Small helpers shared by the test programs.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// A fresh folder under %TEMP% that is removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
void RemoveTree(const std::string& path);

// The REG_SZ value (the default one when name is null) of root\path, or "<missing>".
std::string ReadRegString(HKEY root, const std::string& path, const char* name = nullptr);
bool RegKeyExists(HKEY root, const std::string& path);

// Runs a command line and waits for it; its exit code, or (DWORD)-1 when it could not start.
DWORD RunAndWait(const std::string& commandLine);

// Folder of the running test program, and the build's deliverables folder beside it.
std::string ExeFolder();
std::string BinFolder();

} // namespace testing_support
