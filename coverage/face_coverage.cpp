#include "coverage/face_coverage.h"

#include <algorithm>

#include "coverage/coverage_rows.h"
#include "selection/matching.h"

namespace coverage {

namespace {

using fontfile::CodePointRange;

// The first `listed` code points of `wanted` that `present` lacks, of the
// `missing` there are: the list is never longer than what is missing.
std::vector<char32_t> firstMissing(std::span<const CodePointRange> wanted, std::span<const CodePointRange> present,
                                   std::size_t listed, std::uint32_t missing) {
    std::vector<char32_t> first(std::min<std::size_t>(listed, missing));
    first.resize(fontfile::findMissing(wanted, present, first).listed);
    return first;
}

// The rows the face declares or maps any code point of, in row order, past
// those the request named.
void addTouchedRows(const CoverageRequest& request, const inventory::CatalogFace& face,
                    std::span<const CodePointRange> covered, FaceCoverage& measured) {
    const auto rows = coverageRows();
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (std::find(request.rows.begin(), request.rows.end(), index) != request.rows.end()) continue;
        const auto& row = rows[index];
        BlockCoverage block{.row = index,
                            .declared = declares(face, row.rangeBit),
                            .covered = fontfile::countCommon(row.assigned, covered),
                            .total = row.assignedCount};
        if (block.declared || block.covered > 0) measured.blocks.push_back(block);
    }
}

FaceLanguageCoverage measureLanguageOf(const CoverageRequest& request, std::size_t index,
                                       std::span<const CodePointRange> covered) {
    const auto& language = languages()[index];
    FaceLanguageCoverage measured{.language = index, .total = language.requirement(request.level).count};
    std::vector<char32_t> first;
    if (request.missingListed) first.resize(std::min<std::size_t>(*request.missingListed, measured.total));
    const auto found = measureLanguage(language, request.level, covered, request.decomposed, first);
    measured.covered = found.covered;
    if (request.missingListed) {
        first.resize(found.listed);
        measured.firstMissing = std::move(first);
    }
    return measured;
}

// The code points asked for: those mapped, and with decomposed forms counted
// those whose full decomposition is mapped.
CodePointCoverage measureCodePoints(const CoverageRequest& request, std::span<const CodePointRange> covered) {
    CodePointCoverage points{.covered = fontfile::countCommon(request.codePoints, covered),
                             .total = fontfile::countOf(request.codePoints)};
    const bool decomposed = request.decomposed == DecomposedForms::counted;
    if (!decomposed) {
        if (request.missingListed) {
            points.firstMissing = firstMissing(request.codePoints, covered, *request.missingListed, points.missing());
        }
        return points;
    }
    // Only what the map lacks can be covered by a decomposition; what is left
    // after that is what is missing.
    const auto lacking = firstMissing(request.codePoints, covered, points.missing(), points.missing());
    std::vector<char32_t> stillMissing;
    for (const auto c : lacking) {
        if (coversCharacter(covered, c, DecomposedForms::counted)) {
            ++points.covered;
        } else if (request.missingListed && stillMissing.size() < *request.missingListed) {
            stillMissing.push_back(c);
        }
    }
    if (request.missingListed) points.firstMissing = std::move(stillMissing);
    return points;
}

std::vector<std::size_t> supportedLanguagesOf(const CoverageRequest& request, std::span<const CodePointRange> covered) {
    const auto supported = coverage::supportedLanguages(covered, request.level, request.decomposed);
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < supported.size(); ++i) {
        if (supported[i]) indices.push_back(i);
    }
    return indices;
}

}  // namespace

bool CoverageRequest::needsCharacterMaps() const {
    return match != MatchMode::declared || near || missingListed || !codePoints.empty() || !languages.empty() ||
           supportedLanguages;
}

std::span<const CodePointRange> coveredBy(const inventory::CatalogFace& face) {
    if (!face.characterMap || face.characterMap->outcome != fontfile::CharacterMap::Outcome::unicode) return {};
    return face.characterMap->covered;
}

bool declares(const inventory::CatalogFace& face, std::int32_t bit) {
    const std::int32_t bits[] = {bit};
    return selection::coversAll(face.ranges, bits);
}

bool atLeastPercent(std::uint32_t part, std::uint32_t whole, std::uint32_t percent) {
    return std::uint64_t{part} * 100 >= std::uint64_t{whole} * percent;
}

std::vector<CodePointRange> requestedCodePoints(const CoverageRequest& request) {
    std::vector<CodePointRange> runs(request.codePoints.begin(), request.codePoints.end());
    for (const auto index : request.rows) {
        const auto assigned = coverageRows()[index].assigned;
        runs.insert(runs.end(), assigned.begin(), assigned.end());
    }
    for (const auto index : request.languages) {
        const auto required = languages()[index].requirement(request.level).required;
        runs.insert(runs.end(), required.begin(), required.end());
    }
    return fontfile::sortedAndMerged(std::move(runs));
}

FaceCoverage measureFace(const CoverageRequest& request, const inventory::CatalogFace& face) {
    const auto covered = coveredBy(face);
    FaceCoverage measured;
    bool declaredAll = true, coveredAll = true, supportedAll = true;
    for (const auto index : request.rows) {
        const auto& row = coverageRows()[index];
        BlockCoverage block{.row = index,
                            .declared = declares(face, row.rangeBit),
                            .covered = fontfile::countCommon(row.assigned, covered),
                            .total = row.assignedCount};
        if (request.missingListed)
            block.firstMissing = firstMissing(row.assigned, covered, *request.missingListed, block.missing());
        declaredAll = declaredAll && block.declared;
        coveredAll = coveredAll && atLeastPercent(block.covered, block.total, request.minPercent);
        measured.missing += block.missing();
        measured.blocks.push_back(std::move(block));
    }
    for (const auto index : request.languages) {
        auto language = measureLanguageOf(request, index, covered);
        coveredAll = coveredAll && atLeastPercent(language.covered, language.total, request.minPercent);
        supportedAll = supportedAll && language.supported();
        measured.missing += language.missing();
        measured.languages.push_back(std::move(language));
    }
    bool charactersAll = true;
    if (!request.codePoints.empty()) {
        auto points = measureCodePoints(request, covered);
        charactersAll = points.missing() == 0;
        measured.missing += points.missing();
        measured.codePoints = std::move(points);
    }
    if (request.supportedLanguages) measured.supportedLanguages = supportedLanguagesOf(request, covered);

    if (request.everyTouchedRow) addTouchedRows(request, face, covered, measured);
    bool shapingDeclared = true;
    if (request.shaping) {
        // A face whose tables were not read, or were damaged, declares nothing.
        measured.undeclaredShaping = undeclaredFeatures(*request.shaping, fontfile::tablesOrNone(face.layout));
        shapingDeclared = !request.shapingRequired || measured.undeclaredShaping->empty();
    }

    const bool withinNear = request.near && measured.missing <= *request.near;
    bool near = false;
    switch (request.match) {
        case MatchMode::declared:
            measured.listed = declaredAll && supportedAll && charactersAll;
            break;
        case MatchMode::covered:
            measured.listed = coveredAll && charactersAll;
            near = !measured.listed && withinNear;
            break;
        case MatchMode::both:
            measured.listed = declaredAll && coveredAll && charactersAll;
            near = !measured.listed && declaredAll && withinNear;
            break;
    }
    measured.listed = measured.listed && shapingDeclared;
    if (request.near) measured.near = near && shapingDeclared;
    return measured;
}

}  // namespace coverage
