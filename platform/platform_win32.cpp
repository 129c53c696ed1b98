// The real Windows calls behind the engine's platform interface.
#define WIN32_LEAN_AND_MEAN
#define STRICT
#include <windows.h>

#include <algorithm>

#include "platform/native_file.h"
#include "platform/platform.h"

namespace platform {

std::string windowsDirectory() {
    char buffer[kMaxPath];
    const UINT length = GetWindowsDirectoryA(buffer, kMaxPath);
    if (length == 0 || length >= kMaxPath) return {};  // none, or it does not fit
    return std::string(buffer, length);
}

struct FileSearch::State {
    std::string pattern;
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool started = false;
};

FileSearch::FileSearch(const std::string& pattern) : state_(std::make_unique<State>()) { state_->pattern = pattern; }

FileSearch::~FileSearch() {
    if (state_->handle != INVALID_HANDLE_VALUE) FindClose(state_->handle);
}

bool FileSearch::next(FoundEntry& entry) {
    WIN32_FIND_DATAA data;
    if (!state_->started) {
        state_->started = true;
        state_->handle = FindFirstFileA(state_->pattern.c_str(), &data);
        if (state_->handle == INVALID_HANDLE_VALUE) return false;
    } else if (state_->handle == INVALID_HANDLE_VALUE || !FindNextFileA(state_->handle, &data)) {
        return false;
    }
    entry.attributes = data.dwFileAttributes;
    entry.fileName = data.cFileName;
    return true;
}

namespace native {

std::optional<std::intptr_t> openForReading(const char* path) {
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    return reinterpret_cast<std::intptr_t>(file);
}

namespace {

// Reads from the file pointer on until `out` is full or the file ends.
std::size_t readOn(HANDLE file, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, MAXDWORD));
        if (!ReadFile(file, out.data() + done, want, &n, nullptr) || n == 0) break;
        done += n;
    }
    return done;
}

}  // namespace

// Speed: the position is set with SetFilePointerEx and the bytes read at it
// without an OVERLAPPED structure. A read given one may have to be reported
// to a completion port, which Wine asks its server about: one round trip
// between processes for every read, where moving the file pointer is one
// call inside the process. The handle is the reader's own, so nothing else
// moves its pointer in between.
std::optional<std::size_t> readAt(std::intptr_t handle, std::uint64_t position, std::span<std::uint8_t> out) {
    const auto file = reinterpret_cast<HANDLE>(handle);
    if (position > static_cast<std::uint64_t>(MAXLONGLONG)) return 0;  // past the end of any file
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return 0;
    return readOn(file, out);
}

std::optional<std::size_t> readStart(std::intptr_t handle, std::span<std::uint8_t> out) {
    return readOn(reinterpret_cast<HANDLE>(handle), out);
}

std::optional<std::uint64_t> sizeOf(std::intptr_t handle) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(reinterpret_cast<HANDLE>(handle), &size) || size.QuadPart < 0) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
}

void close(std::intptr_t handle) { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

}  // namespace native

}  // namespace platform
