// meldrove-query beyond the character map, seen from outside: --layout,
// --shaping for joining letters and combining marks, the audit's shaping
// finding, damaged layout tables, and --cover.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
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
using Json = nlohmann::json;

constexpr std::uint32_t kLatin = 1u << 0, kArabic = 1u << 13;

// One script whose default language system reaches every feature given.
LayoutParts layout(const std::string& script, const std::vector<std::string>& features) {
    LayoutParts parts{.features = features};
    LangSysParts system;
    for (std::size_t i = 0; i < features.size(); ++i) system.featureIndices.push_back(static_cast<std::uint16_t>(i));
    parts.scripts.push_back({.tag = script, .defaultSystem = system});
    return parts;
}

struct Face {
    std::string name;
    std::vector<CmapGroup> maps;
    std::optional<LayoutParts> gsub;
    std::optional<LayoutParts> gpos;
    std::uint32_t ranges = kLatin;
    std::optional<Bytes> rawGsub;  // a table as given, however damaged
    bool regular = false;          // weight class 400, not italic; else the writer's filler bytes
};

Bytes fontOf(const Face& face) {
    std::vector<CmapGroup> groups;
    for (auto run : face.maps) groups.push_back({run.first, run.last, 1});
    auto os2 = os2Table({face.ranges, 0, 0, 0});
    if (face.regular) {
        setU16(os2, 4, 400);  // usWeightClass
        setU16(os2, 62, 0);   // fsSelection
    }
    FontWriter font;
    font.table("OS/2", os2)
        .table("cmap", cmapTable({{3, 10, cmapFormat12(groups)}}))
        .table("name", nameTable({{face.name}}));
    if (face.gsub) font.table("GSUB", layoutTable(*face.gsub));
    if (face.rawGsub) font.table("GSUB", *face.rawGsub);
    if (face.gpos) font.table("GPOS", layoutTable(*face.gpos));
    return font.build();
}

const std::vector<CmapGroup> kArabicLetters{{0x20, 0x7E}, {0x621, 0x64A}};
const std::string kArabicText = "\u0628\u0633\u0645";  // بسم
const std::string kYoruba = "e\u0323\u0301";           // ẹ́ with combining marks

class QueryLayout : public ::testing::Test {
protected:
    void add(const std::string& file, const Face& face) { fonts.write(file, fontOf(face)); }
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

TEST_F(QueryLayout, LayoutShowsEachTablesScriptsAndTheirFeatures) {
    add("joined.ttf", {.name = "Joined",
                       .maps = kArabicLetters,
                       .gsub = layout("arab", {"init", "medi", "fina"}),
                       .gpos = layout("arab", {"mark", "kern"})});
    add("plain.ttf", {.name = "Plain", .maps = {{0x20, 0x7E}}});
    add("lao.ttf", {.name = "Lao", .maps = {{0x20, 0x7E}}, .gsub = layout("lao ", {})});
    EXPECT_THAT(listed({"--layout"}),
                ElementsAre("Joined   (joined.ttf)\tGSUB arab: fina init medi\tGPOS arab: kern mark",
                            "Lao   (lao.ttf)\tGSUB lao: (no features)\tGPOS none",
                            "Plain   (plain.ttf)\tGSUB none\tGPOS none"));
    const auto json = lines(run({"--layout", "--json"}).out);
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(Json::parse(json[0])["layout"], Json::parse(R"({"GSUB":{"arab":["fina","init","medi"]},
                                                              "GPOS":{"arab":["kern","mark"]}})"));
    EXPECT_EQ(Json::parse(json[1])["layout"]["GSUB"], Json::parse(R"({"lao ":[]})")) << "JSON keeps the padding";
    EXPECT_EQ(Json::parse(json[2])["layout"], Json::parse(R"({"GSUB":{},"GPOS":{}})"));
    EXPECT_FALSE(Json::parse(lines(run({"--json"}).out)[0]).contains("layout")) << "read only when asked for";
}

TEST_F(QueryLayout, ShapingListsOnlyTheFontsThatDeclareTheJoiningForms) {
    add("joined.ttf", {.name = "Joined", .maps = kArabicLetters, .gsub = layout("arab", {"init", "medi", "fina"})});
    add("default.ttf", {.name = "Default", .maps = kArabicLetters, .gsub = layout("DFLT", {"fina", "init", "medi"})});
    add("nominal.ttf", {.name = "Nominal", .maps = kArabicLetters, .gsub = layout("arab", {"fina", "liga"})});
    add("bare.ttf", {.name = "Bare", .maps = kArabicLetters});
    EXPECT_THAT(listed({"--chars", kArabicText}), ElementsAre("Bare   (bare.ttf)", "Default   (default.ttf)",
                                                              "Joined   (joined.ttf)", "Nominal   (nominal.ttf)"));
    EXPECT_THAT(listed({"--chars", kArabicText, "--shaping"}),
                ElementsAre("Default   (default.ttf)", "Joined   (joined.ttf)"));
    EXPECT_THAT(listed({"--chars", kArabicText, "--coverage"}),
                ElementsAre("Bare   (bare.ttf)\tcode points 3/3\tshaping: missing arab:init,arab:medi,arab:fina",
                            "Default   (default.ttf)\tcode points 3/3\tshaping: declared",
                            "Joined   (joined.ttf)\tcode points 3/3\tshaping: declared",
                            "Nominal   (nominal.ttf)\tcode points 3/3\tshaping: missing arab:init,arab:medi"));
    const auto json = lines(run({"--chars", kArabicText, "--shaping", "--json"}).out);
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(Json::parse(json[0])["shaping"], Json::parse(R"({"declared":true,"missing":[]})"));
}

TEST_F(QueryLayout, CombiningMarksNeedGposMarkUnderTheLettersScript) {
    const std::vector<CmapGroup> latinAndMarks{{0x20, 0x7E}, {0x300, 0x36F}};
    add("marked.ttf", {.name = "Marked", .maps = latinAndMarks, .gpos = layout("latn", {"kern", "mark", "mkmk"})});
    add("kerned.ttf", {.name = "Kerned", .maps = latinAndMarks, .gpos = layout("latn", {"kern"})});
    add("elsewhere.ttf", {.name = "Elsewhere", .maps = latinAndMarks, .gpos = layout("grek", {"mark"})});
    EXPECT_THAT(listed({"--chars", kYoruba, "--shaping"}), ElementsAre("Marked   (marked.ttf)"));
    EXPECT_THAT(listed({"--chars", kYoruba, "--coverage"}),
                ElementsAre("Elsewhere   (elsewhere.ttf)\tcode points 3/3\tshaping: missing latn:mark",
                            "Kerned   (kerned.ttf)\tcode points 3/3\tshaping: missing latn:mark",
                            "Marked   (marked.ttf)\tcode points 3/3\tshaping: declared"));
    EXPECT_THAT(listed({"--chars", "plain", "--coverage"}),
                ::testing::Contains("Kerned   (kerned.ttf)\tcode points 5/5"))
        << "text that needs no layout adds no field";

    const auto alone = run({"--shaping"});
    EXPECT_EQ(alone.exitCode, 2);
    EXPECT_THAT(alone.err, HasSubstr("--shaping needs blocks, --lang, --chars or --codepoints"));
}

TEST_F(QueryLayout, TheAuditFindsAShapedBlockWithoutItsLayout) {
    // 0x621-0x64A and 0x660-0x6FF: 202 of Arabic's 256.
    const std::vector<CmapGroup> mostOfArabic{{0x20, 0x7E}, {0x600, 0x6FF}};
    add("bare.ttf", {.name = "Bare", .maps = mostOfArabic, .ranges = kLatin | kArabic});
    add("ready.ttf", {.name = "Ready",
                      .maps = mostOfArabic,
                      .gsub = layout("arab", {"init", "medi", "fina"}),
                      .gpos = layout("arab", {"mark"}),
                      .ranges = kLatin | kArabic});
    const auto audit = run({"--audit"});
    EXPECT_EQ(audit.exitCode, 1);
    std::vector<std::string> shaping;
    for (const auto& line : lines(audit.out)) {
        if (line.find("\tshaping\t") != std::string::npos) shaping.push_back(line);
    }
    EXPECT_THAT(shaping, ElementsAre("Bare   (bare.ttf)\tshaping\t13\tArabic\t"
                                     "256/256 covered; undeclared arab:init,arab:medi,arab:fina,arab:mark"));
}

TEST_F(QueryLayout, ADamagedLayoutTableIsNotedAndReadAsAbsent) {
    auto damaged = layoutTable(layout("arab", {"init", "medi", "fina"}));
    setU16(damaged, 0, 2);  // a major version this reader does not know
    add("damaged.ttf", {.name = "Damaged", .maps = kArabicLetters, .rawGsub = damaged});
    const auto result = run({"--chars", kArabicText, "--coverage"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_THAT(
        lines(result.out),
        ElementsAre("Damaged   (damaged.ttf)\tcode points 3/3\tshaping: missing arab:init,arab:medi,arab:fina"));
    EXPECT_THAT(result.err, HasSubstr("damaged.ttf: its GSUB table is damaged ("));
    EXPECT_THAT(result.err, HasSubstr("); read as absent"));
    EXPECT_EQ(run({"--chars", kArabicText}).err, "") << "the layout is read, and told of, only when needed";
}

TEST_F(QueryLayout, CoverPicksTheFaceThatAddsMostThenWhatTheOthersLack) {
    add("wide.ttf", {.name = "Wide Sans", .maps = {{0x41, 0x5A}}});                          // A-Z
    add("wide-bold.ttf", {.name = "Wide Sans Bold", .maps = {{0x41, 0x5A}, {0x61, 0x63}}});  // and abc
    add("lower.ttf", {.name = "Lower", .maps = {{0x78, 0x7A}}});                             // xyz
    add("some.ttf", {.name = "Alpha Some", .maps = {{0x61, 0x65}}});
    const auto result = run({"--cover", "--chars", "ABCabcxyz\u0416"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(lines(result.out), ElementsAre("Wide Sans Bold   (wide-bold.ttf)\tadds 6",
                                               "Lower   (lower.ttf)\tadds 3", "\tnot covered: 1 missing: U+0416"));
    const auto json = lines(run({"--cover", "--chars", "ABCabcxyz\u0416", "--json"}).out);
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(Json::parse(json[0])["adds"], 6);
    EXPECT_EQ(Json::parse(json[2]), Json::parse(R"({"not_covered":{"count":1,"missing":[1046]}})"));

    // Three faces add A and B: the regular one, though last by name.
    EXPECT_THAT(lines(run({"--cover", "--chars", "ABz"}).out),
                ElementsAre("Wide Sans   (wide.ttf)\tadds 2", "Lower   (lower.ttf)\tadds 1", "\tnot covered: none"))
        << "with no style told, by name";
    add("zed.ttf", {.name = "Zed Book", .maps = {{0x41, 0x5A}}, .regular = true});
    EXPECT_THAT(lines(run({"--cover", "--chars", "ABz"}).out),
                ElementsAre("Zed Book   (zed.ttf)\tadds 2", "Lower   (lower.ttf)\tadds 1", "\tnot covered: none"));

    const auto none = run({"--cover", "--chars", "\u0416"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_THAT(lines(none.out), ElementsAre("\tnot covered: 1 missing: U+0416"));
    EXPECT_THAT(run({"--cover", "--match", "covered", "--chars", "a"}).err, HasSubstr("--cover picks fonts"));
}

TEST_F(QueryLayout, CoverWithShapingCountsAFaceOnlyForTheScriptsItDeclares) {
    add("arabic.ttf",
        {.name = "Arabic Joined", .maps = {{0x621, 0x64A}}, .gsub = layout("arab", {"init", "medi", "fina"})});
    add("all.ttf", {.name = "All Nominal", .maps = {{0x20, 0x7E}, {0x621, 0x64A}}});
    const std::string text = "ab " + kArabicText;
    EXPECT_THAT(lines(run({"--cover", "--chars", text}).out),
                ElementsAre("All Nominal   (all.ttf)\tadds 6", "\tnot covered: none"));
    EXPECT_THAT(
        lines(run({"--cover", "--chars", text, "--shaping"}).out),
        ElementsAre("All Nominal   (all.ttf)\tadds 3", "Arabic Joined   (arabic.ttf)\tadds 3", "\tnot covered: none"))
        << "the nominal face counts for the Latin letters only";
}

}  // namespace
