#include "coverage/character_properties.h"

#include <algorithm>
#include <iterator>

#include "fontfile/code_points.h"

namespace coverage {

namespace {

using fontfile::CodePointRange;

// The arithmetic of the Hangul syllables, whose decompositions the UCD
// lists in full but are left out of the generated table.
constexpr char32_t kSyllableBase = 0xAC00;
constexpr char32_t kLeadingBase = 0x1100;
constexpr char32_t kVowelBase = 0x1161;
constexpr char32_t kTrailingBase = 0x11A7;  // one before the first trailing consonant
constexpr char32_t kVowelCount = 21;
constexpr char32_t kTrailingCount = 28;  // the first one meaning none
constexpr char32_t kSyllableCount = 19 * kVowelCount * kTrailingCount;

bool inRuns(std::span<const CodePointRange> runs, char32_t c) {
    const auto at = std::partition_point(runs.begin(), runs.end(), [c](const CodePointRange& r) { return r.last < c; });
    return at != runs.end() && at->first <= c;
}

FullDecomposition hangulDecomposition(char32_t syllable) {
    const auto index = syllable - kSyllableBase;
    FullDecomposition d;
    d.parts[d.size++] = kLeadingBase + index / (kVowelCount * kTrailingCount);
    d.parts[d.size++] = kVowelBase + (index % (kVowelCount * kTrailingCount)) / kTrailingCount;
    if (const auto trailing = index % kTrailingCount; trailing != 0) d.parts[d.size++] = kTrailingBase + trailing;
    return d;
}

}  // namespace

char32_t simpleUppercase(char32_t c) {
    const auto runs = uppercaseRuns();
    const auto at = std::partition_point(runs.begin(), runs.end(), [c](const UppercaseRun& r) { return r.last < c; });
    if (at == runs.end() || at->first > c || (c - at->first) % at->step != 0) return c;
    return static_cast<char32_t>(static_cast<std::int64_t>(c) + at->delta);
}

bool isFormatCharacter(char32_t c) { return inRuns(formatCharacterRuns(), c); }
bool isNonspacingMark(char32_t c) { return inRuns(nonspacingMarkRuns(), c); }

FullDecomposition fullCanonicalDecomposition(char32_t c) {
    if (c >= kSyllableBase && c - kSyllableBase < kSyllableCount) return hangulDecomposition(c);
    const auto table = canonicalDecompositions();
    const auto at = std::partition_point(table.begin(), table.end(),
                                         [c](const CanonicalDecomposition& d) { return d.codePoint < c; });
    FullDecomposition d;
    if (at == table.end() || at->codePoint != c) {
        d.parts[d.size++] = c;
        return d;
    }
    while (d.size < at->parts.size() && at->parts[d.size] != 0) {
        d.parts[d.size] = at->parts[d.size];
        ++d.size;
    }
    return d;
}

std::size_t scriptIndex(char32_t c) {
    const auto starts = scriptStarts();
    // The last start at or before c: there is one, the first being U+0000.
    const auto after =
        std::partition_point(starts.begin(), starts.end(), [c](const ScriptStart& s) { return s.first <= c; });
    return std::prev(after)->script;
}

std::string_view scriptName(char32_t c) { return scriptNames()[scriptIndex(c)]; }

}  // namespace coverage
