// meldrove-query answering by language, seen from outside: --lang in every
// spelling, with blocks and characters, near misses and what is missing,
// decomposed forms, --languages and --langs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "font_writer.h"
#include "query_run.h"

namespace {

using namespace testfonts;
using querytest::lines;
using querytest::query;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Json = nlohmann::json;

constexpr std::uint32_t kLatin = 1u << 0, kCyrillic = 1u << 9;

Bytes fontMapping(const std::string& name, Ranges ranges, const std::vector<CmapGroup>& runs) {
    std::vector<CmapGroup> groups;
    for (auto run : runs) groups.push_back({run.first, run.last, 1});
    return FontWriter()
        .table("OS/2", os2Table(ranges))
        .table("cmap", cmapTable({{3, 10, cmapFormat12(groups)}}))
        .table("name", nameTable({{name}}))
        .build();
}

// Polish is a-z and A-Z (less q, v, x) with ąćęłńóśźż and their capitals.
const std::vector<CmapGroup> kAscii{{0x20, 0x7E}};
const std::vector<CmapGroup> kLatinExtended{{0x20, 0x7E}, {0xA0, 0x24F}};
const std::vector<CmapGroup> kLatinWithoutOgonekA{{0x20, 0x7E}, {0xA0, 0x103}, {0x106, 0x24F}};

class QueryLanguages : public ::testing::Test {
protected:
    void SetUp() override {
        fonts.write("ascii.ttf", fontMapping("Ascii", {kLatin, 0, 0, 0}, kAscii));
        fonts.write("latin.ttf", fontMapping("Latin", {kLatin, 0, 0, 0}, kLatinExtended));
        fonts.write("short.ttf", fontMapping("Short", {kLatin, 0, 0, 0}, kLatinWithoutOgonekA));
        fonts.write("both.ttf",
                    fontMapping("Both", {kLatin | kCyrillic, 0, 0, 0}, {{0x20, 0x7E}, {0xA0, 0x24F}, {0x400, 0x4FF}}));
    }
    querytest::Run run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--fonts-dir", fonts.enginePath()});
        return query(args);
    }
    std::vector<std::string> listed(std::vector<std::string> args) {
        const auto result = run(std::move(args));
        EXPECT_LE(result.exitCode, 1) << result.err;
        return lines(result.out);
    }
    TempFolder fonts;
};

TEST_F(QueryLanguages, ALanguageIsNamedByItsTagOrItsEnglishNameInAnySpelling) {
    const std::vector<std::string> polish{"Both   (both.ttf)", "Latin   (latin.ttf)"};
    for (const char* spelling : {"pl", "PL", "Polish", "polish"}) EXPECT_EQ(listed({"--lang", spelling}), polish);
    EXPECT_EQ(listed({"--lang", "pt_pt"}), listed({"--lang", "Portuguese (Portugal)"}));
    EXPECT_EQ(listed({"--lang=pl,pl"}), polish) << "a language named twice is asked once";

    const auto unknown = run({"--lang", "Klingon"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_THAT(unknown.err, HasSubstr("unknown language 'Klingon'; closest: "));
    EXPECT_THAT(unknown.err, HasSubstr("(see --langs)"));
    const auto asBlock = run({"Vietnamese"});
    EXPECT_EQ(asBlock.exitCode, 2);
    EXPECT_THAT(asBlock.err, HasSubstr("it names a language: --lang vi"));
}

// Every language, block and character named must be there.
TEST_F(QueryLanguages, LanguagesCombineWithBlocksAndCharacters) {
    EXPECT_THAT(listed({"--lang", "pl", "Cyrillic"}), ElementsAre("Both   (both.ttf)"));
    EXPECT_THAT(listed({"--lang", "en,pl"}), ElementsAre("Both   (both.ttf)", "Latin   (latin.ttf)"));
    EXPECT_THAT(listed({"--lang", "pl", "--chars", "\u0416"}), ElementsAre("Both   (both.ttf)"));
    EXPECT_THAT(listed({"--lang", "en"}), Contains("Ascii   (ascii.ttf)"));
}

TEST_F(QueryLanguages, NearMissesAndMissingCodePointsCountALanguagesCharacters) {
    EXPECT_THAT(listed({"--lang", "pl", "--match", "covered", "--near", "2", "--coverage", "--missing"}),
                ElementsAre(StartsWith("Both   (both.ttf)\tpl 64/64"), "\tpl: none missing",
                            StartsWith("Latin   (latin.ttf)\tpl 64/64"), "\tpl: none missing",
                            "Short   (short.ttf)\tnear: 2 missing\tpl 62/64", "\tpl: 2 missing: U+0104-U+0105"));
    EXPECT_THAT(listed({"--lang", "pl", "--match", "covered", "--min", "90"}), Contains("Short   (short.ttf)"));
}

// A character also counts by its decomposition: a letter and marks.
TEST_F(QueryLanguages, DecomposedFormsCountOnlyWhenAsked) {
    TempFolder marks;
    marks.write("marks.ttf", fontMapping("Marks", {kLatin, 0, 0, 0}, {{0x20, 0x7E}, {0x300, 0x36F}}));
    marks.write("precomposed.ttf", fontMapping("Precomposed", {kLatin, 0, 0, 0}, kLatinExtended));
    const auto folder = marks.enginePath();
    EXPECT_THAT(lines(query({"--fonts-dir", folder, "--chars", "\u00E9"}).out),
                ElementsAre("Precomposed   (precomposed.ttf)"));
    EXPECT_THAT(lines(query({"--fonts-dir", folder, "--chars", "\u00E9", "--decomposed"}).out),
                ElementsAre("Marks   (marks.ttf)", "Precomposed   (precomposed.ttf)"));
    // Polish ą is a with an ogonek; ł has no decomposition.
    const auto plain =
        lines(query({"--fonts-dir", folder, "--coverage", "--lang", "pl", "--match", "covered", "--min", "0"}).out);
    const auto decomposed = lines(
        query({"--fonts-dir", folder, "--coverage", "--lang", "pl", "--match", "covered", "--min", "0", "--decomposed"})
            .out);
    EXPECT_THAT(plain, ElementsAre("Marks   (marks.ttf)\tpl 46/64", "Precomposed   (precomposed.ttf)\tpl 64/64"));
    EXPECT_THAT(decomposed, ElementsAre("Marks   (marks.ttf)\tpl 62/64", "Precomposed   (precomposed.ttf)\tpl 64/64"));
}

TEST_F(QueryLanguages, LanguagesListsWhatEachFontCanWrite) {
    const auto text = listed({"--languages", "Cyrillic"});
    ASSERT_EQ(text.size(), 1u);
    EXPECT_THAT(text[0], StartsWith("Both   (both.ttf)\tlanguages: "));
    EXPECT_THAT(text[0], HasSubstr(" pl "));
    EXPECT_THAT(text[0], HasSubstr(" ru "));
    const auto json = run({"--languages", "--json", "--lang", "ru"});
    const auto object = Json::parse(lines(json.out).at(0));
    EXPECT_THAT(object["supported_languages"].get<std::vector<std::string>>(), Contains("ru"));
    EXPECT_EQ(object["languages"][0]["tag"], "ru");
    EXPECT_EQ(object["languages"][0]["supported"], true);
}

TEST(QueryLanguageList, EveryLanguageWithItsNameScriptsAndCount) {
    const auto text = lines(query({"--langs"}).out);
    EXPECT_EQ(text.size(), 753u);
    EXPECT_THAT(text, Contains("vi\tVietnamese\tLatin\t178"));
    EXPECT_THAT(text, Contains("pl\tPolish\tLatin\t64"));
    const auto json = lines(query({"--langs", "--json", "--lang-level", "auxiliary"}).out);
    ASSERT_EQ(json.size(), 753u);
    for (const auto& line : json) {
        const auto object = Json::parse(line);
        if (object["tag"] == "vi") {
            EXPECT_EQ(object["required"], 186);
            EXPECT_EQ(object["scripts"], Json::array({"Latin"}));
        }
    }
    EXPECT_EQ(query({"--langs", "Greek"}).exitCode, 2);
}

}  // namespace
