// What a user asked meldrove-query for, from its command line.
//
// The options are parsed by hand rather than with CLI11: blocks are free
// words answered with the closest names when misspelt, --missing takes an
// optional value, every error is one line and exit code 2, and the Windows
// cross build cannot reach Debian's headers under /usr/include.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "fontfile/code_points.h"
#include "inventory/font_catalog.h"

namespace query {

enum class MatchMode { declared, covered, both };
enum class NameChoice { mac, windows, best };

inline constexpr std::size_t kDefaultMissingListed = 32;

struct QueryOptions {
    std::vector<std::string> fontsFolders;  // --fonts-dir, in the order given
    bool userFonts = false;
    std::vector<inventory::FontFormat> formats{inventory::FontFormat::ttf, inventory::FontFormat::ttc};
    bool allMembers = false;
    NameChoice names = NameChoice::mac;
    bool json = false;

    std::vector<std::size_t> rows;                     // coverage rows named, each once, in the order given
    std::vector<fontfile::CodePointRange> codePoints;  // --chars and --codepoints: sorted, merged
    bool coverage = false;
    MatchMode match = MatchMode::declared;
    std::uint32_t minPercent = 100;
    std::optional<std::uint32_t> near;
    std::optional<std::size_t> missing;  // how many missing code points to list per block
    bool audit = false;

    // Whether only the program's own answer is asked for: its folder (or
    // one named), its formats and capacities, its names, plain lines.
    bool programsAnswer() const;
    // Whether each face's character map must be read.
    bool needsCharacterMaps() const;
};

struct ShowHelp {};
struct ShowVersion {};
struct ShowBlocks {
    bool all = false;
    bool json = false;
};
struct BadInput {
    std::string message;
};

using ParsedCommandLine = std::variant<QueryOptions, ShowHelp, ShowVersion, ShowBlocks, BadInput>;

// `args` without the program's name, in UTF-8.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& args);

// The code points of "U+0041,U+0400-U+04FF" (the U+ may be left out, letters
// in either case), or why not.
std::variant<std::vector<fontfile::CodePointRange>, std::string> parseCodePoints(std::string_view list);

// The code points of UTF-8 text, or why not.
std::variant<std::vector<fontfile::CodePointRange>, std::string> codePointsOfText(std::string_view utf8);

}  // namespace query
