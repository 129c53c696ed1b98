#include "finder/model/rows.h"

#include <algorithm>
#include <array>
#include <tuple>

#include "coverage/coverage_rows.h"
#include "finder/model/text.h"
#include "inventory/font_inventory.h"

namespace finder {

namespace {

using fontfile::CodePointRange;

// The runs both sorted, disjoint run lists hold.
std::vector<CodePointRange> intersection(std::span<const CodePointRange> a, std::span<const CodePointRange> b) {
    std::vector<CodePointRange> common;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto first = std::max(a[i].first, b[j].first), last = std::min(a[i].last, b[j].last);
        if (first <= last) common.push_back({first, last});
        if (a[i].last < b[j].last) {
            ++i;
        } else {
            ++j;
        }
    }
    return common;
}

std::uint32_t sizeOf(std::span<const CodePointRange> runs) {
    std::uint32_t size = 0;
    for (const auto& run : runs) size += run.size();
    return size;
}

// A block in question for the declared bits: one of the rows, and what the
// face is asked to map of it.
struct BlockAsked {
    std::size_t row = 0;
    std::vector<CodePointRange> asked;
    std::uint32_t count = 0;
};

// The blocks chosen, whole, then each other row that the text's characters
// fall in, with those characters alone.
std::vector<BlockAsked> blocksInQuestion(const coverage::CoverageRequest& request) {
    std::vector<BlockAsked> blocks;
    const auto rows = coverage::coverageRows();
    for (const auto row : request.rows) {
        const auto& assigned = rows[row].assigned;
        blocks.push_back({row, {assigned.begin(), assigned.end()}, rows[row].assignedCount});
    }
    if (request.codePoints.empty()) return blocks;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (std::find(request.rows.begin(), request.rows.end(), row) != request.rows.end()) continue;
        auto asked = intersection(rows[row].assigned, request.codePoints);
        if (asked.empty()) continue;
        const auto count = sizeOf(asked);
        blocks.push_back({row, std::move(asked), count});
    }
    return blocks;
}

std::optional<bool> declaredAgrees(const inventory::CatalogFace& face, const std::vector<BlockAsked>& blocks) {
    if (blocks.empty()) return std::nullopt;
    const auto covered = coverage::coveredBy(face);
    for (const auto& block : blocks) {
        const auto& row = coverage::coverageRows()[block.row];
        const auto mapped = fontfile::countCommon(block.asked, covered);
        const bool deserved = row.declaredByAny ? mapped > 0 : mapped == block.count;
        if (coverage::declares(face, row.rangeBit) != deserved) return false;
    }
    return true;
}

std::string nameOf(const inventory::CatalogFace& face) {
    if (face.windowsName) return utf8FromUtf16be(*face.windowsName);
    if (face.hasMacName) return utf8FromMacRoman(inventory::slotText(face.macName));
    return {};
}

void addTotals(const coverage::FaceCoverage& measured, Row& row) {
    for (const auto& block : measured.blocks) {
        row.covered += block.covered;
        row.total += block.total;
    }
    for (const auto& language : measured.languages) {
        row.covered += language.covered;
        row.total += language.total;
    }
    if (measured.codePoints) {
        row.covered += measured.codePoints->covered;
        row.total += measured.codePoints->total;
    }
    row.missing = measured.missing;
}

Row rowOf(const inventory::FontCatalog& catalog, std::size_t index, coverage::FaceCoverage measured) {
    const auto& face = catalog.faces[index];
    const auto& file = catalog.files[face.file];
    Row row{.face = index,
            .name = nameOf(face),
            .file = validUtf8(file.name),
            .directory = validUtf8(systemPath(file.directory)),
            .format = file.format,
            .member = face.member};
    row.style = styleOfName(row.name);
    addTotals(measured, row);
    row.nearMiss = measured.near.value_or(false);
    row.coverage = std::move(measured);
    return row;
}

// Style words in the order a name gives them, compared in either case.
constexpr std::array<std::string_view, 33> kStyleWords = {
    "regular",       "normal",         "book",           "roman",     "italic",   "oblique",      "bold",
    "semibold",      "demibold",       "extrabold",      "ultrabold", "black",    "heavy",        "medium",
    "light",         "extralight",     "ultralight",     "semilight", "thin",     "hairline",     "condensed",
    "semicondensed", "extracondensed", "ultracondensed", "narrow",    "expanded", "semiexpanded", "extended",
    "wide",          "semi",           "demi",           "extra",     "ultra",
};

bool isStyleWord(std::string_view word) {
    std::string lower(word);
    for (auto& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return std::find(kStyleWords.begin(), kStyleWords.end(), lower) != kStyleWords.end();
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (auto& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

// <0, 0, >0 as `a` sorts before, with or after `b`.
int compareText(const std::string& a, const std::string& b) {
    const auto folded = lowerAscii(a).compare(lowerAscii(b));
    if (folded != 0) return folded;
    return a.compare(b);
}

int compareCovers(const Row& a, const Row& b) {
    // An empty total covers all there was to cover.
    const std::uint64_t aCovered = a.total == 0 ? 1 : a.covered, aTotal = a.total == 0 ? 1 : a.total;
    const std::uint64_t bCovered = b.total == 0 ? 1 : b.covered, bTotal = b.total == 0 ? 1 : b.total;
    const auto left = aCovered * bTotal, right = bCovered * aTotal;
    if (left != right) return left < right ? -1 : 1;
    if (a.covered != b.covered) return a.covered < b.covered ? -1 : 1;
    return 0;
}

int agreementRank(const Row& row) { return row.declaredAgrees ? (*row.declaredAgrees ? 2 : 1) : 0; }

int compareBy(const Row& a, const Row& b, Column column) {
    switch (column) {
        case Column::name:
            return compareText(a.name, b.name);
        case Column::style:
            return compareText(a.style, b.style);
        case Column::file:
            return compareText(a.file, b.file);
        case Column::format:
            return static_cast<int>(a.format) - static_cast<int>(b.format);
        case Column::covers:
            return compareCovers(a, b);
        case Column::missing:
            return a.missing == b.missing ? 0 : (a.missing < b.missing ? -1 : 1);
        case Column::declaredAgrees:
            return agreementRank(a) - agreementRank(b);
    }
    return 0;
}

}  // namespace

std::string_view columnTitle(Column column) {
    constexpr std::array<std::string_view, kColumnCount> kTitles = {"Name",   "Style",   "File",           "Format",
                                                                    "Covers", "Missing", "Declared agrees"};
    return kTitles[static_cast<std::size_t>(column)];
}

std::vector<Row> answerQuery(const inventory::FontCatalog& catalog, const Query& query) {
    const auto request = coverageRequestOf(query);
    const auto blocks = blocksInQuestion(request);
    std::vector<Row> rows;
    for (std::size_t index = 0; index < catalog.faces.size(); ++index) {
        auto measured = coverage::measureFace(request, catalog.faces[index]);
        if (!measured.shown()) continue;
        rows.push_back(rowOf(catalog, index, std::move(measured)));
        rows.back().declaredAgrees = declaredAgrees(catalog.faces[index], blocks);
    }
    return rows;
}

std::string cellText(const Row& row, Column column) {
    switch (column) {
        case Column::name:
            return row.name;
        case Column::style:
            return row.style;
        case Column::file:
            return row.member > 0 || inventory::isCollection(row.format) ? row.file + " #" + std::to_string(row.member)
                                                                         : row.file;
        case Column::format:
            return std::string(inventory::formatName(row.format));
        case Column::covers:
            return row.total == 0 ? std::string()
                                  : withThousandsSeparators(row.covered) + "/" + withThousandsSeparators(row.total);
        case Column::missing:
            return row.total == 0 ? std::string() : withThousandsSeparators(row.missing);
        case Column::declaredAgrees:
            return row.declaredAgrees ? (*row.declaredAgrees ? "yes" : "no") : "";
    }
    return {};
}

void sortRows(std::vector<Row>& rows, Column column, bool ascending) {
    std::stable_sort(rows.begin(), rows.end(), [column, ascending](const Row& a, const Row& b) {
        const auto order = compareBy(a, b, column);
        return ascending ? order < 0 : order > 0;
    });
}

std::string styleOfName(std::string_view fullName) {
    std::vector<std::string_view> words;
    for (std::size_t at = 0; at < fullName.size();) {
        const auto end = std::min(fullName.find_first_of(" -", at), fullName.size());
        if (end > at) words.push_back(fullName.substr(at, end - at));
        at = end + 1;
    }
    std::size_t first = words.size();
    // The family keeps at least its first word: "Black" alone names a family.
    while (first > 1 && isStyleWord(words[first - 1])) --first;
    if (first == words.size()) return "Regular";
    std::string style;
    for (auto i = first; i < words.size(); ++i) style += (style.empty() ? "" : " ") + std::string(words[i]);
    return style;
}

std::vector<char32_t> missingCharacters(const inventory::CatalogFace& face, const Query& query, std::size_t limit) {
    const auto wanted = drawnCodePoints(query.text);
    std::vector<char32_t> missing(limit);
    missing.resize(fontfile::findMissing(wanted, coverage::coveredBy(face), missing).listed);
    return missing;
}

}  // namespace finder
