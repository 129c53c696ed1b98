// Runs meldrove.exe as a user would and reads what a user sees: its windows,
// the lines of its lists, its standard output and its exit code. Used by the
// end-to-end tests and by the demonstration run of `make run`.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace driver {

inline constexpr DWORD kWindowTimeoutMs = 30000;
inline constexpr DWORD kExitTimeoutMs = 15000;

// Polls `ready` every few milliseconds until it holds or `timeoutMs` passes.
bool waitFor(const std::function<bool()>& ready, DWORD timeoutMs);

// "Z:\..." for a path of the host's file system, which Wine maps to drive Z:.
std::string hostPathToWindows(const std::string& path);

// An inheritable handle to the file `path`, made empty, for a child's
// standard output; INVALID_HANDLE_VALUE when it cannot be made.
HANDLE createOutputFile(const std::string& path);

// Starts `exePath` shown normally, with `output` as its standard output and
// error.
bool startProcess(const std::string& exePath, HANDLE output, PROCESS_INFORMATION& process);

// The program, started with its standard output going to a file. A process
// still running when the object goes is killed, so a failing test never
// leaves it behind.
class AppProcess {
public:
    AppProcess(const std::string& exePath, const std::string& outputPath);
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    bool started() const { return process_.hProcess != nullptr; }
    bool running() const;
    // The exit code, once the process has ended within `timeoutMs`.
    bool waitForExit(DWORD timeoutMs, DWORD& exitCode) const;
    void kill();

    // The first top-level window of this process that `accept` takes, or
    // null when none appears within `timeoutMs`.
    HWND findWindow(const std::function<bool(HWND)>& accept, DWORD timeoutMs = kWindowTimeoutMs) const;
    HWND mainWindow(DWORD timeoutMs = kWindowTimeoutMs) const;       // "Vantrel", "Meldrove"
    HWND selectionDialog(DWORD timeoutMs = kWindowTimeoutMs) const;  // the dialog with the block list
    HWND aboutBox(DWORD timeoutMs = kWindowTimeoutMs) const;         // the dialog with only "OK"

private:
    PROCESS_INFORMATION process_{};
};

std::string windowText(HWND window);
std::string className(HWND window);
RECT windowRect(HWND window);

// List boxes of another process. Their text comes back as UTF-16 and is
// turned into the ANSI code page, as the program gave it.
std::vector<std::string> listLines(HWND listBox);
std::vector<int> selectedLines(HWND listBox);
void setSelected(HWND listBox, int line, bool selected);
// The line whose text is `text`, or -1.
int findLine(HWND listBox, const std::string& text);

// Presses a push button; returns once its dialog has handled the press.
void click(HWND button);

// Saves what the screen shows of `window` as a 24-bit BMP file.
bool saveWindowImage(HWND window, const std::string& bmpPath);

}  // namespace driver
