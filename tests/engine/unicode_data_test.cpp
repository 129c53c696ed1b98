#include "coverage/unicode_data.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace {

using coverage::assignedRuns;
using coverage::unicodeBlocks;

std::uint32_t assignedCount(std::string_view name) {
    std::uint32_t n = 0;
    for (const auto& b : unicodeBlocks()) {
        if (b.name != name) continue;
        for (const auto& run : assignedRuns(b)) n += run.size();
    }
    return n;
}

// The whole table: a regenerated file that drops, reorders or overlaps
// anything would mislead every count built on it.
TEST(UnicodeData, BlocksAscendWithoutOverlapAndHoldTheirRuns) {
    const auto blocks = unicodeBlocks();
    ASSERT_EQ(blocks.size(), 346u);
    EXPECT_EQ(coverage::kUnicodeVersion, "17.0.0");
    std::uint32_t nextRun = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const auto& b = blocks[i];
        SCOPED_TRACE(std::string(b.name));
        EXPECT_FALSE(b.name.empty());
        EXPECT_LE(b.first, b.last);
        EXPECT_LE(b.last, fontfile::kLastCodePoint);
        if (i > 0) {
            EXPECT_LT(blocks[i - 1].last, b.first);
        }
        EXPECT_EQ(b.firstRun, nextRun);
        nextRun += b.runCount;
        const auto runs = assignedRuns(b);
        for (std::size_t r = 0; r < runs.size(); ++r) {
            EXPECT_LE(runs[r].first, runs[r].last);
            EXPECT_GE(runs[r].first, b.first);
            EXPECT_LE(runs[r].last, b.last);
            // Touching runs would have been one run.
            if (r > 0) {
                EXPECT_LT(runs[r - 1].last + 1, runs[r].first);
            }
        }
    }
    EXPECT_EQ(nextRun, coverage::unicodeAssignedRuns().size());
}

// Counts checked by hand against Blocks.txt and DerivedGeneralCategory.txt:
// private use (Co) and surrogates (Cs) are assigned, noncharacters are not;
// and counts that a file generated from Unicode 16.0 would get wrong.
TEST(UnicodeData, CountsWhatUnicode17Assigns) {
    EXPECT_EQ(assignedCount("High Surrogates"), 896u);
    EXPECT_EQ(assignedCount("Specials"), 5u);                              // not U+FFFE and U+FFFF
    EXPECT_EQ(assignedCount("Supplementary Private Use Area-A"), 65534u);  // nor U+FFFFE and U+FFFFF
    EXPECT_EQ(assignedCount("Sidetic"), 26u);
    EXPECT_EQ(assignedCount("CJK Unified Ideographs Extension J"), 4298u);
    EXPECT_EQ(assignedCount("Currency Symbols"), 34u);
    std::uint64_t total = 0;
    for (const auto& run : coverage::unicodeAssignedRuns()) total += run.size();
    EXPECT_EQ(total, 299382u);
}

}  // namespace
