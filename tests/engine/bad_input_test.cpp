// A fonts folder that nobody vets: damaged files of every kind side by side
// with whole ones. Each damaged file gets the record the engine's choices
// give it, and every other font of the folder is still read in full. Run
// under ASan and UBSan, these also show that no damage leads to a read or a
// write out of bounds.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine_test_helpers.h"
#include "font_writer.h"
#include "inventory/font_inventory.h"
#include "reader_checks.h"

namespace {

using enginetest::Bytes;
using enginetest::Member;
using enginetest::Ranges;
using enginetest::TempFolder;
using inventory::FontInventory;
using inventory::slotText;
using testfonts::CollectionWriter;
using testfonts::FontWriter;
using testfonts::NameEntry;
using testfonts::nameTable;
using testfonts::os2Table;
using testfonts::simpleFont;
using testfonts::truncated;

constexpr Ranges kNoRanges{};

// Distinct range words for font number n, every byte of them set.
Ranges rangesFor(std::uint32_t n) {
    return {0x11223344u + n, 0x55667788u + (n << 8), 0x99AABBCCu + (n << 16), 0xDDEEFF01u + (n << 24)};
}

// A font with an OS/2 table first and a name table second.
Bytes fontOf(const Ranges& ranges, const std::vector<NameEntry>& names) {
    return FontWriter().table("OS/2", os2Table(ranges)).table("name", nameTable(names)).build();
}

// Where the name table starts in fontOf(..., names).
std::size_t nameTableAt(const std::vector<NameEntry>& names) {
    return fontOf(kNoRanges, names).size() - nameTable(names).size();
}

// A font whose two table records point at offsets given after the build's
// size is known: the file ends where its data does.
Bytes withTableAtTheEnd(const std::string& atTheEnd, const Ranges& ranges, const std::string& name) {
    const auto build = [&](std::uint32_t end) {
        FontWriter font;
        if (atTheEnd == "OS/2") {
            font.table("name", nameTable({{name}})).tableAt("OS/2", end);
        } else {
            font.table("OS/2", os2Table(ranges)).tableAt("name", end);
        }
        return font.build();
    };
    return build(static_cast<std::uint32_t>(build(0).size()));
}

struct SingleCase {
    std::string file;
    Bytes bytes;
    Ranges ranges;
    std::string fullName;
    bool noNameRecord = false;  // readFullName reports the path
};

struct CollectionCase {
    std::string file;
    Bytes bytes;
    std::vector<Member> members;  // those kept, in order
};

std::vector<SingleCase> damagedSingleFonts() {
    const Ranges r = rangesFor(100);
    std::vector<SingleCase> cases;
    const auto whole = fontOf(r, {{"Whole"}});
    for (std::size_t size = 0; size <= 11; ++size) {
        cases.push_back({"short-" + std::to_string(size) + ".ttf", truncated(whole, size), kNoRanges, "", true});
    }

    // numTables 65535: the scan stops at the records there are, or at 40.
    cases.push_back(
        {"tables-65535.ttf",
         FontWriter().table("OS/2", os2Table(r)).table("name", nameTable({{"Many"}})).declaredNumTables(65535).build(),
         r, "Many"});
    FontWriter forty;
    for (int i = 0; i < 40; ++i) forty.tableAt("f" + std::to_string(100 + i), 0);
    cases.push_back({"tables-65535-40-read.ttf", truncated(forty.declaredNumTables(65535).build(), 12 + 16 * 40),
                     kNoRanges, "", true});

    // Table offsets at the end of the file, and at 2^31 and 2^32 - 1.
    cases.push_back(
        {"os2-at-the-end.ttf", withTableAtTheEnd("OS/2", r, "OS/2 at the end"), kNoRanges, "OS/2 at the end"});
    cases.push_back({"name-at-the-end.ttf", withTableAtTheEnd("name", r, ""), r, ""});
    cases.push_back({"offsets-2g.ttf", FontWriter().tableAt("OS/2", 0x80000000u).tableAt("name", 0x80000000u).build(),
                     kNoRanges, ""});
    cases.push_back({"offsets-4g.ttf", FontWriter().tableAt("OS/2", 0xFFFFFFFFu).tableAt("name", 0xFFFFFFFFu).build(),
                     kNoRanges, ""});

    // An OS/2 table shorter than 86 bytes ends the file: the range words
    // take the bytes there are, and zeros for the rest.
    cases.push_back({"os2-50-at-the-end.ttf",
                     FontWriter().table("name", nameTable({{"Fifty"}})).table("OS/2", os2Table(r, 50)).build(),
                     {r[0], r[1], 0, 0},
                     "Fifty"});
    cases.push_back({"os2-44-at-the-end.ttf",
                     FontWriter().table("name", nameTable({{"Forty-four"}})).table("OS/2", os2Table(r, 44)).build(),
                     {r[0] & 0xFFFF0000u, 0, 0, 0},
                     "Forty-four"});

    // Name tables cut off in their header, their records or their strings.
    const std::vector<NameEntry> two{{"First"}, {"Second"}};
    const auto named = fontOf(r, two);
    cases.push_back({"name-header-cut.ttf", truncated(named, nameTableAt(two) + 5), r, ""});
    cases.push_back({"name-record-cut.ttf", truncated(named, nameTableAt(two) + 6 + 12 + 11), r, ""});
    cases.push_back({"name-string-cut.ttf", truncated(named, named.size() - 1), r, "First"});
    NameEntry astray{"Astray"};
    astray.offset = 0xFFFF;
    cases.push_back({"name-string-past-the-file.ttf", fontOf(r, {astray}), r, ""});

    // Names of 99, 100 and 600 bytes keep at most 99; a zero ends a name.
    const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    std::string long600;
    while (long600.size() < 600) long600 += letters;
    long600.resize(600);
    for (std::size_t length : {99u, 100u, 600u}) {
        cases.push_back({"name-" + std::to_string(length) + ".ttf", fontOf(r, {{long600.substr(0, length)}}), r,
                         long600.substr(0, 99)});
    }
    cases.push_back({"name-with-zeros.ttf", fontOf(r, {{std::string("Zero\0Inside\0", 12)}}), r, "Zero"});
    return cases;
}

std::vector<CollectionCase> damagedCollections() {
    std::vector<CollectionCase> cases;
    const auto member = [](std::uint32_t n) { return Member{rangesFor(n), "Member " + std::to_string(n)}; };
    const auto font = [](const Member& m) { return simpleFont(m.ranges, m.fullName); };

    const auto whole = enginetest::collectionFile({member(200)});
    for (std::size_t size = 0; size <= 11; ++size) {
        cases.push_back({"short-" + std::to_string(size) + ".ttc", truncated(whole, size), {}});
    }

    // Declared counts of 0, 11, 50 and 51, over the members there are.
    for (std::uint32_t declared : {0u, 11u, 50u, 51u}) {
        CollectionWriter collection;
        std::vector<Member> kept;
        for (std::uint32_t m = 0; m < std::min(declared, 11u); ++m) {
            collection.member(font(member(300 + m)));
            if (m < 10) kept.push_back(member(300 + m));
        }
        if (declared == 0) collection.member(font(member(399)));
        cases.push_back(
            {"num-fonts-" + std::to_string(declared) + ".ttc", collection.declaredNumFonts(declared).build(), kept});
    }

    // Members whose offsets lie past the file stay counted, with empty records.
    cases.push_back({"member-offsets-past-the-file.ttc",
                     CollectionWriter()
                         .member(font(member(400)))
                         .memberAt(0xFFFFFFFFu)
                         .memberAt(0x80000000u)
                         .member(font(member(403)))
                         .build(),
                     {member(400), {}, {}, member(403)}});

    // Two members with one directory, and two with one name table.
    cases.push_back({"shared-directory.ttc",
                     CollectionWriter().member(font(member(500))).memberAt(12 + 4 * 2).build(),
                     {member(500), member(500)}});
    // Member 0's name table follows the header of two entries, its directory
    // and its OS/2 table.
    const auto nameAt =
        static_cast<std::uint32_t>(12 + 4 * 2 + font(member(600)).directorySize() + os2Table(rangesFor(600)).size());
    CollectionWriter sharedName;
    sharedName.member(font(member(600)))
        .member(FontWriter().table("OS/2", os2Table(rangesFor(601))).tableAt("name", nameAt));
    cases.push_back({"shared-name.ttc", sharedName.build(), {member(600), {rangesFor(601), "Member 600"}}});
    return cases;
}

TEST(BadInputFolder, EachDamagedFileGetsItsRecordAndEveryOtherFontIsRead) {
    const auto singles = damagedSingleFonts();
    const auto collections = damagedCollections();
    ASSERT_LT(collections.size() + 2, static_cast<std::size_t>(inventory::MaxCollections));

    TempFolder folder;
    // Whole fonts sorted before, between and after the damaged ones.
    const std::vector<SingleCase> wholeSingles{{"a-whole.ttf", {}, rangesFor(1), "Whole A"},
                                               {"p-whole.ttf", {}, rangesFor(2), "Whole P"},
                                               {"z-whole.ttf", {}, rangesFor(3), "Whole Z"}};
    const std::vector<CollectionCase> wholeCollections{
        {"a-whole.ttc", {}, {{rangesFor(4), "Whole A1"}, {rangesFor(5), "Whole A2"}}},
        {"z-whole.ttc", {}, {{rangesFor(6), "Whole Z1"}}}};
    for (const auto& s : wholeSingles) folder.write(s.file, enginetest::fontFile(s.ranges, s.fullName));
    for (const auto& c : wholeCollections) folder.write(c.file, enginetest::collectionFile(c.members));
    for (const auto& s : singles) folder.write(s.file, s.bytes);
    for (const auto& c : collections) folder.write(c.file, c.bytes);

    testfonts::DiagnosticCapture diagnostics;
    FontInventory fonts;
    inventory::buildInventory(fonts, folder.enginePath());

    const auto singleNames = enginetest::singleFileNames(fonts);
    ASSERT_EQ(singleNames.size(), singles.size() + wholeSingles.size());
    // Only a directory without a name record is reported; all else is silent.
    std::string reported;
    for (const auto& name : singleNames) {
        for (const auto& s : singles) {
            if (s.file == name && s.noNameRecord)
                reported += folder.enginePath() + "\\" + name + ": ** No name table found **\n";
        }
    }
    EXPECT_EQ(diagnostics.text(), reported);
    for (const auto* group : {&wholeSingles, &singles}) {
        for (const auto& s : *group) {
            const auto i = enginetest::indexOf(singleNames, s.file);
            ASSERT_GE(i, 0) << s.file;
            const auto at = static_cast<std::size_t>(i);
            EXPECT_EQ(fonts.singleRecords[at].ranges, s.ranges) << s.file;
            EXPECT_EQ(slotText(fonts.singleFullNames[at]), s.fullName) << s.file;
        }
    }

    const auto collectionNames = enginetest::collectionFileNames(fonts);
    ASSERT_EQ(collectionNames.size(), collections.size() + wholeCollections.size());
    for (const auto* group : {&wholeCollections, &collections}) {
        for (const auto& c : *group) {
            const auto k = enginetest::indexOf(collectionNames, c.file);
            ASSERT_GE(k, 0) << c.file;
            ASSERT_EQ(fonts.memberCounts[static_cast<std::size_t>(k)], static_cast<std::int32_t>(c.members.size()))
                << c.file;
            for (int j = 0; j < inventory::MaxMembers; ++j) {
                const auto& record = enginetest::memberRecord(fonts, k, j);
                const auto expected =
                    j < static_cast<int>(c.members.size()) ? c.members[static_cast<std::size_t>(j)] : Member{};
                EXPECT_EQ(record.ranges, expected.ranges) << c.file << " member " << j;
                EXPECT_EQ(slotText(record.fullName), expected.fullName) << c.file << " member " << j;
            }
        }
    }
}

}  // namespace
