#include "query/report.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <span>
#include <string_view>

#include "fontfile/code_points.h"
#include "query/text.h"
#include "selection/coverage_rows.h"
#include "selection/matching.h"
#include "selection/result_list.h"

namespace query {

namespace {

using fontfile::CharacterMap;
using fontfile::CodePointRange;
using inventory::CatalogFace;
using inventory::FontCatalog;

constexpr std::uint32_t kSparsePercent = 10;      // a declared block covered below this is a finding
constexpr std::uint32_t kUndeclaredPercent = 50;  // an undeclared block covered at least this is one

std::span<const CodePointRange> coveredBy(const CatalogFace& face) {
    if (!face.characterMap || face.characterMap->outcome != CharacterMap::Outcome::unicode) return {};
    return face.characterMap->covered;
}

bool declares(const CatalogFace& face, std::int32_t bit) {
    const std::int32_t bits[] = {bit};
    return selection::coversAll(face.ranges, bits);
}

// `part` of `whole` is at least `percent` percent of it.
bool atLeast(std::uint32_t part, std::uint32_t whole, std::uint32_t percent) {
    return std::uint64_t{part} * 100 >= std::uint64_t{whole} * percent;
}

struct BlockCoverage {
    std::size_t row = 0;
    bool declared = false;
    std::uint32_t covered = 0;
    std::uint32_t total = 0;
};

// One face measured against the request.
struct Measured {
    std::size_t face = 0;
    std::vector<BlockCoverage> blocks;
    std::uint32_t codePointsCovered = 0;
    std::uint32_t codePointsTotal = 0;
    std::uint32_t missing = 0;  // assigned code points of the blocks and code points asked for, not covered
    bool listed = false;
    bool near = false;
};

std::uint32_t sizeOf(std::span<const CodePointRange> runs) {
    std::uint32_t size = 0;
    for (const auto& run : runs) size += run.size();
    return size;
}

Measured measure(const QueryOptions& options, const FontCatalog& catalog, std::size_t index) {
    const auto& face = catalog.faces[index];
    const auto covered = coveredBy(face);
    Measured m{.face = index};
    bool declaredAll = true, coveredAll = true;
    for (const auto row : options.rows) {
        const auto& coverageRow = selection::coverageRows()[row];
        BlockCoverage block{row, declares(face, coverageRow.rangeBit), 0, coverageRow.assignedCount};
        if (options.needsCharacterMaps()) block.covered = fontfile::countCommon(coverageRow.assigned, covered);
        declaredAll = declaredAll && block.declared;
        coveredAll = coveredAll && atLeast(block.covered, block.total, options.minPercent);
        m.missing += block.total - block.covered;
        m.blocks.push_back(block);
    }
    m.codePointsTotal = sizeOf(options.codePoints);
    m.codePointsCovered = fontfile::countCommon(options.codePoints, covered);
    m.missing += m.codePointsTotal - m.codePointsCovered;
    const bool charactersAll = m.codePointsCovered == m.codePointsTotal;

    switch (options.match) {
        case MatchMode::declared:
            m.listed = declaredAll && charactersAll;
            break;
        case MatchMode::covered:
            m.listed = coveredAll && charactersAll;
            m.near = !m.listed && options.near && m.missing <= *options.near;
            break;
        case MatchMode::both:
            m.listed = declaredAll && coveredAll && charactersAll;
            m.near = !m.listed && declaredAll && options.near && m.missing <= *options.near;
            break;
    }
    return m;
}

// ---- Names and lines ----------------------------------------------------------

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string macName(const CatalogFace& face) { return std::string(inventory::slotText(face.macName)); }

std::optional<std::string> windowsName(const CatalogFace& face) {
    if (!face.windowsName) return std::nullopt;
    return utf8FromUtf16be(*face.windowsName);
}

// A folder as this system writes it; the engine joins with backslashes.
std::string displayFolder(std::string folder) {
    std::replace(folder.begin(), folder.end(), kSeparator == '/' ? '\\' : '/', kSeparator);
    return folder;
}

std::string displayPath(const inventory::CatalogFile& file) {
    return file.directory.empty() ? file.name : displayFolder(file.directory) + kSeparator + file.name;
}

// How a face's line shows it, in the encoding of its names.
struct Line {
    std::string name;
    std::string file;
    bool member = false;
    TextEncoding encoding = TextEncoding::ansi;

    // The program's line: "<name>   (<file>)", two blanks for a member.
    std::string raw() const {
        return member ? selection::memberLine(name, file) : selection::singleFontLine(name, file);
    }
    std::string shown() const { return safeLine(raw()); }
};

Line lineOf(const QueryOptions& options, const FontCatalog& catalog, const CatalogFace& face, FileNaming naming) {
    const auto& file = catalog.files[face.file];
    Line line;
    line.member = inventory::isCollection(file.format);
    line.file = naming.fullPaths ? displayPath(file) : file.name;
    if (options.names == NameChoice::mac) {
        line.name = macName(face);  // raw bytes, as the program shows them
        return line;
    }
    line.encoding = TextEncoding::utf8;
    line.file = utf8FromFileName(line.file);
    const auto windows = windowsName(face);
    if (options.names == NameChoice::windows) {
        line.name = windows.value_or(std::string());
    } else {
        line.name = windows ? *windows : face.hasMacName ? utf8FromMacRoman(macName(face)) : std::string();
    }
    return line;
}

// ---- Text --------------------------------------------------------------------

std::string codePointText(char32_t codePoint) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "U+%04X", static_cast<unsigned>(codePoint));
    return text.data();
}

// What a face's character map is, for JSON, and what a line says of a map
// that gives no Unicode coverage.
struct MapKind {
    const char* json;
    const char* note;
};

MapKind kindOf(const CharacterMap& map) {
    switch (map.outcome) {
        case CharacterMap::Outcome::unicode:
            return {"unicode", ""};
        case CharacterMap::Outcome::symbolOnly:
            return {"symbol", "symbol font: no Unicode character map"};
        case CharacterMap::Outcome::noUnicodeSubtable:
            return {"no unicode", "no Unicode character map"};
        case CharacterMap::Outcome::noCmapTable:
            return {"none", "no character map"};
        case CharacterMap::Outcome::damaged:
            return {"damaged", "damaged character map"};
    }
    return {"none", "no character map"};
}

// "<first missing> ... and N more", or "none missing".
std::string missingText(std::span<const CodePointRange> wanted, std::span<const CodePointRange> present,
                        std::size_t listed) {
    std::vector<char32_t> first(listed);
    const auto missing = fontfile::findMissing(wanted, present, first);
    if (missing.total == 0) return "none missing";
    std::string text = std::to_string(missing.total) + " missing:";
    for (std::size_t i = 0; i < missing.listed; ++i) text += " " + codePointText(first[i]);
    if (missing.total > missing.listed) text += " and " + std::to_string(missing.total - missing.listed) + " more";
    return text;
}

void writeTextFace(const QueryOptions& options, const FontCatalog& catalog, const Measured& m, const Line& line,
                   Output& out) {
    const auto& face = catalog.faces[m.face];
    std::string text = line.shown();
    if (m.near) text += "\tnear: " + std::to_string(m.missing) + " missing";
    if (options.coverage) {
        for (const auto& block : m.blocks) {
            text += "\t" + std::string(selection::coverageRows()[block.row].name) + " " +
                    std::to_string(block.covered) + "/" + std::to_string(block.total) +
                    (block.declared ? " declared" : " undeclared");
        }
        if (!options.codePoints.empty()) {
            text += "\tcode points " + std::to_string(m.codePointsCovered) + "/" + std::to_string(m.codePointsTotal);
        }
        if (face.characterMap && *kindOf(*face.characterMap).note)
            text += "\t" + std::string(kindOf(*face.characterMap).note);
    }
    out.line(text, line.encoding);
    if (!options.missing) return;
    // ASCII, written as the face's line is: a change of encoding would cost
    // the output a write of its own.
    const auto covered = coveredBy(face);
    for (const auto& block : m.blocks) {
        const auto& row = selection::coverageRows()[block.row];
        out.line("\t" + std::string(row.name) + ": " + missingText(row.assigned, covered, *options.missing),
                 line.encoding);
    }
    if (!options.codePoints.empty()) {
        out.line("\tcode points: " + missingText(options.codePoints, covered, *options.missing), line.encoding);
    }
}

// ---- JSON --------------------------------------------------------------------

std::vector<std::uint32_t> missingList(std::span<const CodePointRange> wanted, std::span<const CodePointRange> present,
                                       std::size_t listed) {
    std::vector<char32_t> first(listed);
    const auto missing = fontfile::findMissing(wanted, present, first);
    return {first.begin(), first.begin() + static_cast<std::ptrdiff_t>(missing.listed)};
}

JsonObject faceObject(const FontCatalog& catalog, const CatalogFace& face, const Line& line) {
    const auto& file = catalog.files[face.file];
    JsonObject object;
    object.key("file").value(utf8FromFileName(file.name));
    object.key("dir").value(utf8FromFileName(displayFolder(file.directory)));
    object.key("face").value(face.member);
    object.key("collection").value(inventory::isCollection(file.format));
    object.key("format").value(inventory::formatName(file.format));
    if (face.os2Version) {
        object.key("os2_version").value(*face.os2Version);
    } else {
        object.key("os2_version").value(nullptr);
    }
    object.key("ranges").value(face.ranges);
    if (face.hasMacName) {
        object.key("mac_name").value(utf8FromMacRoman(macName(face)));
    } else {
        object.key("mac_name").value(nullptr);
    }
    if (const auto windows = windowsName(face)) {
        object.key("windows_name").value(*windows);
    } else {
        object.key("windows_name").value(nullptr);
    }
    object.key("name").value(line.encoding == TextEncoding::utf8 ? line.name : utf8FromMacRoman(line.name));
    return object;
}

void writeJsonFace(const QueryOptions& options, const FontCatalog& catalog, const Measured& m, const Line& line,
                   Output& out) {
    const auto& face = catalog.faces[m.face];
    auto object = faceObject(catalog, face, line);
    if (options.needsCharacterMaps()) {
        object.key("cmap").value(kindOf(*face.characterMap).json);
        std::vector<JsonObject> blocks;
        for (const auto& block : m.blocks) {
            const auto& row = selection::coverageRows()[block.row];
            JsonObject entry;
            entry.key("name").value(row.name);
            entry.key("bit").value(row.rangeBit);
            entry.key("declared").value(block.declared);
            entry.key("covered").value(block.covered);
            entry.key("total").value(block.total);
            if (options.missing)
                entry.key("missing").value(missingList(row.assigned, coveredBy(face), *options.missing));
            blocks.push_back(std::move(entry));
        }
        object.key("blocks").value(blocks);
        if (!options.codePoints.empty()) {
            JsonObject codePoints;
            codePoints.key("covered").value(m.codePointsCovered);
            codePoints.key("total").value(m.codePointsTotal);
            if (options.missing) {
                codePoints.key("missing").value(missingList(options.codePoints, coveredBy(face), *options.missing));
            }
            object.key("code_points").value(codePoints);
        }
        if (options.near) object.key("near").value(m.near);
    }
    out.line(object.str(), TextEncoding::utf8);
}

// ---- Audit ---------------------------------------------------------------------

struct Finding {
    std::string kind;  // sparse, undeclared, reserved, changed
    std::int32_t bit = 0;
    std::string block;
    std::string detail;
};

// A set bit whose row the character map barely covers: below kSparsePercent,
// or none of it for a row that any one code point declares.
bool sparse(const selection::CoverageRow& row, std::uint32_t count) {
    return row.declaredByAny ? count == 0 : !atLeast(count, row.assignedCount, kSparsePercent);
}

// A clear bit whose row the character map covers as a font that sets it
// would: at least kUndeclaredPercent, or any of it for a row that any one
// code point declares.
bool deservesItsBit(const selection::CoverageRow& row, std::uint32_t count) {
    return count > 0 && (row.declaredByAny || atLeast(count, row.assignedCount, kUndeclaredPercent));
}

// The block list's name for `bit`, empty for a bit the block list leaves out.
std::string_view blockListNameOf(std::int32_t bit) {
    const auto row = selection::firstRowOfBit(bit);  // the block list's rows come first
    return row && selection::coverageRows()[*row].inBlockList ? selection::coverageRows()[*row].name : "";
}

// A set bit the font's OS/2 version reserves or gives another meaning.
Finding versionFinding(std::int32_t bit, std::uint16_t version, const selection::BitMeaning& meaning) {
    const auto versionText = "OS/2 version " + std::to_string(version);
    const std::string block(blockListNameOf(bit));
    if (meaning.status == selection::BitStatus::reserved) {
        return {"reserved", bit, block, versionText + " reserves this bit"};
    }
    return {"changed", bit, block, versionText + ": " + std::string(meaning.name)};
}

// What a face's bits get wrong; without an OS/2 version they mean nothing
// to check.
std::vector<Finding> auditFace(const CatalogFace& face) {
    std::vector<Finding> findings;
    if (!face.os2Version) return findings;
    const auto covered = coveredBy(face);
    const std::uint16_t version = *face.os2Version;
    for (std::int32_t bit = 0; bit < 128; ++bit) {
        const bool set = declares(face, bit);
        const auto meaning = selection::bitMeaning(bit, version);
        if (set && meaning.status != selection::BitStatus::assigned) {
            findings.push_back(versionFinding(bit, version, meaning));
        }
        if (!meaning.row) continue;
        const auto& coverageRow = selection::coverageRows()[*meaning.row];
        const auto count = fontfile::countCommon(coverageRow.assigned, covered);
        const char* kind = set && sparse(coverageRow, count)            ? "sparse"
                           : !set && deservesItsBit(coverageRow, count) ? "undeclared"
                                                                        : nullptr;
        if (kind) {
            findings.push_back({kind, bit, std::string(coverageRow.name),
                                std::to_string(count) + "/" + std::to_string(coverageRow.assignedCount) + " covered"});
        }
    }
    return findings;
}

void writeFindings(const QueryOptions& options, const FontCatalog& catalog, const Measured& m, const Line& line,
                   Output& out) {
    const auto& face = catalog.faces[m.face];
    for (const auto& finding : auditFace(face)) {
        if (options.json) {
            auto object = faceObject(catalog, face, line);
            object.key("finding").value(finding.kind);
            object.key("bit").value(finding.bit);
            object.key("block").value(finding.block);
            object.key("detail").value(finding.detail);
            out.line(object.str(), TextEncoding::utf8);
        } else {
            out.line(line.shown() + "\t" + finding.kind + "\t" + std::to_string(finding.bit) + "\t" + finding.block +
                         "\t" + finding.detail,
                     line.encoding);
        }
    }
}

void noteDamage(const FontCatalog& catalog, const CatalogFace& face) {
    if (!face.characterMap || face.characterMap->outcome != CharacterMap::Outcome::damaged) return;
    const auto& file = catalog.files[face.file];
    std::fprintf(stderr, "meldrove-query: %s, face %u: damaged character map (%s); counted as covering nothing\n",
                 escapeControls(displayPath(file), true).c_str(), static_cast<unsigned>(face.member),
                 face.characterMap->damage ? face.characterMap->damage : "unreadable");
}

}  // namespace

std::string safeLine(std::string_view line) { return escapeControls(line, needsEscape(line)); }

void writeAnswer(const QueryOptions& options, const FontCatalog& catalog, FileNaming naming, Output& out) {
    std::vector<Measured> chosen;
    std::vector<Line> lines;
    std::vector<std::string> rawLines;
    // With --audit and nothing asked for, every font is audited.
    for (std::size_t i = 0; i < catalog.faces.size(); ++i) {
        noteDamage(catalog, catalog.faces[i]);
        auto m = measure(options, catalog, i);
        if (!m.listed && !m.near) continue;
        lines.push_back(lineOf(options, catalog, catalog.faces[i], naming));
        rawLines.push_back(lines.back().raw());
        chosen.push_back(std::move(m));
    }
    for (const auto at : selection::listBoxOrder(rawLines)) {
        if (options.audit) {
            writeFindings(options, catalog, chosen[at], lines[at], out);
        } else if (options.json) {
            writeJsonFace(options, catalog, chosen[at], lines[at], out);
        } else {
            writeTextFace(options, catalog, chosen[at], lines[at], out);
        }
    }
}

}  // namespace query
