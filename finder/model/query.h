// What a user asks the Finder, as the window's controls hold it, and the
// coverage request the engine measures every face against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/face_coverage.h"
#include "fontfile/code_points.h"

namespace finder {

struct Query {
    std::u16string text;                 // as the edit box holds it, line breaks and all
    std::vector<std::size_t> languages;  // indices in coverage::languages(), each once
    std::vector<std::size_t> blocks;     // indices in coverage::coverageRows(), each once
    coverage::MatchMode match = coverage::MatchMode::covered;
    std::optional<std::uint32_t> near;  // near misses up to this many missing code points
};

// Whether a character of the text is one a font must draw: not a control
// (Cc: line breaks, tabs) and not a format character (Cf: ZWJ, ZWNJ, the
// direction marks).
bool isDrawn(char32_t codePoint);

// The sorted, merged runs of the drawn characters of `text`.
std::vector<fontfile::CodePointRange> drawnCodePoints(std::u16string_view text);

// The request that measures a face against the query: its text's drawn
// characters, its languages and its blocks, in the order chosen.
coverage::CoverageRequest coverageRequestOf(const Query& query);

// What was asked, for the status bar: "12 characters, Vietnamese, Greek;
// covered, near misses up to 3"; "nothing asked" when nothing was.
std::string describeQuery(const Query& query);

// The status bar's text: "372 of 1,907 fonts for " and what was asked.
std::string statusText(std::size_t shown, std::size_t total, const Query& query);

// The languages a user may mean while typing `typed` into the picker: those
// whose tag or English name starts with it first (letters in either case,
// "_" for "-"), then those whose English name holds it elsewhere, each in
// the order of coverage::languages(); every language for empty text.
std::vector<std::size_t> languagesMatching(std::string_view typed);

}  // namespace finder
