#include "query/sources.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "inventory/font_inventory.h"
#include "platform/platform.h"
#include "platform/windows_path.h"
#include "query/output.h"

namespace query {

namespace {

// The longest folder whose search patterns ("<folder>\*.ttf") still fit a
// path of 259 characters.
constexpr std::size_t kLongestFolder = platform::kMaxPath - 1 - std::char_traits<char>::length("\\*.ttf");

// Empty when `folder` can be searched; otherwise why not.
std::optional<std::string> unsearchableFolder(const std::string& folder) {
    if (folder.size() > kLongestFolder) {
        return "path is " + std::to_string(folder.size()) + " characters long; its search pattern (folder\\*.ttf) " +
               "must fit 259 characters, so a fonts folder may have at most " + std::to_string(kLongestFolder);
    }
    std::error_code error;
    std::filesystem::directory_iterator listing(std::filesystem::path(systemPath(folder)), error);
    if (error) return error.message();
    return std::nullopt;
}

constexpr const char* kNoAnsiSpelling = "its name has no spelling in the ANSI code page, not even a short one";

// The fonts folder of the Windows directory, or nothing and why there is none.
std::optional<std::string> defaultFontsFolder(std::string& why) {
    const auto windows = platform::windowsDirectory();
    if (windows.empty()) {
        why = "no Windows directory (WINDIR is not set, or empty); name a folder with --fonts-dir";
        return std::nullopt;
    }
    auto folder = inventory::fontsDirectoryOf(windows);
    if (folder.empty()) {
        why = "the Windows directory (WINDIR) is " + std::to_string(windows.size()) +
              " characters long: its fonts folder would not fit 259 characters; name a folder with --fonts-dir";
        return std::nullopt;
    }
    return folder;
}

// A folder without the separators at its end, which the engine adds itself.
std::string withoutTrailingSeparators(std::string folder) {
    while (folder.size() > 1 && platform::isWindowsSeparator(folder.back())) folder.pop_back();
    return folder;
}

// A path given on the command line, or found by the catalog, as the
// standard library opens it: UTF-8 on Windows, bytes elsewhere.
std::filesystem::path filesystemPath(const std::string& path) {
#ifdef _WIN32
    const auto system = systemPath(path);
    return std::filesystem::path(std::u8string(system.begin(), system.end()));
#else
    return std::filesystem::path(systemPath(path));
#endif
}

// Empty when `path` is a folder; otherwise why it cannot be read as one.
std::optional<std::string> notAFolder(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(filesystemPath(path), error);
    if (error) return error.message();
    if (std::filesystem::is_regular_file(status)) return std::string("it is a file: read a font file with --font");
    if (!std::filesystem::is_directory(status)) return std::string("it is not a folder");
    return std::nullopt;
}

// Empty when `path` is something to open; otherwise why it cannot be read.
std::optional<std::string> notAFile(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(filesystemPath(path), error);
    if (error) return error.message();
    if (std::filesystem::is_directory(status)) return std::string("it is a folder: read a folder with --fonts-dir");
    return std::nullopt;
}

// The per-user fonts are a bonus: what cannot be read is told, not fatal.
// When they come by default (on Windows), a user who installed no font of
// their own, and so has no such folder, hears nothing of it.
void addUserFonts(CatalogSources& sources, bool asked) {
    const auto folder = platform::catalogUserFontsFolder();
    if (!folder) {
        if (asked) sources.notes.push_back("no per-user fonts folder (LOCALAPPDATA is not set)");
    } else if (const auto problem = notAFolder(*folder)) {
        std::error_code error;
        if (asked || std::filesystem::exists(filesystemPath(*folder), error)) {
            sources.notes.push_back("cannot read the per-user fonts folder '" + systemPath(*folder) + "' (" + *problem +
                                    "); going on without it");
        }
    } else {
        sources.folders.push_back({*folder, false});
    }
    for (auto& file : platform::catalogRegisteredUserFontFiles()) sources.files.push_back(std::move(file));
}

}  // namespace

bool CatalogSources::namesByPath() const {
    const bool recursive = std::any_of(folders.begin(), folders.end(), [](const auto& f) { return f.recursive; });
    return folders.size() + files.size() > 1 || recursive;
}

std::variant<CatalogSources, std::string> catalogSources(const FontSources& asked) {
    CatalogSources sources;
    for (const auto& named : asked.folders) {
        const auto folder = withoutTrailingSeparators(named);
        if (const auto problem = notAFolder(folder)) return "cannot read fonts folder '" + folder + "': " + *problem;
        sources.folders.push_back({folder, asked.recursive});
    }
    for (const auto& file : asked.files) {
        if (const auto problem = notAFile(file)) return "cannot read font file '" + file + "': " + *problem;
        sources.files.push_back(file);
    }
    const bool named = !sources.folders.empty() || !sources.files.empty();
    sources.named = named;
    if (!named) {
        sources.folders = platform::systemFontFolders();
        if (sources.folders.empty()) {
            return std::string(platform::windowsDirectory().empty()
                                   ? "no font folder of this system was found; name one with --fonts-dir"
                                   : "the Windows directory (WINDIR) has no fonts folder; name one with --fonts-dir");
        }
    }
    // On Windows the user's own fonts are among those they have; elsewhere
    // they are a Windows notion, asked for with --user-fonts.
    if (asked.userFonts || (!named && platform::kCatalogNamesAreUtf8)) addUserFonts(sources, asked.userFonts);
    return sources;
}

std::variant<std::string, std::string> programsFolder(const FontSources& asked) {
    using Result = std::variant<std::string, std::string>;
    const auto problem = [](std::string why) { return Result(std::in_place_index<1>, std::move(why)); };
    if (!asked.folders.empty()) {
        const auto trimmed = withoutTrailingSeparators(asked.folders.front());
        // The program opens files with the ANSI functions on Windows.
        const auto folder = platform::pathFromUtf8(trimmed);
        const auto why = folder ? unsearchableFolder(*folder) : std::optional<std::string>(kNoAnsiSpelling);
        if (why) return problem("cannot read fonts folder '" + trimmed + "': " + *why);
        return Result(std::in_place_index<0>, *folder);
    }
    std::string why;
    const auto folder = defaultFontsFolder(why);
    if (!folder) return problem(why);
    if (const auto unsearchable = unsearchableFolder(*folder))
        return problem("cannot read fonts folder '" + *folder + "': " + *unsearchable);
    return Result(std::in_place_index<0>, *folder);
}

std::string noteLine(const inventory::CatalogNote& note, const CatalogSources& sources) {
    auto where = systemPath(note.path);
    if (note.member) where += ", face " + std::to_string(*note.member);
    auto what = note.message;
    const auto& source = note.source;
    const bool empty = note.kind == inventory::CatalogNote::Kind::noFontFiles;
    if (empty && !sources.named) return {};
    if (empty && source && source->kind == inventory::NoteSource::Kind::folder &&
        source->index < sources.folders.size() && !sources.folders[source->index].recursive) {
        what += " (subfolders are read with --recursive)";
    }
    return safeLine("meldrove-query: " + where + ": " + what, TextEncoding::utf8);
}

}  // namespace query
