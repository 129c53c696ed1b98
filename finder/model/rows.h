// The Finder's answer: one row for each face that matches the query or, with
// near misses asked for, misses it by at most their count; its columns, and
// their order when sorted by any of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coverage/face_coverage.h"
#include "finder/model/query.h"
#include "inventory/font_catalog.h"

namespace finder {

// The columns of the list, in their order on screen. Shaping (whether the
// face's layout tables serve the text's scripts) is to follow Declared
// agrees once layout is measured: a column and a Row field of its own.
enum class Column : std::uint8_t { name, style, file, format, covers, missing, declaredAgrees };
inline constexpr std::size_t kColumnCount = 7;

std::string_view columnTitle(Column column);

struct Row {
    std::size_t face = 0;   // in FontCatalog::faces
    std::string name;       // the Windows full name, else the Macintosh one, in UTF-8
    std::string style;      // the style words at the end of the name, "Regular" without any
    std::string file;       // the file name alone, in UTF-8
    std::string directory;  // its folder, in UTF-8, with this system's separators
    inventory::FontFormat format = inventory::FontFormat::ttf;
    std::uint32_t member = 0;
    // Of every code point asked for over the text, the languages and the
    // blocks together; total 0 when nothing was asked.
    std::uint32_t covered = 0;
    std::uint32_t total = 0;
    std::uint32_t missing = 0;
    // Whether the range bits the face sets tell the truth about the blocks
    // asked for and those the text's characters fall in: a bit set exactly
    // where the face maps all that was asked of its block (any of it, for a
    // bit that declares a block as a whole). Nothing when no block is in
    // question.
    std::optional<bool> declaredAgrees;
    bool nearMiss = false;  // listed as a near miss, not a match
    coverage::FaceCoverage coverage;
};

// The rows for every face of `catalog` that the query lists, in catalog
// order.
std::vector<Row> answerQuery(const inventory::FontCatalog& catalog, const Query& query);

// The cell of `column` as the list shows it ("178/178", "yes").
std::string cellText(const Row& row, Column column);

// Sorts stably by `column`: numbers as numbers (Covers by the share
// covered), text by its letters in either case, then as it is.
void sortRows(std::vector<Row>& rows, Column column, bool ascending);

// The style a full name ends in: its trailing style words ("Bold Italic",
// "Condensed Light"), "Regular" when it has none.
std::string styleOfName(std::string_view fullName);

// The characters of the query's text that `face` lacks, ascending, at most
// `limit` of them.
std::vector<char32_t> missingCharacters(const inventory::CatalogFace& face, const Query& query, std::size_t limit);

}  // namespace finder
