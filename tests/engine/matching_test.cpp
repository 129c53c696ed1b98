#include "selection/matching.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine_test_helpers.h"
#include "inventory/font_inventory.h"
#include "reader_checks.h"
#include "selection/result_list.h"
#include "selection/unicode_blocks.h"

namespace {

using enginetest::collectionFile;
using enginetest::fontFile;
using enginetest::matchingLines;
using enginetest::Member;
using enginetest::Ranges;
using enginetest::TempFolder;
using inventory::FontInventory;
using Lines = std::vector<std::string>;

// An inventory made in memory, as the build would leave it, so that each
// test states exactly the fonts it matches.
class InventoryBuilder {
public:
    InventoryBuilder& single(std::string fileName, std::string fullName, Ranges ranges) {
        singles_.push_back({std::move(fileName), {ranges, std::move(fullName)}});
        return *this;
    }
    // `count` is the member count stored for the file, by default its members.
    InventoryBuilder& collection(std::string fileName, std::vector<Member> members,
                                 std::optional<std::int32_t> count = std::nullopt) {
        collections_.push_back({std::move(fileName), std::move(members), count});
        return *this;
    }

    FontInventory build() const {
        FontInventory fonts;
        fonts.singleCount = static_cast<std::int32_t>(singles_.size());
        fonts.singleFileNames = std::make_unique<inventory::FileNameSlot[]>(singles_.size());
        fonts.singleFullNames = std::make_unique<inventory::NameSlot[]>(singles_.size());
        fonts.singleRecords = std::make_unique<inventory::FontRecord[]>(singles_.size());
        for (std::size_t i = 0; i < singles_.size(); ++i) {
            put(singles_[i].fileName, fonts.singleFileNames[i]);
            put(singles_[i].font.fullName, fonts.singleFullNames[i]);
            fonts.singleRecords[i].ranges = singles_[i].font.ranges;
        }
        fonts.collectionCount = static_cast<std::int32_t>(collections_.size());
        fonts.collectionFileNames = std::make_unique<inventory::FileNameSlot[]>(collections_.size());
        fonts.collectionRecords =
            std::make_unique<inventory::FontRecord[]>(collections_.size() * inventory::MaxMembers);
        for (std::size_t k = 0; k < collections_.size(); ++k) {
            const auto& file = collections_[k];
            put(file.fileName, fonts.collectionFileNames[k]);
            if (k < fonts.memberCounts.size()) {
                fonts.memberCounts[k] = file.count.value_or(static_cast<std::int32_t>(file.members.size()));
            }
            for (std::size_t m = 0; m < file.members.size(); ++m) {
                auto& record = fonts.collectionRecords[k * inventory::MaxMembers + m];
                record.ranges = file.members[m].ranges;
                put(file.members[m].fullName, record.fullName);
            }
        }
        return fonts;
    }

private:
    struct Single {
        std::string fileName;
        Member font;
    };
    struct Collection {
        std::string fileName;
        std::vector<Member> members;
        std::optional<std::int32_t> count;
    };

    template <std::size_t N>
    static void put(const std::string& text, std::array<char, N>& slot) {
        std::copy_n(text.begin(), std::min(text.size(), N - 1), slot.begin());
    }

    std::vector<Single> singles_;
    std::vector<Collection> collections_;
};

// The range set with only bit n.
Ranges bit(int n) {
    Ranges ranges{};
    ranges[static_cast<std::size_t>(n / 32)] = 1u << (n % 32);
    return ranges;
}

Ranges bits(std::initializer_list<int> numbers) {
    Ranges ranges{};
    for (int n : numbers) ranges[static_cast<std::size_t>(n / 32)] |= 1u << (n % 32);
    return ranges;
}

// ---- Which fonts match ---------------------------------------------------

TEST(MatchingSelection, NoSelectionListsEveryFontEvenOneWithoutRangesOrName) {
    const auto fonts = InventoryBuilder()
                           .single("a.ttf", "Alpha", bit(0))
                           .single("z.ttf", "Zero", {})
                           .single("n.ttf", "", bit(5))
                           .collection("c.ttc", {{bit(9), "Member One"}, {{}, "Member Two"}})
                           .build();

    EXPECT_EQ(matchingLines(fonts, {}),
              (Lines{"   (n.ttf)", "Alpha   (a.ttf)", "Member One  (c.ttc)", "Member Two  (c.ttc)", "Zero   (z.ttf)"}));
    // A font without ranges takes part only while nothing is selected.
    EXPECT_EQ(matchingLines(fonts, {0}), (Lines{"Alpha   (a.ttf)"}));
}

TEST(MatchingSelection, EachBitIsTestedInItsOwnWordAndPosition) {
    const auto fonts = InventoryBuilder()
                           .single("punct.ttf", "Punct", bit(31))
                           .single("super.ttf", "Super", bit(32))
                           .single("yi.ttf", "Yi", bit(83))
                           .single("last.ttf", "Last", bit(127))
                           // Every neighbour of those bits, but not the bits themselves.
                           .single("near.ttf", "Near", bits({30, 33, 63, 64, 82, 84, 126, 95, 96}))
                           // The same bit positions in the wrong words.
                           .single("wrong.ttf", "Wrong", {1u << 0, 1u << 31, 1u << 31, 1u << 19})
                           .build();

    EXPECT_EQ(matchingLines(fonts, {31}), (Lines{"Punct   (punct.ttf)"}));
    EXPECT_EQ(matchingLines(fonts, {32}), (Lines{"Super   (super.ttf)"}));
    EXPECT_EQ(matchingLines(fonts, {83}), (Lines{"Yi   (yi.ttf)"}));
    EXPECT_EQ(matchingLines(fonts, {127}), (Lines{"Last   (last.ttf)"}));
}

TEST(MatchingSelection, EveryRequiredBitMustBeSet) {
    const auto fonts = InventoryBuilder()
                           .single("latin.ttf", "Latin only", bit(0))
                           .single("cyr.ttf", "Cyrillic only", bit(9))
                           .single("both.ttf", "Both", bits({0, 9}))
                           .single("more.ttf", "More", bits({0, 7, 9, 31}))
                           .collection("c.ttc", {{bit(0), "Member latin"}, {bits({0, 9}), "Member both"}})
                           .build();

    const Lines both{"Both   (both.ttf)", "Member both  (c.ttc)", "More   (more.ttf)"};
    EXPECT_EQ(matchingLines(fonts, {0, 9}), both);
    EXPECT_EQ(matchingLines(fonts, {9, 0}), both);
    EXPECT_EQ(matchingLines(fonts, {0, 9, 0, 9}), both);
    EXPECT_EQ(matchingLines(fonts, {0, 9, 7}), (Lines{"More   (more.ttf)"}));
}

TEST(MatchingSelection, BitsOutsideTheSetAreNeverCovered) {
    const Ranges all{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_TRUE(selection::coversAll(all, std::vector<std::int32_t>{0, 127}));
    EXPECT_FALSE(selection::coversAll(all, std::vector<std::int32_t>{128}));
    EXPECT_FALSE(selection::coversAll(all, std::vector<std::int32_t>{-1}));
    EXPECT_FALSE(selection::coversAll(all, std::vector<std::int32_t>{0, 1 << 30}));
}

// ---- Runs ------------------------------------------------------------------

// The selection state as "Select Block " makes it from the block list.
std::vector<std::int32_t> requiredAfter(const std::vector<std::int32_t>& positions) {
    selection::takeSelectedBlocks(positions);
    return {selection::requiredBits.begin(), selection::requiredBits.begin() + selection::requiredCount};
}

TEST(SelectedBlocks, BecomeTheRangeBitsOfTheirRowsInListOrder) {
    EXPECT_EQ(requiredAfter({8}), (std::vector<std::int32_t>{9}));          // Cyrillic
    EXPECT_EQ(requiredAfter({0, 78}), (std::vector<std::int32_t>{0, 83}));  // Basic Latin, Yi Syllables
    EXPECT_EQ(requiredAfter({27, 28}), (std::vector<std::int32_t>{31, 32}));
    EXPECT_TRUE(requiredAfter({}).empty());

    std::vector<std::int32_t> everyRow(selection::kBlockCount);
    std::vector<std::int32_t> everyBit;
    for (int row = 0; row < selection::kBlockCount; ++row) {
        everyRow[static_cast<std::size_t>(row)] = row;
        everyBit.push_back(selection::blockRangeBit(row));
    }
    EXPECT_EQ(requiredAfter(everyRow), everyBit);
}

TEST(SelectedBlocks, PositionsOutsideTheTableOrPastTheHundredthAreLeftOut) {
    EXPECT_EQ(requiredAfter({-1, 8, 79, 1000}), (std::vector<std::int32_t>{9}));
    const std::vector<std::int32_t> tooMany(150, 0);
    EXPECT_EQ(requiredAfter(tooMany), std::vector<std::int32_t>(selection::kMaxRequiredBits, 0));
}

TEST(MatchingRuns, EachRunReplacesTheLinesOfTheLastOne) {
    const auto fonts = InventoryBuilder().single("a.ttf", "A", bit(0)).collection("c.ttc", {{bit(0), "C"}}).build();
    selection::SortedLineList list;

    selection::listMatchingFonts(fonts, std::vector<std::int32_t>{0}, list);
    selection::listMatchingFonts(fonts, std::vector<std::int32_t>{0}, list);
    EXPECT_EQ(list.lines(), (Lines{"A   (a.ttf)", "C  (c.ttc)"}));

    selection::listMatchingFonts(fonts, std::vector<std::int32_t>{83}, list);
    EXPECT_TRUE(list.lines().empty());
}

// ---- The lines ---------------------------------------------------------------

TEST(MatchingLines, SeparatorsTellSingleFontsFromCollectionMembers) {
    TempFolder folder;
    folder.write("Single.ttf", fontFile(bit(0), "Same Name"));
    folder.write("Pack.ttc", collectionFile({{bit(0), "Same Name"}, {bit(0), "Other"}}));
    FontInventory fonts;
    inventory::buildInventory(fonts, folder.enginePath());

    EXPECT_EQ(matchingLines(fonts, {0}),
              (Lines{"Other  (Pack.ttc)", "Same Name   (Single.ttf)", "Same Name  (Pack.ttc)"}));
    EXPECT_EQ(selection::singleFontLine("F", "f.ttf"), "F   (f.ttf)");
    EXPECT_EQ(selection::memberLine("F", "f.ttc"), "F  (f.ttc)");
}

TEST(MatchingLines, IdenticalMembersGiveIdenticalLinesAndBothAreListed) {
    TempFolder folder;
    folder.write("twins.ttc", collectionFile({{bit(1), "Twin"}, {bit(1), "Twin"}}));
    FontInventory fonts;
    inventory::buildInventory(fonts, folder.enginePath());

    EXPECT_EQ(matchingLines(fonts, {1}), (Lines{"Twin  (twins.ttc)", "Twin  (twins.ttc)"}));
}

TEST(MatchingLines, AnEmptyFullNameStartsTheLineWithTheBlanks) {
    TempFolder folder;
    folder.write("nameless.ttf", fontFile(bit(2), ""));
    testfonts::FontWriter member;
    member.table("OS/2", testfonts::os2Table(bit(2)));
    testfonts::CollectionWriter collection;
    collection.member(member);
    folder.write("nameless.ttc", collection.build());
    FontInventory fonts;
    testfonts::DiagnosticCapture diagnostics;  // the single font's missing name table is told there
    inventory::buildInventory(fonts, folder.enginePath());

    EXPECT_EQ(matchingLines(fonts, {2}), (Lines{"   (nameless.ttf)", "  (nameless.ttc)"}));
    EXPECT_NE(diagnostics.text().find("nameless.ttf: ** No name table found **"), std::string::npos);
}

TEST(MatchingLines, LongNamesAreNeverCut) {
    const std::string fullName(99, 'F');
    const std::string fileName = std::string(150, 'f') + ".ttf";
    const std::string collectionName = std::string(255, 'c');
    const auto fonts =
        InventoryBuilder().single(fileName, fullName, bit(0)).collection(collectionName, {{bit(0), fullName}}).build();

    const auto lines = matchingLines(fonts, {0});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], fullName + "   (" + fileName + ")");
    EXPECT_EQ(lines[1], fullName + "  (" + collectionName + ")");
    EXPECT_EQ(lines[1].size(), 99u + 3u + 255u + 1u);
}

// ---- Member counts -------------------------------------------------------------

TEST(MatchingMemberCounts, AFileWithoutMembersAddsNothingAndDisturbsNoLaterFile) {
    // The first files' slots hold fonts that match, but their counts say
    // there are none: only the count decides.
    const auto fonts = InventoryBuilder()
                           .collection("empty.ttc", {{bit(0), "Not a member"}}, 0)
                           .collection("negative.ttc", {{bit(0), "Not one either"}}, -3)
                           .collection("after.ttc", {{bit(0), "After 1"}, {bit(4), "After 2"}, {bit(0), "After 3"}})
                           .build();

    EXPECT_EQ(matchingLines(fonts, {0}), (Lines{"After 1  (after.ttc)", "After 3  (after.ttc)"}));
    EXPECT_EQ(matchingLines(fonts, {}).size(), 3u);
}

TEST(MatchingMemberCounts, CountsBeyondTheSlotsAreNotWalkedPast) {
    std::vector<Member> members(inventory::MaxMembers, Member{bit(0), "M"});
    InventoryBuilder builder;
    builder.collection("many.ttc", members, 1000);
    for (int k = 1; k < 60; ++k) builder.collection("c" + std::to_string(k) + ".ttc", {{bit(0), "One"}});
    const auto fonts = builder.build();

    // 50 slots of the first file, and one member each of the 49 other files
    // that have a count.
    EXPECT_EQ(matchingLines(fonts, {0}).size(), 50u + 49u);
}

// ---- The process-wide state ------------------------------------------------------

class ProcessWideMatching : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.write("a.ttf", fontFile(bits({0, 9}), "Both"));
        folder_.write("b.ttf", fontFile(bit(0), "Latin"));
        folder_.write("c.ttc", collectionFile({{bits({0, 9}), "Member both"}, {bit(9), "Member cyrillic"}}));
        inventory::buildInventory(inventory::fontInventory, folder_.enginePath());
        selection::resultList = &list_;
    }
    void TearDown() override {
        inventory::releaseInventory();
        selection::resultList = nullptr;
        selection::requiredCount = 0;
        selection::requiredBits.fill(0);
    }

    void select(const std::vector<std::int32_t>& selected) {
        selection::requiredBits.fill(-1);
        std::copy(selected.begin(), selected.end(), selection::requiredBits.begin());
        selection::requiredCount = static_cast<std::int32_t>(selected.size());
    }

    TempFolder folder_;
    selection::SortedLineList list_;
};

TEST_F(ProcessWideMatching, TestsTheSelectedBitsOnlyAndFillsTheResultList) {
    // The entries past the count (-1 here) are not bits to test.
    select({0, 9});
    selection::listMatchingFonts();
    EXPECT_EQ(list_.lines(), (Lines{"Both   (a.ttf)", "Member both  (c.ttc)"}));

    select({9});
    selection::listMatchingFonts();
    EXPECT_EQ(list_.lines(), (Lines{"Both   (a.ttf)", "Member both  (c.ttc)", "Member cyrillic  (c.ttc)"}));
}

TEST_F(ProcessWideMatching, ACountOfZeroOrLessListsEveryFont) {
    for (const std::int32_t count : {0, -1}) {
        selection::requiredBits.fill(9);
        selection::requiredCount = count;
        selection::listMatchingFonts();
        EXPECT_EQ(list_.lines().size(), 4u) << count;
    }
}

TEST_F(ProcessWideMatching, ACountAboveTheArrayReadsNoFurther) {
    selection::requiredBits.fill(0);
    selection::requiredCount = 1000;
    selection::listMatchingFonts();
    EXPECT_EQ(list_.lines(), (Lines{"Both   (a.ttf)", "Latin   (b.ttf)", "Member both  (c.ttc)"}));
}

TEST_F(ProcessWideMatching, WithoutAResultListNothingIsListed) {
    list_.addString("kept");
    selection::resultList = nullptr;
    selection::listMatchingFonts();
    EXPECT_EQ(list_.lines(), (Lines{"kept"}));
}

TEST_F(ProcessWideMatching, AfterReleaseTheListEmpties) {
    selection::listMatchingFonts();
    ASSERT_EQ(list_.lines().size(), 4u);
    inventory::releaseInventory();
    selection::listMatchingFonts();
    EXPECT_TRUE(list_.lines().empty());
}

}  // namespace
