// The Unicode blocks of one pinned Unicode version and the code points each
// assigns, from unicode_data.cpp, which scripts/make-unicode-data writes.
// What a font's character map covers of a block is measured against these.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "fontfile/code_points.h"

namespace coverage {

// The Unicode version of unicodeBlocks(); the counts a user sees depend on it.
inline constexpr std::string_view kUnicodeVersion = "17.0.0";

// One block of Blocks.txt. Its assigned code points (General_Category other
// than Cn) are runCount runs from firstRun on in unicodeAssignedRuns().
struct UnicodeBlockData {
    std::string_view name;  // spelt as Blocks.txt spells it
    char32_t first;
    char32_t last;
    std::uint32_t firstRun;
    std::uint32_t runCount;
};

// Every block, in ascending code point order.
std::span<const UnicodeBlockData> unicodeBlocks();

// The assigned code points of every block, as ascending runs that neither
// touch nor overlap within a block; the blocks' runs follow one another in
// block order.
std::span<const fontfile::CodePointRange> unicodeAssignedRuns();

inline std::span<const fontfile::CodePointRange> assignedRuns(const UnicodeBlockData& block) {
    return unicodeAssignedRuns().subspan(block.firstRun, block.runCount);
}

}  // namespace coverage
