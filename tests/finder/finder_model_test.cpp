// The Finder's model over catalogs made in memory: the faces' names, ranges
// and character maps set by hand, so that each case shows what it turns on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "coverage/coverage_rows.h"
#include "coverage/languages.h"
#include "finder/model/export.h"
#include "finder/model/query.h"
#include "finder/model/rows.h"
#include "finder/model/sources.h"
#include "finder/model/text.h"

namespace {

using fontfile::CharacterMap;
using fontfile::CodePointRange;
using inventory::CatalogFace;
using inventory::FontCatalog;
using testing::ElementsAre;

std::vector<std::uint8_t> utf16be(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    for (const auto unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    }
    return bytes;
}

std::shared_ptr<const CharacterMap> mapOf(std::vector<CodePointRange> covered) {
    auto map = std::make_shared<CharacterMap>();
    map->outcome = CharacterMap::Outcome::unicode;
    map->platformID = 3;
    map->encodingID = 1;
    map->format = 4;
    map->covered = std::move(covered);
    return map;
}

// A catalog of single fonts, one file each.
class CatalogMaker {
public:
    CatalogFace& add(std::string fileName, std::u16string windowsName, std::vector<CodePointRange> covered,
                     std::uint32_t firstRangeWord = 0) {
        catalog.files.push_back({.directory = "Fonts", .name = std::move(fileName)});
        CatalogFace face{.file = static_cast<std::uint32_t>(catalog.files.size() - 1), .os2Version = 4};
        face.ranges[0] = firstRangeWord;
        face.windowsName = std::make_shared<const std::vector<std::uint8_t>>(utf16be(windowsName));
        face.characterMap = mapOf(std::move(covered));
        catalog.faces.push_back(std::move(face));
        return catalog.faces.back();
    }
    FontCatalog catalog;
};

constexpr std::uint32_t kBasicLatinBit = 1u << 0;

finder::Query textQuery(std::u16string text, std::optional<std::uint32_t> near = std::nullopt) {
    finder::Query query;
    query.text = std::move(text);
    query.near = near;
    return query;
}

std::vector<std::string> namesOf(const std::vector<finder::Row>& rows) {
    std::vector<std::string> names;
    for (const auto& row : rows) names.push_back(row.name);
    return names;
}

// ---- Text ---------------------------------------------------------------------------

TEST(FinderText, Utf16FromTheEditBoxJoinsPairsAndDropsLoneSurrogates) {
    EXPECT_EQ(finder::codePointsOfUtf16(u"a\U0001F600b"), U"a\U0001F600b");
    const char16_t lone[] = {u'a', 0xD83D, u'b', 0xDE00, 0};
    EXPECT_EQ(finder::codePointsOfUtf16(lone), U"ab");
    const char16_t highAtEnd[] = {u'x', 0xD83D, 0};
    EXPECT_EQ(finder::codePointsOfUtf16(highAtEnd), U"x");
}

TEST(FinderText, NamesDecodeAsTheToolDecodesThem) {
    EXPECT_EQ(finder::utf8FromUtf16be(utf16be(u"Ça\U0001F600")),
              "\xC3\x87"
              "a\xF0\x9F\x98\x80");
    const std::vector<std::uint8_t> oddAndUnpaired = {0xD8, 0x3D, 0x00, 0x41, 0x42};
    EXPECT_EQ(finder::utf8FromUtf16be(oddAndUnpaired),
              "\xEF\xBF\xBD"
              "A\xEF\xBF\xBD");
    EXPECT_EQ(finder::utf8FromMacRoman("\x80\xDB"), "\xC3\x84\xE2\x82\xAC");  // Ä, €
    EXPECT_EQ(finder::validUtf8("a\xC0\xAF"
                                "b"),
              "a\xEF\xBF\xBD\xEF\xBF\xBD"
              "b");
}

TEST(FinderText, CsvQuotesOnlyWhatRfc4180Requires) {
    EXPECT_EQ(finder::csvField("Plain Name"), "Plain Name");
    EXPECT_EQ(finder::csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(finder::csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(finder::csvField("two\r\nlines"), "\"two\r\nlines\"");
    EXPECT_EQ(finder::csvField(""), "");
}

TEST(FinderText, TabSeparatedFieldsCannotSplitARow) {
    EXPECT_EQ(finder::tsvField("a\tb\nc\rd\\e"), "a\\tb\\nc\\rd\\\\e");
    EXPECT_EQ(finder::tsvField("Ünïcode"), "Ünïcode");
}

TEST(FinderText, JsonStringsStayOnOneLine) {
    EXPECT_EQ(finder::jsonString("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
    EXPECT_EQ(finder::jsonString("\xE2\x80\xA8"
                                 "\xE2\x80\xAE"),
              "\"\\u2028\\u202e\"");
    EXPECT_EQ(finder::jsonString("é"), "\"é\"");
}

TEST(FinderText, ThousandsSeparators) {
    EXPECT_EQ(finder::withThousandsSeparators(0), "0");
    EXPECT_EQ(finder::withThousandsSeparators(999), "999");
    EXPECT_EQ(finder::withThousandsSeparators(1000), "1,000");
    EXPECT_EQ(finder::withThousandsSeparators(1907), "1,907");
    EXPECT_EQ(finder::withThousandsSeparators(1234567), "1,234,567");
}

// ---- The question -------------------------------------------------------------------

TEST(FinderQuery, TheTextLosesControlsAndFormatCharacters) {
    // Line breaks, a tab, ZWJ, a left-to-right mark and a C1 control.
    const auto runs = finder::drawnCodePoints(u"ba\r\n\tc\u200D\u200E\u0085a");
    EXPECT_THAT(runs, ElementsAre(CodePointRange{'a', 'c'}));
    EXPECT_TRUE(finder::drawnCodePoints(u"\r\n\u200D").empty());
}

TEST(FinderQuery, DeclaredMatchingHasNoNearMisses) {
    auto query = textQuery(u"x", 3);
    query.match = coverage::MatchMode::both;
    EXPECT_EQ(finder::coverageRequestOf(query).near, std::optional<std::uint32_t>(3));
    query.match = coverage::MatchMode::declared;
    EXPECT_FALSE(finder::coverageRequestOf(query).near);
}

TEST(FinderQuery, StatusTellsCountsWithSeparatorsAndWhatWasAsked) {
    auto query = textQuery(u"Hello\r\nworld", 3);
    query.languages = {*coverage::findLanguage("vi")};
    query.blocks = {*coverage::findCoverageRow("Greek")};
    // H e l o w r d: seven distinct characters.
    EXPECT_EQ(finder::statusText(372, 1907, query),
              "372 of 1,907 fonts for 7 characters, Vietnamese, Greek; covered, near misses up to 3");
    EXPECT_EQ(finder::statusText(1, 1, finder::Query{}), "1 of 1 font for nothing asked");
}

TEST(FinderQuery, LanguagePickerOffersTagsAndNamesAsTheyAreTyped) {
    const auto byTag = finder::languagesMatching("VI");
    ASSERT_FALSE(byTag.empty());
    EXPECT_EQ(coverage::languages()[byTag.front()].tag, "vi");
    const auto byName = finder::languagesMatching("portuguese (portugal)");
    ASSERT_EQ(byName.size(), 1u);
    EXPECT_EQ(coverage::languages()[byName.front()].tag, "pt-PT");
    const auto underscore = finder::languagesMatching("pt_pt");
    ASSERT_FALSE(underscore.empty());
    EXPECT_EQ(coverage::languages()[underscore.front()].tag, "pt-PT");
    // A word inside a name comes after the names that start with it.
    const auto within = finder::languagesMatching("swiss");
    ASSERT_FALSE(within.empty());
    for (const auto index : within) EXPECT_NE(coverage::languages()[index].name.find("Swiss"), std::string::npos);
    EXPECT_EQ(finder::languagesMatching("").size(), coverage::languages().size());
    EXPECT_TRUE(finder::languagesMatching("no such language at all").empty());
}

// ---- The rows -----------------------------------------------------------------------

class FinderRows : public testing::Test {
protected:
    void SetUp() override {
        maker.add("full.ttf", u"Full Sans", {{0x20, 0x7E}}, kBasicLatinBit);
        maker.add("noh.ttf", u"No H Serif Bold", {{0x20, 0x47}, {0x49, 0x7E}}, kBasicLatinBit);
        maker.add("greek.ttf", u"Greek Only", {{0x370, 0x3FF}});
    }
    CatalogMaker maker;
};

TEST_F(FinderRows, MatchesAndNearMissesWithTheirCounts) {
    const auto rows = finder::answerQuery(maker.catalog, textQuery(u"Hello\r\n"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "Full Sans");
    EXPECT_EQ(finder::cellText(rows[0], finder::Column::covers), "4/4");
    EXPECT_EQ(finder::cellText(rows[0], finder::Column::missing), "0");

    const auto near = finder::answerQuery(maker.catalog, textQuery(u"Hello", 1));
    ASSERT_THAT(namesOf(near), ElementsAre("Full Sans", "No H Serif Bold"));
    EXPECT_FALSE(near[0].nearMiss);
    EXPECT_TRUE(near[1].nearMiss);
    EXPECT_EQ(finder::cellText(near[1], finder::Column::covers), "3/4");
    EXPECT_EQ(near[1].missing, 1u);
}

TEST_F(FinderRows, NothingAskedListsEveryFaceWithEmptyCounts) {
    const auto rows = finder::answerQuery(maker.catalog, finder::Query{});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(finder::cellText(rows[2], finder::Column::covers), "");
    EXPECT_EQ(finder::cellText(rows[2], finder::Column::declaredAgrees), "");
}

TEST_F(FinderRows, DeclaredAgreesWhenTheBitsTellTheTruthOfWhatWasAsked) {
    const auto rows = finder::answerQuery(maker.catalog, textQuery(u"Hello", 1));
    EXPECT_EQ(finder::cellText(rows[0], finder::Column::declaredAgrees), "yes");
    // Sets the Basic Latin bit but lacks the H asked for.
    EXPECT_EQ(finder::cellText(rows[1], finder::Column::declaredAgrees), "no");

    // Greek asked whole: the Greek face maps it all but sets no bit.
    finder::Query greek;
    greek.blocks = {*coverage::findCoverageRow("Greek")};
    const auto greekRows = finder::answerQuery(maker.catalog, greek);
    ASSERT_THAT(namesOf(greekRows), ElementsAre("Greek Only"));
    EXPECT_EQ(finder::cellText(greekRows[0], finder::Column::declaredAgrees), "no");
}

TEST_F(FinderRows, LanguagesCountTheirRequiredCharacters) {
    finder::Query query;
    query.languages = {*coverage::findLanguage("en")};
    const auto rows = finder::answerQuery(maker.catalog, query);
    ASSERT_THAT(namesOf(rows), ElementsAre("Full Sans"));
    EXPECT_EQ(rows[0].total, coverage::languages()[query.languages[0]].base.count);
    EXPECT_EQ(rows[0].covered, rows[0].total);
}

TEST_F(FinderRows, TheDeclaredModeAsksForTheBitsAndTheText) {
    auto query = textQuery(u"A");
    query.blocks = {*coverage::findCoverageRow("Basic Latin")};
    query.match = coverage::MatchMode::declared;
    EXPECT_THAT(namesOf(finder::answerQuery(maker.catalog, query)), ElementsAre("Full Sans", "No H Serif Bold"));
    query.match = coverage::MatchMode::covered;  // 95 of Basic Latin's 128 at most: no full cover
    EXPECT_TRUE(finder::answerQuery(maker.catalog, query).empty());
}

TEST_F(FinderRows, SortingIsStableInBothDirections) {
    maker.add("second.ttf", u"full sans", {{0x20, 0x7E}});
    maker.add("third.ttf", u"Zed", {{0x20, 0x7E}});
    auto rows = finder::answerQuery(maker.catalog, textQuery(u"Hello", 1));
    finder::sortRows(rows, finder::Column::missing, false);
    EXPECT_THAT(namesOf(rows), ElementsAre("No H Serif Bold", "Full Sans", "full sans", "Zed"));
    finder::sortRows(rows, finder::Column::missing, true);
    // Equal keys keep the order they had.
    EXPECT_THAT(namesOf(rows), ElementsAre("Full Sans", "full sans", "Zed", "No H Serif Bold"));
    finder::sortRows(rows, finder::Column::name, true);
    EXPECT_THAT(namesOf(rows), ElementsAre("Full Sans", "full sans", "No H Serif Bold", "Zed"));
    finder::sortRows(rows, finder::Column::covers, true);
    EXPECT_EQ(rows.front().name, "No H Serif Bold");
    finder::sortRows(rows, finder::Column::file, false);
    EXPECT_THAT(namesOf(rows), ElementsAre("Zed", "full sans", "No H Serif Bold", "Full Sans"));
}

TEST_F(FinderRows, TheCoversOrderIsByShareNotByCount) {
    finder::Row small{.covered = 1, .total = 2}, large{.covered = 3, .total = 10}, all{.covered = 0, .total = 0};
    std::vector<finder::Row> rows = {small, large, all};
    rows[0].name = "half", rows[1].name = "third", rows[2].name = "nothing asked";
    finder::sortRows(rows, finder::Column::covers, true);
    EXPECT_THAT(namesOf(rows), ElementsAre("third", "half", "nothing asked"));
}

TEST_F(FinderRows, TheMissingCharactersOfTheSelectedFace) {
    const auto query = textQuery(u"Hello \u03A9\U0001F600");
    EXPECT_THAT(finder::missingCharacters(maker.catalog.faces[1], query, 10), ElementsAre(U'H', U'\u03A9', 0x1F600));
    EXPECT_THAT(finder::missingCharacters(maker.catalog.faces[1], query, 2), ElementsAre(U'H', U'\u03A9'));
}

TEST(FinderStyles, TheTrailingStyleWordsOfAFullName) {
    EXPECT_EQ(finder::styleOfName("DejaVu Sans Bold Oblique"), "Bold Oblique");
    EXPECT_EQ(finder::styleOfName("Noto Sans CJK JP"), "Regular");
    EXPECT_EQ(finder::styleOfName("Source Serif Semibold Italic"), "Semibold Italic");
    EXPECT_EQ(finder::styleOfName("Roboto-ExtraLight"), "ExtraLight");
    EXPECT_EQ(finder::styleOfName("Black"), "Regular");  // a family's name, not a style
    EXPECT_EQ(finder::styleOfName(""), "Regular");
}

// ---- Export -------------------------------------------------------------------------

TEST_F(FinderRows, CsvRecordsQuoteNamesAndEndInCrlf) {
    maker.add("odd.ttf", u"Comma, \"Quoted\"", {{0x20, 0x7E}});
    const auto rows = finder::answerQuery(maker.catalog, textQuery(u"Hi"));
    const auto csv = finder::csvOf(rows);
    EXPECT_EQ(csv,
              "Name,Style,File,Folder,Face,Format,Covered,Total,Missing,Declared agrees,Near miss\r\n"
              "Full Sans,Regular,full.ttf,Fonts,0,ttf,2,2,0,yes,no\r\n"
              "\"Comma, \"\"Quoted\"\"\",Regular,odd.ttf,Fonts,0,ttf,2,2,0,no,no\r\n");
}

TEST_F(FinderRows, JsonLinesCarryTheToolsKeysInItsOrder) {
    auto query = textQuery(u"Hi", 2);
    query.languages = {*coverage::findLanguage("en")};
    const auto rows = finder::answerQuery(maker.catalog, query);
    ASSERT_FALSE(rows.empty());
    const auto json = finder::jsonLinesOf(maker.catalog, {rows[0]});
    EXPECT_EQ(json.find("{\"file\":\"full.ttf\",\"dir\":"), 0u);
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 1);
    const std::vector<std::string> keys = {
        "\"file\"",          "\"dir\"",           "\"face\"",      "\"collection\"",   "\"format\"", "\"os2_version\"",
        "\"ranges\"",        "\"declared_bits\"", "\"mac_name\"",  "\"windows_name\"", "\"name\"",   "\"cmap\"",
        "\"cmap_subtable\"", "\"blocks\"",        "\"languages\"", "\"code_points\"",  "\"near\""};
    std::size_t at = 0;
    for (const auto& key : keys) {
        const auto found = json.find(key + ":", at);
        ASSERT_NE(found, std::string::npos) << key;
        at = found;
    }
    EXPECT_NE(json.find("\"ranges\":[1,0,0,0],\"declared_bits\":[0],\"mac_name\":null,"), std::string::npos);
    EXPECT_NE(json.find("\"code_points\":{\"covered\":2,\"total\":2},\"near\":false}"), std::string::npos);
    EXPECT_NE(json.find("\"cmap_subtable\":{\"platform\":3,\"encoding\":1,\"format\":4}"), std::string::npos);
}

TEST_F(FinderRows, ClipboardRowsAreTabSeparatedAndEscaped) {
    maker.add("tab.ttf", u"Tab\tName", {{0x20, 0x7E}});
    const auto rows = finder::answerQuery(maker.catalog, textQuery(u"Hi"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(finder::clipboardTextOf(rows, {1, 7}), "Tab\\tName\tRegular\ttab.ttf\tttf\t2/2\t0\tno\r\n");
    EXPECT_EQ(finder::clipboardTextOf(rows, {}), "");
}

// ---- Sources and problems -----------------------------------------------------------

TEST(FinderSources, EverythingIsReadWithNamesAndMaps) {
    finder::Sources sources;
    sources.defaults = {{"C:\\Windows\\Fonts", false}};
    sources.added = {"D:\\More"};
    sources.registeredFiles = {"C:\\Users\\me\\a.ttf"};
    const auto request = finder::catalogRequestOf(sources);
    ASSERT_EQ(request.folders.size(), 2u);
    EXPECT_FALSE(request.folders[0].recursive);
    EXPECT_TRUE(request.folders[1].recursive);
    EXPECT_EQ(request.files, sources.registeredFiles);
    EXPECT_EQ(request.formats.size(), 4u);
    EXPECT_TRUE(request.everyMember && request.everyCollectionFile && request.windowsNames && request.characterMaps);
}

TEST(FinderSources, ProblemsAreTheNotesAndTheDamagedMaps) {
    finder::Sources sources;
    sources.defaults = {{"C:\\Windows\\Fonts", false}};
    sources.added = {"D:\\Empty"};
    CatalogMaker maker;
    auto& damaged = maker.add("bad.ttf", u"Bad", {});
    auto map = std::make_shared<CharacterMap>();
    map->outcome = CharacterMap::Outcome::damaged;
    map->damage = "format 4 cut off";
    damaged.characterMap = map;
    using Kind = inventory::CatalogNote::Kind;
    maker.catalog.notes = {
        {.kind = Kind::noFontFiles,
         .path = "C:\\Windows\\Fonts",
         .message = "no font files",
         .source = inventory::NoteSource{inventory::NoteSource::Kind::folder, 0}},
        {.kind = Kind::noFontFiles,
         .path = "D:\\Empty",
         .message = "no font files",
         .source = inventory::NoteSource{inventory::NoteSource::Kind::folder, 1}},
        {.kind = Kind::collectionCutOff, .path = "C:\\Fonts\\c.ttc", .member = 3, .message = "cut off"},
    };
    EXPECT_THAT(finder::problemNotes(maker.catalog, sources),
                ElementsAre(finder::systemPath("D:\\Empty") + ": no font files",
                            finder::systemPath("C:\\Fonts\\c.ttc") + ", face 3: cut off",
                            finder::systemPath("Fonts\\bad.ttf") +
                                ", face 0: damaged character map (format 4 cut off); counted as covering nothing"));
}

}  // namespace
