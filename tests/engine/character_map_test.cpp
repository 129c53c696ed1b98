#include "fontfile/character_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "font_writer.h"
#include "fontfile/code_points.h"
#include "reader_checks.h"

namespace fontfile {
// Runs as U+XXXX..U+XXXX in failure messages.
void PrintTo(const CodePointRange& run, std::ostream* out) {
    *out << std::hex << std::uppercase << "U+" << std::uint32_t{run.first} << "..U+" << std::uint32_t{run.last};
}
}  // namespace fontfile

namespace {

using fontfile::CharacterMap;
using fontfile::CodePointRange;
using fontfile::MemorySource;
using Outcome = CharacterMap::Outcome;
using Runs = std::vector<CodePointRange>;
using namespace testfonts;

Bytes fontWith(const std::vector<CmapEncoding>& encodings) {
    return FontWriter().table("OS/2", os2Table({})).table("cmap", cmapTable(encodings)).build();
}

CharacterMap parse(const Bytes& font, std::uint64_t directoryPosition = 0) {
    MemorySource source(font);
    return fontfile::parseCharacterMap(source, directoryPosition);
}

// What a font whose only subtable is `subtable`, as (3, 10), covers.
Runs coveredBy(const Bytes& subtable) {
    const auto map = parse(fontWith({{3, 10, subtable}}));
    EXPECT_EQ(map.outcome, Outcome::unicode) << (map.damage ? map.damage : "");
    EXPECT_EQ(map.damage, nullptr);
    return map.covered;
}

// Glyphs for the code points of `runs`, all 7, and 0 elsewhere below `size`.
std::vector<std::uint8_t> format0Glyphs(const Runs& runs, std::size_t size = 256) {
    std::vector<std::uint8_t> glyphs(size, 0);
    for (const auto& r : runs)
        for (auto c = r.first; c <= r.last; ++c) glyphs.at(c) = 7;
    return glyphs;
}

// Where the cmap table starts in fontWith(...).
constexpr std::size_t kCmapAt = 12 + 2 * 16 + 86;
constexpr std::size_t kFirstSubtableAt = kCmapAt + 4 + 8;

// ---- What each format maps ----------------------------------------------

TEST(CharacterMapFormats, EachFormatCoversWhatItMapsToAGlyphOtherThanZero) {
    EXPECT_EQ(coveredBy(cmapFormat0(format0Glyphs({{0x20, 0x20}, {0x41, 0x43}, {0xFF, 0xFF}}))),
              (Runs{{0x20, 0x20}, {0x41, 0x43}, {0xFF, 0xFF}}));
    EXPECT_EQ(coveredBy(cmapFormat4({{0x20, 0x7E, 0xFFE3}, {0x400, 0x4FF, 0xFD00}})),
              (Runs{{0x20, 0x7E}, {0x400, 0x4FF}}));
    EXPECT_EQ(coveredBy(cmapFormat6(0x400, {1, 2, 0, 4})), (Runs{{0x400, 0x401}, {0x403, 0x403}}));
    EXPECT_EQ(coveredBy(cmapFormat10(0x10000, {7, 0, 9, 10})), (Runs{{0x10000, 0x10000}, {0x10002, 0x10003}}));
    EXPECT_EQ(coveredBy(cmapFormat12({{0x41, 0x5A, 1}, {0x1F600, 0x1F64F, 30}, {0x20000, 0x2A6DF, 200}})),
              (Runs{{0x41, 0x5A}, {0x1F600, 0x1F64F}, {0x20000, 0x2A6DF}}));
    EXPECT_EQ(coveredBy(cmapFormat13({{0x3400, 0x4DBF, 5}, {0xE0000, 0x10FFFF, 5}})),
              (Runs{{0x3400, 0x4DBF}, {0xE0000, 0x10FFFF}}));

    const auto map = parse(fontWith({{3, 10, cmapFormat13({{0, 0x10FFFF, 1}})}}));
    EXPECT_EQ(map.format, 13);
    EXPECT_EQ(map.covered, (Runs{{0, 0x10FFFF}}));
}

TEST(CharacterMapFormats, GlyphZeroLeavesACodePointUncovered) {
    // idDelta wraps the glyph of U+0043 to 0.
    EXPECT_EQ(coveredBy(cmapFormat4({{0x41, 0x45, static_cast<std::uint16_t>(0x10000 - 0x43)}})),
              (Runs{{0x41, 0x42}, {0x44, 0x45}}));
    // Through the glyph array: a 0 there stays 0 whatever idDelta is, and
    // an entry that idDelta wraps to 0 is 0.
    EXPECT_EQ(coveredBy(cmapFormat4({{0x61, 0x65, 5, {9, 0, 7, 0xFFFB, 8}}})),
              (Runs{{0x61, 0x61}, {0x63, 0x63}, {0x65, 0x65}}));
    EXPECT_EQ(coveredBy(cmapFormat4({{0x30, 0x33, 0, {0, 0, 0, 0}}})), Runs{});
    // Format 12: consecutive glyphs from 0 leave out only the first code point.
    EXPECT_EQ(coveredBy(cmapFormat12({{0x100, 0x102, 0}, {0x200, 0x200, 0}})), (Runs{{0x101, 0x102}}));
    // Format 13: one glyph for the whole group.
    EXPECT_EQ(coveredBy(cmapFormat13({{0x100, 0x1FF, 0}, {0x300, 0x300, 2}})), (Runs{{0x300, 0x300}}));
    EXPECT_EQ(coveredBy(cmapFormat0(std::vector<std::uint8_t>(256, 0))), Runs{});
}

TEST(CharacterMapFormats, Format4GlyphArrayLookupsStayInsideTheArray) {
    // The last segment's glyphs start at the array's last entry: only its
    // first code point finds one.
    Format4Segment tail{0x50, 0x53};
    tail.idRangeOffset = static_cast<std::uint16_t>(2 * 2 + 2 * 3);  // 2 entries to the array, then entry 3
    EXPECT_EQ(coveredBy(cmapFormat4({{0x41, 0x44, 0, {1, 2, 3, 4}}, tail})), (Runs{{0x41, 0x44}, {0x50, 0x50}}));

    // Pointing back into the idRangeOffset array or far past the end.
    for (std::uint16_t offset : {std::uint16_t{2}, std::uint16_t{0xFFFE}}) {
        Format4Segment astray{0x41, 0x44, 0};
        astray.idRangeOffset = offset;
        EXPECT_EQ(coveredBy(cmapFormat4({astray, {0x100, 0x101, 1}})), (Runs{{0x100, 0x101}})) << offset;
    }
}

TEST(CharacterMapFormats, Format4SegmentsOverlappingEarlierOnesAddOnlyWhatFollows) {
    // U+0041 has glyph 0 in the first segment and keeps it although the
    // third maps it; a segment whose start is past its end is passed over.
    EXPECT_EQ(coveredBy(cmapFormat4({{0x41, 0x50, static_cast<std::uint16_t>(0x10000 - 0x41), {}},
                                     {0x70, 0x6F, 1},
                                     {0x41, 0x60, 1},
                                     {0x00, 0x10, 1},
                                     {0x80, 0x80, 1}})),
              (Runs{{0x42, 0x60}, {0x80, 0x80}}));
}

TEST(CharacterMapFormats, RunsComeOutSortedDisjointMergedAndInRange) {
    EXPECT_EQ(coveredBy(cmapFormat12({{0x300, 0x3FF, 9}, {0x100, 0x1FF, 9}, {0x200, 0x2FF, 9}, {0x180, 0x220, 9}})),
              (Runs{{0x100, 0x3FF}}));
    EXPECT_EQ(coveredBy(cmapFormat12({{0x10FFF0, 0xFFFFFFFF, 5}, {0x110000, 0x120000, 5}, {0x500, 0x400, 5}})),
              (Runs{{0x10FFF0, 0x10FFFF}}));
    EXPECT_EQ(coveredBy(cmapFormat12({{0xFFFFFFFF, 0xFFFFFFFF, 0}, {0x10FFFF, 0x10FFFF, 0}})), Runs{});
    EXPECT_EQ(coveredBy(cmapFormat10(0x10FFFE, {1, 2, 3, 4})), (Runs{{0x10FFFE, 0x10FFFF}}));
    EXPECT_EQ(coveredBy(cmapFormat10(0xFFFFFFF0, {1, 2})), Runs{});
    EXPECT_EQ(coveredBy(cmapFormat6(0xFFFE, {1, 2, 3, 4})), (Runs{{0xFFFE, 0xFFFF}}));
}

// ---- Which subtable is read ---------------------------------------------

TEST(CharacterMapChoice, ReadsTheFirstSubtableOfTheMostPreferredEncoding) {
    const std::vector<std::pair<std::uint16_t, std::uint16_t>> preferred{{3, 10}, {0, 6}, {0, 4}, {3, 1},
                                                                         {0, 3},  {0, 2}, {0, 1}, {0, 0}};
    const auto lesser = cmapFormat4({{0x41, 0x41, 1}});
    const auto better = cmapFormat12({{0x42, 0x42, 1}});
    for (std::size_t k = 0; k + 1 < preferred.size(); ++k) {
        const auto [p, e] = preferred[k];
        const auto [lp, le] = preferred[k + 1];
        for (const auto& font :
             {fontWith({{lp, le, lesser}, {p, e, better}}), fontWith({{p, e, better}, {lp, le, lesser}})}) {
            const auto map = parse(font);
            EXPECT_EQ(map.platformID, p) << k;
            EXPECT_EQ(map.encodingID, e) << k;
            EXPECT_EQ(map.covered, (Runs{{0x42, 0x42}})) << k;
        }
    }
    // Of two alike, the first; records of other encodings do not count.
    const auto map = parse(fontWith({{1, 0, lesser}, {0, 5, lesser}, {3, 1, better}, {3, 1, lesser}, {3, 0, lesser}}));
    EXPECT_EQ(map.covered, (Runs{{0x42, 0x42}}));
    EXPECT_EQ(map.format, 12);
}

TEST(CharacterMapChoice, FontsWithoutAUnicodeSubtableSaySoAndCoverNothing) {
    const auto glyphs = cmapFormat4({{0xF020, 0xF0FF, 1}});
    struct Case {
        std::string name;
        Bytes font;
        Outcome outcome;
    };
    const std::vector<Case> cases{
        {"symbol", fontWith({{3, 0, glyphs}}), Outcome::symbolOnly},
        {"symbol and Macintosh", fontWith({{1, 0, glyphs}, {3, 0, glyphs}}), Outcome::symbolOnly},
        {"Macintosh and variation sequences", fontWith({{1, 0, glyphs}, {0, 5, glyphs}}), Outcome::noUnicodeSubtable},
        {"no subtable", fontWith({}), Outcome::noUnicodeSubtable},
        {"no cmap", FontWriter().table("OS/2", os2Table({})).table("cmax", cmapTable({{3, 1, glyphs}})).build(),
         Outcome::noCmapTable},
        {"empty file", Bytes{}, Outcome::noCmapTable},
    };
    for (const auto& c : cases) {
        const auto map = parse(c.font);
        EXPECT_EQ(map.outcome, c.outcome) << c.name;
        EXPECT_TRUE(map.covered.empty()) << c.name;
        EXPECT_EQ(map.damage, nullptr) << c.name;
    }
    EXPECT_EQ(parse(fontWith({{3, 0, glyphs}})).platformID, 3);
    EXPECT_EQ(parse(fontWith({{3, 0, glyphs}, {3, 1, glyphs}})).outcome, Outcome::unicode);
}

TEST(CharacterMapChoice, ReadsTheCollectionMemberWhoseDirectoryItIsGiven) {
    CollectionWriter collection;
    collection.member(FontWriter().table("cmap", cmapTable({{3, 1, cmapFormat4({{0x41, 0x41, 1}})}})));
    collection.member(FontWriter().table("cmap", cmapTable({{3, 1, cmapFormat4({{0x42, 0x42, 1}})}})));
    const auto bytes = collection.build();
    EXPECT_EQ(parse(bytes, collection.memberOffset(0)).covered, (Runs{{0x41, 0x41}}));
    EXPECT_EQ(parse(bytes, collection.memberOffset(1)).covered, (Runs{{0x42, 0x42}}));
    EXPECT_EQ(parse(bytes, bytes.size()).outcome, Outcome::noCmapTable);
}

// ---- Falling back from a subtable that cannot be used -----------------------

TEST(CharacterMapFallback, AnUnusablePreferredSubtableGivesWayToTheNextKind) {
    const auto latin = cmapFormat4({{0x41, 0x5A, 1}});
    auto format8 = cmapFormat12({{0x42, 0x42, 1}});
    setU16(format8, 0, 8);
    auto oddSegments = cmapFormat4({{0x43, 0x43, 1}});
    setU16(oddSegments, kFormat4SegCountX2At, 3);
    struct Case {
        std::string name;
        CmapEncoding preferred;
        std::optional<std::uint16_t> format;  // of the one passed over
    };
    const std::vector<Case> cases{
        {"offset past the end of the file", {3, 10, cmapFormat12({{0x42, 0x42, 1}}), 0xFFFFFFF0u}, std::nullopt},
        {"a format that is not read", {3, 10, format8}, 8},
        {"damaged before any entry", {0, 4, oddSegments}, 4},
    };
    for (const auto& c : cases) {
        for (const auto& font : {fontWith({c.preferred, {3, 1, latin}}), fontWith({{3, 1, latin}, c.preferred})}) {
            const auto map = parse(font);
            ASSERT_EQ(map.outcome, Outcome::unicode) << c.name;
            EXPECT_EQ(map.covered, (Runs{{0x41, 0x5A}})) << c.name;
            EXPECT_EQ(map.platformID, 3) << c.name;
            EXPECT_EQ(map.encodingID, 1) << c.name;
            EXPECT_EQ(map.format, 4) << c.name;
            EXPECT_EQ(map.damage, nullptr) << c.name;
            ASSERT_EQ(map.passedOver.size(), 1u) << c.name;
            EXPECT_EQ(map.passedOver[0].platformID, c.preferred.platformID) << c.name;
            EXPECT_EQ(map.passedOver[0].encodingID, c.preferred.encodingID) << c.name;
            EXPECT_EQ(map.passedOver[0].format, c.format) << c.name;
            EXPECT_NE(map.passedOver[0].why, nullptr) << c.name;
        }
    }
    EXPECT_STREQ(parse(fontWith({cases[0].preferred, {3, 1, latin}})).passedOver[0].why,
                 "the cmap subtable's offset lies outside the file");
    // A usable first choice passes over nothing.
    EXPECT_TRUE(parse(fontWith({{3, 1, latin}, {0, 3, format8}})).passedOver.empty());
}

TEST(CharacterMapFallback, WhenNoUnicodeSubtableCanBeUsedTheMostPreferredTellsWhy) {
    auto format8 = cmapFormat12({{0x42, 0x42, 1}});
    setU16(format8, 0, 8);
    const auto outside = CmapEncoding{0, 3, cmapFormat4({{0x41, 0x41, 1}}), 0xFFFFFF00u};
    const auto map = parse(fontWith({outside, {3, 10, format8}}));
    EXPECT_EQ(map.outcome, Outcome::damaged);
    EXPECT_EQ(map.platformID, 3);
    EXPECT_EQ(map.encodingID, 10);
    EXPECT_EQ(map.format, 8);
    EXPECT_STREQ(map.damage, "the cmap subtable has a format that is not read");
    ASSERT_EQ(map.passedOver.size(), 2u);
    EXPECT_EQ(map.passedOver[1].encodingID, 3);
    EXPECT_TRUE(map.covered.empty());

    // With a symbol subtable besides, that is what the font has.
    const auto symbol = parse(fontWith({outside, {3, 0, cmapFormat4({{0xF020, 0xF0FF, 1}})}, {3, 10, format8}}));
    EXPECT_EQ(symbol.outcome, Outcome::symbolOnly);
    EXPECT_EQ(symbol.encodingID, 0);
    EXPECT_EQ(symbol.damage, nullptr);
    EXPECT_EQ(symbol.passedOver.size(), 2u);
}

TEST(CharacterMapFallback, EachKindIsTriedOnceAndAnOffsetReadOnce) {
    // Every kind, each many times over, all at one offset past the end: one
    // read of it, not one per record.
    std::vector<CmapEncoding> encodings;
    const std::vector<std::pair<std::uint16_t, std::uint16_t>> kinds{{3, 10}, {0, 6}, {0, 4}, {3, 1},
                                                                     {0, 3},  {0, 2}, {0, 1}, {0, 0}};
    for (int copy = 0; copy < 200; ++copy) {
        for (const auto& [platform, encoding] : kinds) encodings.push_back({platform, encoding, {}, 0x7FFFFF00u});
    }
    CountingSource source(fontWith(encodings));
    const auto map = fontfile::parseCharacterMap(source, 0);
    EXPECT_EQ(map.outcome, Outcome::damaged);
    EXPECT_EQ(map.passedOver.size(), kinds.size());
    // The directory, the table's window and the records past it, the one subtable read.
    EXPECT_LE(source.reads, 4u);
}

// ---- Damage ---------------------------------------------------------------

TEST(CharacterMapDamage, ALayoutThatCannotBeKnownGivesDamagedWithAReason) {
    const auto format4 = cmapFormat4({{0x41, 0x5A, 1}});
    const auto lying = [](Bytes subtable, std::size_t at, std::uint16_t value) {
        setU16(subtable, at, value);
        return fontWith({{3, 1, subtable}});
    };
    const auto whole = fontWith({{3, 1, format4}});
    struct Case {
        std::string name;
        Bytes font;
    };
    std::vector<Case> cases{
        {"directory cut in the cmap record", truncated(whole, 12 + 16 + 15)},
        {"cmap header cut off", truncated(whole, kCmapAt + 3)},
        {"subtable header cut off", truncated(whole, kFirstSubtableAt + 5)},
        {"format 12 header cut off",
         truncated(fontWith({{3, 10, cmapFormat12({{0x41, 0x41, 1}})}}), kFirstSubtableAt + 15)},
        {"subtable past the end", fontWith({{3, 1, format4, 0xFFFFFFF0u}})},
        {"length shorter than the header", lying(cmapFormat6(0x41, {1}), kFormat4LengthAt, 8)},
        {"odd segCountX2", lying(format4, kFormat4SegCountX2At, 3)},
        {"segCount that does not fit", lying(format4, kFormat4SegCountX2At, 0xFFFE)},
        {"length too short for the arrays", lying(format4, kFormat4LengthAt, 20)},
        {"arrays cut off by the end", truncated(whole, whole.size() - 3)},
    };
    for (std::uint16_t format : {std::uint16_t{2}, std::uint16_t{8}, std::uint16_t{14}, std::uint16_t{0xFFFF}}) {
        cases.push_back({"format " + std::to_string(format), lying(format4, 0, format)});
    }
    for (const auto& c : cases) {
        const auto map = parse(c.font);
        EXPECT_EQ(map.outcome, Outcome::damaged) << c.name;
        EXPECT_NE(map.damage, nullptr) << c.name;
        EXPECT_TRUE(map.covered.empty()) << c.name;
    }
    EXPECT_EQ(parse(lying(format4, 0, 14)).format, 14);
}

TEST(CharacterMapDamage, ListsCutShortKeepTheirWholeEntries) {
    const auto groups = cmapFormat12({{0x41, 0x5A, 1}, {0x400, 0x4FF, 30}, {0x1F600, 0x1F64F, 300}});
    const Runs all{{0x41, 0x5A}, {0x400, 0x4FF}, {0x1F600, 0x1F64F}};
    const auto patched = [](Bytes subtable, std::size_t at, std::uint32_t value) {
        setU32(subtable, at, value);
        return subtable;
    };
    EXPECT_EQ(coveredBy(patched(groups, kLongFormatLengthAt, 0xFFFFFFFF)), all);
    EXPECT_EQ(coveredBy(patched(groups, kLongFormatCountAt, 0xFFFFFFFF)), all);
    EXPECT_EQ(coveredBy(truncated(groups, groups.size() - 1)), (Runs{{0x41, 0x5A}, {0x400, 0x4FF}}));
    EXPECT_EQ(coveredBy(patched(cmapFormat10(0x10000, {1, 2}), kLongFormatCountAt + 4, 0xFFFFFFFF)),
              (Runs{{0x10000, 0x10001}}));

    auto format6 = cmapFormat6(0x400, {1, 2});
    setU16(format6, 8, 0xFFFF);  // entryCount
    EXPECT_EQ(coveredBy(format6), (Runs{{0x400, 0x401}}));
    EXPECT_EQ(coveredBy(cmapFormat0(format0Glyphs({{0x41, 0x43}}, 100))), (Runs{{0x41, 0x43}}));
    auto format4 = cmapFormat4({{0x41, 0x5A, 1}});
    setU16(format4, kFormat4LengthAt, 0xFFFF);
    EXPECT_EQ(coveredBy(format4), (Runs{{0x41, 0x5A}}));

    // The file ends inside the (3, 1) record: the symbol one is all there is.
    const auto cut = truncated(cmapTable({{3, 0, {}, 0}, {3, 1, {}, 0}}), 4 + 8 + 6);
    EXPECT_EQ(parse(FontWriter().table("cmap", cut).build()).outcome, Outcome::symbolOnly);
}

// A source that, past the bytes it says it copied, scribbles over the rest
// of the caller's buffer: a reader that used them would read garbage.
class ScribblingSource final : public fontfile::ByteSource {
public:
    explicit ScribblingSource(const Bytes& bytes) : inner_(bytes) {}
    std::size_t readAt(std::uint64_t position, std::span<std::uint8_t> out) override {
        const auto count = inner_.readAt(position, out);
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(count), out.end(), std::uint8_t{0x5A});
        return count;
    }
    std::uint64_t size() override { return inner_.size(); }

private:
    MemorySource inner_;
};

// A source that notes how far past a position any read asked to go.
class ReachSource final : public fontfile::ByteSource {
public:
    explicit ReachSource(fontfile::ByteSource& inner) : inner_(inner) {}
    std::size_t readAt(std::uint64_t position, std::span<std::uint8_t> out) override {
        furthest_ = std::max(furthest_, position + out.size());
        return inner_.readAt(position, out);
    }
    std::uint64_t size() override { return inner_.size(); }
    std::uint64_t furthest() const { return furthest_; }

private:
    fontfile::ByteSource& inner_;
    std::uint64_t furthest_ = 0;
};

TEST(CharacterMapDamage, BytesPastTheEndAreNeverUsed) {
    const std::vector<Bytes> fonts{
        fontWith({{3, 1, cmapFormat4({{0x41, 0x44, 0, {1, 2, 0, 4}}, {0x100, 0x17F, 7}})}}),
        fontWith({{3, 10, cmapFormat12({{0x41, 0x5A, 1}, {0x10000, 0x1000F, 0}})}, {3, 1, cmapFormat6(0x20, {1})}}),
        fontWith({{0, 4, cmapFormat10(0x10000, {1, 0, 2})}, {0, 6, cmapFormat13({{0x41, 0x42, 3}})}}),
    };
    for (const auto& font : fonts) {
        for (std::size_t size = 0; size <= font.size(); ++size) {
            const auto cut = truncated(font, size);
            ScribblingSource scribbling(cut);
            const auto map = fontfile::parseCharacterMap(scribbling, 0);
            const auto expected = parse(cut);
            EXPECT_EQ(map.outcome, expected.outcome) << size;
            EXPECT_EQ(map.covered, expected.covered) << size;
        }
    }
}

TEST(CharacterMapDamage, LyingCountsAndLengthsCostNoMoreThanTwiceTheBytesThere) {
    auto groups = cmapFormat12({{0x41, 0x5A, 1}});
    setU32(groups, kLongFormatLengthAt, 0xFFFFFFFF);
    setU32(groups, kLongFormatCountAt, 0xFFFFFFFF);
    auto records = cmapTable({{3, 10, groups}});
    setU16(records, 2, 0xFFFF);  // numTables

    for (std::uint64_t size : {std::uint64_t{1000}, std::uint64_t{300'000}, std::uint64_t{3'000'000}}) {
        for (const auto& cmap : {cmapTable({{3, 10, groups}}), records}) {
            const auto font = FontWriter().table("cmap", cmap).build();
            SparseSource sparse(size);  // zeros after the font: groups and records of no use
            sparse.place(0, font);
            ReachSource reach(sparse);
            const auto map = fontfile::parseCharacterMap(reach, 0);
            EXPECT_EQ(map.covered, (Runs{{0x41, 0x5A}})) << size;
            // A buffer of at most twice the bytes from where it is read, or the first read.
            EXPECT_LE(reach.furthest(), std::max<std::uint64_t>(2 * size, font.size() + fontfile::kFirstSubtableRead))
                << size;
        }
    }
}

// ---- Counting coverage ------------------------------------------------------

TEST(CodePointCounting, CommonCodePointsOfTwoRunLists) {
    struct Case {
        Runs a, b;
        std::uint32_t common;
    };
    const std::vector<Case> cases{
        {{{0x400, 0x4FF}}, {{0x300, 0x40F}, {0x420, 0x42F}, {0x4F0, 0x600}}, 48},
        {{{0x400, 0x4FF}}, {}, 0},
        {{{0x10, 0x1F}, {0x20, 0x2F}}, {{0x18, 0x27}}, 16},  // unmerged neighbours
        {{{0x10, 0x1F}, {0x30, 0x3F}, {0x50, 0x5F}}, {{0x00, 0x0F}, {0x1F, 0x30}, {0x60, 0x70}}, 2},
        {{{0, 0x10FFFF}}, {{0, 0x10FFFF}}, 0x110000},
        {{{0x41, 0x41}}, {{0x41, 0x41}}, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fontfile::countCommon(c.a, c.b), c.common);
        EXPECT_EQ(fontfile::countCommon(c.b, c.a), c.common);
    }
}

TEST(CodePointCounting, MissingCodePointsListTheFirstAndCountThemAll) {
    const Runs cyrillic{{0x400, 0x4FF}};
    const Runs present{{0x300, 0x486}, {0x489, 0x4F3}};
    std::array<char32_t, 3> first{};
    auto missing = fontfile::findMissing(cyrillic, present, first);
    EXPECT_EQ(missing.total, 14u);
    ASSERT_EQ(missing.listed, 3u);
    EXPECT_EQ(first, (std::array<char32_t, 3>{0x487, 0x488, 0x4F4}));

    std::array<char32_t, 20> room{};
    missing = fontfile::findMissing(cyrillic, present, room);
    EXPECT_EQ(missing.listed, 14u);
    EXPECT_EQ(room[13], 0x4FFu);
    EXPECT_EQ(room[14], 0u);  // nothing written past what is listed
    EXPECT_EQ(fontfile::findMissing(cyrillic, present, {}).total, 14u);

    // A present run that reaches from one wanted run into the next.
    const Runs two{{0x10, 0x1F}, {0x30, 0x3F}};
    missing = fontfile::findMissing(two, Runs{{0x18, 0x35}}, room);
    EXPECT_EQ(missing.total, 18u);
    EXPECT_EQ(room[7], 0x17u);
    EXPECT_EQ(room[8], 0x36u);
    EXPECT_EQ(fontfile::findMissing(two, {}, {}).total, 32u);
    EXPECT_EQ(fontfile::findMissing(two, Runs{{0, 0x10FFFF}}, room).total, 0u);
    EXPECT_EQ(fontfile::findMissing(Runs{{0x10FFFE, 0x10FFFF}}, Runs{{0, 0x10FFFE}}, room).total, 1u);
    EXPECT_EQ(room[0], 0x10FFFFu);
}

TEST(CodePointCounting, CountsAFontsCoverageOfABlock) {
    // Cyrillic with two combining marks and the last twelve letters missing.
    const auto font = fontWith({{3, 1, cmapFormat4({{0x20, 0x7E, 3}, {0x400, 0x486, 100}, {0x489, 0x4F3, 200}})}});
    const auto covered = parse(font).covered;
    const Runs cyrillic{{0x400, 0x4FF}};
    EXPECT_EQ(fontfile::countCommon(cyrillic, covered), 256u - 14u);
    std::array<char32_t, 2> first{};
    const auto missing = fontfile::findMissing(cyrillic, covered, first);
    EXPECT_EQ(missing.total - missing.listed, 12u);
    EXPECT_EQ(first, (std::array<char32_t, 2>{0x487, 0x488}));
}

}  // namespace
