// What each range bit meant in each version of the OS/2 table.
#include "coverage/bit_meanings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "coverage/coverage_rows.h"

namespace {

using coverage::BitStatus;
using coverage::coverageRows;
using coverage::findCoverageRow;

struct BitCase {
    int bit;
    std::uint16_t version;
    BitStatus status;
    std::string_view name;
};

// Bits whose meaning moved between versions, each on both sides of the move.
TEST(BitMeaning, FollowsEachBitThroughTheVersionsOfTheTable) {
    const BitCase cases[] = {
        // Kanbun until version 3 took it back; in a version 4 font, Phags-pa.
        {53, 0, BitStatus::assigned, "Kanbun"},
        {53, 1, BitStatus::assigned, "Kanbun"},
        {53, 2, BitStatus::assigned, "Kanbun"},
        {53, 3, BitStatus::reserved, ""},
        {53, 4, BitStatus::changed, "Phags-pa"},
        {53, 5, BitStatus::changed, "Phags-pa"},
        // Re-assigned in version 4.
        {8, 1, BitStatus::changed, "Greek Symbols and Coptic"},
        {12, 3, BitStatus::reserved, ""},
        {12, 4, BitStatus::assigned, "Vai"},
        {58, 3, BitStatus::reserved, ""},
        {58, 4, BitStatus::assigned, "Phoenician"},
        // Assigned from the version of their day on; version 0 as version 1.
        {0, 0, BitStatus::assigned, "Basic Latin"},
        {0, 1, BitStatus::assigned, "Basic Latin"},
        {8, 0, BitStatus::changed, "Greek Symbols and Coptic"},
        {57, 1, BitStatus::reserved, ""},
        {57, 2, BitStatus::assigned, "Surrogates"},
        {70, 1, BitStatus::reserved, ""},
        {83, 2, BitStatus::assigned, "Yi Syllables"},
        {84, 2, BitStatus::reserved, ""},
        {91, 3, BitStatus::assigned, "Variation Selectors"},
        {92, 3, BitStatus::reserved, ""},
        {122, 4, BitStatus::assigned, "Domino Tiles"},
    };
    for (const auto& c : cases) {
        const auto meaning = coverage::bitMeaning(c.bit, c.version);
        EXPECT_EQ(meaning.status, c.status) << "bit " << c.bit << " in version " << c.version;
        EXPECT_EQ(meaning.name, c.name) << "bit " << c.bit << " in version " << c.version;
    }
}

TEST(BitMeaning, Bits123To127AndBitsOutOfRangeAreReservedInEveryVersion) {
    for (int bit : {123, 125, 127, -1, 128}) {
        for (const std::uint16_t version : std::initializer_list<std::uint16_t>{0, 1, 2, 3, 4, 5, 0xFFFF}) {
            EXPECT_EQ(coverage::bitMeaning(bit, version).status, BitStatus::reserved) << bit << " " << version;
        }
    }
}

// The row a meaning is measured against is the row of its name, found
// without a search by name: the first of its bit when assigned.
TEST(BitMeaning, GivesTheRowOfItsName) {
    for (int bit = 0; bit < 128; ++bit) {
        for (const std::uint16_t version : std::initializer_list<std::uint16_t>{0, 1, 2, 3, 4, 5}) {
            const auto meaning = coverage::bitMeaning(bit, version);
            const auto byName = meaning.status == BitStatus::reserved ? std::nullopt : findCoverageRow(meaning.name);
            EXPECT_EQ(meaning.row, byName) << "bit " << bit << " in version " << version;
        }
    }
    EXPECT_EQ(coverage::bitMeaning(53, 4).row, findCoverageRow("Phags-pa"));
    EXPECT_FALSE(coverage::bitMeaning(8, 1).row);  // Greek Symbols and Coptic: no row counts it
}

// In today's OS/2 table every bit up to 122 names the row that counts it.
TEST(BitMeaning, AgreesWithTheCoverageRowsInVersion4) {
    for (int bit = 0; bit <= 122; ++bit) {
        const auto meaning = coverage::bitMeaning(bit, 4);
        const auto byBit = std::find_if(coverageRows().begin(), coverageRows().end(),
                                        [&](const auto& r) { return r.rangeBit == bit && r.name == meaning.name; });
        EXPECT_NE(meaning.status, BitStatus::reserved) << bit;
        EXPECT_NE(byBit, coverageRows().end()) << bit;
    }
}

}  // namespace
