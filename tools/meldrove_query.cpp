// meldrove-query: the engine from a terminal. Builds the font inventory,
// selects the named blocks, and prints the matching fonts in the order the
// result list shows them.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fontfile/diagnostics.h"
#include "inventory/font_inventory.h"
#include "platform/ascii.h"
#include "platform/platform.h"
#include "selection/matching.h"
#include "selection/unicode_blocks.h"

namespace {

constexpr int kBadInput = 2;

constexpr const char* kHelp = R"(Usage: meldrove-query [--fonts-dir DIR] [BLOCK ...]
       meldrove-query --blocks
       meldrove-query --help

Lists the TrueType fonts (*.ttf, and the first 10 members of each *.ttc) of
a fonts folder whose OS/2 Unicode ranges declare every named block, one line
a font, sorted as the result list sorts them:
  <full name>   (<file>)      a single-font file (three blanks)
  <full name>  (<file>)       a member of a collection (two blanks)
With no BLOCK every font is listed.

  BLOCK            a block name as --blocks prints it, letters in either
                   case; quote names with blanks: "Basic Latin"
  --fonts-dir DIR  read DIR instead of the fonts folder of the Windows
                   directory (WINDIR\fonts)
  --blocks         print the 79 blocks: range bit and name
  --help           print this text

Diagnostics about damaged fonts go to standard error.
Exit codes: 0 done; 2 bad input (unknown block or option, missing or
unreadable fonts folder), nothing printed on standard output; 255 when a
font's table directory is cut off before its name table (the engine's
"Read failed on table #N").
)";

int badInput(const std::string& message) {
    std::fprintf(stderr, "meldrove-query: %s\n", message.c_str());
    return kBadInput;
}

std::string folded(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), platform::toLowerAscii);
    return out;
}

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The three row names nearest to `name`, nearest first.
std::string closestBlocks(std::string_view name) {
    std::vector<std::pair<std::size_t, int>> ranked;
    const auto wanted = folded(name);
    for (int row = 0; row < selection::kBlockCount; ++row) {
        ranked.emplace_back(editDistance(wanted, folded(selection::blockName(row))), row);
    }
    std::stable_sort(ranked.begin(), ranked.end());
    std::string names;
    for (std::size_t i = 0; i < 3; ++i) {
        names += (i ? ", \"" : "\"") + std::string(selection::blockName(ranked[i].second)) + "\"";
    }
    return names;
}

// A path as this system's file functions take it: the engine joins with
// backslashes, which only Windows reads as separators.
std::filesystem::path hostPath(std::string path) {
#ifndef _WIN32
    std::replace(path.begin(), path.end(), '\\', '/');
#endif
    return path;
}

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
    std::filesystem::directory_iterator listing(hostPath(folder), error);
    if (error) return error.message();
    return std::nullopt;
}

// The fonts folder of the Windows directory, or why there is none.
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

struct Request {
    std::optional<std::string> fontsDirectory;
    std::vector<std::int32_t> bits;  // in block-list order
};

void printBlocks() {
    for (int row = 0; row < selection::kBlockCount; ++row) {
        std::printf("%3d  %s\n", selection::blockRangeBit(row), std::string(selection::blockName(row)).c_str());
    }
}

int listFonts(const Request& request) {
    std::string why;
    const auto folder = request.fontsDirectory ? request.fontsDirectory : defaultFontsFolder(why);
    if (!folder) return badInput(why);
    if (const auto problem = unsearchableFolder(*folder))
        return badInput("cannot read fonts folder '" + *folder + "': " + *problem);

    fontfile::setDiagnosticStream(stderr);
    inventory::buildInventory(inventory::fontInventory, *folder);
    selection::SortedLineList lines;
    selection::listMatchingFonts(inventory::fontInventory, request.bits, lines);
    inventory::releaseInventory();
    for (const auto& line : lines.lines()) std::printf("%s\n", line.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    Request request;
    std::vector<int> rows;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--blocks") {
            if (args.size() != 1) return badInput("--blocks takes no other arguments");
            printBlocks();
            return 0;
        }
        if (arg == "--fonts-dir" || arg.starts_with("--fonts-dir=")) {
            const bool joined = arg != "--fonts-dir";
            if (!joined && i + 1 == args.size()) return badInput("--fonts-dir needs a folder");
            const auto folder = joined ? arg.substr(arg.find('=') + 1) : args[++i];
            if (folder.empty()) return badInput("--fonts-dir needs a folder; it was given an empty name");
            request.fontsDirectory = std::string(folder);
        } else if (arg.starts_with("-")) {
            return badInput("unknown option '" + std::string(arg) + "' (see --help)");
        } else if (const auto row = selection::findBlock(arg)) {
            rows.push_back(*row);
        } else {
            return badInput("unknown block '" + std::string(arg) + "'; closest: " + closestBlocks(arg) +
                            " (see --blocks)");
        }
    }
    // As the block list reports a selection: each row once, in list order.
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows) request.bits.push_back(selection::blockRangeBit(row));
    return listFonts(request);
}
