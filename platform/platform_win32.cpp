// The real Windows calls behind the engine's platform interface.
#define WIN32_LEAN_AND_MEAN
#define STRICT
#include <windows.h>

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

ReadOnlyFile::~ReadOnlyFile() { close(); }

bool ReadOnlyFile::open(const char* path) {
    close();
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = file;
    return true;
}

bool ReadOnlyFile::isOpen() const { return handle_ != nullptr; }

void ReadOnlyFile::close() {
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

std::size_t ReadOnlyFile::readAt(std::uint64_t position, std::span<std::uint8_t> out) {
    if (!handle_) return 0;
    std::size_t done = 0;
    while (done < out.size()) {
        OVERLAPPED at{};
        const std::uint64_t where = position + done;
        at.Offset = static_cast<DWORD>(where);
        at.OffsetHigh = static_cast<DWORD>(where >> 32);
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(out.size() - done);  // the readers ask for a few bytes at a time
        if (!ReadFile(static_cast<HANDLE>(handle_), out.data() + done, want, &n, &at) || n == 0) break;
        done += n;
    }
    return done;
}

}  // namespace platform
