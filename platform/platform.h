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

// ---- What the font catalog reads through ------------------------------------
// The program's inventory keeps to the calls above: ANSI names, paths of at
// most kMaxPath. The catalog of the command-line tool and the Finder has no
// such limits: its paths and names are in the catalog's encoding, any length.

// Whether the catalog's paths and names are UTF-8: on Windows they are,
// found and opened through the system's UTF-16 (W) functions, so that no
// name is lost to the ANSI code page, and a long path is opened as a \?// path. Elsewhere they are the bytes the system
// gives, paths of any length the system opens.
#ifdef _WIN32
inline constexpr bool kCatalogNamesAreUtf8 = true;
#else
inline constexpr bool kCatalogNamesAreUtf8 = false;
#endif

// A folder to read fonts from, and whether the folders under it are read too.
struct FontFolder {
    std::string path;  // in the catalog's encoding, without a separator at its end
    bool recursive = false;
};

// What tells two names of one file apart from two files: the volume and the
// file's number on it (POSIX: device and inode; Windows: the volume serial
// number and the file index). Hard links are one file.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

enum class EntryKind : std::uint8_t {
    file,    // a regular file
    folder,  // a folder, or a link to one
    other,   // a device, a socket, a FIFO, a dangling link: never read
};

struct FolderEntry {
    std::string name;  // in the catalog's encoding
    EntryKind kind = EntryKind::other;
};

// Every entry of `folder` but "." and "..", in the order of the system's
// directory search (on Windows FindFirstFileExW's; elsewhere FileSearch's:
// by name as NTFS sorts them), a link taken as what it reaches; nothing when
// the folder cannot be listed.
std::optional<std::vector<FolderEntry>> listFolder(const std::string& folder);

// The identity of the folder at `folder` (links followed); nothing when it
// cannot be asked. What a walk through folder links keeps so as not to go round.
std::optional<FileIdentity> folderIdentity(const std::string& folder);

// Whether Windows takes `fileName` for a device whatever its folder: NUL,
// CON, PRN, AUX, COM1-COM9, LPT1-LPT9, CONIN$ and CONOUT$, letters in either
// case, with any extension and blanks before it ("nul.ttf", "Com1 .otf").
bool isReservedDeviceName(std::string_view fileName);

// The system's font folders, in the catalog's encoding, the first to read
// first, each one that exists:
//  - on Windows, the Windows directory's Fonts folder;
//  - elsewhere with WINDIR set, WINDIR's folder named "fonts" in any case
//    (the first in folder order), or none;
//  - elsewhere without WINDIR, read recursively: on Linux $XDG_DATA_HOME/fonts
//    (else ~/.local/share/fonts), ~/.fonts, /usr/local/share/fonts and
//    /usr/share/fonts; on macOS ~/Library/Fonts, /Library/Fonts and
//    /System/Library/Fonts.
std::vector<FontFolder> systemFontFolders();

// userFontsFolder() and registeredUserFontFiles() in the catalog's encoding:
// on Windows UTF-8 from the system's UTF-16, whatever their characters and
// length; the registered files absolute, REG_EXPAND_SZ expanded, in registry
// order. Elsewhere the same as those.
std::optional<std::string> catalogUserFontsFolder();
std::vector<std::string> catalogRegisteredUserFontFiles();

// Why ReadOnlyFile::openRegular refused a path.
enum class OpenRefusal : std::uint8_t {
    cannotOpen,       // missing, not allowed, or a path the system cannot take
    notARegularFile,  // a folder, a device, a socket, a FIFO
    deviceName,       // a name Windows takes for a device (isReservedDeviceName)
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

    // The catalog's open: `path` in the catalog's encoding, any length; only
    // a regular file is opened, and on Windows never a device name. Nothing
    // when it is open; otherwise why not. Its identity and size come with it.
    std::optional<OpenRefusal> openRegular(const std::string& path);

    // The open file's identity; only meaningful after openRegular.
    const FileIdentity& identity() const { return identity_; }

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
    FileIdentity identity_;
};

}  // namespace platform
