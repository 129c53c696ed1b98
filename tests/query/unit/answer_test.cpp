// The tool's answer model and its two renderers, over a catalog made in
// memory: which faces are answered and in what order, what their lines name,
// and what the text and JSON renderers show of each.
#include "query/answer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "coverage/coverage_rows.h"
#include "query/json_renderer.h"
#include "query/text.h"
#include "query/text_renderer.h"

#ifdef MELDROVE_JSON_PARSER
#include <nlohmann/json.hpp>
#endif

namespace {

using coverage::CoverageRequest;
using coverage::MatchMode;
using fontfile::CharacterMap;
using inventory::CatalogFace;
using inventory::FontCatalog;
using inventory::FontFormat;
using query::answerFaces;
using query::FaceAnswer;
using query::NameChoice;
using query::Naming;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::uint32_t kCyrillic = 1u << 9;

std::vector<std::uint8_t> utf16be(std::string_view ascii) {
    std::vector<std::uint8_t> bytes;
    for (const char c : ascii) bytes.insert(bytes.end(), {0, static_cast<std::uint8_t>(c)});
    return bytes;
}

struct FaceParts {
    std::uint32_t file;
    std::uint32_t member = 0;
    std::string mac;  // empty: none
    std::string windows;
    std::uint32_t bits = 0;
    std::vector<fontfile::CodePointRange> covered;
    CharacterMap::Outcome outcome = CharacterMap::Outcome::unicode;
};

CatalogFace faceOf(const FaceParts& parts) {
    CatalogFace face{.file = parts.file, .member = parts.member, .os2Version = 4};
    face.ranges[0] = parts.bits;
    if (!parts.mac.empty()) {
        std::copy(parts.mac.begin(), parts.mac.end(), face.macName.begin());
        face.hasMacName = true;
    }
    if (!parts.windows.empty())
        face.windowsName = std::make_shared<const std::vector<std::uint8_t>>(utf16be(parts.windows));
    fontfile::CharacterMap map;
    map.outcome = parts.outcome;
    map.covered = parts.covered;
    map.platformID = 3;
    map.encodingID = 10;
    map.format = 12;
    if (parts.outcome == CharacterMap::Outcome::damaged) map.damage = "its subtable is cut off";
    face.characterMap = std::make_shared<const fontfile::CharacterMap>(std::move(map));
    return face;
}

// Four faces in three files, in the order the catalog reads them. The last
// Macintosh name is Mac OS Roman: 0x8E is an e with an acute accent.
FontCatalog catalog() {
    FontCatalog c;
    c.files = {{"fonts", "b.ttf", FontFormat::ttf, std::nullopt},
               {"fonts", "a.ttf", FontFormat::ttf, std::nullopt},
               {"more", "pair.ttc", FontFormat::ttc, 2}};
    c.faces = {faceOf({.file = 0, .mac = "Beta", .windows = "Beta W", .bits = kCyrillic, .covered = {{0x400, 0x4FF}}}),
               faceOf({.file = 1, .windows = "Alpha", .covered = {{0x400, 0x47F}}}),
               faceOf({.file = 2, .mac = "Pair Two", .bits = kCyrillic, .covered = {{0x410, 0x412}}}),
               faceOf({.file = 2, .member = 1, .mac = "Caf\x8E", .outcome = CharacterMap::Outcome::damaged})};
    return c;
}

CoverageRequest cyrillic(MatchMode match = MatchMode::declared) {
    return {.rows = {coverage::findCoverageRow("Cyrillic").value()}, .match = match};
}

std::vector<std::string> linesOf(const std::vector<FaceAnswer>& answers) {
    std::vector<std::string> lines;
    for (const auto& a : answers) lines.push_back(a.line);
    return lines;
}

void faceJson(const FaceAnswer& answer, query::Output& out) { query::writeFaceJson(answer, false, out); }

std::string rendered(const std::vector<FaceAnswer>& answers, void (*render)(const FaceAnswer&, query::Output&)) {
    std::string text;
    {
        query::Output out([&](std::string_view bytes, query::TextEncoding) {
            text += bytes;
            return query::WriteOutcome::written;
        });
        for (const auto& a : answers) render(a, out);
    }
    return text;
}

std::string text(const std::vector<FaceAnswer>& answers, bool coverageFields = false) {
    std::string written;
    {
        query::Output out([&](std::string_view bytes, query::TextEncoding) {
            written += bytes;
            return query::WriteOutcome::written;
        });
        for (const auto& a : answers) query::writeFaceText(a, {.coverageFields = coverageFields}, out);
    }
    return written;
}

TEST(Answer, TheMatchingFacesInTheResultListsOrder) {
    const auto c = catalog();
    EXPECT_THAT(linesOf(answerFaces(c, cyrillic(), {}, false)), ElementsAre("Beta   (b.ttf)", "Pair Two  (pair.ttc)"));
    EXPECT_THAT(linesOf(answerFaces(c, cyrillic(MatchMode::covered), {}, false)), ElementsAre("Beta   (b.ttf)"));
    EXPECT_THAT(linesOf(answerFaces(c, {}, {}, false)),
                ElementsAre("   (a.ttf)", "Beta   (b.ttf)", "Caf\x8E  (pair.ttc)", "Pair Two  (pair.ttc)"));
}

TEST(Answer, LinesNameTheFaceAsAsked) {
    const auto c = catalog();
    const auto names = [&](NameChoice choice) { return linesOf(answerFaces(c, {}, {.names = choice}, false)); };
    EXPECT_THAT(names(NameChoice::windows),
                ElementsAre("  (pair.ttc)", "  (pair.ttc)", "Alpha   (a.ttf)", "Beta W   (b.ttf)"));
    EXPECT_THAT(names(NameChoice::best),
                ElementsAre("Alpha   (a.ttf)", "Beta W   (b.ttf)", "Café  (pair.ttc)", "Pair Two  (pair.ttc)"));

    const auto answers = answerFaces(c, {}, {.names = NameChoice::mac}, false);
    EXPECT_EQ(answers[0].encoding, query::TextEncoding::ansi);
    EXPECT_FALSE(answers[0].macName);
    EXPECT_EQ(answers[0].windowsName, "Alpha");
    EXPECT_EQ(answers[2].macName, "Caf\x8E");  // raw, as the program shows it
    EXPECT_EQ(answers[2].name, "Café");        // decoded, for JSON
}

TEST(Answer, SeveralSourcesNameEachFileByItsPath) {
    const auto answers = answerFaces(catalog(), cyrillic(), {.fullPaths = true}, false);
    EXPECT_THAT(linesOf(answers), ElementsAre("Beta   (" + query::systemPath("fonts\\b.ttf") + ")",
                                              "Pair Two  (" + query::systemPath("more\\pair.ttc") + ")"));
}

TEST(Answer, NearMissesAreAnsweredAndFindingsOnlyWhenAsked) {
    auto request = cyrillic(MatchMode::covered);
    request.near = 128;
    const auto answers = answerFaces(catalog(), request, {}, false);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].coverage.near, true);  // "   (a.ttf)": 128 missing
    EXPECT_EQ(answers[1].coverage.near, false);
    EXPECT_FALSE(answers[0].findings);
    EXPECT_TRUE(answerFaces(catalog(), request, {}, true)[0].findings);
}

TEST(Answer, DamagedCharacterMapsAreNotedForEveryFaceNotOnlyTheListed) {
    EXPECT_THAT(query::damageNotes(catalog()),
                ElementsAre("meldrove-query: " + query::systemPath("more\\pair.ttc") +
                            ", face 1: damaged character map (its subtable is cut off); counted as covering nothing"));
}

TEST(TextRenderer, TheLineThenWhatWasMeasuredAfterTabs) {
    auto request = cyrillic(MatchMode::covered);
    request.near = 300;
    request.codePoints = {{0x41, 0x42}};
    const auto answers = answerFaces(catalog(), request, {}, false);
    EXPECT_EQ(text(answers),
              "   (a.ttf)\tnear: 130 missing\nBeta   (b.ttf)\tnear: 2 missing\n"
              "Caf\x8E  (pair.ttc)\tnear: 258 missing\nPair Two  (pair.ttc)\tnear: 255 missing\n");
    EXPECT_THAT(text(answers, true),
                HasSubstr("Beta   (b.ttf)\tnear: 2 missing\tCyrillic 256/256 declared\tcode points 0/2\n"));
    EXPECT_THAT(text(answers, true), HasSubstr("(pair.ttc)\tnear: 258 missing\tCyrillic 0/256 undeclared\tcode "
                                               "points 0/2\tdamaged character map\n"));
}

TEST(TextRenderer, MissingCodePointsOnLinesOfTheirOwn) {
    auto request = cyrillic();
    request.codePoints = {{0x41, 0x41}};
    request.missingListed = 2;
    const auto answers = answerFaces(catalog(), request, {}, false);
    ASSERT_TRUE(answers.empty()) << "no face maps U+0041";
    request.codePoints.clear();
    EXPECT_EQ(text(answerFaces(catalog(), request, {}, false)),
              "Beta   (b.ttf)\n\tCyrillic: none missing\n"
              "Pair Two  (pair.ttc)\n\tCyrillic: 253 missing: U+0400-U+0401 and 251 more\n");
}

TEST(TextRenderer, ControlBytesInANameCannotSplitTheLine) {
    auto c = catalog();
    c.faces[0].macName = {};
    const std::string forged = "A\nFake   (x.ttf)\x1B[2J";
    std::copy(forged.begin(), forged.end(), c.faces[0].macName.begin());
    const auto answers = answerFaces(c, cyrillic(), {}, false);
    EXPECT_EQ(text(answers), "A\\x0AFake   (x.ttf)\\x1B[2J   (b.ttf)\nPair Two  (pair.ttc)\n");
}

TEST(Renderers, FindingsAreOneLineEachAfterTheFacesLine) {
    auto request = cyrillic();
    const auto answers = answerFaces(catalog(), request, {}, true);
    EXPECT_EQ(rendered(answers, query::writeFindingsText),
              "Pair Two  (pair.ttc)\tsparse\t9\tCyrillic\t3/256 covered\n");
    const auto json = rendered(answers, query::writeFindingsJson);
    EXPECT_THAT(json,
                HasSubstr("\"finding\":\"sparse\",\"bit\":9,\"block\":\"Cyrillic\",\"detail\":\"3/256 covered\""));
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 1);
}

TEST(JsonRenderer, EveryFaceKeyAndTheMeasuredOnesWhenMapsWereRead) {
    auto request = cyrillic();
    request.missingListed = 1;
    const auto answers = answerFaces(catalog(), request, {}, false);
    const auto json = rendered(answers, faceJson);
    EXPECT_THAT(
        json,
        HasSubstr(
            "{\"file\":\"b.ttf\",\"dir\":\"fonts\",\"face\":0,\"collection\":false,\"format\":"
            "\"ttf\",\"os2_version\":4,\"ranges\":[512,0,0,0],\"declared_bits\":[9],\"mac_name\":\"Beta\",\"windows_"
            "name\":\"Beta "
            "W\",\"name\":\"Beta\",\"cmap\":\"unicode\",\"cmap_subtable\":{\"platform\":3,\"encoding\":10,\"format\":"
            "12},\"blocks\":[{\"name\":"
            "\"Cyrillic\",\"bit\":9,\"declared\":true,\"covered\":256,\"total\":256,\"missing\":[]}]}\n"));
    // Without character maps, only the face's own keys.
    auto unmeasured = answers;
    for (auto& a : unmeasured) a.characterMap.reset();
    EXPECT_THAT(rendered(unmeasured, faceJson), Not(HasSubstr("\"cmap\"")));
#ifdef MELDROVE_JSON_PARSER
    std::size_t start = 0;
    std::vector<nlohmann::json> objects;
    for (auto end = json.find('\n'); end != std::string::npos; start = end + 1, end = json.find('\n', start)) {
        objects.push_back(nlohmann::json::parse(json.substr(start, end - start)));
    }
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[1]["file"], "pair.ttc");
    EXPECT_EQ(objects[1]["dir"], query::systemPath("more"));
    EXPECT_EQ(objects[1]["collection"], true);
    EXPECT_TRUE(objects[1]["windows_name"].is_null());
    EXPECT_EQ(objects[1]["blocks"][0]["missing"], nlohmann::json::array({0x400}));
#endif
}

}  // namespace
