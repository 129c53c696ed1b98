#include <gtest/gtest.h>

#include <array>
#include <span>
#include <string>

#include "font_writer.h"
#include "fontfile/font_reader.h"
#include "parse_steps.h"
#include "reader_checks.h"

namespace {

using fontfile::MemorySource;
using fontfile::NameSlot;
using fontfile::Os2Prefix;
using namespace testfonts;

// Room for more members than are ever read, so that stray writes show.
constexpr std::size_t kRoom = 12;

Ranges rangesOf(std::size_t member) {
    const auto m = static_cast<std::uint32_t>(member);
    return {m + 1, 0x80000000u | m, 0x0D0A0000u | m, 0xFFFFFF00u | m};
}
std::string nameOf(std::size_t member) { return "Member \r\n" + std::to_string(member); }
FontWriter memberFont(std::size_t member) { return simpleFont(rangesOf(member), nameOf(member)); }
Os2Prefix prefixOfMember(std::size_t member) { return prefixOf(os2Table(rangesOf(member))); }

// Member 0's directory, right after the header and `entries` member offsets.
constexpr std::uint32_t firstDirectory(std::uint32_t entries) { return 12 + 4 * entries; }

CollectionWriter collectionOf(std::size_t members) {
    CollectionWriter collection;
    for (std::size_t m = 0; m < members; ++m) collection.member(memberFont(m));
    return collection;
}

// Both parses of one collection, into storage filled with the sentinel; the
// readers get the first `span` places and slots.
struct Parsed {
    std::array<Os2Prefix, kRoom> places;
    std::array<NameSlot, kRoom> slots;
    testfonts::CollectionScan os2;
    testfonts::CollectionScan names;
};

Parsed parse(const Bytes& bytes, std::size_t span = 10) {
    Parsed out;
    out.places.fill(untouchedPrefix());
    out.slots.fill(untouchedSlot());
    MemorySource source(bytes);
    out.os2 = testfonts::parseCollectionOs2Prefixes(source, std::span(out.places).first(span));
    out.names = testfonts::parseCollectionFullNames(source, std::span(out.slots).first(span));
    return out;
}

void expectMemberRead(const Parsed& parsed, std::size_t m) {
    EXPECT_EQ(parsed.places[m], prefixOfMember(m)) << "place " << m;
    EXPECT_EQ(slotName(parsed.slots[m]), nameOf(m)) << "slot " << m;
}

void expectUntouched(const Parsed& parsed, std::size_t m) {
    EXPECT_EQ(parsed.places[m], untouchedPrefix()) << "place " << m;
    EXPECT_EQ(parsed.slots[m], untouchedSlot()) << "slot " << m;
}

// ---- Which members are read ------------------------------------------------

TEST(CollectionMembers, EachMemberFillsItsOwnPlaceAndSlot) {
    const auto parsed = parse(collectionOf(3).build());
    EXPECT_EQ(parsed.os2.numFonts, 3u);
    EXPECT_FALSE(parsed.os2.shortMember);
    EXPECT_FALSE(parsed.names.shortMember);
    for (std::size_t m = 0; m < 3; ++m) expectMemberRead(parsed, m);
    for (std::size_t m = 3; m < kRoom; ++m) expectUntouched(parsed, m);
}

TEST(CollectionMembers, OnlyTheFirstTenAreReadWhateverTheRoom) {
    const auto parsed = parse(collectionOf(12).build(), kRoom);
    EXPECT_EQ(parsed.os2.numFonts, 12u);
    for (std::size_t m = 0; m < 10; ++m) expectMemberRead(parsed, m);
    expectUntouched(parsed, 10);
    expectUntouched(parsed, 11);
}

TEST(CollectionMembers, NumFontsZeroReadsNoMember) {
    const auto parsed = parse(collectionOf(2).declaredNumFonts(0).build());
    EXPECT_EQ(parsed.os2.numFonts, 0u);
    for (std::size_t m = 0; m < kRoom; ++m) expectUntouched(parsed, m);
}

TEST(CollectionMembers, MemberWithoutTheTableIsPassedOver) {
    auto collection = CollectionWriter()
                          .member(memberFont(0))
                          .member(FontWriter().table("head", Bytes(54, 0)))
                          .member(memberFont(2))
                          .member(FontWriter());  // numTables 0
    const auto parsed = parse(collection.build());
    EXPECT_FALSE(parsed.os2.shortMember);
    EXPECT_FALSE(parsed.names.shortMember);
    expectMemberRead(parsed, 0);
    expectUntouched(parsed, 1);
    expectMemberRead(parsed, 2);
    expectUntouched(parsed, 3);
}

TEST(CollectionMembers, EachMemberScansItsOwnFirst40Records) {
    auto late = FontWriter();
    for (int i = 0; i < 40; ++i) late.tableAt("f" + std::to_string(100 + i), 0);
    late.table("OS/2", os2Table(rangesOf(1))).table("name", nameTable({{nameOf(1)}}));
    auto lastInReach = FontWriter();
    for (int i = 0; i < 38; ++i) lastInReach.tableAt("f" + std::to_string(100 + i), 0);
    lastInReach.table("OS/2", os2Table(rangesOf(2))).table("name", nameTable({{nameOf(2)}}));

    const auto parsed =
        parse(CollectionWriter().member(memberFont(0)).member(late).member(lastInReach).member(memberFont(3)).build());
    expectMemberRead(parsed, 0);
    expectUntouched(parsed, 1);
    expectMemberRead(parsed, 2);
    expectMemberRead(parsed, 3);
}

TEST(CollectionMembers, MembersSharingAnOs2TableGetTheSameBytes) {
    const auto sharedOs2 = firstDirectory(2) + static_cast<std::uint32_t>(memberFont(0).directorySize());
    auto collection = CollectionWriter()
                          .member(memberFont(0))
                          .member(FontWriter().tableAt("OS/2", sharedOs2).table("name", nameTable({{nameOf(1)}})));
    const auto parsed = parse(collection.build());
    EXPECT_EQ(parsed.places[0], prefixOfMember(0));
    EXPECT_EQ(parsed.places[1], prefixOfMember(0));
    EXPECT_EQ(slotName(parsed.slots[1]), nameOf(1));
}

TEST(CollectionMembers, LastFullNameOfAMemberWins) {
    auto collection =
        CollectionWriter()
            .member(memberFont(0))
            .member(FontWriter().table("name", nameTable({{"A longer first name"}, {"Other", 3, 4}, {"Later"}})));
    const auto parsed = parse(collection.build());
    EXPECT_EQ(slotName(parsed.slots[0]), nameOf(0));
    EXPECT_EQ(slotName(parsed.slots[1]), "Later");
}

// ---- Counts and offsets that do not fit the file or the storage ------------

TEST(CollectionBounds, NeverWritesPastTheStorageGiven) {
    const auto parsed = parse(collectionOf(3).build(), 2);
    EXPECT_EQ(parsed.os2.numFonts, 3u);
    expectMemberRead(parsed, 0);
    expectMemberRead(parsed, 1);
    expectUntouched(parsed, 2);
}

TEST(CollectionBounds, HugeNumFontsAndMemberOffsetsPastTheEnd) {
    auto collection = collectionOf(2).declaredNumFonts(0xFFFFFFFFu);
    for (std::uint32_t offset : {0x80000000u, 0xFFFFFFF0u, 0xFFFFFFFFu, 0x00100000u}) {
        collection.memberAt(offset).memberAt(offset);
    }
    const auto parsed = parse(collection.build(), kRoom);
    EXPECT_EQ(parsed.os2.numFonts, 0xFFFFFFFFu);
    EXPECT_FALSE(parsed.os2.shortMember);
    EXPECT_FALSE(parsed.names.shortMember);
    expectMemberRead(parsed, 0);
    expectMemberRead(parsed, 1);
    for (std::size_t m = 2; m < kRoom; ++m) expectUntouched(parsed, m);
}

TEST(CollectionBounds, MemberOffsetsAbove2GiBArePositions) {
    constexpr std::uint64_t kMemberAt = 0x80000000u;
    SparseSource source(kMemberAt + 0x1000);
    Bytes header{'t', 't', 'c', 'f'};
    putU32(header, 0x00010000);
    putU32(header, 1);
    putU32(header, static_cast<std::uint32_t>(kMemberAt));
    source.place(0, header);
    source.place(kMemberAt, memberFont(0).build(static_cast<std::uint32_t>(kMemberAt)));

    std::array<Os2Prefix, 1> places{untouchedPrefix()};
    std::array<NameSlot, 1> slots{untouchedSlot()};
    testfonts::parseCollectionOs2Prefixes(source, places);
    testfonts::parseCollectionFullNames(source, slots);
    EXPECT_EQ(places[0], prefixOfMember(0));
    EXPECT_EQ(slotName(slots[0]), nameOf(0));
}

// ---- Files that end too early -----------------------------------------------

TEST(CollectionCutOff, HeaderCutOffGivesNoCount) {
    const auto parsed = parse(truncated(collectionOf(1).build(), 11));
    EXPECT_FALSE(parsed.os2.numFonts);
    EXPECT_FALSE(parsed.names.numFonts);
    expectUntouched(parsed, 0);
}

// The file ends two bytes into entry 4. Read as a directory, the collection
// header at offset 0 holds one record, tagged "OS/2" by entry 0 and pointing
// at offset 0 by entry 2, so an entry of 0 leads to a table; entry 4's two
// missing bytes must not be taken for zeros.
TEST(CollectionCutOff, MemberOffsetCutOffIsNotAMember) {
    Bytes bytes{'t', 't', 'c', 'f'};
    putU32(bytes, 0x00010000);  // Version; numTables 1 when read as a directory
    putU32(bytes, 5);
    for (std::uint32_t entry : {0x4F532F32u, 0xFFFFFFF0u, 0u, 0xFFFFFFF0u}) putU32(bytes, entry);
    putU16(bytes, 0);

    const auto parsed = parse(bytes);
    EXPECT_EQ(parsed.os2.numFonts, 5u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), parsed.places[2].begin()));  // entry 2 is a real member
    EXPECT_EQ(parsed.places[4], untouchedPrefix());
    for (std::size_t m : {0u, 1u, 3u}) EXPECT_EQ(parsed.places[m], untouchedPrefix()) << m;
}

// Member 2 points back at member 0's directory, so it could be read: only
// stopping at member 1 keeps its place untouched.
TEST(CollectionCutOff, MemberDirectoryCutOffStopsAtThatMember) {
    auto collection = CollectionWriter()
                          .member(memberFont(0))
                          .member(FontWriter().table("cmap", {}).table("OS/2", os2Table(rangesOf(1))).table("name", {}))
                          .memberAt(firstDirectory(3));
    const auto bytes = truncated(collection.build(), collection.memberOffset(1) + 12 + 16 + 10);

    const auto parsed = parse(bytes);
    EXPECT_EQ(parsed.os2.numFonts, 3u);
    EXPECT_EQ(parsed.os2.shortMember, 1);
    EXPECT_EQ(parsed.os2.shortRecordIndex, 1);
    EXPECT_EQ(parsed.names.shortMember, 1);
    EXPECT_EQ(parsed.names.shortRecordIndex, 1);
    expectMemberRead(parsed, 0);
    expectUntouched(parsed, 1);
    expectUntouched(parsed, 2);
}

// ---- Through files --------------------------------------------------------

class CollectionFile : public testing::Test {
protected:
    static constexpr std::int32_t kCountSentinel = -7;

    std::string write(const Bytes& bytes) { return folder_.write("fonts.ttc", bytes); }

    struct Read {
        std::int32_t memberCount = kCountSentinel;
        std::array<Os2Prefix, kRoom> places;
        std::array<NameSlot, kRoom> slots;
    };
    static Read read(const std::string& path) {
        Read out;
        out.places.fill(untouchedPrefix());
        out.slots.fill(untouchedSlot());
        fontfile::readCollectionOs2Prefixes(path.c_str(), out.memberCount, std::span(out.places).first(10));
        fontfile::readCollectionFullNames(path.c_str(), std::span(out.slots).first(10));
        return out;
    }

    TempFolder folder_;
    DiagnosticCapture diagnostics_;
};

TEST_F(CollectionFile, ReadsEveryMemberSilently) {
    const auto got = read(write(collectionOf(3).build()));
    EXPECT_EQ(got.memberCount, 3);
    for (std::size_t m = 0; m < 3; ++m) {
        EXPECT_EQ(got.places[m], prefixOfMember(m)) << m;
        EXPECT_EQ(slotName(got.slots[m]), nameOf(m)) << m;
    }
    EXPECT_EQ(got.places[3], untouchedPrefix());
    EXPECT_EQ(got.slots[3], untouchedSlot());
    EXPECT_EQ(diagnostics_.text(), "");
}

TEST_F(CollectionFile, MemberCountIsNumFontsAsStored) {
    EXPECT_EQ(read(write(collectionOf(12).build())).memberCount, 12);
    EXPECT_EQ(read(write(collectionOf(1).declaredNumFonts(0).build())).memberCount, 0);
    EXPECT_EQ(read(write(truncated(collectionOf(1).build(), 11))).memberCount, kCountSentinel);

    // 2^32 - 1 declared: ten entries, then the file ends; or it ends inside
    // the second entry.
    auto huge = collectionOf(1).declaredNumFonts(0xFFFFFFFFu);
    for (int m = 1; m < 10; ++m) huge.memberAt(0xFFFFFFF0u);
    for (const auto& bytes : {huge.build(), truncated(huge.build(), 12 + 4 + 2)}) {
        SCOPED_TRACE(bytes.size());
        const auto got = read(write(bytes));
        EXPECT_EQ(static_cast<std::uint32_t>(got.memberCount), 0xFFFFFFFFu);
        EXPECT_EQ(got.places[0], bytes.size() > 18 ? prefixOfMember(0) : untouchedPrefix());
        for (std::size_t m = 1; m < kRoom; ++m) {
            EXPECT_EQ(got.places[m], untouchedPrefix()) << m;
            EXPECT_EQ(got.slots[m], untouchedSlot()) << m;
        }
    }
    EXPECT_EQ(diagnostics_.text(), "");
}

TEST_F(CollectionFile, MissingTablesAndStrayOffsetsArePassedOverSilently) {
    auto collection = CollectionWriter()
                          .member(FontWriter().table("OS/2", os2Table(rangesOf(0))))  // no name table
                          .member(FontWriter())
                          .memberAt(0xFFFFFFF0u)
                          .memberAt(0x80000000u)
                          .member(memberFont(4));
    const auto got = read(write(collection.build()));
    EXPECT_EQ(got.memberCount, 5);
    EXPECT_EQ(got.places[0], prefixOfMember(0));
    EXPECT_EQ(got.slots[0], untouchedSlot());
    for (std::size_t m = 1; m < 4; ++m) {
        EXPECT_EQ(got.places[m], untouchedPrefix()) << m;
        EXPECT_EQ(got.slots[m], untouchedSlot()) << m;
    }
    EXPECT_EQ(slotName(got.slots[4]), nameOf(4));
    EXPECT_EQ(diagnostics_.text(), "");
}

TEST_F(CollectionFile, CutOffMemberDirectoryPrintsOs2NotFoundAndStops) {
    auto collection = collectionOf(2).memberAt(firstDirectory(3));
    const auto path = write(truncated(collection.build(), collection.memberOffset(1) + 12 + 3));

    std::int32_t memberCount = kCountSentinel;
    std::array<Os2Prefix, 3> places{untouchedPrefix(), untouchedPrefix(), untouchedPrefix()};
    fontfile::readCollectionOs2Prefixes(path.c_str(), memberCount, places);
    EXPECT_EQ(memberCount, 3);
    EXPECT_EQ(places[0], prefixOfMember(0));
    EXPECT_EQ(places[1], untouchedPrefix());
    EXPECT_EQ(places[2], untouchedPrefix());
    EXPECT_EQ(diagnostics_.text(), "OS/2 not found");
}

TEST_F(CollectionFile, UnopenablePathWritesNothingNotEvenTheCount) {
    folder_.makeFolder("folder.ttc");
    for (const auto& name : {"missing.ttc", "folder.ttc"}) {
        const auto got = read((std::filesystem::path(folder_.enginePath()) / name).string());
        EXPECT_EQ(got.memberCount, kCountSentinel) << name;
        EXPECT_EQ(got.places[0], untouchedPrefix()) << name;
        EXPECT_EQ(got.slots[0], untouchedSlot()) << name;
    }
    EXPECT_EQ(diagnostics_.text(), "");
}

}  // namespace
