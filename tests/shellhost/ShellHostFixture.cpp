#include "ShellHostFixture.h"

std::string WaitForLaunch(const std::string& folder) {
    const std::string path = folder + "\\launched.txt";
    // The marker holds the file unshared until its one write is done.
    for (int tries = 0; tries < 600; ++tries) {
        const std::string record = testing_support::ReadFileBytes(path);
        if (!record.empty()) {
            ::DeleteFileA(path.c_str());
            return record;
        }
        ::Sleep(50);
    }
    return std::string();
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
    return CShellHost::FindHandlers(target, "QarvoContextMenu");
}
