// start-timer: times Windows programs as whole processes, from the moment
// they are started to the moment a user would see them ready, under Wine or
// Windows. A window program is timed to its visible main window ("Vantrel",
// "Meldrove"), then ended through its "E&xit" command; another program is
// timed to its exit. Prints one line per sample for bench/run_wine_bench.py:
//   time <label> <seconds>
// and, from the last run of each program, what it wrote to standard output:
//   output <label> <line>
//
//   start-timer RUNS (--window|--exit) LABEL PROGRAM [...]
//
// Every program runs once untimed first; then each run times every program
// one right after the other, starting with a different one each time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/resource.h"
#include "tools/app_driver.h"

namespace {

constexpr DWORD kWindowTimeoutMs = 300000;
constexpr DWORD kExitTimeoutMs = 60000;
// The poll's interval: the window is seen at most about this late.
constexpr DWORD kPollMs = 1;

struct Program {
    bool window = false;  // timed to its main window, else to its exit
    std::string label;
    std::string path;
};

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

// The visible main window of process `id`, or null.
HWND visibleMainWindow(DWORD id) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "Vantrel", "Meldrove")) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == id && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

// One timed run; nothing when the program failed or did not behave.
bool runOnce(const Program& program, const std::string& outputPath, double& seconds) {
    HANDLE output = driver::createOutputFile(outputPath);
    if (output == INVALID_HANDLE_VALUE) return false;
    PROCESS_INFORMATION process{};

    const double start = now();
    const bool started = driver::startProcess(program.path, output, process);
    CloseHandle(output);
    if (!started) {
        std::fprintf(stderr, "start-timer: cannot start %s\n", program.path.c_str());
        return false;
    }
    bool ok = true;
    if (program.window) {
        HWND window = nullptr;
        // Waiting on the process is the poll's pause: a program that ends
        // without a window is seen at once.
        const double deadline = start + kWindowTimeoutMs / 1000.0;
        while (!(window = visibleMainWindow(process.dwProcessId)) && now() < deadline &&
               WaitForSingleObject(process.hProcess, kPollMs) == WAIT_TIMEOUT) {
        }
        seconds = now() - start;
        if (window) {
            PostMessageA(window, WM_COMMAND, IDM_EXIT, 0);
        } else {
            std::fprintf(stderr, "start-timer: %s showed no window\n", program.label.c_str());
            ok = false;
        }
        if (WaitForSingleObject(process.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "start-timer: %s did not end\n", program.label.c_str());
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, kExitTimeoutMs);
            ok = false;
        }
    } else {
        WaitForSingleObject(process.hProcess, INFINITE);
        seconds = now() - start;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (exitCode != 0) {
        std::fprintf(stderr, "start-timer: %s ended with exit code %ld\n", program.label.c_str(),
                     static_cast<long>(static_cast<LONG>(exitCode)));
        ok = false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ok;
}

int usage() {
    std::fputs("usage: start-timer RUNS (--window|--exit) LABEL PROGRAM [...]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5 || (argc - 2) % 3 != 0) return usage();
    const int runs = std::atoi(argv[1]);
    std::vector<Program> programs;
    for (int i = 2; i + 2 < argc; i += 3) {
        const std::string kind = argv[i];
        if (kind != "--window" && kind != "--exit") return usage();
        programs.push_back({kind == "--window", argv[i + 1], argv[i + 2]});
    }
    char folder[MAX_PATH];
    if (GetTempPathA(MAX_PATH, folder) == 0) return 2;
    const std::string outputPath = std::string(folder) + "start-timer-output.txt";

    double seconds = 0;
    for (const auto& program : programs) {
        if (!runOnce(program, outputPath, seconds)) return 1;
    }
    for (int run = 0; run < runs; ++run) {
        for (std::size_t j = 0; j < programs.size(); ++j) {
            const auto& program = programs[(j + static_cast<std::size_t>(run)) % programs.size()];
            if (!runOnce(program, outputPath, seconds)) return 1;
            std::printf("time %s %.6f\n", program.label.c_str(), seconds);
            std::fflush(stdout);
            if (run + 1 < runs) continue;
            std::ifstream output(outputPath);
            for (std::string line; std::getline(output, line);) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                std::printf("output %s %s\n", program.label.c_str(), line.c_str());
            }
        }
    }
    DeleteFileA(outputPath.c_str());
    return 0;
}
