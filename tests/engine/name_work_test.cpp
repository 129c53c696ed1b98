// The work of finding a full name is bounded by the bytes of the name table,
// not by its count of records: a crafted table of thousands of full-name
// records, with strings anywhere, costs a few reads, never one per record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "font_writer.h"
#include "fontfile/font_reader.h"
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

// The records are read in runs: the header and 64 records, then 1,024 at a
// time. Besides them, a name costs one string read, or a question of size
// and a second walk when the last string is cut off.
std::size_t recordReads(int records) { return 1 + static_cast<std::size_t>((records - 64 + 1023) / 1024); }

TEST(FullNameWork, OnlyTheWinningStringIsReadHoweverManyRecordsMatch) {
    CountingSource source(fontWith(manyNames(kRecords)));
    auto slot = untouchedSlot();
    fontfile::parseFullName(source, slot);

    EXPECT_EQ(slotName(slot), "N" + std::to_string(kRecords - 1));  // the last record still wins
    // The directory, the record runs, and the one string.
    EXPECT_EQ(source.reads, 1 + recordReads(kRecords) + 1);
    EXPECT_EQ(source.sizeQuestions, 0u);
}

TEST(FullNameWork, CutOffStringsArePassedOverWithoutReadingThem) {
    // Only the first 10 strings lie in the file: the tenth wins, as when
    // every record was read in turn.
    CountingSource source(fontWith(manyNames(kRecords, 10)));
    auto slot = untouchedSlot();
    fontfile::parseFullName(source, slot);

    EXPECT_EQ(slotName(slot), "N9");
    // The directory, two walks of the records, the last string (cut off) and the winner.
    EXPECT_EQ(source.reads, 1 + 2 * recordReads(kRecords) + 2);
    EXPECT_EQ(source.sizeQuestions, 1u);

    CountingSource none(fontWith(manyNames(kRecords, 0)));
    slot = untouchedSlot();
    fontfile::parseFullName(none, slot);
    EXPECT_EQ(slot, untouchedSlot());
    EXPECT_EQ(none.reads, 1 + 2 * recordReads(kRecords) + 1);
}

TEST(FullNameWork, MembersSharingOneLongTableCostEachTheSameFewReads) {
    const auto names = manyNames(kRecords);
    CollectionWriter collection;
    for (int m = 0; m < 10; ++m) collection.member(FontWriter().table("name", names));
    CountingSource source(collection.build());
    std::vector<fontfile::NameSlot> slots(10, untouchedSlot());
    fontfile::parseCollectionFullNames(source, slots);

    for (const auto& slot : slots) EXPECT_EQ(slotName(slot), "N" + std::to_string(kRecords - 1));
    // The header, then per member its directory, the record runs and one string.
    EXPECT_EQ(source.reads, 1 + 10 * (1 + recordReads(kRecords) + 1));
}

}  // namespace
