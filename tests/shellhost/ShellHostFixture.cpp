#include "ShellHostFixture.h"

bool WaitForFile(const std::string& path, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!testing_support::FileExists(path)) {
        if (::GetTickCount() - start > timeoutMs) {
            return false;
        }
        ::Sleep(50);
    }
    return true;
}

void ShellHostFixture::SetUp() {
    m_comInitialized = SUCCEEDED(::CoInitialize(nullptr));
    const std::string bin = testing_support::BinFolder();
    const std::string tests = testing_support::ExeFolder();
    ASSERT_TRUE(::CopyFileA((bin + "\\Torlin.dll").c_str(), DllPath().c_str(), FALSE));
    ASSERT_TRUE(
        ::CopyFileA((tests + "\\marker.exe").c_str(), m_dir.File("marker.exe").c_str(), FALSE));
    ASSERT_TRUE(testing_support::WriteFileBytes(m_dir.File("notes.txt"), "notes\r\n"));
    ASSERT_EQ(testing_support::RunAndWait("regsvr32.exe /s \"" + DllPath() + "\""), 0u);
}

void ShellHostFixture::TearDown() {
    testing_support::RunAndWait("regsvr32.exe /u /s \"" + DllPath() + "\"");
    // Let COM drop the DLL so the folder can be removed.
    ::CoFreeUnusedLibrariesEx(0, 0);
    if (m_comInitialized) {
        ::CoUninitialize();
    }
}

std::vector<RegisteredHandler> ShellHostFixture::OurHandlers(ShellTarget target) {
    std::vector<RegisteredHandler> ours;
    for (const RegisteredHandler& h : CShellHost::FindHandlers(target)) {
        if (h.name == "QarvoContextMenu") {
            ours.push_back(h);
        }
    }
    return ours;
}
