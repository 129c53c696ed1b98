// The real Windows calls behind the engine's platform interface.
#define WIN32_LEAN_AND_MEAN
#define STRICT
#include <windows.h>
// after windows.h, which they need
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

#include "platform/native_file.h"
#include "platform/platform.h"
#include "platform/windows_path.h"

namespace platform {

namespace {

// `text` in the ANSI code page, or nothing when a character of it has no
// place there. Strict: the default conversion writes '?' or a look-alike
// letter (best fit) instead, which would name another file or none.
std::optional<std::string> toAnsi(std::wstring_view text) {
    if (text.empty()) return std::string();
    if (text.size() > INT_MAX) return std::nullopt;
    const int length = static_cast<int>(text.size());
    // UTF-8 as the ANSI code page has room for every character, but refuses
    // the flag and the lossiness report: only a broken surrogate can fail.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* const lossyReport = utf8 ? nullptr : &lossy;
    const int size = WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, lossyReport);
    if (size <= 0 || lossy) return std::nullopt;
    std::string ansi(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, flags, text.data(), length, ansi.data(), size, nullptr, nullptr) != size) {
        return std::nullopt;
    }
    return ansi;
}

// `path` as the A functions take it: in the ANSI code page, or, when a
// character of it has no place there, by its short (8.3) name, which the
// file system spells in ASCII as a rule (where the volume keeps short names
// at all) and which is converted as strictly. The short name needs the file
// to exist: a missing one gets nothing.
std::optional<std::string> toAnsiPath(const std::wstring& path) {
    if (auto ansi = toAnsi(path)) return ansi;
    const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (size == 0) return std::nullopt;
    std::wstring shortPath(size, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), shortPath.data(), size);
    if (length == 0 || length >= size) return std::nullopt;
    shortPath.resize(length);
    return toAnsi(shortPath);
}

// UTF-8 as UTF-16; nothing when it is not UTF-8.
std::optional<std::wstring> wideFromUtf8(std::string_view utf8) {
    if (utf8.empty()) return std::wstring();
    if (utf8.size() > INT_MAX) return std::nullopt;
    const int length = static_cast<int>(utf8.size());
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, wide.data(), size) != size) {
        return std::nullopt;
    }
    return wide;
}

// UTF-16 as UTF-8; an unpaired surrogate, which a file name may hold, becomes
// U+FFFD (such a name then names no file, and opening it is refused).
std::string utf8FromWide(std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX) return {};
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

// Paths from this length on are given to the W functions as \\?\ paths, which
// have no MAX_PATH limit (a folder's own limit is 248, less its "\*").
constexpr std::size_t kLongPathFrom = 240;

// A catalog path (UTF-8, either separator) as the W functions take it: with
// backslashes, and when long, absolute after \\?\ (\\?\UNC\ for a network
// path), which the system takes as it is, with no length limit; nothing
// when it is not UTF-8.
std::optional<std::wstring> widePath(std::string_view utf8) {
    auto wide = wideFromUtf8(utf8);
    if (!wide || wide->empty()) return std::nullopt;
    std::replace(wide->begin(), wide->end(), L'/', L'\\');
    if (wide->size() < kLongPathFrom || wide->starts_with(L"\\\\?\\")) return wide;
    const DWORD size = GetFullPathNameW(wide->c_str(), 0, nullptr, nullptr);
    if (size == 0) return std::nullopt;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide->c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return std::nullopt;
    full.resize(length);
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber, std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

// The longest data of a value looked at, in bytes: ExpandEnvironmentStrings
// takes and gives at most 32,767 characters, and a path the engine can open
// is far shorter. Longer values are skipped unread.
constexpr DWORD kLongestValueData = 32767 * sizeof(wchar_t);

// The longest value name the registry allows, terminating zero included.
constexpr DWORD kLongestValueName = 16384;

// A string value's data up to its first zero: the registry does not promise
// a terminating zero, nor an even byte count.
std::wstring stringData(const std::vector<BYTE>& data, DWORD size) {
    std::wstring text(std::min<std::size_t>(size, data.size()) / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

// `text` with its %VARIABLE% references expanded; nothing when it does not
// fit ExpandEnvironmentStrings.
std::optional<std::wstring> expanded(const std::wstring& text) {
    const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size == 0) return std::nullopt;
    std::wstring result(size, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), result.data(), size);
    if (written == 0 || written > size) return std::nullopt;
    result.resize(written - 1);  // the count includes the terminating zero
    return result;
}

// The path a string value holds, REG_EXPAND_SZ expanded; nothing for other
// types of value.
std::optional<std::wstring> registeredPath(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    auto path = stringData(data, size);
    if (type == REG_EXPAND_SZ) return expanded(path);
    return path;
}

// The file a value registers, or nothing when it registers none the engine
// can open by itself.
std::optional<std::string> registeredFile(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    const auto path = registeredPath(type, data, size);
    if (!path) return std::nullopt;
    auto ansi = toAnsiPath(*path);
    if (!ansi || ansi->size() >= kMaxPath || !isAbsoluteWindowsPath(*ansi)) return std::nullopt;
    return ansi;
}

// The same in UTF-8, whatever its length and characters.
std::optional<std::string> registeredCatalogFile(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    const auto path = registeredPath(type, data, size);
    if (!path) return std::nullopt;
    auto utf8 = utf8FromWide(*path);
    if (!isAbsoluteWindowsPath(utf8)) return std::nullopt;
    return utf8;
}

// Calls take(type, data, size) for each value of the user's font key, in
// registry order.
template <typename Take>
void forEachRegisteredValue(Take take) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return;
    std::wstring name(kLongestValueName, L'\0');
    std::vector<BYTE> data(kLongestValueData);
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = kLongestValueName, type = REG_NONE, size = kLongestValueData;
        const LONG status = RegEnumValueW(key, index, name.data(), &nameSize, nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA) continue;  // too long to be a path of ours
        if (status != ERROR_SUCCESS) break;       // the end, or a key deleted meanwhile: stop either way
        take(type, data, size);
    }
    RegCloseKey(key);
}

}  // namespace

std::string windowsDirectory() {
    char buffer[kMaxPath];
    const UINT length = GetWindowsDirectoryA(buffer, kMaxPath);
    if (length == 0 || length >= kMaxPath) return {};  // none, or it does not fit
    return std::string(buffer, length);
}

// The known folder rather than the LOCALAPPDATA variable: the variable is a
// copy made at logon that a parent process may have changed or left out, and
// GetEnvironmentVariableA would write a name outside the ANSI code page with
// look-alike letters; the known folder comes in UTF-16 from the user's profile.
std::optional<std::string> userFontsFolder() {
    PWSTR local = nullptr;
    std::optional<std::string> folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &local))) {
        folder = toAnsiPath(local);
    }
    CoTaskMemFree(local);  // on failure too, as the call asks
    if (!folder || folder->empty()) return std::nullopt;
    return *folder + "\\Microsoft\\Windows\\Fonts";
}

std::vector<std::string> registeredUserFontFiles() {
    std::vector<std::string> files;
    forEachRegisteredValue([&](DWORD type, const std::vector<BYTE>& data, DWORD size) {
        if (auto file = registeredFile(type, data, size)) files.push_back(std::move(*file));
    });
    return files;
}

std::vector<std::string> catalogRegisteredUserFontFiles() {
    std::vector<std::string> files;
    forEachRegisteredValue([&](DWORD type, const std::vector<BYTE>& data, DWORD size) {
        if (auto file = registeredCatalogFile(type, data, size)) files.push_back(std::move(*file));
    });
    return files;
}

std::optional<std::string> catalogUserFontsFolder() {
    PWSTR local = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &local))) {
        folder = utf8FromWide(local);
    }
    CoTaskMemFree(local);
    if (folder.empty()) return std::nullopt;
    return folder + "\\Microsoft\\Windows\\Fonts";
}

std::vector<FontFolder> systemFontFolders() {
    const UINT size = GetWindowsDirectoryW(nullptr, 0);
    if (size == 0) return {};
    std::wstring windows(size, L'\0');
    const UINT length = GetWindowsDirectoryW(windows.data(), size);
    if (length == 0 || length >= size) return {};
    windows.resize(length);
    while (!windows.empty() && windows.back() == L'\\') windows.pop_back();  // a drive's root: "C:\"
    return {{utf8FromWide(windows) + "\\Fonts", false}};
}

std::optional<std::vector<FolderEntry>> listFolder(const std::string& folder) {
    const auto wide = widePath(folder + "\\*");
    if (!wide) return std::nullopt;
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileExW(wide->c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        // An empty folder still holds "." and ".."; only a folder not found is empty of them.
        return GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional(std::vector<FolderEntry>{}) : std::nullopt;
    }
    std::vector<FolderEntry> entries;
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const auto kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::folder
                          : (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)  ? EntryKind::other
                                                                             : EntryKind::file;
        entries.push_back({utf8FromWide(name), kind});
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return entries;
}

std::optional<FileIdentity> folderIdentity(const std::string& folder) {
    const auto wide = widePath(folder);
    if (!wide) return std::nullopt;
    // FILE_FLAG_BACKUP_SEMANTICS: the flag that lets CreateFile open a folder.
    const HANDLE handle = CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(handle);
    if (!known) return std::nullopt;
    return identityOf(info);
}

std::optional<std::string> pathFromUtf8(std::string_view utf8) {
    const auto wide = wideFromUtf8(utf8);
    if (!wide) return std::nullopt;
    return toAnsiPath(*wide);
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

std::optional<int> compareAsTheListBoxDoes(std::string_view a, std::string_view b) {
    const auto text = [](std::string_view s) { return s.data() ? s.data() : ""; };  // never null, even when empty
    const auto length = [](std::string_view s) { return static_cast<int>(std::min<std::size_t>(s.size(), INT_MAX)); };
    switch (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text(a), length(a), text(b), length(b))) {
        case CSTR_EQUAL:
            return 0;
        case CSTR_GREATER_THAN:
            return 1;
        default:  // less, or a failure, which the list box also takes for less
            return -1;
    }
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

std::variant<RegularFile, OpenRefusal> openRegularForReading(const std::string& path) {
    const auto split = path.find_last_of("\\/");
    if (isReservedDeviceName(split == std::string::npos ? path : std::string_view(path).substr(split + 1))) {
        return OpenRefusal::deviceName;
    }
    const auto wide = widePath(path);
    if (!wide) return OpenRefusal::cannotOpen;
    const HANDLE file = CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // A folder is refused by CreateFile itself, as access denied.
        const DWORD attributes = GetFileAttributesW(wide->c_str());
        const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        return folder ? OpenRefusal::notARegularFile : OpenRefusal::cannotOpen;
    }
    // A disk file, not a pipe, a console or another device; its identity and
    // size come with its attributes in one call.
    BY_HANDLE_FILE_INFORMATION info{};
    const bool disk = GetFileType(file) == FILE_TYPE_DISK;
    if (!disk || !GetFileInformationByHandle(file, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(file);
        return disk ? OpenRefusal::cannotOpen : OpenRefusal::notARegularFile;
    }
    return RegularFile{reinterpret_cast<std::intptr_t>(file), identityOf(info),
                       std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow};
}

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
        if (n < want) break;  // a file gives less than asked only at its end: no second call to find nothing
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
