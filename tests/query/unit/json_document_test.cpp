// docs/json.md is the contract for scripts: every key the JSON writers can
// emit is documented there, and every key documented is one they emit.
#ifdef MELDROVE_JSON_PARSER
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "coverage/coverage_rows.h"
#include "coverage/languages.h"
#include "query/answer.h"
#include "query/block_list.h"
#include "query/json_renderer.h"

namespace {

using Json = nlohmann::json;
using Keys = std::set<std::string>;

// Each documented key in the tables of the document's section `heading`:
// the first cell of each row, in backticks.
Keys documentedKeys(const std::string& heading) {
    std::ifstream file(std::string(MELDROVE_SOURCE_DIR) + "/docs/json.md");
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const auto start = text.find("\n## " + heading + "\n");
    EXPECT_NE(start, std::string::npos) << heading;
    const auto end = text.find("\n## ", start + 1);
    const auto section = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    Keys keys;
    for (std::size_t at = section.find("\n| `"); at != std::string::npos; at = section.find("\n| `", at + 1)) {
        const auto open = at + 4;
        keys.insert(section.substr(open, section.find('`', open) - open));
    }
    return keys;
}

// Every key of `object`, nested ones as "outer.inner" and those of objects
// in arrays as "outer[].inner".
void collectKeys(const Json& object, const std::string& prefix, Keys& keys) {
    for (const auto& [key, value] : object.items()) {
        keys.insert(prefix + key);
        if (value.is_object()) collectKeys(value, prefix + key + ".", keys);
        if (value.is_array()) {
            for (const auto& item : value) {
                if (item.is_object()) collectKeys(item, prefix + key + "[].", keys);
            }
        }
    }
}

Keys keysOfLines(const std::string& lines) {
    Keys keys;
    for (std::size_t start = 0, end; (end = lines.find('\n', start)) != std::string::npos; start = end + 1) {
        collectKeys(Json::parse(lines.substr(start, end - start)), "", keys);
    }
    return keys;
}

template <class Write>
std::string written(Write write) {
    std::string text;
    {
        query::Output out([&](std::string_view bytes, query::TextEncoding) {
            text += bytes;
            return query::WriteOutcome::written;
        });
        write(out);
    }
    return text;
}

// One face that every optional key applies to: it declares Cyrillic and maps
// a little of it, has both names, an OS/2 table and a near miss's count.
std::vector<query::FaceAnswer> everyKindOfAnswer() {
    inventory::FontCatalog catalog;
    catalog.files = {{"fonts", "a.ttf", inventory::FontFormat::ttf, std::nullopt}};
    inventory::CatalogFace face{.file = 0, .os2Version = 4, .hasMacName = true};
    face.ranges[0] = 1u << 9;
    face.ranges[1] = 1u << (57 - 32);  // a finding: nothing beyond the Basic Multilingual Plane is mapped
    face.macName[0] = 'A';
    face.windowsName = std::make_shared<const std::vector<std::uint8_t>>(std::vector<std::uint8_t>{0, 'A'});
    fontfile::CharacterMap map;
    map.outcome = fontfile::CharacterMap::Outcome::unicode;
    map.covered = {{0x41, 0x41}, {0x400, 0x4FE}};
    map.platformID = 3;
    map.encodingID = 1;
    map.format = 4;
    map.passedOver = {{3, 10, 8, "a format that is not read"}};
    face.characterMap = std::make_shared<const fontfile::CharacterMap>(std::move(map));
    face.layout = std::make_shared<const fontfile::LayoutTables>();  // read, and neither table there
    catalog.faces = {face};
    coverage::CoverageRequest request{.rows = {coverage::findCoverageRow("Cyrillic").value()},
                                      .languages = {coverage::findLanguage("ru").value()},
                                      .codePoints = {{0x41, 0x42}},
                                      .match = coverage::MatchMode::covered,
                                      .near = 10,
                                      .missingListed = 2,
                                      .supportedLanguages = true};
    request.shaping = std::make_shared<const coverage::ShapingNeeds>(
        coverage::shapingNeedsOf(coverage::requestedCodePoints(request)));  // Cyrillic's marks need GPOS mark
    auto answers = query::answerFaces(catalog, request, {}, true);
    for (auto& answer : answers) answer.adds = 3;  // as a cover's faces have it
    return answers;
}

TEST(JsonDocument, DocumentsEveryKeyOfAFontAndNothingElse) {
    const auto answers = everyKindOfAnswer();
    ASSERT_EQ(answers.size(), 1u);
    const auto emitted = keysOfLines(written([&](query::Output& out) { query::writeFaceJson(answers[0], true, out); }));
    EXPECT_EQ(emitted, documentedKeys("Fonts"));
    EXPECT_EQ(answers[0].coverage.undeclaredShaping->size(), 2u) << "latn:mark and cyrl:mark";
}

TEST(JsonDocument, DocumentsTheLineThatEndsACover) {
    const query::CoverAnswer cover{.faces = {}, .firstUncovered = {0x41}, .uncovered = 1};
    EXPECT_EQ(keysOfLines(written([&](query::Output& out) { query::writeCoverJson(cover, false, out); })),
              documentedKeys("Covers"));
}

TEST(JsonDocument, DocumentsEveryKeyOfAFinding) {
    const auto answers = everyKindOfAnswer();
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_FALSE(answers[0].findings->empty());
    const auto emitted = keysOfLines(written([&](query::Output& out) { query::writeFindingsJson(answers[0], out); }));
    // The font's own keys, as far as its name, then the finding's.
    auto documented = documentedKeys("Findings");
    for (const auto& key : keysOfLines(query::faceObject(answers[0]).str() + "\n")) documented.insert(key);
    EXPECT_EQ(emitted, documented);
    EXPECT_TRUE(documentedKeys("Fonts").contains("name"));
}

TEST(JsonDocument, DocumentsEveryKeyOfALanguage) {
    const auto emitted =
        keysOfLines(written([](query::Output& out) { query::writeLanguageList({.json = true}, out); }));
    EXPECT_EQ(emitted, documentedKeys("Languages"));
}

TEST(JsonDocument, DocumentsEveryKeyOfABlock) {
    const auto emitted = keysOfLines(written([](query::Output& out) { query::writeBlockList({true, true}, out); }));
    EXPECT_EQ(emitted, documentedKeys("Blocks"));
}

}  // namespace
#endif
