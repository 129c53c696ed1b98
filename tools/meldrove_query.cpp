// meldrove-query: the engine from a terminal. By default it prints the
// Windows program's answer, line for line: the fonts of the fonts folder whose
// OS/2 Unicode ranges declare every named block, in the order the result
// list shows them. Its options read more fonts (per-user ones, OpenType
// files, every collection member), show real names, measure each font's
// character map against the blocks, and write JSON Lines.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "coverage/coverage_rows.h"
#include "coverage/unicode_data.h"
#include "fontfile/diagnostics.h"
#include "inventory/font_catalog.h"
#include "inventory/font_inventory.h"
#include "platform/platform.h"
#include "platform/windows_path.h"
#include "query/options.h"
#include "query/output.h"
#include "query/report.h"
#include "query/text.h"
#include "selection/matching.h"

namespace {

using query::QueryOptions;
using query::TextEncoding;

constexpr int kBadInput = 2;

constexpr const char* kHelp = R"(Usage: meldrove-query [OPTION ...] [BLOCK ...]
       meldrove-query --blocks [--all] [--json]
       meldrove-query --help

Lists the fonts of a fonts folder whose OS/2 Unicode ranges declare every
named block (every font without one), one line a font, sorted as the Windows
program's result list sorts them:
  <full name>   (<file>)      a single-font file (three blanks)
  <full name>  (<file>)       a member of a collection (two blanks)
Without options this is the Windows program's answer, byte for byte but for
control bytes (below): every *.ttf and the first 10 members of the first 50
*.ttc, Macintosh full names.

  BLOCK              a block as --blocks prints it, letters in either case;
                     quote names with blanks: "Basic Latin"
  --blocks [--all]   the 79 blocks of the block list: range bit and name;
                     with --all also the bits it leaves out, as OpenType
                     names them today (Phags-pa, Glagolitic, ...)

Which fonts:
  --fonts-dir DIR    read DIR instead of the fonts folder of the Windows
                     directory; may be given more than once
  --user-fonts       also read the per-user fonts: the folder
                     LOCALAPPDATA\Microsoft\Windows\Fonts and, on Windows,
                     the files registered under HKCU\Software\Microsoft\
                     Windows NT\CurrentVersion\Fonts
  --formats LIST     file kinds to read, of ttf, ttc, otf, otc (default
                     ttf,ttc); otf and CFF fonts read like the others
  --all-members      every member of every collection, and every collection
When more than one folder or file is read, a line names its file by its
full path.

What they cover (Unicode @UNICODE@, from each font's character map):
  --coverage         after each line, per named block, a TAB and
                     "<block> <covered>/<total> declared|undeclared": the
                     block's assigned code points that the font maps
  --match declared|covered|both
                     declared (default): the range bits, as the program;
                     covered: the character map covers at least --min
                     percent of every named block; both: the two together
  --min PCT          the percentage for covered (default 100)
  --near N           with covered or both, also the fonts that miss at most
                     N code points in all; their lines end with a TAB and
                     "near: <n> missing" (grep -P '\tnear:' finds them)
  --missing[=N]      under each font, per block, a line that starts with a
                     TAB: its first N missing code points (default 32)
  --chars TEXT       only fonts whose character map holds every character
  --codepoints LIST  the same for code points: U+0041,U+0400-U+04FF
  --audit            instead of the fonts, one line per finding: the line,
                     then TAB-separated the kind (sparse: a declared block
                     covered below 10%; undeclared: a block covered at least
                     50% without its bit; Surrogates, bit 57, which any
                     code point above U+FFFF earns: sparse with none,
                     undeclared with one; reserved or changed: a bit set
                     that the font's OS/2 version reserves or gives another
                     meaning), the bit, the block and the detail; for every
                     font, or for those listed when blocks or characters
                     are named

How they are shown:
  --names mac|windows|best
                     mac (default): the Macintosh full name, raw, as the
                     program shows it; windows: the Windows full name (US
                     English first); best: the Windows one, else the
                     Macintosh one; both in UTF-8
  --json             JSON Lines: one object per font, in the order of the
                     lines, every string UTF-8; with --blocks, the blocks
  --help             print this text

Names and file names are printed safely: bytes 0x00-0x1F and 0x7F as \xNN
and then a backslash as \\, only on a line that holds such a byte.
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

void note(const std::string& message) { std::fprintf(stderr, "meldrove-query: note: %s\n", message.c_str()); }

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
    std::filesystem::directory_iterator listing(std::filesystem::path(query::systemPath(folder)), error);
    if (error) return error.message();
    return std::nullopt;
}

constexpr const char* kNoAnsiSpelling = "its name has no spelling in the ANSI code page, not even a short one";

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

// A folder without the separators at its end, which the engine adds itself.
std::string withoutTrailingSeparators(std::string folder) {
    while (folder.size() > 1 && platform::isWindowsSeparator(folder.back())) folder.pop_back();
    return folder;
}

void printBlocks(const query::ShowBlocks& request, query::Output& out) {
    for (const auto& row : coverage::coverageRows()) {
        if (!row.inBlockList && !request.all) break;
        if (request.json) {
            query::JsonObject object;
            object.key("name").value(row.name).key("bit").value(row.rangeBit);
            object.key("block_list").value(row.inBlockList).key("blocks").value(row.spans);
            object.key("assigned").value(row.assignedCount);
            out.line(object.str(), TextEncoding::utf8);
            continue;
        }
        char bit[8];
        std::snprintf(bit, sizeof bit, "%3d  ", row.rangeBit);
        std::string text = bit + std::string(row.name);
        if (!row.inBlockList && row.spans != row.name) text += "  (" + std::string(row.spans) + ")";
        out.line(text, TextEncoding::bytes);
    }
}

// The program's answer over one folder: its own inventory and matching.
void printProgramsAnswer(const QueryOptions& options, const std::string& folder, query::Output& out) {
    inventory::buildInventory(inventory::fontInventory, folder);
    std::vector<std::int32_t> bits;
    for (const auto row : options.rows) bits.push_back(coverage::coverageRows()[row].rangeBit);
    selection::SortedLineList lines;
    selection::listMatchingFonts(inventory::fontInventory, bits, lines);
    inventory::releaseInventory();
    for (const auto& line : lines.lines()) out.line(query::safeLine(line), TextEncoding::ansi);
}

struct Sources {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};

// The folders and files to read, or why the request cannot be answered.
std::variant<Sources, std::string> sourcesOf(const QueryOptions& options) {
    Sources sources;
    for (const auto& named : options.fontsFolders) {
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
    if (!options.userFonts) return sources;
    // The per-user fonts are a bonus: what cannot be read is told, not fatal.
    if (const auto folder = platform::userFontsFolder()) {
        if (const auto problem = unsearchableFolder(*folder)) {
            note("cannot read the per-user fonts folder '" + *folder + "' (" + *problem + "); going on without it");
        } else {
            sources.folders.push_back(*folder);
        }
    } else {
        note("no per-user fonts folder (LOCALAPPDATA is not set)");
    }
    for (auto& file : platform::registeredUserFontFiles()) sources.files.push_back(std::move(file));
    return sources;
}

int answer(const QueryOptions& options, query::Output& out) {
    const auto sources = sourcesOf(options);
    if (const auto* why = std::get_if<std::string>(&sources)) return badInput(*why);
    const auto& [folders, files] = std::get<Sources>(sources);

    fontfile::setDiagnosticStream(stderr);
    if (options.programsAnswer()) {
        printProgramsAnswer(options, folders.front(), out);
        return 0;
    }
    // The catalog takes its paths in its own encoding: UTF-8 on Windows.
    const auto catalogPath = [](const std::string& path) {
        return platform::kCatalogNamesAreUtf8 ? query::utf8FromFileName(path) : path;
    };
    inventory::CatalogRequest request{.formats = options.formats,
                                      .everyMember = options.allMembers,
                                      .everyCollectionFile = options.allMembers,
                                      .windowsNames = options.names != query::NameChoice::mac || options.json,
                                      .characterMaps = options.needsCharacterMaps()};
    for (const auto& folder : folders) request.folders.push_back({catalogPath(folder), false});
    for (const auto& file : files) request.files.push_back(catalogPath(file));
    const auto catalog = inventory::buildCatalog(request);
    for (const auto& note : catalog.notes) query::printNote(catalog, note);
    query::writeAnswer(options, catalog, {.fullPaths = folders.size() + files.size() > 1}, out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    auto arguments = query::utf8Arguments(argc, argv);
    if (!arguments.empty()) arguments.erase(arguments.begin());
    auto& out = query::standardOutput();
    const auto parsed = query::parseCommandLine(arguments);
    if (const auto* bad = std::get_if<query::BadInput>(&parsed)) return badInput(bad->message);
    if (std::holds_alternative<query::ShowHelp>(parsed)) {
        std::string help = kHelp;
        help.replace(help.find("@UNICODE@"), 9, coverage::kUnicodeVersion);
        out.write(help, TextEncoding::bytes);
        return 0;
    }
    if (const auto* blocks = std::get_if<query::ShowBlocks>(&parsed)) {
        printBlocks(*blocks, out);
        return 0;
    }
    return answer(std::get<QueryOptions>(parsed), out);
}
