// finder-timer: times meldrove-finder.exe as a whole process under Wine or
// Windows, beside meldrove.exe's start-up in the same fonts folder: from its
// start to its visible window (the user sees it), and to its full list (the
// list view holds its rows, which the window sets all at once when the fonts
// are read and measured). Prints for bench/run_finder_bench.py:
//   time <label> <seconds>      labels meldrove, finder-window, finder-list
//
//   finder-timer RUNS FINDER_EXE MELDROVE_EXE
//
// Each program runs once untimed first, then RUNS times each, one right
// after the other.
#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/resource.h"
constexpr int kMeldroveExit = IDM_EXIT;
#undef IDM_EXIT
#undef IDM_ABOUT
#include "finder/win32/resource.h"
#include "tools/app_driver.h"

namespace {

constexpr double kTimeoutSeconds = 600;
constexpr DWORD kPollMs = 1;

double now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

HWND visibleWindow(DWORD processId, const char* className) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

struct Times {
    double window = 0;
    double list = 0;  // the Finder's alone
};

bool ended(const PROCESS_INFORMATION& process) {
    return WaitForSingleObject(process.hProcess, kPollMs) != WAIT_TIMEOUT;
}

// One run of `path`; false when it showed no window (or, for the Finder, no
// rows) in time, or ended badly.
bool runOnce(const std::string& path, bool finder, Times& times) {
    HANDLE output = driver::createOutputFile(std::string(std::getenv("TEMP") ? std::getenv("TEMP") : "C:\\") +
                                             "\\finder-timer-output.txt");
    PROCESS_INFORMATION process{};
    const double start = now();
    const bool started = driver::startProcess(path, output, process);
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    if (!started) return false;
    HWND window = nullptr;
    while (!(window = visibleWindow(process.dwProcessId, finder ? "MeldroveFinder" : "Vantrel")) &&
           now() - start < kTimeoutSeconds && !ended(process)) {
    }
    times.window = now() - start;
    bool ok = window != nullptr;
    if (ok && finder) {
        HWND list = GetDlgItem(window, IDC_RESULTS);
        while (SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 0 && now() - start < kTimeoutSeconds && !ended(process)) {
        }
        times.list = now() - start;
        ok = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) > 0;
    }
    if (window) PostMessageW(window, WM_COMMAND, finder ? IDM_EXIT : kMeldroveExit, 0);
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        ok = false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: finder-timer RUNS FINDER_EXE MELDROVE_EXE\n", stderr);
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    Times times;
    if (!runOnce(argv[2], true, times) || !runOnce(argv[3], false, times)) {
        std::fputs("finder-timer: a program showed no window or no rows\n", stderr);
        return 1;
    }
    for (int run = 0; run < runs; ++run) {
        if (!runOnce(argv[2], true, times)) return 1;
        std::printf("time finder-window %.6f\ntime finder-list %.6f\n", times.window, times.list);
        if (!runOnce(argv[3], false, times)) return 1;
        std::printf("time meldrove %.6f\n", times.window);
        std::fflush(stdout);
    }
    return 0;
}
