#include <gtest/gtest.h>

#include <set>

#include "selection/unicode_blocks.h"

namespace {

using selection::blockName;
using selection::blockRangeBit;
using selection::kBlockCount;

TEST(UnicodeBlockTable, ListsTheBlocksInTableOrderWithTheirBits) {
    ASSERT_EQ(kBlockCount, 79);
    EXPECT_EQ(blockName(0), "Basic Latin");
    EXPECT_EQ(blockName(78), "Yi Syllables");
    EXPECT_EQ(blockRangeBit(78), 83);
    // Rows after a gap in the bits must not be off by one.
    EXPECT_EQ(blockName(8), "Cyrillic");
    EXPECT_EQ(blockRangeBit(8), 9);
    EXPECT_EQ(blockName(22), "Lao");
    EXPECT_EQ(blockRangeBit(22), 25);
    EXPECT_EQ(blockName(49), "Kanbun");
    EXPECT_EQ(blockRangeBit(49), 53);
    EXPECT_EQ(blockName(28), "Superscripts And Subscripts");
    EXPECT_EQ(blockName(63), "Halfwidth And Fullwidth Forms");
}

TEST(UnicodeBlockTable, NoRowYieldsAnUnassignedBit) {
    std::set<int> bits;
    for (int row = 0; row < kBlockCount; ++row) bits.insert(blockRangeBit(row));
    EXPECT_EQ(bits.size(), 79u);
    for (int unassigned : {8, 12, 14, 27, 58}) EXPECT_EQ(bits.count(unassigned), 0u) << unassigned;
    EXPECT_LE(*bits.rbegin(), 83);
    EXPECT_GE(*bits.begin(), 0);
}

}  // namespace
