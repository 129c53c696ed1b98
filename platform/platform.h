// The engine's only door to the operating system: the Windows directory, the
// user's own fonts, the wildcard directory search and read-only file access.
// On Windows these are the real API calls; elsewhere a small implementation
// with the same semantics (backslash separators, case-insensitive patterns).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Longest path the engine builds, terminating zero included (MAX_PATH).
inline constexpr std::size_t kMaxPath = 260;

// FILE_ATTRIBUTE_DIRECTORY of a search entry.
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;

// The Windows directory, without a trailing separator; empty when the system
// has none. Elsewhere it is the value of the environment variable WINDIR.
std::string windowsDirectory();

// The folder of the fonts a user installed for themselves alone: the local
// application data folder + "\Microsoft\Windows\Fonts". On Windows that
// folder is the user's known folder, whatever the environment says; elsewhere
// it is the value of LOCALAPPDATA. Nothing when there is none, or (Windows)
// when its name has no spelling in the ANSI code page, not even a short one.
//
// The folder is given whatever its length: the caller checks that its paths
// fit (kMaxPath) and can say why not, with the length. A path the engine joins
// to it that would not fit is refused by the join, never cut.
std::optional<std::string> userFontsFolder();

// The font files registered for the user alone (HKEY_CURRENT_USER, key
// Software\Microsoft\Windows NT\CurrentVersion\Fonts), in the registry's
// value order (Windows keeps the order they were added in, Wine sorts them by
// name): every string value whose data, REG_EXPAND_SZ expanded, is an
// absolute path that fits kMaxPath in the ANSI code page, by its short name
// when only that has an ANSI spelling. Left out: other value types, paths too
// long, paths with no ANSI spelling, and bare file names (relative paths),
// which stand for the system fonts folder that the engine reads anyway.
// Empty when the key is missing or cannot be read, and on every other system.
std::vector<std::string> registeredUserFontFiles();

// A path given in UTF-8 (a command line's) as the engine's file functions
// take it: on Windows in the ANSI code page, strictly, or by its short name
// when a character of it has no place there; nothing when neither spells it
// (or it is not UTF-8). Elsewhere names are bytes, and it is the same bytes.
std::optional<std::string> pathFromUtf8(std::string_view utf8);

// How the system's sorted list box compares two lines: CompareStringA for the
// user's locale with letters in either case alike, negative when `a` goes
// first, positive when `b` does, zero when alike (a failure counts as
// before, as the list box takes it). Nothing where the system has no such
// comparison (every system but Windows).
std::optional<int> compareAsTheListBoxDoes(std::string_view a, std::string_view b);

struct FoundEntry {
    std::uint32_t attributes = 0;
    std::string fileName;  // name only, no directory
};

// One wildcard directory search (FindFirstFileA / FindNextFileA / FindClose).
// The pattern is a directory and a file pattern joined by a backslash; the
// pattern part matches case-insensitively with '*' and '?'. Over an
// unchanged folder the order of the entries is the same on every search.
class FileSearch {
public:
    explicit FileSearch(const std::string& pattern);
    ~FileSearch();
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;

    // Fills `entry` with the next entry; false when there are no more.
    bool next(FoundEntry& entry);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A file opened for reading only, in binary, without denying other processes
// read or write access. Closed when the object goes.
//
// Speed: the open also reads the file's first kHeadSize bytes, where every
// reader makes its first reads (a font's table directory, a collection's
// header), and later reads that lie inside them are answered from memory.
// A font is then read in two or three system calls rather than five.
class ReadOnlyFile {
public:
    static constexpr std::size_t kHeadSize = 1024;

    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // False when the path cannot be opened as a file: a folder, a pipe or a
    // missing file is refused.
    bool open(const char* path);

    // Reads up to out.size() bytes at `position` from the start of the file;
    // returns how many were read (fewer at the end of the file, 0 past it or
    // when no file is open).
    std::size_t readAt(std::uint64_t position, std::span<std::uint8_t> out);

    // The size of the open file in bytes; 0 when none is open.
    std::uint64_t size();

private:
    void close();

    std::intptr_t handle_ = -1;                 // the system's own, -1 when none is open
    std::array<std::uint8_t, kHeadSize> head_;  // only the first headSize_ bytes are looked at
    std::size_t headSize_ = 0;                  // below kHeadSize: the file ends there
    std::optional<std::uint64_t> size_;         // asked of the system once, when first wanted
};

}  // namespace platform
