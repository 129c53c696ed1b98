// What a font's character map is measured against: for each range bit a user
// can ask about, the assigned code points of the Unicode blocks it stands
// for. First the 79 rows of the block list, then the bits the block list
// leaves out, with the meanings that OpenType gives them today.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "fontfile/code_points.h"

namespace coverage {

struct CoverageRow {
    std::string_view name;  // as a user types it, letters in either case
    std::int32_t rangeBit;
    bool inBlockList;  // row i of unicodeBlockTable when true, i being its index in coverageRows()
    std::span<const fontfile::CodePointRange> assigned;  // ascending; runs neither touch nor overlap
    std::uint32_t assignedCount;
    std::string_view spans;  // the Unicode blocks counted, as Blocks.txt names them, in a line of text
    std::span<const std::string_view> blocks;  // the same blocks one by one, in code point order
    // The bit declares the row as a whole rather than each of its code
    // points: a font sets it rightly when it maps any one of them.
    bool declaredByAny = false;
};

// The rows of the block list in table order, then the other bits in
// ascending order. Built on first use.
std::span<const CoverageRow> coverageRows();

// The index in coverageRows() of the row named `name`, letters in either
// case; nothing when no row is.
std::optional<std::size_t> findCoverageRow(std::string_view name);

// The index in coverageRows() of the first row of `bit`: its block list row
// where it has one. Nothing for a bit without a row.
std::optional<std::size_t> firstRowOfBit(int bit);

}  // namespace coverage
