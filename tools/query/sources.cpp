#include "query/sources.h"

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

// The per-user fonts are a bonus: what cannot be read is told, not fatal.
void addUserFonts(Sources& sources) {
    if (const auto folder = platform::userFontsFolder()) {
        if (const auto problem = unsearchableFolder(*folder)) {
            sources.notes.push_back("cannot read the per-user fonts folder '" + *folder + "' (" + *problem +
                                    "); going on without it");
        } else {
            sources.folders.push_back(*folder);
        }
    } else {
        sources.notes.push_back("no per-user fonts folder (LOCALAPPDATA is not set)");
    }
    for (auto& file : platform::registeredUserFontFiles()) sources.files.push_back(std::move(file));
}

}  // namespace

std::variant<Sources, std::string> sourcesOf(const FontSources& asked) {
    Sources sources;
    for (const auto& named : asked.folders) {
        const auto trimmed = withoutTrailingSeparators(named);
        // The engine opens files with the ANSI functions on Windows.
        const auto folder = platform::pathFromUtf8(trimmed);
        const auto problem = folder ? unsearchableFolder(*folder) : std::optional<std::string>(kNoAnsiSpelling);
        if (problem) return "cannot read fonts folder '" + trimmed + "': " + *problem;
        sources.folders.push_back(*folder);
    }
    if (sources.folders.empty()) {
        std::string why;
        const auto folder = defaultFontsFolder(why);
        if (!folder) return why;
        if (const auto problem = unsearchableFolder(*folder))
            return "cannot read fonts folder '" + *folder + "': " + *problem;
        sources.folders.push_back(*folder);
    }
    if (asked.userFonts) addUserFonts(sources);
    return sources;
}

}  // namespace query
