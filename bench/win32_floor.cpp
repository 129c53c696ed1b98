// win32-floor: the readers' floor of meldrove.exe in Win32 calls. It does
// what the program cannot do with less: finds "*.ttf", then "*.ttc", in the
// fonts folder of the Windows directory (FindFirstFileA / FindNextFileA),
// then opens every file twice, once per reader, and reads its start in one
// ReadFile each time (as many bytes as the platform layer reads with the
// open), and closes it. It parses nothing. Prints what it found:
//   files <*.ttf> <*.ttc> bytes <read>
#include <windows.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

using Head = std::array<std::uint8_t, platform::ReadOnlyFile::kHeadSize>;

std::vector<std::string> find(const std::string& folder, const char* pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    const HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(data.cFileName);
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return names;
}

// One open, one read of the file's start, one close. The read needs neither
// a position nor an OVERLAPPED structure: a file opened is read from its start.
DWORD readStart(const char* path, Head& head) {
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD got = 0;
    if (!ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &got, nullptr)) got = 0;
    CloseHandle(file);
    return got;
}

}  // namespace

int main() {
    char windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 2;
    const std::string folder = std::string(windows, length) + "\\fonts";
    const auto singles = find(folder, "*.ttf");
    const auto collections = find(folder, "*.ttc");
    Head head;
    unsigned long long bytes = 0;
    for (const auto* names : {&singles, &collections}) {
        for (const auto& name : *names) {
            const auto path = folder + "\\" + name;
            bytes += readStart(path.c_str(), head);  // the OS/2 reader's open
            bytes += readStart(path.c_str(), head);  // the name reader's open
        }
    }
    std::printf("files %zu %zu bytes %llu\n", singles.size(), collections.size(), bytes);
    return 0;
}
