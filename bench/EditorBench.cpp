// Menu.exe from its start to its main window painted, with 0 and 26 entries, against a floor
// program that shows the same dialog template with an empty dialog procedure; and from the
// close to the end of the process. editor_bench.exe (Menu.exe from the build's bin folder, the
// floor program beside this one)
#include "AppConfig.h"
#include "MenuData.h"
#include "MenuIcons.h"
#include "Owners.h"
#include "QarvoIdentity.h"
#include "TestSupport.h"

#include "BenchSupport.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 31;
// A launch that shows no window by then is ended and left out.
constexpr double kLaunchTimeoutMs = 20000;
constexpr UINT kRoundTripTimeoutMs = 5000;

struct CSearch {
    DWORD pid;
    HWND found;
};

// The window of the editor's class that the process made, shown or not; null while there is
// none. Once it is there, only its visibility is polled: the benchmark shares the one CPU with
// the program it times.
HWND MainWindow(DWORD pid) {
    CSearch search{pid, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            CSearch* search = reinterpret_cast<CSearch*>(lp);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            char cls[64] = {};
            if (owner == search->pid && ::GetClassNameA(hwnd, cls, sizeof cls) &&
                lstrcmpA(cls, QARVO_WINDOW_CLASS) == 0) {
                search->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Painted: the window's thread has answered a message sent after the window became visible, and
// neither the window nor any child of it still waits for WM_PAINT.
bool Painted(HWND hwnd) {
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, kRoundTripTimeoutMs, &answer) ||
        ::GetUpdateRect(hwnd, nullptr, FALSE)) {
        return false;
    }
    bool childWaits = false;
    ::EnumChildWindows(
        hwnd,
        [](HWND child, LPARAM lp) -> BOOL {
            *reinterpret_cast<bool*>(lp) = ::GetUpdateRect(child, nullptr, FALSE) != FALSE;
            return !*reinterpret_cast<bool*>(lp);
        },
        reinterpret_cast<LPARAM>(&childWaits));
    return !childWaits;
}

struct CLaunchTimes {
    double start = -1; // ms from the start of the process to its main window painted
    double close = -1; // ms from WM_CLOSE to the end of the process
};

// Starts program in folder, waits for its main window to be painted, closes it and waits for
// the process to end. A launch that does not get so far in time is ended; its times stay -1.
CLaunchTimes Launch(const std::string& program, const std::string& folder) {
    CLaunchTimes times;
    const double started = NowMicroseconds();
    const win32::CProcess process =
        testing_support::StartProcess("\"" + program + "\"", 0, folder.c_str());
    if (!process.process) {
        return times;
    }
    const auto endProcess = [&process] {
        ::TerminateProcess(process.process.Get(), 1);
        testing_support::ExitCode(process, INFINITE);
    };
    HWND main = nullptr;
    while ((main == nullptr && (main = MainWindow(process.id)) == nullptr) ||
           !::IsWindowVisible(main) || !Painted(main)) {
        if (testing_support::ExitCode(process, 0) != STILL_ACTIVE) {
            return times; // ended without showing its window
        }
        if ((NowMicroseconds() - started) / 1000 > kLaunchTimeoutMs) {
            endProcess();
            return times;
        }
        ::Sleep(1);
    }
    const double painted = NowMicroseconds();
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    if (testing_support::ExitCode(process, static_cast<DWORD>(kLaunchTimeoutMs)) == STILL_ACTIVE) {
        endProcess();
        return times;
    }
    times.start = (painted - started) / 1000;
    times.close = (NowMicroseconds() - painted) / 1000;
    return times;
}

} // namespace

int main() {
    // The editor as installed, with its skin library and the skin of a first start; the floor
    // program beside it, so that both load from the same drive.
    const testing_support::TempDir dir;
    ::CreateDirectoryA(dir.File("Skin").c_str(), nullptr);
    ::CreateDirectoryA(dir.File("Skin\\Wguang").c_str(), nullptr);
    const std::string bin = testing_support::BinFolder();
    const std::string benchBin = testing_support::ExeFolder();
    const std::pair<const std::string&, const char*> files[] = {
        {bin, "Menu.exe"},
        {bin, "Skin.dll"},
        {bin, "Skin\\Wguang\\skin_wguang.xml"},
        {benchBin, "editor_floor.exe"}};
    for (const auto& [from, file] : files) {
        if (!::CopyFileA((from + "\\" + file).c_str(), dir.File(file).c_str(), FALSE)) {
            std::fprintf(stderr, "cannot copy %s from %s\n", file, from.c_str());
            return 1;
        }
    }
    const std::string editor = dir.File("Menu.exe");
    const std::string floorProgram = dir.File("editor_floor.exe");
    const win32::CComScope com; // the configuration is written by the editor's own code
    if (!SetAppFolder(dir.Path())) {
        return 1;
    }

    std::printf("Start to main window painted, ms (medians of %d rounds; target: ratio at most "
                "1.4 with 26 entries)\n",
                kRounds);
    PrintComparisonHead("entries", "editor", "floor");
    std::vector<std::pair<int, double>> closing;
    for (int entries : {0, menudata::kMaxRecords}) {
        g_appConfig.Items = testing_support::SampleItems(entries);
        if (!SaveConfig("Config.xml")) {
            std::fprintf(stderr, "cannot write Config.xml in %s\n", dir.Path().c_str());
            return 1;
        }
        std::vector<double> close;
        auto editorStart = [&] {
            const CLaunchTimes times = Launch(editor, dir.Path());
            if (times.close > 0) {
                close.push_back(times.close);
            }
            return times.start;
        };
        auto floorStart = [&] { return Launch(floorProgram, dir.Path()).start; };
        CComparison::Run(2, editorStart, floorStart); // warms the caches
        close.clear();
        CComparison::Run(kRounds, editorStart, floorStart).Print(std::to_string(entries).c_str());
        closing.emplace_back(entries, Quantile(close, 0.5));
    }
    std::printf("\nEditor's close to the end of its process, ms (saves Config.xml)\n");
    for (const auto& [entries, ms] : closing) {
        std::printf("%-10d %10.1f\n", entries, ms);
    }

    // 26 programs on this drive (copies of the editor under names of their own), closed as soon
    // as the window is painted, with no menu.icons yet: the exit extracts and writes their icons.
    MenuItemList programs;
    for (int i = 0; i < menudata::kMaxRecords; ++i) {
        const std::string program = dir.File("tool" + std::to_string(i) + ".exe");
        ::CopyFileA(editor.c_str(), program.c_str(), FALSE);
        programs.push_back(MakeMenuItem("tool " + std::to_string(i), program));
    }
    g_appConfig.Items = programs;
    const std::string icons = dir.File(menuicons::kFileName);
    if (!SaveConfig("Config.xml")) {
        return 1;
    }
    std::vector<double> exits;
    for (int round = 0; round < kRounds; ++round) {
        ::DeleteFileA(icons.c_str());
        const CLaunchTimes times = Launch(editor, dir.Path());
        if (times.close > 0 && testing_support::FileExists(icons)) {
            exits.push_back(times.close);
        }
    }
    std::printf("%-10s %10.1f   (26 programs, writing menu.icons; median of %zu)\n", "26 icons",
                Quantile(exits, 0.5), exits.size());
    return 0;
}
