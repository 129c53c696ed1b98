#include "coverage/coverage_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>
#include <vector>

#include "coverage/unicode_data.h"
#include "selection/unicode_blocks.h"

namespace {

using coverage::CoverageRow;
using coverage::coverageRows;
using coverage::findCoverageRow;
using fontfile::CodePointRange;

const CoverageRow& row(std::string_view name) {
    const auto index = findCoverageRow(name);
    if (!index) throw std::runtime_error("no coverage row " + std::string(name));
    return coverageRows()[*index];
}

std::string folded(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Every row, whichever way it was built: what coverage counts rely on.
TEST(CoverageRows, EveryRowHoldsAscendingRunsThatAddUpToItsCount) {
    const auto rows = coverageRows();
    ASSERT_EQ(rows.size(), 79u + 45u);
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const auto& r = rows[index];
        SCOPED_TRACE(std::string(r.name));
        EXPECT_EQ(findCoverageRow(r.name), index) << "two rows answer to one name";
        EXPECT_FALSE(r.spans.empty());
        std::uint64_t count = 0;
        for (std::size_t i = 0; i < r.assigned.size(); ++i) {
            count += r.assigned[i].size();
            if (i > 0) {
                EXPECT_LT(r.assigned[i - 1].last + 1, r.assigned[i].first);
            }
        }
        EXPECT_GT(count, 0u);
        EXPECT_EQ(count, r.assignedCount);
    }
}

// A name that matches no Unicode block leaves its row empty or wrong here.
TEST(CoverageRowsOfTheBlockList, FollowTheTableAndCountTheBlockOfTheirName) {
    const auto rows = coverageRows();
    for (int i = 0; i < selection::kBlockCount; ++i) {
        const auto& r = rows[static_cast<std::size_t>(i)];
        SCOPED_TRACE(std::string(r.name));
        EXPECT_EQ(r.name, selection::blockName(i));
        EXPECT_EQ(r.rangeBit, selection::blockRangeBit(i));
        EXPECT_TRUE(r.inBlockList);
        if (r.name != "Greek" && r.name != "Hangul" && r.name != "Surrogates") {
            EXPECT_EQ(folded(r.spans), folded(r.name));
        }
    }
    EXPECT_EQ(row("Superscripts And Subscripts").spans, "Superscripts and Subscripts");
}

TEST(CoverageRowsOfTheBlockList, CountTheBlocksTheirNamesStandFor) {
    EXPECT_EQ(row("Greek").spans, "Greek and Coptic");
    EXPECT_EQ(row("Greek").assignedCount, 135u);
    EXPECT_EQ(row("Greek").assigned.front().first, U'\u0370');
    EXPECT_EQ(row("Greek").assigned.back().last, U'\u03FF');
    EXPECT_EQ(row("Kanbun").assignedCount, 16u);
    EXPECT_EQ(row("Kanbun").assigned.front(), (CodePointRange{0x3190, 0x319F}));
    EXPECT_EQ(row("Hangul").assignedCount, 11172u);
    EXPECT_EQ(row("Hangul").assigned.front(), (CodePointRange{0xAC00, 0xD7A3}));

    // Surrogates: every assigned code point beyond the BMP, none within it.
    std::uint32_t beyond = 0;
    for (const auto& run : coverage::unicodeAssignedRuns()) {
        if (run.first > 0xFFFF) beyond += run.size();
    }
    const auto& surrogates = row("Surrogates");
    EXPECT_EQ(surrogates.assignedCount, beyond);
    EXPECT_EQ(surrogates.assigned.front().first, U'\U00010000');
    EXPECT_EQ(surrogates.assigned.back().last, U'\U0010FFFD');
    // Its bit is earned by any one of them; every other row's by enough.
    for (const auto& r : coverageRows()) EXPECT_EQ(r.declaredByAny, r.name == "Surrogates") << r.name;
}

TEST(CoverageRowsOfTheBlockList, CountWhatUnicode17Assigns) {
    EXPECT_EQ(row("Basic Latin").assignedCount, 128u);
    EXPECT_EQ(row("Cyrillic").assignedCount, 256u);
    EXPECT_EQ(row("Thai").assignedCount, 87u);
    EXPECT_EQ(row("Devanagari").assignedCount, 128u);
    EXPECT_EQ(row("Telugu").assignedCount, 101u);  // 100 before Unicode 17
    EXPECT_EQ(row("CJK Unified Ideographs").assignedCount, 20992u);
}

TEST(CoverageRowsBeyondTheBlockList, FollowInBitOrderWithTodaysOpenTypeNames) {
    std::vector<std::int32_t> expected{8, 12, 14, 27, 53, 58};
    for (std::int32_t bit = 84; bit <= 122; ++bit) expected.push_back(bit);
    std::vector<std::int32_t> bits;
    for (const auto& r : coverageRows().subspan(79)) {
        EXPECT_FALSE(r.inBlockList) << r.name;
        bits.push_back(r.rangeBit);
    }
    EXPECT_EQ(bits, expected);
    EXPECT_EQ(row("Phags-pa").rangeBit, 53);
}

// Each block a row lists must be a Unicode block: a misspelt one would
// silently drop out of the union.
TEST(CoverageRowsBeyondTheBlockList, CountTheUnionOfTheBlocksTheyList) {
    for (const auto& r : coverageRows().subspan(79)) {
        std::uint32_t sum = 0;
        for (auto rest = r.spans; !rest.empty();) {
            const auto comma = rest.find(", ");
            const auto name = rest.substr(0, comma);
            bool found = false;
            for (const auto& block : coverage::unicodeBlocks()) {
                if (block.name != name) continue;
                found = true;
                for (const auto& run : coverage::assignedRuns(block)) sum += run.size();
            }
            EXPECT_TRUE(found) << r.name << ": " << name;
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 2);
        }
        EXPECT_EQ(r.assignedCount, sum) << r.name;
    }
    EXPECT_EQ(row("Tagalog").spans, "Tagalog, Hanunoo, Buhid, Tagbanwa");
    EXPECT_EQ(row("Tagalog").assignedCount, 84u);
    EXPECT_EQ(row("Private Use (plane 15)").assignedCount, 131068u);  // without the noncharacters
}

TEST(CoverageRowsBeyondTheBlockList, AscendAndMergeAcrossTheirBlocks) {
    // Listed Domino Tiles first, Mahjong Tiles lies lower.
    EXPECT_EQ(row("Domino Tiles").assigned.front().first, U'\U0001F000');
    EXPECT_EQ(row("Carian").assigned.front().first, U'\U00010280');  // Lycian
    // U+171F ends Tagalog and U+1720 starts Hanunoo.
    const auto tagalog = row("Tagalog").assigned;
    EXPECT_NE(std::find(tagalog.begin(), tagalog.end(), CodePointRange{0x171F, 0x1736}), tagalog.end());
}

// The block list's rows by the names the block list shows, found at their
// rows of the block table.
TEST(CoverageRows, AreFoundByNameInEitherCase) {
    EXPECT_EQ(findCoverageRow("greek"), 7u);
    EXPECT_EQ(findCoverageRow("cyrillic"), 8u);
    EXPECT_EQ(findCoverageRow("BASIC LATIN"), 0u);
    EXPECT_EQ(findCoverageRow("YI SYLLABLES"), 78u);
    EXPECT_FALSE(findCoverageRow("Cyrillics"));
    EXPECT_EQ(row("coptic").rangeBit, 8);
    EXPECT_EQ(row("private use (PLANE 15)").rangeBit, 90);
    EXPECT_FALSE(findCoverageRow("Greek and Coptic"));  // a block, not a row
    EXPECT_FALSE(findCoverageRow("Mahjong Tiles"));
    EXPECT_FALSE(findCoverageRow("Copti"));
    EXPECT_FALSE(findCoverageRow(""));
}

TEST(CoverageRows, FirstRowOfABitIsItsBlockListRowWhereItHasOne) {
    EXPECT_EQ(coverage::firstRowOfBit(53), findCoverageRow("Kanbun"));
    EXPECT_EQ(coverage::firstRowOfBit(8), findCoverageRow("Coptic"));
    EXPECT_EQ(coverage::firstRowOfBit(0), 0u);
    for (int bit : {-1, 123, 127, 128}) EXPECT_FALSE(coverage::firstRowOfBit(bit)) << bit;
}

}  // namespace
