// Windows semantics on a POSIX system: backslashes separate path parts,
// patterns match names case-insensitively, and the Windows directory is what
// WINDIR says.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/ascii.h"
#include "platform/native_file.h"
#include "platform/platform.h"

namespace platform {

namespace {

// A path as the system takes it, PATH_MAX bytes with its terminating zero.
using NativePath = std::array<char, PATH_MAX>;

// `path` with slashes for backslashes, built without the heap; false when it
// is too long for the system to open anyway.
bool toNativePath(const char* path, NativePath& out) {
    const std::size_t length = strnlen(path, out.size());
    if (length == out.size()) return false;
    std::memcpy(out.data(), path, length + 1);
    char* const end = out.data() + length;
    for (char* at = out.data(); at < end; ++at) {  // memchr: the few separators are found fast
        at = static_cast<char*>(std::memchr(at, '\\', static_cast<std::size_t>(end - at)));
        if (!at) break;
        *at = '/';
    }
    return true;
}

// "*" and a suffix without wildcards, as "*.ttf": the name ends with the suffix.
bool isSuffixPattern(std::string_view pattern) {
    return !pattern.empty() && pattern[0] == '*' && pattern.find_first_of("*?", 1) == std::string_view::npos;
}

// '*' matches any run of characters and '?' any one, letters in either case.
bool matchesPattern(std::string_view pattern, std::string_view name) {
    if (isSuffixPattern(pattern)) {
        const auto suffix = pattern.substr(1);
        return name.size() >= suffix.size() && equalIgnoringAsciiCase(suffix, name.substr(name.size() - suffix.size()));
    }
    std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || toLowerAscii(pattern[p]) == toLowerAscii(name[n]))) {
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

// What one search found. Speed: the names lie back to back in one buffer, so
// that listing a large folder takes a few allocations rather than two per
// name, and the sort moves small records whose first 8 bytes of folded name
// settle most comparisons without touching the names.
struct Listing {
    struct Entry {
        std::uint64_t keyPrefix = 0;  // the first 8 bytes of the folded name: most comparisons end there
        std::size_t at = 0;           // where the name starts in `names` and in `folded`
        std::size_t size = 0;
        std::uint32_t attributes = 0;
    };

    std::vector<Entry> entries;
    std::string names;   // as found
    std::string folded;  // letters folded to capitals: the sort key

    std::string_view name(const Entry& entry) const { return {names.data() + entry.at, entry.size}; }
    std::string_view key(const Entry& entry) const { return {folded.data() + entry.at, entry.size}; }
    void add(std::string_view name, std::uint32_t attributes);
};

// The first 8 bytes of `key` as one number, zeros after a shorter key (a name
// holds no zero byte): numbers compare as the keys' first 8 bytes do.
std::uint64_t prefixOf(std::string_view key) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = prefix << 8 | (i < key.size() ? static_cast<std::uint8_t>(key[i]) : 0u);
    return prefix;
}

void Listing::add(std::string_view name, std::uint32_t attributes) {
    const auto at = names.size();
    names.append(name);
    folded.append(name);
    for (auto c = folded.begin() + static_cast<std::ptrdiff_t>(at); c != folded.end(); ++c) *c = toUpperAscii(*c);
    entries.push_back({prefixOf(std::string_view(folded).substr(at)), at, name.size(), attributes});
}

// Folder order as NTFS keeps it: by name, letters in either case alike.
// NTFS compares names through its table of capitals, so _ [ ] ^ and the
// backquote, which lie between the capitals and the small letters, come
// after every letter; folding to small letters would put them before.
void sortInFolderOrder(Listing& listing) {
    std::sort(listing.entries.begin(), listing.entries.end(), [&](const Listing::Entry& a, const Listing::Entry& b) {
        if (a.keyPrefix != b.keyPrefix) return a.keyPrefix < b.keyPrefix;
        const int byKey = listing.key(a).compare(listing.key(b));
        return byKey != 0 ? byKey < 0 : listing.name(a) < listing.name(b);
    });
}

// What the entry is. Most file systems say so in the entry itself; a link
// (followed, as Windows reports what it reaches) or an unknown type is asked
// of the file system.
EntryKind kindOf(const char* folder, const dirent& item) {
    if (item.d_type == DT_REG) return EntryKind::file;
    if (item.d_type == DT_DIR) return EntryKind::folder;
    if (item.d_type != DT_UNKNOWN && item.d_type != DT_LNK) return EntryKind::other;
    struct stat info {};
    if (stat((std::string(folder) + item.d_name).c_str(), &info) != 0) return EntryKind::other;
    return S_ISREG(info.st_mode) ? EntryKind::file : S_ISDIR(info.st_mode) ? EntryKind::folder : EntryKind::other;
}

bool isFolder(const char* folder, const dirent& item) { return kindOf(folder, item) == EntryKind::folder; }

// The entries of `folder` (a native path ending in its separator) whose
// names match `namePattern`, in the order the system lists them.
Listing listMatching(const char* folder, std::string_view namePattern) {
    Listing listing;
    DIR* dir = opendir(folder);
    if (!dir) return listing;
    while (const dirent* item = readdir(dir)) {
        const std::string_view name = item->d_name;
        // "." and "..", and names that no Windows folder could hold
        if (name == "." || name == ".." || name.find('\\') != std::string_view::npos) continue;
        if (!matchesPattern(namePattern, name)) continue;
        listing.add(name, isFolder(folder, *item) ? kFileAttributeDirectory : 0u);
    }
    closedir(dir);
    return listing;
}

// Every entry of `folder` (a native path ending in its separator) with its
// kind, in folder order; nothing when it cannot be listed.
std::optional<std::vector<FolderEntry>> listWithKinds(const char* folder) {
    DIR* dir = opendir(folder);
    if (!dir) return std::nullopt;
    Listing listing;
    std::vector<EntryKind> kinds;  // by the entries' order of addition, which `at` keeps
    while (const dirent* item = readdir(dir)) {
        const std::string_view name = item->d_name;
        if (name == "." || name == "..") continue;
        listing.add(name, static_cast<std::uint32_t>(kinds.size()));
        kinds.push_back(kindOf(folder, *item));
    }
    closedir(dir);
    sortInFolderOrder(listing);
    std::vector<FolderEntry> entries;
    entries.reserve(listing.entries.size());
    for (const auto& entry : listing.entries) {
        entries.push_back({std::string(listing.name(entry)), kinds[entry.attributes]});
    }
    return entries;
}

// `path` as the system takes it: slashes for backslashes, any length.
std::string nativePathOf(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// Reads up to out.size() bytes at `position`; how many were read (fewer at
// the end of the file), or nothing when `fd` cannot be read at a position at
// all, as a folder or a pipe.
std::optional<std::size_t> readFully(int fd, std::uint64_t position, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const auto n = pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(position + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && done == 0 && (errno == EISDIR || errno == ESPIPE)) return std::nullopt;
        if (n <= 0) break;
        const auto asked = out.size() - done;
        done += static_cast<std::size_t>(n);
        // Speed: a regular file gives less than asked only at its end, so a
        // read that crosses the end takes one call rather than a second that
        // finds nothing.
        if (static_cast<std::size_t>(n) < asked) break;
    }
    return done;
}

}  // namespace

std::string windowsDirectory() {
    const char* value = std::getenv("WINDIR");
    return value ? std::string(value) : std::string();
}

std::optional<std::string> userFontsFolder() {
    const char* value = std::getenv("LOCALAPPDATA");
    if (!value || !*value) return std::nullopt;
    std::string_view local = value;
    // A separator at the end would be doubled by the join.
    while (!local.empty() && (local.back() == '\\' || local.back() == '/')) local.remove_suffix(1);
    return std::string(local) + "\\Microsoft\\Windows\\Fonts";
}

// No registry: the files a user installed lie in their folder alone.
std::vector<std::string> registeredUserFontFiles() { return {}; }

std::optional<std::string> pathFromUtf8(std::string_view utf8) { return std::string(utf8); }

std::optional<int> compareAsTheListBoxDoes(std::string_view, std::string_view) { return std::nullopt; }

std::optional<std::vector<FolderEntry>> listFolder(const std::string& folder) {
    auto native = nativePathOf(folder);
    if (native.empty() || native.back() != '/') native.push_back('/');
    return listWithKinds(native.c_str());
}

std::optional<FileIdentity> folderIdentity(const std::string& folder) {
    struct stat info {};
    if (stat(nativePathOf(folder).c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

namespace {

bool isFolderPath(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The value of the environment variable `name`; nothing when unset or empty.
std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

// WINDIR's child folder named "fonts" in any case: a Windows tree copied to
// a file system that tells case apart may spell it "Fonts".
std::vector<FontFolder> windowsTreeFonts(const std::string& windows) {
    const auto entries = listFolder(windows);
    if (!entries) return {};
    for (const auto& entry : *entries) {
        if (entry.kind == EntryKind::folder && equalIgnoringAsciiCase(entry.name, "fonts")) {
            return {{windows + "\\" + entry.name, false}};
        }
    }
    return {};
}

std::vector<std::string> systemFontFolderCandidates() {
    const auto home = environment("HOME");
#ifdef __APPLE__
    std::vector<std::string> folders;
    if (home) folders.push_back(*home + "/Library/Fonts");
    folders.insert(folders.end(), {"/Library/Fonts", "/System/Library/Fonts"});
    return folders;
#else
    std::vector<std::string> folders;
    if (const auto data = environment("XDG_DATA_HOME")) {
        folders.push_back(*data + "/fonts");
    } else if (home) {
        folders.push_back(*home + "/.local/share/fonts");
    }
    if (home) folders.push_back(*home + "/.fonts");
    folders.insert(folders.end(), {"/usr/local/share/fonts", "/usr/share/fonts"});
    return folders;
#endif
}

}  // namespace

std::vector<FontFolder> systemFontFolders() {
    if (const auto windows = environment("WINDIR")) return windowsTreeFonts(*windows);
    std::vector<FontFolder> folders;
    for (auto& candidate : systemFontFolderCandidates()) {
        while (candidate.size() > 1 && candidate.back() == '/') candidate.pop_back();
        if (isFolderPath(candidate)) folders.push_back({candidate, true});
    }
    return folders;
}

std::optional<std::string> catalogUserFontsFolder() { return userFontsFolder(); }

std::vector<std::string> catalogRegisteredUserFontFiles() { return registeredUserFontFiles(); }

struct FileSearch::State {
    Listing listing;
    std::size_t next = 0;
};

FileSearch::FileSearch(const std::string& pattern) : state_(std::make_unique<State>()) {
    const auto split = pattern.find_last_of("\\/");
    // The folder keeps its separator: entries are looked at as folder + name.
    NativePath folder{'.', '/'};
    if (split != std::string::npos && !toNativePath(pattern.substr(0, split + 1).c_str(), folder)) return;
    const std::string_view namePattern = std::string_view(pattern).substr(split == std::string::npos ? 0 : split + 1);

    state_->listing = listMatching(folder.data(), namePattern);
    sortInFolderOrder(state_->listing);
}

FileSearch::~FileSearch() = default;

bool FileSearch::next(FoundEntry& entry) {
    const auto& listing = state_->listing;
    if (state_->next >= listing.entries.size()) return false;
    const auto& found = listing.entries[state_->next++];
    entry.attributes = found.attributes;
    entry.fileName.assign(listing.name(found));
    return true;
}

namespace native {

std::variant<RegularFile, OpenRefusal> openRegularForReading(const std::string& path) {
    // O_NONBLOCK: a FIFO named like a font must not hang the open; the type
    // is then asked of the open file, so that nothing can be swapped in
    // between.
    const int fd = ::open(nativePathOf(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return OpenRefusal::cannotOpen;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        const bool asked = fstat(fd, &info) == 0;
        ::close(fd);
        return asked ? OpenRefusal::notARegularFile : OpenRefusal::cannotOpen;
    }
    return RegularFile{fd,
                       {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)},
                       static_cast<std::uint64_t>(info.st_size)};
}

std::optional<std::intptr_t> openForReading(const char* path) {
    NativePath native;
    if (!toNativePath(path, native)) return std::nullopt;
    // O_NONBLOCK: a FIFO named like a font must not hang the open.
    const int fd = ::open(native.data(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    return fd;
}

std::optional<std::size_t> readAt(std::intptr_t handle, std::uint64_t position, std::span<std::uint8_t> out) {
    if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return 0;
    return readFully(static_cast<int>(handle), position, out);
}

std::optional<std::size_t> readStart(std::intptr_t handle, std::span<std::uint8_t> out) {
    return readAt(handle, 0, out);  // a read at a position moves nothing
}

std::optional<std::uint64_t> sizeOf(std::intptr_t handle) {
    struct stat info {};
    if (fstat(static_cast<int>(handle), &info) != 0 || info.st_size < 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

void close(std::intptr_t handle) { ::close(static_cast<int>(handle)); }

}  // namespace native

}  // namespace platform
