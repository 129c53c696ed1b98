// Character properties of the pinned Unicode version, from character_data.cpp,
// which scripts/make-language-data writes; character_properties.h looks code
// points up in them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "fontfile/code_points.h"

namespace coverage {

// The simple uppercase mapping (one code point to one) of first, first +
// step, ... up to last: each code point plus `delta`.
struct UppercaseRun {
    char32_t first;
    char32_t last;
    std::uint8_t step;  // 1 or 2
    std::int32_t delta;
};

// No full canonical decomposition is longer.
inline constexpr std::size_t kMaxDecompositionLength = 4;

// A code point and its full canonical decomposition, the parts after the
// last one 0 (which no decomposition holds).
struct CanonicalDecomposition {
    char32_t codePoint;
    std::array<char32_t, kMaxDecompositionLength> parts;
};

// Where a run of code points of one Script value starts; it goes on up to
// the next start, the last one to U+10FFFF.
struct ScriptStart {
    char32_t first;
    std::uint8_t script;  // an index into scriptNames()
};

// Ascending, none overlapping.
std::span<const UppercaseRun> uppercaseRuns();
// Ascending by code point; the Hangul syllables are left to arithmetic.
std::span<const CanonicalDecomposition> canonicalDecompositions();
// General_Category Cf and Mn: ascending runs, apart.
std::span<const fontfile::CodePointRange> formatCharacterRuns();
std::span<const fontfile::CodePointRange> nonspacingMarkRuns();
// Every value of Script, "Unknown" (unassigned code points) included, spelt
// as Unicode writes them ("Latin", "Old_Italic"), in alphabetical order.
std::span<const std::string_view> scriptNames();
// Ascending from U+0000; each run's script differs from the one before.
std::span<const ScriptStart> scriptStarts();

}  // namespace coverage
