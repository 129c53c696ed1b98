// meldrove-query measuring each font's character map against the blocks:
// --coverage, --match, --min, --near, --missing, --chars, --codepoints and
// --audit, seen from outside.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "font_writer.h"
#include "query_run.h"

namespace {

using namespace testfonts;
using querytest::lines;
using querytest::query;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr std::uint32_t kLatin = 1u << 0, kCyrillic = 1u << 9, kKanbun = 1u << (53 - 32);

std::string utf16(const std::string& ascii) {
    std::string bytes;
    for (char c : ascii) bytes += {'\0', c};
    return bytes;
}

// A font whose character map (3,10, format 12) maps every code point of
// `runs`, with an OS/2 table of `version`.
Bytes fontMapping(const std::string& name, Ranges ranges, const std::vector<CmapGroup>& runs,
                  std::uint16_t version = 4) {
    auto os2 = os2Table(ranges);
    setU16(os2, 0, version);
    std::vector<CmapGroup> groups;
    for (auto run : runs) groups.push_back({run.first, run.last, 1});  // glyph 1 onwards: never glyph 0
    return FontWriter()
        .table("OS/2", os2)
        .table("cmap", cmapTable({{3, 10, cmapFormat12(groups)}}))
        .table("name", nameTable({{name}}))
        .build();
}

// Cyrillic is U+0400-04FF, 256 code points, all assigned.
class QueryCoverage : public ::testing::Test {
protected:
    void SetUp() override {
        fonts.write("full.ttf", fontMapping("Full", {kLatin | kCyrillic, 0, 0, 0}, {{0x20, 0x7E}, {0x400, 0x4FF}}));
        // Half of Cyrillic, U+0400-047F, and no bit for it.
        fonts.write("half.ttf", fontMapping("Half", {kLatin, 0, 0, 0}, {{0x400, 0x47F}}));
        // Declares Cyrillic and maps three of it.
        fonts.write("claims.ttf", fontMapping("Claims", {kCyrillic, 0, 0, 0}, {{0x410, 0x412}}));
    }
    std::vector<std::string> run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--fonts-dir", fonts.enginePath()});
        const auto result = query(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return lines(result.out);
    }
    TempFolder fonts;
};

TEST_F(QueryCoverage, CountsTheAssignedCodePointsEachFontMapsBesideWhatItDeclares) {
    // Cyrillic holds combining marks (U+0483-0489), which these fonts
    // have no GPOS to position.
    EXPECT_THAT(run({"--coverage", "Cyrillic"}),
                ElementsAre("Claims   (claims.ttf)\tCyrillic 3/256 declared\tshaping: missing cyrl:mark",
                            "Full   (full.ttf)\tCyrillic 256/256 declared\tshaping: missing cyrl:mark"));
    EXPECT_THAT(run({"--coverage", "Basic Latin"}),
                ::testing::Contains("Full   (full.ttf)\tBasic Latin 95/128 declared"))
        << "letters that need no shaping add no field";
    // Fields in the order the blocks are named; the lines are still the
    // program's, selected by the declared bits.
    EXPECT_THAT(run({"--coverage", "Cyrillic", "Basic Latin"}),
                ElementsAre("Full   (full.ttf)\tCyrillic 256/256 declared\tBasic Latin 95/128 declared"
                            "\tshaping: missing latn:mark,cyrl:mark"))
        << "Cyrillic's inherited marks (U+0485, U+0486) sit on the letters of either script";
}

TEST_F(QueryCoverage, MatchesByWhatTheCharacterMapHoldsFromMinPercentExactlyOn) {
    EXPECT_THAT(run({"--match", "covered", "Cyrillic"}), ElementsAre("Full   (full.ttf)"));
    // Half covers 128 of 256: exactly 50 percent.
    EXPECT_THAT(run({"--match", "covered", "--min", "50", "Cyrillic"}),
                ElementsAre("Full   (full.ttf)", "Half   (half.ttf)"));
    EXPECT_THAT(run({"--match=covered", "--min=51", "Cyrillic"}), ElementsAre("Full   (full.ttf)"));
    // Both ways: the bit and the characters.
    EXPECT_THAT(run({"--match", "both", "--min", "1", "Cyrillic"}),
                ElementsAre("Claims   (claims.ttf)", "Full   (full.ttf)"));
    EXPECT_THAT(run({"--match", "both", "--min", "50", "Cyrillic"}), ElementsAre("Full   (full.ttf)"));
}

TEST_F(QueryCoverage, NearListsTheFontsMissingAtMostNAndMarksThem) {
    EXPECT_THAT(run({"--match", "covered", "--near", "128", "Cyrillic"}),
                ElementsAre("Full   (full.ttf)", "Half   (half.ttf)\tnear: 128 missing"));
    EXPECT_THAT(run({"--match", "covered", "--near", "127", "Cyrillic"}), ElementsAre("Full   (full.ttf)"));
    const auto declared = query({"--fonts-dir", fonts.enginePath(), "--near", "2", "Cyrillic"});
    EXPECT_EQ(declared.exitCode, 2);
    EXPECT_THAT(declared.err, HasSubstr("--match covered"));
}

TEST_F(QueryCoverage, MissingListsTheFirstCodePointsInRunsAndHowManyMore) {
    EXPECT_THAT(run({"--match", "covered", "--min", "50", "--missing=3", "Cyrillic"}),
                ElementsAre("Full   (full.ttf)", "\tCyrillic: none missing", "Half   (half.ttf)",
                            "\tCyrillic: 128 missing: U+0480-U+0482 and 125 more"));
    EXPECT_THAT(run({"--missing=all", "Cyrillic", "--chars", "\u0400\u04FF"}),
                ElementsAre("Full   (full.ttf)", "\tCyrillic: none missing", "\tcode points: none missing"));
}

// What --missing prints of a font is what --codepoints takes: pasted back,
// the font that missed them maps none of them, and one that has them all.
TEST_F(QueryCoverage, MissingCodePointsPasteBackIntoCodepoints) {
    const auto missing = run({"--missing=all", "--match", "covered", "--min", "0", "Cyrillic"});
    std::string runs;
    for (const auto& line : missing) {
        const std::string prefix = "\tCyrillic: 253 missing: ";
        if (line.rfind(prefix, 0) == 0) runs = line.substr(prefix.size());
    }
    ASSERT_EQ(runs, "U+0400-U+040F U+0413-U+04FF");
    EXPECT_THAT(run({"--coverage", "--codepoints", runs}),
                ElementsAre("Full   (full.ttf)\tcode points 253/253\tshaping: missing cyrl:mark"));
}

// Pasted text: its line breaks and tabs are not characters to find, from the
// command line, from standard input or from a UTF-16 file.
TEST_F(QueryCoverage, TextFromAnywhereLeavesOutLineBreaksAndTabs) {
    EXPECT_THAT(run({"--chars", "\u0410\u0411\n\t\u0412\r\n"}),
                ElementsAre("Claims   (claims.ttf)", "Full   (full.ttf)", "Half   (half.ttf)"));
    TempFolder text;
    text.write("paste.txt", Bytes{0xFF, 0xFE, 0x10, 0x04, '\n', 0, '\t', 0, 0x12, 0x04});  // "А\n\tВ" in UTF-16LE
    text.write("lines.txt", Bytes{0xD0, 0x90, '\n', 0xD0, 0x91, '\r', '\n'});              // "А\nБ\r\n" in UTF-8
    EXPECT_THAT(run({"--coverage", "--chars-file", (text.path() / "paste.txt").string()}),
                ElementsAre("Claims   (claims.ttf)\tcode points 2/2", "Full   (full.ttf)\tcode points 2/2",
                            "Half   (half.ttf)\tcode points 2/2"));
    const auto fromStandardInput =
        query({"--fonts-dir", fonts.enginePath(), "--chars-file", "-", "--coverage"},
              "cat " + querytest::quoted((text.path() / "lines.txt").string()) + " | env -u WINDIR -u LOCALAPPDATA");
    EXPECT_EQ(fromStandardInput.exitCode, 0) << fromStandardInput.err;
    EXPECT_THAT(lines(fromStandardInput.out),
                ElementsAre("Claims   (claims.ttf)\tcode points 2/2", "Full   (full.ttf)\tcode points 2/2",
                            "Half   (half.ttf)\tcode points 2/2"));
    const auto nothing = query({"--fonts-dir", fonts.enginePath(), "--chars", "\r\n"});
    EXPECT_EQ(nothing.exitCode, 2);
    EXPECT_THAT(nothing.err, HasSubstr("no character that a font draws"));
}

TEST_F(QueryCoverage, CharactersAndCodePointsMustAllBeMappedBesideTheBlocks) {
    EXPECT_THAT(run({"--chars", "\xD0\x81"}), ElementsAre("Full   (full.ttf)", "Half   (half.ttf)"));  // Ё, U+0401
    EXPECT_THAT(run({"--chars", "A\xD0\x81"}), ElementsAre("Full   (full.ttf)"));
    EXPECT_THAT(run({"--codepoints", "U+0410-U+0412", "Cyrillic"}),
                ElementsAre("Claims   (claims.ttf)", "Full   (full.ttf)"));
    EXPECT_THAT(run({"--codepoints", "u+0413,41"}), ElementsAre("Full   (full.ttf)"));
    for (const char* bad : {"U+110000", "U+0412-U+0410", "x", "U+"}) {
        const auto result = query({"--fonts-dir", fonts.enginePath(), "--codepoints", bad});
        EXPECT_EQ(result.exitCode, 2) << bad;
        EXPECT_THAT(result.err, HasSubstr("--codepoints")) << bad;
    }
    EXPECT_EQ(query({"--fonts-dir", fonts.enginePath(), "--chars", "\xC0\x80"}).exitCode, 2);  // not UTF-8
}

TEST(QueryCoverageMaps, SymbolFontsAndDamagedMapsAreToldAndCountNothing) {
    TempFolder fonts;
    auto os2 = os2Table({kLatin, 0, 0, 0});
    fonts.write("symbol.ttf", FontWriter()
                                  .table("OS/2", os2)
                                  .table("cmap", cmapTable({{3, 0, cmapFormat4({{0xF020, 0xF0FF, 1}})}}))
                                  .table("name", nameTable({{"Symbol"}}))
                                  .build());
    auto damaged = cmapFormat4({{0x20, 0x7E, 1}});
    setU16(damaged, 6, 3);  // an odd segCountX2
    fonts.write("damaged.ttf", FontWriter()
                                   .table("OS/2", os2)
                                   .table("cmap", cmapTable({{3, 1, damaged}}))
                                   .table("name", nameTable({{"Damaged"}}))
                                   .build());
    fonts.write("good.ttf", fontMapping("Good", {kLatin, 0, 0, 0}, {{0x20, 0x7E}}));

    const auto result = query({"--fonts-dir", fonts.enginePath(), "--coverage", "Basic Latin"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(
        lines(result.out),
        ElementsAre("Damaged   (damaged.ttf)\tBasic Latin 0/128 declared\tdamaged character map",
                    "Good   (good.ttf)\tBasic Latin 95/128 declared",
                    "Symbol   (symbol.ttf)\tBasic Latin 0/128 declared\tsymbol font: no Unicode character map"));
    EXPECT_THAT(lines(result.err), ElementsAre(HasSubstr("damaged.ttf, face 0: damaged character map")));
}

TEST(QueryCoverageMaps, NoCharacterMapIsReadUnlessCoverageIsAsked) {
    // A damaged map is told when it is read, so its silence shows it was not.
    TempFolder fonts;
    auto damaged = cmapFormat4({{0x20, 0x7E, 1}});
    setU16(damaged, 6, 3);
    fonts.write("damaged.ttf", FontWriter()
                                   .table("OS/2", os2Table({kLatin, 0, 0, 0}))
                                   .table("cmap", cmapTable({{3, 1, damaged}}))
                                   .table("name", nameTable({{"Damaged"}, {utf16("Damaged"), 3, 4, 1, 0x0409}}))
                                   .build());
    for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                                 {"Basic Latin"},
                                                 {"--json"},
                                                 {"--names", "best", "--all-members", "--formats", "ttf,otf"}}) {
        auto withFolder = args;
        withFolder.insert(withFolder.begin(), {"--fonts-dir", fonts.enginePath()});
        const auto result = query(withFolder);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(lines(result.out).size(), 1u);
        EXPECT_EQ(result.err, "") << "the character map was read for " << ::testing::PrintToString(args);
    }
    EXPECT_THAT(query({"--fonts-dir", fonts.enginePath(), "--coverage"}).err, HasSubstr("damaged character map"));
}

TEST(QueryAudit, ReadsBit53ByTheFontsOs2Version) {
    TempFolder fonts;
    // Bit 53 was Kanbun up to version 2 and is Phags-pa from version 4.
    const std::vector<CmapGroup> kanbun{{0x3190, 0x319F}};
    fonts.write("old.ttf", fontMapping("Old", {0, kKanbun, 0, 0}, kanbun, 1));
    fonts.write("new.ttf", fontMapping("New", {0, kKanbun, 0, 0}, kanbun, 4));
    const auto result = query({"--fonts-dir", fonts.enginePath(), "--audit"});
    EXPECT_EQ(result.exitCode, 1) << "findings: " << result.err;
    // The old font declares what it covers; the new one declares Phags-pa,
    // which it lacks, and Kanbun's characters are not what its bit says.
    EXPECT_THAT(lines(result.out), ElementsAre("New   (new.ttf)\tchanged\t53\tKanbun\tOS/2 version 4: Phags-pa",
                                               "New   (new.ttf)\tsparse\t53\tPhags-pa\t0/56 covered"));
}

TEST(QueryAudit, FindsSparseDeclaredAndRichUndeclaredBlocksOfTheFontsListed) {
    TempFolder fonts;
    fonts.write("a.ttf", fontMapping("A", {kCyrillic, 0, 0, 0}, {{0x20, 0x7E}, {0x410, 0x410}}));
    fonts.write("b.ttf", fontMapping("B", {kLatin | kCyrillic, 0, 0, 0}, {{0x20, 0x7E}, {0x400, 0x4FF}}));
    EXPECT_THAT(lines(query({"--fonts-dir", fonts.enginePath(), "--audit"}).out),
                ElementsAre("A   (a.ttf)\tundeclared\t0\tBasic Latin\t95/128 covered",
                            "A   (a.ttf)\tsparse\t9\tCyrillic\t1/256 covered"));
    // Only the fonts that a selection lists.
    EXPECT_THAT(lines(query({"--fonts-dir", fonts.enginePath(), "--audit", "Basic Latin"}).out), ElementsAre());
}

// Bit 57 stands for every code point above U+FFFF as a whole: one of them
// earns it, and a font that maps one without it has left it out.
TEST(QueryAudit, ReadsBit57AsAnyCodePointBeyondTheBasicPlane) {
    TempFolder fonts;
    constexpr std::uint32_t kBeyondPlane0 = 1u << (57 - 32);
    const std::vector<CmapGroup> oneEmoji{{0x1F600, 0x1F600}}, latin{{0x20, 0x7E}};
    fonts.write("one.ttf", fontMapping("One", {kLatin, kBeyondPlane0, 0, 0}, {{0x20, 0x7E}, {0x1F600, 0x1F600}}));
    fonts.write("none.ttf", fontMapping("None", {kLatin, kBeyondPlane0, 0, 0}, latin));
    fonts.write("unset.ttf", fontMapping("Unset", {0, 0, 0, 0}, oneEmoji));
    const auto result = query({"--fonts-dir", fonts.enginePath(), "--audit"});
    EXPECT_EQ(result.exitCode, 1) << "findings: " << result.err;
    EXPECT_THAT(lines(result.out), ElementsAre(StartsWith("None   (none.ttf)\tsparse\t57\tSurrogates\t0/"),
                                               StartsWith("Unset   (unset.ttf)\tundeclared\t57\tSurrogates\t1/")));
}

}  // namespace
