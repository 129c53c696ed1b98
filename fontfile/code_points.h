// Runs of Unicode code points, the currency of character coverage: a
// character map yields the runs it maps, a block is the runs it assigns, and
// coverage is what the two have in common.
#pragma once

#include <cstdint>

namespace fontfile {

// The code points first..last, both included.
struct CodePointRange {
    char32_t first = 0;
    char32_t last = 0;

    constexpr std::uint32_t size() const { return static_cast<std::uint32_t>(last - first) + 1; }
    friend constexpr bool operator==(const CodePointRange&, const CodePointRange&) = default;
};

inline constexpr char32_t kLastCodePoint = 0x10FFFF;

}  // namespace fontfile
