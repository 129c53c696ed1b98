#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>

#include "font_writer.h"
#include "fontfile/font_reader.h"
#include "parse_steps.h"
#include "reader_checks.h"

namespace {

using fontfile::MemorySource;
using fontfile::NameSlot;
using fontfile::Os2Prefix;
using Outcome = fontfile::TableScan::Outcome;
using namespace testfonts;

constexpr Ranges kRanges{0x80000001u, 0x0D0A1A0Du, 0x00000000u, 0xFFFFFFFFu};

std::string fillerTag(int i) { return "f" + std::to_string(100 + i); }

// A directory of `index` filler records (pointing at offset 0), then `tag`.
FontWriter fontWithTableAt(int index, const std::string& tag, Bytes data) {
    FontWriter font;
    for (int i = 0; i < index; ++i) font.tableAt(fillerTag(i), 0);
    font.table(tag, std::move(data));
    return font;
}

FontWriter fontWithNames(const std::vector<NameEntry>& entries) {
    return FontWriter().table("OS/2", os2Table(kRanges)).table("name", nameTable(entries));
}

Os2Prefix parsePrefix(const Bytes& bytes, Outcome* outcome = nullptr) {
    auto prefix = untouchedPrefix();
    MemorySource source(bytes);
    const auto result = testfonts::parseOs2Prefix(source, prefix);
    if (outcome) *outcome = result;
    return prefix;
}

NameSlot parseName(const Bytes& bytes, Outcome* outcome = nullptr) {
    auto slot = untouchedSlot();
    MemorySource source(bytes);
    const auto scan = testfonts::parseFullName(source, slot);
    if (outcome) *outcome = scan.outcome;
    return slot;
}

// ---- Finding the table in the directory --------------------------------

TEST(SingleFontDirectoryScan, ExaminesExactlyTheFirst40Records) {
    Outcome outcome{};
    EXPECT_EQ(parsePrefix(fontWithTableAt(39, "OS/2", os2Table(kRanges)).build(), &outcome),
              prefixOf(os2Table(kRanges)));
    EXPECT_EQ(outcome, Outcome::found);
    EXPECT_EQ(parsePrefix(fontWithTableAt(40, "OS/2", os2Table(kRanges)).build(), &outcome), untouchedPrefix());
    EXPECT_EQ(outcome, Outcome::notFound);

    EXPECT_EQ(slotName(parseName(fontWithTableAt(39, "name", nameTable({{"Fortieth"}})).build(), &outcome)),
              "Fortieth");
    EXPECT_EQ(outcome, Outcome::found);
    EXPECT_EQ(parseName(fontWithTableAt(40, "name", nameTable({{"Too late"}})).build(), &outcome), untouchedSlot());
    EXPECT_EQ(outcome, Outcome::notFound);
}

TEST(SingleFontDirectoryScan, RecordsPastTheFortiethAreNeverRead) {
    // 50 declared, the file ends after the 40th: not a cut-off directory.
    auto font = fontWithTableAt(40, "name", nameTable({{"Unreached"}}));
    const auto bytes = truncated(font.declaredNumTables(50).build(), 12 + 16 * 40);
    Outcome outcome{};
    EXPECT_EQ(parseName(bytes, &outcome), untouchedSlot());
    EXPECT_EQ(outcome, Outcome::notFound);
}

TEST(SingleFontDirectoryScan, FirstOs2RecordWins) {
    const Ranges later{1, 2, 3, 4};
    const auto bytes = FontWriter().table("OS/2", os2Table(kRanges)).table("OS/2", os2Table(later)).build();
    EXPECT_EQ(fontfile::rangesOf(parsePrefix(bytes)), kRanges);
}

TEST(SingleFontDirectoryScan, TagsMatchByteForByte) {
    const auto bytes = FontWriter().table("os/2", os2Table(kRanges)).table("NAME", nameTable({{"Wrong case"}})).build();
    EXPECT_EQ(parsePrefix(bytes), untouchedPrefix());
    EXPECT_EQ(parseName(bytes), untouchedSlot());
}

TEST(SingleFontDirectoryScan, EmptyOrCutOffDirectoryHasNoRecord) {
    const auto whole = simpleFont(kRanges, "Whole").build();
    for (const auto& bytes : {FontWriter().build(), truncated(whole, 11), Bytes{}}) {
        SCOPED_TRACE(bytes.size());
        Outcome outcome{};
        EXPECT_EQ(parsePrefix(bytes, &outcome), untouchedPrefix());
        EXPECT_EQ(outcome, Outcome::notFound);
        EXPECT_EQ(parseName(bytes, &outcome), untouchedSlot());
        EXPECT_EQ(outcome, Outcome::notFound);
    }
}

TEST(SingleFontDirectoryScan, ReportsTheIndexOfTheFirstRecordCutOff) {
    const auto font = FontWriter().table("cmap", {}).table("head", {}).table("name", nameTable({{"Cut"}}));
    for (std::size_t cut : {std::size_t{12 + 16 * 2}, std::size_t{12 + 16 * 2 + 15}}) {
        SCOPED_TRACE(cut);
        const auto bytes = truncated(font.build(), cut);
        auto slot = untouchedSlot();
        MemorySource source(bytes);
        const auto scan = testfonts::parseFullName(source, slot);
        EXPECT_EQ(scan.outcome, Outcome::shortRecord);
        EXPECT_EQ(scan.recordIndex, 2);
        EXPECT_EQ(slot, untouchedSlot());

        auto prefix = untouchedPrefix();
        EXPECT_EQ(testfonts::parseOs2Prefix(source, prefix), Outcome::shortRecord);
        EXPECT_EQ(prefix, untouchedPrefix());
    }
}

TEST(SingleFontDirectoryScan, WhereverTheFileEndsTheFirstRecordNotWholeIsReported) {
    const auto whole = fontWithTableAt(39, "name", nameTable({{"Fortieth"}})).build();
    for (std::size_t cut = 12; cut < fontfile::kTableDirectorySize; ++cut) {
        SCOPED_TRACE(cut);
        const auto bytes = truncated(whole, cut);
        auto slot = untouchedSlot();
        MemorySource source(bytes);
        const auto scan = testfonts::parseFullName(source, slot);
        EXPECT_EQ(scan.outcome, Outcome::shortRecord);
        EXPECT_EQ(scan.recordIndex, static_cast<int>((cut - 12) / 16));
    }
}

// ---- The OS/2 prefix ----------------------------------------------------

TEST(Os2PrefixBytes, Version0TableIsFollowedByTheNextTablesBytes) {
    const Bytes post{0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19};
    const auto bytes = FontWriter().table("OS/2", os2Table(kRanges, 78)).table("post", post).build();
    const auto prefix = parsePrefix(bytes);
    EXPECT_EQ(fontfile::rangesOf(prefix), kRanges);
    EXPECT_EQ(prefix[77], 0xEE);
    EXPECT_EQ(prefix[78], 0x11);
    EXPECT_EQ(prefix[85], 0x18);
}

TEST(Os2PrefixBytes, TableEndingTheFileShortFillsOnlyWhatIsThere) {
    const auto table = os2Table(kRanges, 60);
    const auto prefix = parsePrefix(FontWriter().table("OS/2", table).build());
    EXPECT_EQ(fontfile::rangesOf(prefix), kRanges);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), prefix.begin()));
    for (std::size_t i = 60; i < prefix.size(); ++i) EXPECT_EQ(prefix[i], kPrefixSentinel) << i;
}

TEST(Os2PrefixBytes, TableOffsetsAbove2GiBArePositions) {
    SparseSource source(0x80000000ull + 86);
    source.place(0, FontWriter().tableAt("OS/2", 0x80000000u).build());
    source.place(0x80000000u, os2Table(kRanges));
    auto prefix = untouchedPrefix();
    EXPECT_EQ(testfonts::parseOs2Prefix(source, prefix), Outcome::found);
    EXPECT_EQ(prefix, prefixOf(os2Table(kRanges)));
}

TEST(Os2PrefixBytes, TableOffsetPastTheEndLeavesThePrefixUntouched) {
    for (std::uint32_t offset : {0x80000000u, 0xFFFFFFFFu, 0x00001000u}) {
        SCOPED_TRACE(offset);
        Outcome outcome{};
        EXPECT_EQ(parsePrefix(FontWriter().tableAt("OS/2", offset).build(), &outcome), untouchedPrefix());
        EXPECT_EQ(outcome, Outcome::found);
    }
}

// ---- Which name record is taken -------------------------------------------

TEST(FullNameChoice, LastMacintoshFullNameWinsAndEndsAtItsOwnZero) {
    const auto slot = parseName(fontWithNames({{"A much longer first name"}, {"Family", 1, 1}, {"Short"}}).build());
    EXPECT_EQ(slotName(slot), "Short");
    EXPECT_EQ(slot[5], '\0');
}

TEST(FullNameChoice, AnyEncodingAndLanguageIsTaken) {
    NameEntry roman{"Roman 0/0"};
    NameEntry japanese{"Japanese 1/11", 1, 4, 1, 11};
    NameEntry high{"High 65535/32768", 1, 4, 0xFFFF, 0x8000};
    EXPECT_EQ(slotName(parseName(fontWithNames({roman, japanese}).build())), "Japanese 1/11");
    EXPECT_EQ(slotName(parseName(fontWithNames({roman, high}).build())), "High 65535/32768");
    EXPECT_EQ(slotName(parseName(fontWithNames({high, roman}).build())), "Roman 0/0");
}

TEST(FullNameChoice, OnlyPlatform1NameId4IsTaken) {
    const std::vector<NameEntry> others{{std::string("W\0i\0n", 5), 3, 4, 1, 0x409},
                                        {"Unicode", 0, 4},
                                        {"Family", 1, 1},
                                        {"Unique", 1, 3},
                                        {"Postscript", 1, 6}};
    Outcome outcome{};
    EXPECT_EQ(parseName(fontWithNames(others).build(), &outcome), untouchedSlot());
    EXPECT_EQ(outcome, Outcome::found);
    EXPECT_EQ(parseName(fontWithNames({}).build()), untouchedSlot());  // count 0
}

// ---- How much of a name is kept --------------------------------------------

TEST(FullNameLength, KeepsAtMost99BytesAndNeverWritesPastTheSlot) {
    for (std::size_t length : {98u, 99u, 100u, 101u, 499u, 500u, 600u}) {
        SCOPED_TRACE(length);
        std::string name(length, 'x');
        for (std::size_t i = 0; i < length; ++i) name[i] = static_cast<char>('a' + i % 26);
        const auto bytes = fontWithNames({{name}}).build();
        std::array<NameSlot, 2> slots{untouchedSlot(), untouchedSlot()};
        MemorySource source(bytes);
        testfonts::parseFullName(source, slots[0]);
        EXPECT_EQ(slotName(slots[0]), name.substr(0, 99));
        if (length < 99) {
            EXPECT_EQ(slots[0][99], kNameSentinel);
        }
        EXPECT_EQ(slots[1], untouchedSlot());
    }
}

TEST(FullNameLength, CopiesUpToTheFirstZeroInsideTheName) {
    const auto slot = parseName(fontWithNames({{std::string("Inner\0Zero", 10)}}).build());
    EXPECT_EQ(slotName(slot), "Inner");
    EXPECT_EQ(slot[6], kNameSentinel);  // nothing after the first zero is copied
}

// ---- Where a name's bytes are found -----------------------------------------

// A name table at 128 KiB, after a filler table; the string lies where the
// header's stringOffset and the record's offset, both unsigned, put it. A
// decoy waits where signed 16-bit offsets would lead.
TEST(FullNamePosition, StringAndRecordOffsetsFrom32768UpAreUnsigned) {
    constexpr std::size_t kNameTableAt = 0x20000;
    struct Case {
        std::uint16_t stringOffset, recordOffset;
    };
    for (const Case c : {Case{0x8000, 0}, Case{18, 0x8000}, Case{0x8000, 0x8000}, Case{0xFFFF, 0xFFFF}}) {
        SCOPED_TRACE(std::to_string(c.stringOffset) + "+" + std::to_string(c.recordOffset));
        NameEntry entry{"Right"};
        entry.offset = c.recordOffset;
        auto table = nameTable({entry}, c.stringOffset);
        const std::size_t right = std::size_t{c.stringOffset} + c.recordOffset;
        table.resize(right + 5);
        std::copy_n("Right", 5, table.begin() + static_cast<std::ptrdiff_t>(right));

        constexpr std::size_t kDirectory = 12 + 16 * 2;
        Bytes filler(kNameTableAt - kDirectory, 0x20);
        const auto signedAt = kNameTableAt + static_cast<std::size_t>(static_cast<std::int16_t>(c.stringOffset)) +
                              static_cast<std::size_t>(static_cast<std::int16_t>(c.recordOffset));
        if (signedAt + 5 <= kNameTableAt) {
            std::copy_n("Wrong", 5, filler.begin() + static_cast<std::ptrdiff_t>(signedAt - kDirectory));
        }

        const auto bytes = FontWriter().table("fill", filler).table("name", table).build();
        ASSERT_EQ(bytes.size(), kNameTableAt + table.size());
        EXPECT_EQ(slotName(parseName(bytes)), "Right");
    }
}

TEST(FullNamePosition, TableOffsetsAbove2GiBArePositions) {
    NameEntry entry{"High"};
    entry.offset = 0x8000;
    SparseSource source(0xF0010000ull + 4);
    source.place(0, FontWriter().tableAt("name", 0xF0000000u).build());
    source.place(0xF0000000u, truncated(nameTable({entry}, 0x8000), 6 + 12));
    source.place(0xF0010000u, Bytes{'H', 'i', 'g', 'h'});
    auto slot = untouchedSlot();
    testfonts::parseFullName(source, slot);
    EXPECT_EQ(slotName(slot), "High");
}

// ---- Name tables that the end of the file cuts off --------------------------

TEST(CutOffNameTable, HeaderCutOffGivesNothing) {
    const auto whole = fontWithNames({{"Name"}}).build();
    const auto nameAt = whole.size() - nameTable({{"Name"}}).size();
    Outcome outcome{};
    EXPECT_EQ(parseName(truncated(whole, nameAt + 5), &outcome), untouchedSlot());
    EXPECT_EQ(outcome, Outcome::found);
    EXPECT_EQ(parseName(FontWriter().tableAt("name", 0xFFFFFFF0u).build()), untouchedSlot());
}

TEST(CutOffNameTable, StringCutOffIsPassedOver) {
    const auto bytes = fontWithNames({{"First"}, {"Second name"}}).build();
    EXPECT_EQ(slotName(parseName(truncated(bytes, bytes.size() - 1))), "First");
    EXPECT_EQ(slotName(parseName(truncated(bytes, bytes.size() - 11))), "First");

    NameEntry astray{"Astray"};
    astray.offset = 0xFFFF;
    EXPECT_EQ(slotName(parseName(fontWithNames({{"First"}, astray}).build())), "First");
}

TEST(CutOffNameTable, RecordCutOffEndsTheRecords) {
    // The file ends 10 bytes into record 1: platform 1, encoding "Ok", name
    // ID 4, length 2, and no offset. Record 0 names the "Ok" stored in record
    // 1's encoding field. Taking the missing offset for 0 would name the
    // bytes 00 01, an empty name.
    Bytes table;
    putU16(table, 0);       // format
    putU16(table, 2);       // count
    putU16(table, 6 + 12);  // stringOffset: storage where record 1 begins
    for (std::uint16_t field : std::initializer_list<std::uint16_t>{1, 0, 0, 4, 2, 2}) putU16(table, field);
    for (std::uint16_t field : std::initializer_list<std::uint16_t>{1, 'O' << 8 | 'k', 0, 4, 2}) putU16(table, field);
    ASSERT_EQ(table.size(), 6u + 12 + 10);
    EXPECT_EQ(slotName(parseName(FontWriter().table("name", table).build())), "Ok");
}

// A name table of `count` platform-1 name-ID-4 records, each naming the four
// bytes of its own encoding and language fields ("r000", "r001", ...), so
// that the name kept tells the last record that was read whole.
Bytes selfNamingRecords(std::uint16_t count) {
    Bytes table;
    for (std::uint16_t field : {std::uint16_t{0}, count, std::uint16_t{0}}) putU16(table, field);
    for (std::uint16_t r = 0; r < count; ++r) {
        const auto digit = [](int d) { return static_cast<std::uint16_t>('0' + d); };
        const auto encoding = static_cast<std::uint16_t>('r' << 8 | digit(r / 100));
        const auto language = static_cast<std::uint16_t>(digit(r / 10 % 10) << 8 | digit(r % 10));
        const auto offset = static_cast<std::uint16_t>(6 + 12 * r + 2);
        for (std::uint16_t field : {std::uint16_t{1}, encoding, language, std::uint16_t{4}, std::uint16_t{4}, offset})
            putU16(table, field);
    }
    return table;
}

std::string recordName(std::size_t r) {
    return "r" + std::to_string(r / 100) + std::to_string(r / 10 % 10) + std::to_string(r % 10);
}

TEST(CutOffNameTable, ManyRecordsAreAllReadAndStopAtTheFirstCutOff) {
    const auto table = selfNamingRecords(200);
    const auto whole = FontWriter().table("name", table).build();
    EXPECT_EQ(slotName(parseName(whole)), "r199");
    const auto recordsAt = whole.size() - table.size() + 6;
    for (std::size_t r : std::initializer_list<std::size_t>{1, 63, 64, 65, 127, 128, 129, 199}) {
        for (std::size_t into : std::initializer_list<std::size_t>{0, 11}) {
            SCOPED_TRACE(testing::Message() << "cut " << into << " bytes into record " << r);
            EXPECT_EQ(slotName(parseName(truncated(whole, recordsAt + 12 * r + into))), recordName(r - 1));
        }
    }
}

// ---- Through files --------------------------------------------------------

class SingleFontFile : public testing::Test {
protected:
    std::string write(const Bytes& bytes) { return folder_.write("font.ttf", bytes); }

    TempFolder folder_;
    DiagnosticCapture diagnostics_;
};

TEST_F(SingleFontFile, ReadsRawBytesWhateverTheyLookLike) {
    // Line ends and ^Z in the data: only a binary read gets these through.
    const std::string name = "Caf\x8E\r\nSans\x1A\x1A Bold\r";
    Bytes os2 = os2Table(kRanges);
    os2[0] = '\r';
    os2[1] = '\n';
    os2[85] = 0x1A;
    const auto path = write(FontWriter().table("OS/2", os2).table("name", nameTable({{name}})).build());

    auto prefix = untouchedPrefix();
    auto slot = untouchedSlot();
    fontfile::readOs2Prefix(path.c_str(), prefix);
    fontfile::readFullName(path.c_str(), slot);
    EXPECT_EQ(prefix, prefixOf(os2));
    EXPECT_EQ(slotName(slot), name);
    EXPECT_EQ(diagnostics_.text(), "");
}

TEST_F(SingleFontFile, ShortOs2TableAtTheEndKeepsTheRestOfTheBuffer) {
    const auto table = os2Table(kRanges, 70);
    const auto path = write(FontWriter().table("OS/2", table).build());
    auto prefix = untouchedPrefix();
    fontfile::readOs2Prefix(path.c_str(), prefix);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), prefix.begin()));
    for (std::size_t i = 70; i < prefix.size(); ++i) EXPECT_EQ(prefix[i], kPrefixSentinel) << i;
}

TEST_F(SingleFontFile, CutOffDirectoryPrintsOs2NotFoundWithoutLineEnd) {
    const auto font = FontWriter().table("cmap", {}).table("head", {}).table("OS/2", os2Table(kRanges));
    const auto path = write(truncated(font.build(), 12 + 16 * 2 + 4));
    auto prefix = untouchedPrefix();
    fontfile::readOs2Prefix(path.c_str(), prefix);
    EXPECT_EQ(prefix, untouchedPrefix());
    EXPECT_EQ(diagnostics_.text(), "OS/2 not found");
}

TEST_F(SingleFontFile, MissingNameTablePrintsThePathAsGiven) {
    const Bytes noName = fontWithTableAt(40, "name", nameTable({{"Too late"}})).build();
    std::string expected;
    int serial = 0;
    for (const auto& bytes : {noName, FontWriter().build(), Bytes(8, 0)}) {
        SCOPED_TRACE(bytes.size());
        const auto path = folder_.write("no name " + std::to_string(serial++) + ".ttf", bytes);
        auto slot = untouchedSlot();
        fontfile::readFullName(path.c_str(), slot);
        EXPECT_EQ(slot, untouchedSlot());
        expected += path + ": ** No name table found **\n";
    }
    EXPECT_EQ(diagnostics_.text(), expected);
}

TEST_F(SingleFontFile, SilentOutcomesPrintNothing) {
    const Bytes pastTheEnd = FontWriter().tableAt("OS/2", 0x80000000u).tableAt("name", 0xFFFFFFF0u).build();
    for (const auto& bytes :
         {FontWriter().build(), fontWithTableAt(40, "OS/2", os2Table(kRanges)).build(), pastTheEnd}) {
        SCOPED_TRACE(bytes.size());
        const auto path = write(bytes);
        auto prefix = untouchedPrefix();
        fontfile::readOs2Prefix(path.c_str(), prefix);
        EXPECT_EQ(prefix, untouchedPrefix());
    }
    const NameEntry windowsOnly{std::string("W\0i\0n", 5), 3, 4, 1, 0x409};
    for (const auto& bytes : {fontWithNames({}).build(), fontWithNames({windowsOnly}).build(), pastTheEnd}) {
        SCOPED_TRACE(bytes.size());
        const auto path = write(bytes);
        auto slot = untouchedSlot();
        fontfile::readFullName(path.c_str(), slot);
        EXPECT_EQ(slot, untouchedSlot());
    }
    EXPECT_EQ(diagnostics_.text(), "");
}

TEST_F(SingleFontFile, UnopenablePathWritesAndPrintsNothing) {
    folder_.makeFolder("folder.ttf");
    for (const auto& name : {"missing.ttf", "folder.ttf"}) {
        const auto path = (std::filesystem::path(folder_.enginePath()) / name).string();
        auto prefix = untouchedPrefix();
        auto slot = untouchedSlot();
        fontfile::readOs2Prefix(path.c_str(), prefix);
        fontfile::readFullName(path.c_str(), slot);
        EXPECT_EQ(prefix, untouchedPrefix()) << name;
        EXPECT_EQ(slot, untouchedSlot()) << name;
    }
    EXPECT_EQ(diagnostics_.text(), "");
}

TEST_F(SingleFontFile, LongNameIsCutTo99BytesAndAZero) {
    const std::string name(600, 'N');
    const auto path = write(fontWithNames({{"Earlier"}, {name}}).build());
    std::array<NameSlot, 2> slots{untouchedSlot(), untouchedSlot()};
    fontfile::readFullName(path.c_str(), slots[0]);
    EXPECT_EQ(slotName(slots[0]), name.substr(0, 99));
    EXPECT_EQ(slots[1], untouchedSlot());
}

}  // namespace
