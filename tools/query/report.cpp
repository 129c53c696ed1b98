#include "query/report.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <span>
#include <string_view>

#include "coverage/bit_meanings.h"
#include "coverage/coverage_rows.h"
#include "fontfile/code_points.h"
#include "query/text.h"
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

// `codePointsTotal`: the size of options.codePoints, the same for every face.
Measured measure(const QueryOptions& options, const FontCatalog& catalog, std::size_t index,
                 std::uint32_t codePointsTotal) {
    const auto& face = catalog.faces[index];
    const auto covered = coveredBy(face);
    Measured m{.face = index};
    bool declaredAll = true, coveredAll = true;
    for (const auto row : options.rows) {
        const auto& coverageRow = coverage::coverageRows()[row];
        BlockCoverage block{row, declares(face, coverageRow.rangeBit), 0, coverageRow.assignedCount};
        if (options.needsCharacterMaps()) block.covered = fontfile::countCommon(coverageRow.assigned, covered);
        declaredAll = declaredAll && block.declared;
        coveredAll = coveredAll && atLeast(block.covered, block.total, options.minPercent);
        m.missing += block.total - block.covered;
        m.blocks.push_back(block);
    }
    m.codePointsTotal = codePointsTotal;
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

std::string macName(const CatalogFace& face) { return std::string(inventory::slotText(face.macName)); }

// The file's name is left as it is: elsewhere than on Windows a backslash
// may be part of it.
std::string displayPath(const inventory::CatalogFile& file) {
    return file.directory.empty() ? file.name : systemPath(file.directory + '\\') + file.name;
}

// The name a face's line shows, and its Windows name decoded once for the
// line and JSON alike.
struct Line {
    std::string name;  // in `encoding`
    TextEncoding encoding = TextEncoding::ansi;
    std::optional<std::string> windowsName;  // UTF-8
};

Line lineOf(const QueryOptions& options, const CatalogFace& face) {
    Line line;
    // The catalog reads a Windows name only when a line or JSON shows it.
    if (face.windowsName) line.windowsName = utf8FromUtf16be(*face.windowsName);
    if (options.names == NameChoice::mac) {
        line.name = macName(face);  // raw bytes, as the program shows them
        return line;
    }
    line.encoding = TextEncoding::utf8;
    if (options.names == NameChoice::windows) {
        line.name = line.windowsName.value_or(std::string());
    } else {
        line.name = line.windowsName  ? *line.windowsName
                    : face.hasMacName ? utf8FromMacRoman(macName(face))
                                      : std::string();
    }
    return line;
}

// A catalog's path or file name in UTF-8: on Windows it is already.
std::string catalogNameInUtf8(const FontCatalog& catalog, std::string_view name) {
    return catalog.namesAreUtf8 ? validUtf8(name) : utf8FromFileName(name);
}

// The program's line: "<name>   (<file>)", two blanks for a member.
std::string rawLine(const FontCatalog& catalog, const CatalogFace& face, const Line& line, FileNaming naming) {
    const auto& file = catalog.files[face.file];
    auto shownFile = naming.fullPaths ? displayPath(file) : file.name;
    if (line.encoding == TextEncoding::utf8) {
        shownFile = catalogNameInUtf8(catalog, shownFile);
    }
    return inventory::isCollection(file.format) ? selection::memberLine(line.name, shownFile)
                                                : selection::singleFontLine(line.name, shownFile);
}

// A face of the answer as it is written.
struct Entry {
    const Measured& measured;
    const Line& line;
    std::string shown;  // the program's line, made safe
};

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

// The first code points of `wanted` that `present` lacks, at most `listed` of
// the `missing` there are, and how many there are in all.
struct FirstMissing {
    std::vector<char32_t> first;
    std::uint32_t total = 0;
};

FirstMissing firstMissing(std::span<const CodePointRange> wanted, std::span<const CodePointRange> present,
                          std::size_t listed, std::uint32_t missing) {
    std::vector<char32_t> first(std::min<std::size_t>(listed, missing));
    const auto found = fontfile::findMissing(wanted, present, first);
    first.resize(found.listed);
    return {std::move(first), found.total};
}

// "<first missing> ... and N more", or "none missing".
std::string missingText(const FirstMissing& missing) {
    if (missing.total == 0) return "none missing";
    std::string text = std::to_string(missing.total) + " missing:";
    for (const auto codePoint : missing.first) text += " " + codePointText(codePoint);
    if (missing.total > missing.first.size()) {
        text += " and " + std::to_string(missing.total - missing.first.size()) + " more";
    }
    return text;
}

void writeTextFace(const QueryOptions& options, const FontCatalog& catalog, const Entry& entry, Output& out) {
    const auto& m = entry.measured;
    const auto& face = catalog.faces[m.face];
    const auto encoding = entry.line.encoding;
    std::string text = entry.shown;
    if (m.near) text += "\tnear: " + std::to_string(m.missing) + " missing";
    if (options.coverage) {
        for (const auto& block : m.blocks) {
            text += "\t" + std::string(coverage::coverageRows()[block.row].name) + " " + std::to_string(block.covered) +
                    "/" + std::to_string(block.total) + (block.declared ? " declared" : " undeclared");
        }
        if (!options.codePoints.empty()) {
            text += "\tcode points " + std::to_string(m.codePointsCovered) + "/" + std::to_string(m.codePointsTotal);
        }
        if (face.characterMap) {
            const auto* note = kindOf(*face.characterMap).note;
            if (*note) text += "\t" + std::string(note);
        }
    }
    out.line(text, encoding);
    if (!options.missing) return;
    // ASCII, written as the face's line is: a change of encoding would cost
    // the output a write of its own.
    const auto covered = coveredBy(face);
    for (const auto& block : m.blocks) {
        const auto& row = coverage::coverageRows()[block.row];
        const auto missing = firstMissing(row.assigned, covered, *options.missing, block.total - block.covered);
        out.line("\t" + std::string(row.name) + ": " + missingText(missing), encoding);
    }
    if (!options.codePoints.empty()) {
        const auto missing =
            firstMissing(options.codePoints, covered, *options.missing, m.codePointsTotal - m.codePointsCovered);
        out.line("\tcode points: " + missingText(missing), encoding);
    }
}

// ---- JSON --------------------------------------------------------------------

JsonObject faceObject(const FontCatalog& catalog, const CatalogFace& face, const Line& line) {
    const auto& file = catalog.files[face.file];
    JsonObject object;
    object.key("file").value(catalogNameInUtf8(catalog, file.name));
    object.key("dir").value(catalogNameInUtf8(catalog, systemPath(file.directory)));
    object.key("face").value(face.member);
    object.key("collection").value(inventory::isCollection(file.format));
    object.key("format").value(inventory::formatName(file.format));
    if (face.os2Version) {
        object.key("os2_version").value(*face.os2Version);
    } else {
        object.key("os2_version").value(nullptr);
    }
    object.key("ranges").value(face.ranges);
    const auto mac = face.hasMacName ? std::optional(utf8FromMacRoman(macName(face))) : std::nullopt;
    if (mac) {
        object.key("mac_name").value(*mac);
    } else {
        object.key("mac_name").value(nullptr);
    }
    if (line.windowsName) {
        object.key("windows_name").value(*line.windowsName);
    } else {
        object.key("windows_name").value(nullptr);
    }
    // The Macintosh name is the line's own unless the line is in UTF-8.
    object.key("name").value(line.encoding == TextEncoding::utf8 ? line.name
                             : mac                               ? *mac
                                                                 : utf8FromMacRoman(line.name));
    return object;
}

void writeJsonFace(const QueryOptions& options, const FontCatalog& catalog, const Entry& entry, Output& out) {
    const auto& m = entry.measured;
    const auto& face = catalog.faces[m.face];
    auto object = faceObject(catalog, face, entry.line);
    const auto covered = coveredBy(face);
    if (options.needsCharacterMaps()) {
        object.key("cmap").value(kindOf(*face.characterMap).json);
        std::vector<JsonObject> blocks;
        for (const auto& block : m.blocks) {
            const auto& row = coverage::coverageRows()[block.row];
            JsonObject blockObject;
            blockObject.key("name").value(row.name);
            blockObject.key("bit").value(row.rangeBit);
            blockObject.key("declared").value(block.declared);
            blockObject.key("covered").value(block.covered);
            blockObject.key("total").value(block.total);
            if (options.missing) {
                const auto missing = firstMissing(row.assigned, covered, *options.missing, block.total - block.covered);
                blockObject.key("missing").value(missing.first);
            }
            blocks.push_back(std::move(blockObject));
        }
        object.key("blocks").value(blocks);
        if (!options.codePoints.empty()) {
            JsonObject codePoints;
            codePoints.key("covered").value(m.codePointsCovered);
            codePoints.key("total").value(m.codePointsTotal);
            if (options.missing) {
                const auto missing = firstMissing(options.codePoints, covered, *options.missing,
                                                  m.codePointsTotal - m.codePointsCovered);
                codePoints.key("missing").value(missing.first);
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
bool sparse(const coverage::CoverageRow& row, std::uint32_t count) {
    return row.declaredByAny ? count == 0 : !atLeast(count, row.assignedCount, kSparsePercent);
}

// A clear bit whose row the character map covers as a font that sets it
// would: at least kUndeclaredPercent, or any of it for a row that any one
// code point declares.
bool deservesItsBit(const coverage::CoverageRow& row, std::uint32_t count) {
    return count > 0 && (row.declaredByAny || atLeast(count, row.assignedCount, kUndeclaredPercent));
}

// The block list's name for `bit`, empty for a bit the block list leaves out.
std::string_view blockListNameOf(std::int32_t bit) {
    const auto row = coverage::firstRowOfBit(bit);  // the block list's rows come first
    return row && coverage::coverageRows()[*row].inBlockList ? coverage::coverageRows()[*row].name : "";
}

// A set bit the font's OS/2 version reserves or gives another meaning.
Finding versionFinding(std::int32_t bit, std::uint16_t version, const coverage::BitMeaning& meaning) {
    const auto versionText = "OS/2 version " + std::to_string(version);
    const std::string block(blockListNameOf(bit));
    if (meaning.status == coverage::BitStatus::reserved) {
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
        const auto meaning = coverage::bitMeaning(bit, version);
        if (set && meaning.status != coverage::BitStatus::assigned) {
            findings.push_back(versionFinding(bit, version, meaning));
        }
        if (!meaning.row) continue;
        const auto& coverageRow = coverage::coverageRows()[*meaning.row];
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

void writeFindings(const QueryOptions& options, const FontCatalog& catalog, const Entry& entry, Output& out) {
    const auto& face = catalog.faces[entry.measured.face];
    const auto findings = auditFace(face);
    if (findings.empty()) return;
    if (options.json) {
        const auto object = faceObject(catalog, face, entry.line);
        for (const auto& finding : findings) {
            auto line = object;
            line.key("finding").value(finding.kind);
            line.key("bit").value(finding.bit);
            line.key("block").value(finding.block);
            line.key("detail").value(finding.detail);
            out.line(line.str(), TextEncoding::utf8);
        }
        return;
    }
    for (const auto& finding : findings) {
        out.line(entry.shown + "\t" + finding.kind + "\t" + std::to_string(finding.bit) + "\t" + finding.block + "\t" +
                     finding.detail,
                 entry.line.encoding);
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

void printNote(const FontCatalog&, const inventory::CatalogNote& note) {
    std::string where = escapeControls(systemPath(note.path), true);
    if (note.member) where += ", face " + std::to_string(*note.member);
    std::fprintf(stderr, "meldrove-query: %s: %s\n", where.c_str(), escapeControls(note.message, true).c_str());
}

std::string safeLine(std::string_view line) { return escapeControls(line, needsEscape(line)); }

void writeAnswer(const QueryOptions& options, const FontCatalog& catalog, FileNaming naming, Output& out) {
    std::vector<Measured> chosen;
    std::vector<Line> lines;
    std::vector<std::string> rawLines;
    const auto codePointsTotal = sizeOf(options.codePoints);
    // With --audit and nothing asked for, every font is audited.
    for (std::size_t i = 0; i < catalog.faces.size(); ++i) {
        noteDamage(catalog, catalog.faces[i]);
        auto m = measure(options, catalog, i, codePointsTotal);
        if (!m.listed && !m.near) continue;
        lines.push_back(lineOf(options, catalog.faces[i]));
        rawLines.push_back(rawLine(catalog, catalog.faces[i], lines.back(), naming));
        chosen.push_back(std::move(m));
    }
    for (const auto at : selection::listBoxOrder(rawLines)) {
        const Entry entry{chosen[at], lines[at], safeLine(rawLines[at])};
        if (options.audit) {
            writeFindings(options, catalog, entry, out);
        } else if (options.json) {
            writeJsonFace(options, catalog, entry, out);
        } else {
            writeTextFace(options, catalog, entry, out);
        }
    }
}

}  // namespace query
