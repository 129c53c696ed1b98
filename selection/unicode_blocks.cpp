#include "selection/unicode_blocks.h"

namespace selection {

namespace {

constexpr bool bitsAscendAndFit() {
    for (std::size_t i = 0; i < unicodeBlockTable.size(); ++i) {
        const auto bit = unicodeBlockTable[i].rangeBit;
        if (bit < 0 || bit > 127 || (i > 0 && bit <= unicodeBlockTable[i - 1].rangeBit)) return false;
    }
    return true;
}
static_assert(bitsAscendAndFit(), "rows must be in ascending, distinct range-bit order");

}  // namespace

}  // namespace selection
