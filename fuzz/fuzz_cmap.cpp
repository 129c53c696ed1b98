// The character map reader on any bytes: the font whose directory starts at
// 0, and the one whose directory starts where the input's first two bytes
// say (they are a font's sfntVersion, which no reader examines), as a
// collection member's would.
//
// Checked beyond the sanitizers: the runs are sorted, disjoint, merged and
// in range, none past U+00FF for format 0 or U+FFFF for formats 4 and 6;
// only `unicode` has runs and only `damaged` a note. The subtables passed
// over are each of a preferred kind, at most one of each, best first and
// all better than the one chosen, each with a reason; a damaged map tells
// the reason of the best of them. The counting helpers are
// run over the result: a run list has all its code points in common with
// itself, and what it misses of the whole code space is the rest, listed in
// increasing order without writing past the room given.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <utility>
#include <vector>

#include "fontfile/character_map.h"
#include "fontfile/code_points.h"
#include "fontfile/sfnt.h"
#include "fuzz_support.h"

using namespace fuzzsupport;
using fontfile::CharacterMap;
using fontfile::CodePointRange;
using fontfile::kLastCodePoint;

namespace {

constexpr std::size_t kListedMissing = 8;

// The highest code point the subtable's format can map.
char32_t lastOfFormat(std::uint16_t format) {
    if (format == 0) return 0xFF;
    if (format == 4 || format == 6) return 0xFFFF;
    return kLastCodePoint;
}

bool covers(const std::vector<CodePointRange>& runs, char32_t c) {
    const auto after = std::upper_bound(runs.begin(), runs.end(), c,
                                        [](char32_t value, const CodePointRange& run) { return value < run.first; });
    return after != runs.begin() && std::prev(after)->last >= c;
}

std::uint32_t checkRuns(const std::vector<CodePointRange>& runs, char32_t last) {
    std::uint32_t total = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        FUZZ_CHECK(runs[i].first <= runs[i].last && runs[i].last <= last);
        if (i > 0) FUZZ_CHECK(runs[i].first > runs[i - 1].last + 1);  // sorted, disjoint and merged
        total += runs[i].size();
    }
    return total;
}

void checkCounting(const std::vector<CodePointRange>& runs, std::uint32_t total) {
    FUZZ_CHECK(fontfile::countCommon(runs, runs) == total);
    const std::array<CodePointRange, 1> everything{{{0, kLastCodePoint}}};
    FUZZ_CHECK(fontfile::countCommon(everything, runs) == total);
    const auto first = exactArray<char32_t>(kListedMissing, 0);
    const auto missing = fontfile::findMissing(everything, runs, std::span(first.get(), kListedMissing));
    FUZZ_CHECK(missing.total == kLastCodePoint + 1 - total);
    FUZZ_CHECK(missing.listed == std::min<std::size_t>(kListedMissing, missing.total));
    for (std::size_t k = 0; k < missing.listed; ++k) {
        FUZZ_CHECK(!covers(runs, first[k]));
        if (k > 0) FUZZ_CHECK(first[k] > first[k - 1]);
    }
}

// The place of a kind in the order of preference; 8 for any other.
std::size_t preferenceOf(std::uint16_t platformID, std::uint16_t encodingID) {
    constexpr std::array<std::pair<std::uint16_t, std::uint16_t>, 8> kPreferred{
        {{3, 10}, {0, 6}, {0, 4}, {3, 1}, {0, 3}, {0, 2}, {0, 1}, {0, 0}}};
    const auto at = std::find(kPreferred.begin(), kPreferred.end(), std::pair{platformID, encodingID});
    return static_cast<std::size_t>(at - kPreferred.begin());
}

void checkFallback(const CharacterMap& map) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < map.passedOver.size(); ++i) {
        const auto& passed = map.passedOver[i];
        FUZZ_CHECK(passed.why != nullptr);
        const auto preference = preferenceOf(passed.platformID, passed.encodingID);
        FUZZ_CHECK(preference < 8 && (i == 0 || preference > last));
        last = preference;
    }
    if (map.outcome == CharacterMap::Outcome::unicode && !map.passedOver.empty()) {
        FUZZ_CHECK(preferenceOf(map.platformID, map.encodingID) > last);
    }
    if (map.outcome == CharacterMap::Outcome::damaged && !map.passedOver.empty()) {
        const auto& best = map.passedOver.front();
        FUZZ_CHECK(map.damage == best.why && map.platformID == best.platformID && map.encodingID == best.encodingID);
    }
    if (map.outcome == CharacterMap::Outcome::noUnicodeSubtable || map.outcome == CharacterMap::Outcome::noCmapTable) {
        FUZZ_CHECK(map.passedOver.empty());
    }
}

void parseAt(std::span<const std::uint8_t> input, std::uint64_t directoryPosition) {
    fontfile::MemorySource source(input);
    const auto map = fontfile::parseCharacterMap(source, directoryPosition);
    const bool unicode = map.outcome == CharacterMap::Outcome::unicode;
    FUZZ_CHECK(unicode || map.covered.empty());
    FUZZ_CHECK((map.outcome == CharacterMap::Outcome::damaged) == (map.damage != nullptr));
    if (unicode) FUZZ_CHECK(map.format.has_value());
    checkFallback(map);
    const auto total = checkRuns(map.covered, map.format ? lastOfFormat(*map.format) : kLastCodePoint);
    checkCounting(map.covered, total);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceDiagnostics();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    parseAt(input, 0);
    std::uint16_t position = 0;
    if (fontfile::BigEndianReader(input).u16(position)) parseAt(input, position);
    return 0;
}
