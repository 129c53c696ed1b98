// The work of finding a full name is bounded by the bytes of the name table,
// not by its count of records: a crafted table of thousands of full-name
// records, with strings anywhere, costs a few reads, never one per record.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "font_writer.h"
#include "fontfile/font_reader.h"
#include "parse_steps.h"
#include "reader_checks.h"

namespace {

using namespace testfonts;

constexpr int kRecords = 3000;

// `count` platform-1 name-ID-4 records named "N0", "N1", ...; the strings of
// those from `firstCutOff` on point past the end of any file.
Bytes manyNames(int count, int firstCutOff = kRecords) {
    std::vector<NameEntry> entries;
    for (int i = 0; i < count; ++i) {
        NameEntry entry{"N" + std::to_string(i)};
        if (i >= firstCutOff) entry.offset = 0xFFF0;  // with the string offset, far past the end
        entries.push_back(entry);
    }
    return nameTable(entries);
}

Bytes fontWith(const Bytes& names) {
    return FontWriter().table("OS/2", os2Table({1, 0, 0, 0})).table("name", names).build();
}

// A name table is read first by its first 4 KiB (the header and 340
// records here), then by runs of 1,024 records; a string that does not lie
// in those first bytes costs a read of its own.
constexpr int kRecordsInFirstRead = (4096 - 6) / 12;
std::size_t laterRuns(int records) { return static_cast<std::size_t>((records - kRecordsInFirstRead + 1023) / 1024); }

TEST(FullNameWork, OnlyTheWinningStringIsReadHoweverManyRecordsMatch) {
    CountingSource source(fontWith(manyNames(kRecords)));
    auto slot = untouchedSlot();
    testfonts::parseFullName(source, slot);

    EXPECT_EQ(slotName(slot), "N" + std::to_string(kRecords - 1));  // the last record still wins
    // The directory, the first bytes, the later runs, and the one string.
    EXPECT_EQ(source.reads, 1 + 1 + laterRuns(kRecords) + 1);
    EXPECT_EQ(source.sizeQuestions, 0u);
}

TEST(FullNameWork, CutOffStringsArePassedOverWithoutReadingThem) {
    // Only the first 10 strings lie in the file: the tenth wins, as when
    // every record was read in turn.
    CountingSource source(fontWith(manyNames(kRecords, 10)));
    auto slot = untouchedSlot();
    testfonts::parseFullName(source, slot);

    EXPECT_EQ(slotName(slot), "N9");
    // The directory, the first bytes, two walks of the later records, the
    // last string (cut off) and the winner.
    EXPECT_EQ(source.reads, 1 + 1 + 2 * laterRuns(kRecords) + 2);
    EXPECT_EQ(source.sizeQuestions, 1u);

    CountingSource none(fontWith(manyNames(kRecords, 0)));
    slot = untouchedSlot();
    testfonts::parseFullName(none, slot);
    EXPECT_EQ(slot, untouchedSlot());
    EXPECT_EQ(none.reads, 1 + 1 + 2 * laterRuns(kRecords) + 1);
}

TEST(FullNameWork, MembersSharingOneLongTableCostEachTheSameFewReads) {
    const auto names = manyNames(kRecords);
    CollectionWriter collection;
    for (int m = 0; m < 10; ++m) collection.member(FontWriter().table("name", names));
    CountingSource source(collection.build());
    std::vector<fontfile::NameSlot> slots(10, untouchedSlot());
    testfonts::parseCollectionFullNames(source, slots);

    for (const auto& slot : slots) EXPECT_EQ(slotName(slot), "N" + std::to_string(kRecords - 1));
    // The header, then per member its directory, the table's first bytes,
    // the later runs and one string.
    EXPECT_EQ(source.reads, 1 + 10 * (1 + 1 + laterRuns(kRecords) + 1));
}

TEST(FullNameWork, AShortTableCostsOneReadStringsIncluded) {
    CountingSource source(FontWriter().table("name", nameTable({{"Short"}, {"Shorter"}})).build());
    auto slot = untouchedSlot();
    testfonts::parseFullName(source, slot);
    EXPECT_EQ(slotName(slot), "Shorter");
    EXPECT_EQ(source.reads, 2u);  // the directory, then the whole name table
}

// The Windows name that the catalog asks for comes from the same reads as
// the Macintosh one: the directory and the table's first bytes, once.
TEST(FullNameWork, BothFullNamesComeFromOneReadOfTheTableAndNoQuestionOfSize) {
    const std::string win{'\0', 'W', '\0', 'i', '\0', 'n'};
    CountingSource source(
        FontWriter().table("name", nameTable({{"Mac"}, {win, 3, 4, 1, 0x0409}, {"Mac, later"}})).build());
    auto slot = untouchedSlot();
    bool written = false;
    std::optional<std::vector<std::uint8_t>> windows;
    fontfile::parseFullNameAt(source, 0, slot, &written, &windows);

    EXPECT_EQ(slotName(slot), "Mac, later");
    EXPECT_TRUE(written);
    ASSERT_TRUE(windows.has_value());
    EXPECT_EQ(std::string(windows->begin(), windows->end()), win);
    EXPECT_EQ(source.reads, 2u);
    EXPECT_EQ(source.sizeQuestions, 0u);

    // Only a chosen string that is cut off makes the size worth asking.
    const std::string whole{'\0', 'D', '\0', 'e'};
    CountingSource cutOff(
        FontWriter().table("name", nameTable({{win, 3, 4, 1, 0x0409, 0xF000}, {whole, 3, 4, 1, 0x0407}})).build());
    fontfile::parseFullNameAt(cutOff, 0, slot, nullptr, &windows);
    ASSERT_TRUE(windows.has_value());
    EXPECT_EQ(std::string(windows->begin(), windows->end()), whole);
    EXPECT_EQ(cutOff.sizeQuestions, 1u);
}

}  // namespace
