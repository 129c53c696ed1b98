// What a user asked meldrove-query for, from its command line.
//
// Every option is one row of one table (optionTable()), which drives both the
// parser and --help, so that the two cannot drift apart. The rules that span
// several options are checked once, after the whole command line is read.
//
// The parser is our own rather than CLI11: blocks are free words answered
// with the closest names when misspelt, --missing takes a value only after
// "=", every error is one line and exit code 2 in our own words, and the
// Windows cross build cannot reach Debian's headers under /usr/include.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "coverage/face_coverage.h"
#include "fontfile/code_points.h"
#include "inventory/font_catalog.h"

namespace query {

enum class NameChoice { mac, windows, best };

inline constexpr std::size_t kDefaultMissingListed = 32;
inline constexpr std::size_t kEveryMissing = static_cast<std::size_t>(-1);  // --missing=all

// Which fonts to read. By default every font the user has: the system's
// font folders (and on Windows the user's own fonts), in every format, every
// member of every collection.
struct FontSources {
    std::vector<std::string> folders;  // --fonts-dir, in the order given
    std::vector<std::string> files;    // --font, in the order given
    bool recursive = false;            // the folders' subfolders too
    bool userFonts = false;            // the per-user fonts besides what else is read
    std::vector<inventory::FontFormat> formats{inventory::FontFormat::ttf, inventory::FontFormat::otf,
                                               inventory::FontFormat::ttc, inventory::FontFormat::otc};
    bool allMembers = true;  // every member of every collection, and every collection file
    // The Windows program's answer instead: its one folder, its formats and
    // capacities, its names and its exit codes.
    bool program = false;
};

// How the answer is shown.
struct Presentation {
    NameChoice names = NameChoice::best;
    bool json = false;
    bool coverageFields = false;  // --coverage: the counts on each line
    bool audit = false;           // the findings of each face instead of its line
    bool layout = false;          // --layout: the scripts and features each face's layout declares
    bool cover = false;           // --cover: a small set of faces that cover what was asked, not every match
};

struct QueryOptions {
    FontSources sources;
    coverage::CoverageRequest request;
    Presentation shown;

    // Whether each face's character map must be read.
    bool needsCharacterMaps() const;
    // Whether each face's GSUB and GPOS must be read.
    bool needsLayoutTables() const;
};

struct ShowHelp {};
struct ShowVersion {};
struct ShowLanguages {
    coverage::LanguageLevel level = coverage::LanguageLevel::base;
    bool json = false;
};
struct ShowBlocks {
    bool all = false;
    bool json = false;
};
struct BadInput {
    std::string message;
};

using ParsedCommandLine = std::variant<QueryOptions, ShowHelp, ShowVersion, ShowBlocks, ShowLanguages, BadInput>;

// `args` without the program's name, in UTF-8.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

// ---- The table of options ------------------------------------------------

enum class ValueKind {
    none,      // --json
    required,  // --fonts-dir DIR or --fonts-dir=DIR
    optional,  // --missing or --missing=N
    word,      // an argument that is no option: a block
};

// The groups of --help, in its order.
enum class Section { listing, fonts, coverage, presentation };

struct ParseState;

struct OptionRow {
    std::string_view name;     // "--fonts-dir"; for the word row what --help calls it
    std::string_view aliases;  // other spellings, separated by blanks ("-h /?"), or none
    ValueKind value = ValueKind::none;
    Section section = Section::listing;
    std::string_view valueName;  // "DIR", "declared|covered|both"
    // Lines of at most 53 characters, joined by "\n"; empty for an option
    // another row's help describes (--all, with --blocks).
    std::string_view help;
    // The row as --help names it, when not its name and value.
    std::string_view synopsis;
    // Takes the option's value (nothing when none was given); why not, if not.
    std::optional<std::string> (*apply)(ParseState& state, const OptionRow& row, std::optional<std::string_view> value);
};

std::span<const OptionRow> optionTable();

// --help, made from the table.
std::string helpText();

// ---- Values -----------------------------------------------------------------

// The code points of "U+0041,U+0400-U+04FF" (the U+ may be left out, letters
// in either case), or why not.
std::variant<std::vector<fontfile::CodePointRange>, std::string> parseCodePoints(std::string_view list);

// The code points of UTF-8 text that a font draws (see isDrawn), or why not.
std::variant<std::vector<fontfile::CodePointRange>, std::string> codePointsOfText(std::string_view utf8);

}  // namespace query
