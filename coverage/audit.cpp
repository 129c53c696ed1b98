#include "coverage/audit.h"

#include <algorithm>

#include "coverage/bit_meanings.h"
#include "coverage/character_properties.h"
#include "coverage/coverage_rows.h"
#include "coverage/face_coverage.h"
#include "coverage/shaping.h"

namespace coverage {

namespace {

// A set bit whose row the character map barely covers: below kSparsePercent,
// or none of it for a row that any one code point declares.
bool sparse(const CoverageRow& row, std::uint32_t count) {
    return row.declaredByAny ? count == 0 : !atLeastPercent(count, row.assignedCount, kSparsePercent);
}

// A clear bit whose row the character map covers as a font that sets it
// would: at least kUndeclaredPercent, or any of it for a row that any one
// code point declares.
bool deservesItsBit(const CoverageRow& row, std::uint32_t count) {
    return count > 0 && (row.declaredByAny || atLeastPercent(count, row.assignedCount, kUndeclaredPercent));
}

// The block list's name for `bit`, empty for a bit the block list leaves out.
std::string_view blockListNameOf(std::int32_t bit) {
    const auto row = firstRowOfBit(bit);  // the block list's rows come first
    return row && coverageRows()[*row].inBlockList ? coverageRows()[*row].name : "";
}

// A set bit the font's OS/2 version reserves or gives another meaning.
Finding versionFinding(std::int32_t bit, std::uint16_t version, const BitMeaning& meaning) {
    const auto versionText = "OS/2 version " + std::to_string(version);
    const std::string block(blockListNameOf(bit));
    if (meaning.status == BitStatus::reserved) {
        return {FindingKind::reserved, bit, block, versionText + " reserves this bit"};
    }
    return {FindingKind::changed, bit, block, versionText + ": " + std::string(meaning.name)};
}

// For each row, what its characters need of a layout when most of them are
// of a script that needs shaping; nothing for the others.
const std::vector<std::optional<ShapingNeeds>>& shapedRows() {
    static const auto needs = [] {
        std::vector<std::optional<ShapingNeeds>> table;
        for (const auto& row : coverageRows()) {
            std::vector<std::uint32_t> count(scriptNames().size());
            for (const auto& run : row.assigned) {
                for (auto c = run.first;; ++c) {
                    ++count[scriptIndex(c)];
                    if (c == run.last) break;
                }
            }
            const auto most = std::size_t(std::max_element(count.begin(), count.end()) - count.begin());
            const auto scripts = shapingScripts();
            const auto script = std::find_if(scripts.begin(), scripts.end(),
                                             [&](const ShapingScript& s) { return s.script == scriptNames()[most]; });
            const bool shaped =
                script != scripts.end() && script->needsShaping() && atLeastPercent(count[most], row.assignedCount, 50);
            table.push_back(shaped ? std::optional(shapingNeedsOf(row.assigned)) : std::nullopt);
        }
        return table;
    }();
    return needs;
}

std::optional<Finding> shapingFinding(const inventory::CatalogFace& face, std::size_t rowIndex, std::uint32_t count) {
    const auto& needs = shapedRows()[rowIndex];
    const auto& row = coverageRows()[rowIndex];
    if (!face.layout || !needs || !atLeastPercent(count, row.assignedCount, kShapedPercent)) return std::nullopt;
    const auto missing = undeclaredFeatures(*needs, *face.layout);
    if (missing.empty()) return std::nullopt;
    std::string names;
    for (const auto& feature : missing) names += (names.empty() ? "" : ",") + featureName(feature);
    return Finding{FindingKind::shaping, row.rangeBit, std::string(row.name),
                   std::to_string(count) + "/" + std::to_string(row.assignedCount) + " covered; undeclared " + names};
}

}  // namespace

std::string_view findingName(FindingKind kind) {
    switch (kind) {
        case FindingKind::sparse:
            return "sparse";
        case FindingKind::undeclared:
            return "undeclared";
        case FindingKind::reserved:
            return "reserved";
        case FindingKind::changed:
            return "changed";
        case FindingKind::shaping:
            return "shaping";
    }
    return "";
}

std::vector<Finding> auditFace(const inventory::CatalogFace& face) {
    std::vector<Finding> findings;
    if (!face.os2Version) return findings;
    const auto covered = coveredBy(face);
    const std::uint16_t version = *face.os2Version;
    for (std::int32_t bit = 0; bit < 128; ++bit) {
        const bool set = declares(face, bit);
        const auto meaning = bitMeaning(bit, version);
        if (set && meaning.status != BitStatus::assigned) findings.push_back(versionFinding(bit, version, meaning));
        if (!meaning.row) continue;
        const auto& row = coverageRows()[*meaning.row];
        const auto count = fontfile::countCommon(row.assigned, covered);
        if (set ? sparse(row, count) : deservesItsBit(row, count)) {
            findings.push_back({set ? FindingKind::sparse : FindingKind::undeclared, bit, std::string(row.name),
                                std::to_string(count) + "/" + std::to_string(row.assignedCount) + " covered"});
        }
        if (auto shaping = shapingFinding(face, *meaning.row, count)) findings.push_back(std::move(*shaping));
    }
    return findings;
}

}  // namespace coverage
