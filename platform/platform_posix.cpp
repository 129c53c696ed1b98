// Windows semantics on a POSIX system: backslashes separate path parts,
// patterns match names case-insensitively, and the Windows directory is what
// WINDIR says.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace platform {

namespace {

std::string nativePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// '*' matches any run of characters and '?' any one, letters in either case.
bool matchesPattern(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || foldCase(pattern[p]) == foldCase(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// Folder order as NTFS keeps it: by name, letters in either case alike.
bool namesInFolderOrder(const FoundEntry& a, const FoundEntry& b) {
    const auto folded = [](const std::string& s) {
        std::string out(s);
        std::transform(out.begin(), out.end(), out.begin(), foldCase);
        return out;
    };
    const auto fa = folded(a.fileName), fb = folded(b.fileName);
    return fa != fb ? fa < fb : a.fileName < b.fileName;
}

}  // namespace

std::string windowsDirectory() {
    const char* value = std::getenv("WINDIR");
    return value ? std::string(value) : std::string();
}

struct FileSearch::State {
    std::vector<FoundEntry> entries;
    std::size_t next = 0;
};

FileSearch::FileSearch(const std::string& pattern) : state_(std::make_unique<State>()) {
    const auto split = pattern.find_last_of("\\/");
    // The folder keeps its separator: entries are looked at as folder + name.
    const std::string folder = split == std::string::npos ? "./" : nativePath(pattern.substr(0, split + 1));
    const std::string_view namePattern = std::string_view(pattern).substr(split == std::string::npos ? 0 : split + 1);

    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* item = readdir(dir)) {
        const std::string_view name = item->d_name;
        // "." and "..", and names that no Windows folder could hold
        if (name == "." || name == ".." || name.find('\\') != std::string_view::npos) continue;
        if (!matchesPattern(namePattern, name)) continue;
        struct stat info {};
        const bool isDirectory = stat((folder + std::string(name)).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        state_->entries.push_back({isDirectory ? kFileAttributeDirectory : 0u, std::string(name)});
    }
    closedir(dir);
    std::sort(state_->entries.begin(), state_->entries.end(), namesInFolderOrder);
}

FileSearch::~FileSearch() = default;

bool FileSearch::next(FoundEntry& entry) {
    if (state_->next >= state_->entries.size()) return false;
    entry = state_->entries[state_->next++];
    return true;
}

ReadOnlyFile::~ReadOnlyFile() { close(); }

bool ReadOnlyFile::open(const char* path) {
    close();
    // O_NONBLOCK: a FIFO named like a font must not hang the open.
    const int fd = ::open(nativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool ReadOnlyFile::isOpen() const { return fd_ >= 0; }

void ReadOnlyFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::size_t ReadOnlyFile::readAt(std::uint64_t position, std::span<std::uint8_t> out) {
    if (fd_ < 0 || position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return 0;
    std::size_t done = 0;
    while (done < out.size()) {
        const auto n = pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(position + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace platform
