// Time from starting Menu.exe to its visible main window, and from closing it to the end of the
// process, with 0 and 26 entries. editor_bench.exe PATH_TO_Menu.exe
#include "BenchSupport.h"
#include "QarvoIdentity.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void WriteConfig(const std::string& path, int entries) {
    std::string xml = "<Config App=\"Qarvo Context Menu\"><Setting><SkinType>2</SkinType>"
                      "<Col0Width>150</Col0Width></Setting><Menu>";
    for (int i = 0; i < entries; ++i) {
        xml += "<Item MenuTitle=\"tool" + std::to_string(i) + ".exe\" FilePath=\"C:\\Tools\\tool" +
               std::to_string(i) + ".exe\"/>";
    }
    xml += "</Menu></Config>";
    HANDLE f = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(f, xml.data(), static_cast<DWORD>(xml.size()), &written, nullptr);
    ::CloseHandle(f);
}

struct Visible {
    DWORD pid;
    HWND hwnd;
};

HWND FindMainWindow(DWORD pid) {
    Visible v{pid, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            Visible* v = reinterpret_cast<Visible*>(lp);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            char cls[64] = {};
            ::GetClassNameA(hwnd, cls, sizeof cls);
            if (owner == v->pid && ::IsWindowVisible(hwnd) &&
                lstrcmpA(cls, QARVO_WINDOW_CLASS) == 0) {
                v->hwnd = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&v));
    return v.hwnd;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: editor_bench PATH_TO_Menu.exe\n");
        return 2;
    }
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "qarvo-editor-bench";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string exe = folder + "\\Menu.exe";
    // The editor as installed: its skin library and the skin of a first start beside it.
    const std::string bin = std::string(argv[1]).substr(0, std::string(argv[1]).find_last_of('\\'));
    const char* const files[] = {"Menu.exe", "Skin.dll", "Skin\\Wguang\\skin_wguang.xml"};
    ::CreateDirectoryA((folder + "\\Skin").c_str(), nullptr);
    ::CreateDirectoryA((folder + "\\Skin\\Wguang").c_str(), nullptr);
    for (const char* file : files) {
        if (!::CopyFileA((bin + "\\" + file).c_str(), (folder + "\\" + file).c_str(), FALSE)) {
            std::fprintf(stderr, "cannot copy %s from %s\n", file, bin.c_str());
            return 1;
        }
    }

    const int kRuns = 15;
    std::printf("%8s %22s %22s\n", "entries", "start to visible (ms)", "close to exit (ms)");
    for (int entries : {0, 26}) {
        std::vector<double> start, close;
        for (int run = 0; run < kRuns + 1; ++run) {
            WriteConfig(folder + "\\Config.xml", entries);
            std::string command = "\"" + exe + "\"";
            STARTUPINFOA si = {};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi = {};
            const double t0 = NowMicroseconds() / 1000.0;
            if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  folder.c_str(), &si, &pi)) {
                std::fprintf(stderr, "cannot start %s\n", exe.c_str());
                return 1;
            }
            HWND main = nullptr;
            while ((main = FindMainWindow(pi.dwProcessId)) == nullptr) {
                ::Sleep(1);
            }
            const double t1 = NowMicroseconds() / 1000.0;
            ::PostMessageA(main, WM_CLOSE, 0, 0);
            const double t2 = NowMicroseconds() / 1000.0;
            ::WaitForSingleObject(pi.hProcess, 30000);
            const double t3 = NowMicroseconds() / 1000.0;
            ::CloseHandle(pi.hThread);
            ::CloseHandle(pi.hProcess);
            if (run > 0) { // the first run warms the caches
                start.push_back(t1 - t0);
                close.push_back(t3 - t2);
            }
        }
        std::printf("%8d %22.1f %22.1f\n", entries, Median(start), Median(close));
    }
    for (const char* file : files) {
        ::DeleteFileA((folder + "\\" + file).c_str());
    }
    ::DeleteFileA((folder + "\\Config.xml").c_str());
    ::RemoveDirectoryA((folder + "\\Skin\\Wguang").c_str());
    ::RemoveDirectoryA((folder + "\\Skin").c_str());
    ::RemoveDirectoryA(folder.c_str());
    return 0;
}
