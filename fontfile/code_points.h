// Runs of Unicode code points, the currency of character coverage: a
// character map yields the runs it maps, a block is the runs it assigns, and
// coverage is what the two have in common.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace fontfile {

// The code points first..last, both included.
struct CodePointRange {
    char32_t first = 0;
    char32_t last = 0;

    constexpr std::uint32_t size() const { return static_cast<std::uint32_t>(last - first) + 1; }
    friend constexpr bool operator==(const CodePointRange&, const CodePointRange&) = default;
};

inline constexpr char32_t kLastCodePoint = 0x10FFFF;

// The counts below take run lists that are sorted and disjoint, with every
// code point at most kLastCodePoint; adjacent runs need not be merged. They
// walk the two lists side by side once and never look at single code points
// except those they list.

// `runs` sorted, with overlapping and adjacent runs joined.
std::vector<CodePointRange> sortedAndMerged(std::vector<CodePointRange> runs);

// How many code points `runs` hold, runs that neither touch nor overlap.
std::uint32_t countOf(std::span<const CodePointRange> runs);

// How many code points `a` and `b` have in common.
std::uint32_t countCommon(std::span<const CodePointRange> a, std::span<const CodePointRange> b);

// The code points of `from` that are not in `taken`; both sorted and merged,
// and so is the result.
std::vector<CodePointRange> withoutCodePoints(std::span<const CodePointRange> from,
                                              std::span<const CodePointRange> taken);

struct MissingCodePoints {
    std::size_t listed = 0;   // how many were written to the front of `firstMissing`
    std::uint32_t total = 0;  // all the code points missing, listed or not
};

// The code points of `wanted` that `present` lacks: the first ones, in
// increasing order, into `firstMissing` until it is full, and the count of
// them all.
MissingCodePoints findMissing(std::span<const CodePointRange> wanted, std::span<const CodePointRange> present,
                              std::span<char32_t> firstMissing);

}  // namespace fontfile
