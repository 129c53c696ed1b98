// One face measured against what a user asked for: how much of each named
// block, each named language and the code points asked for its character map
// holds, what it misses, and whether it is listed, either as a match or as a
// near miss.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "coverage/languages.h"
#include "coverage/shaping.h"
#include "fontfile/code_points.h"
#include "inventory/font_catalog.h"

namespace coverage {

enum class MatchMode {
    declared,  // the range bits of every block are set, as the program matches; every language supported
    covered,   // the character map covers at least minPercent of every block and language
    both,      // the two together
};

struct CoverageRequest {
    std::vector<std::size_t> rows;                     // indices in coverageRows(), each once, in the order named
    std::vector<std::size_t> languages;                // indices in languages(), each once, in the order named
    std::vector<fontfile::CodePointRange> codePoints;  // sorted and merged; every one must be mapped
    MatchMode match = MatchMode::declared;
    std::uint32_t minPercent = 100;
    // With covered or both: also list the faces that miss at most this many
    // code points over the blocks and the code points together.
    std::optional<std::uint32_t> near;
    // List this many of each block's (and the code points') missing code points.
    std::optional<std::size_t> missingListed;
    // Also count, after the rows asked for, every row the face declares or
    // maps any code point of; they only inform, and decide nothing.
    bool everyTouchedRow = false;
    LanguageLevel level = LanguageLevel::base;
    // Whether a character also counts as covered by its canonical decomposition,
    // for the languages and the code points alike.
    DecomposedForms decomposed = DecomposedForms::notCounted;
    // Also tell every language the face supports.
    bool supportedLanguages = false;
    // When shaping is asked about: what the characters asked for need of a
    // face's layout (shapingNeedsOf(requestedCodePoints(...))), and whether
    // only the faces that declare all of it are listed.
    std::shared_ptr<const ShapingNeeds> shaping;
    bool shapingRequired = false;

    // Whether anything asked for needs each face's character map.
    bool needsCharacterMaps() const;
    // Whether each face's GSUB and GPOS must be read.
    bool needsLayoutTables() const { return shaping != nullptr; }
    // Whether blocks, languages or code points were asked for.
    bool measuresAnything() const { return !rows.empty() || !languages.empty() || !codePoints.empty(); }
};

// The first code points missing of what was asked for, when a listing was asked for.
using MissingList = std::optional<std::vector<char32_t>>;

struct BlockCoverage {
    std::size_t row = 0;  // in coverageRows()
    bool declared = false;
    std::uint32_t covered = 0;
    std::uint32_t total = 0;  // the row's assigned code points
    MissingList firstMissing;

    std::uint32_t missing() const { return total - covered; }
};

struct FaceLanguageCoverage {
    std::size_t language = 0;  // in languages()
    std::uint32_t covered = 0;
    std::uint32_t total = 0;  // the code points it requires at the request's level
    MissingList firstMissing;

    std::uint32_t missing() const { return total - covered; }
    bool supported() const { return covered == total; }
};

struct CodePointCoverage {
    std::uint32_t covered = 0;
    std::uint32_t total = 0;
    MissingList firstMissing;

    std::uint32_t missing() const { return total - covered; }
};

struct FaceCoverage {
    std::vector<BlockCoverage> blocks;            // in the order of the request's rows, then the touched ones
    std::vector<FaceLanguageCoverage> languages;  // in the order of the request's languages
    std::optional<CodePointCoverage> codePoints;  // when code points were asked for
    std::uint32_t missing = 0;                    // over the blocks, languages and code points together
    // When asked: every language the face supports, by index in languages().
    std::optional<std::vector<std::size_t>> supportedLanguages;
    // When shaping was asked about: what the face's layout does not declare
    // of what the characters asked for need; empty when it declares it all.
    std::optional<std::vector<MissingFeature>> undeclaredShaping;
    bool listed = false;  // a match
    // When near misses were asked for: whether the face is one, not a match
    // but within the request's near count.
    std::optional<bool> near;

    bool shown() const { return listed || near.value_or(false); }
};

// The code points a face's character map covers: none unless it gives
// Unicode coverage.
std::span<const fontfile::CodePointRange> coveredBy(const inventory::CatalogFace& face);

// Whether the face's range words have `bit` set.
bool declares(const inventory::CatalogFace& face, std::int32_t bit);

// `part` is at least `percent` percent of `whole`.
bool atLeastPercent(std::uint32_t part, std::uint32_t whole, std::uint32_t percent);

// Every code point a request asks for: its rows' assigned ones, its
// languages' required ones at its level and its code points; sorted, merged.
std::vector<fontfile::CodePointRange> requestedCodePoints(const CoverageRequest& request);

FaceCoverage measureFace(const CoverageRequest& request, const inventory::CatalogFace& face);

}  // namespace coverage
