// The tool's text layer: names decoded from font name tables, text made safe
// for a terminal, and JSON.
#include "query/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <set>
#include <string>
#include <vector>

#ifdef MELDROVE_JSON_PARSER
#include <nlohmann/json.hpp>
#endif

namespace {

using namespace query;

const std::string R = "\uFFFD";

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int value : values) out += static_cast<char>(value);
    return out;
}

struct Case {
    std::string input;
    std::string expected;
    const char* what;
};

TEST(TextFromUtf16be, JoinsPairsAndReplacesWhatCannotBeDecoded) {
    const std::vector<Case> cases = {
        {bytes({0x00, 0x41, 0x00, 0xE9, 0x20, 0xAC}), "A\u00E9\u20AC", "one, two and three UTF-8 bytes"},
        {bytes({0xD8, 0x3D, 0xDE, 0x00, 0xDB, 0xFF, 0xDF, 0xFF}), "\U0001F600\U0010FFFF", "surrogate pairs"},
        {bytes({0xD7, 0xFF, 0xE0, 0x00}), "\uD7FF\uE000", "just outside the surrogates"},
        {bytes({0xD8, 0x3D}), R, "high surrogate at the end"},
        {bytes({0xD8, 0x3D, 0x00, 0x41}), R + "A", "high surrogate before a letter"},
        {bytes({0xD8, 0x3D, 0xD8, 0x3D, 0xDE, 0x00}), R + "\U0001F600", "two highs, one low"},
        {bytes({0xDE, 0x00, 0xD8, 0x3D}), R + R, "low surrogate alone, then a high one"},
        {bytes({0x00, 0x41, 0x00}), "A" + R, "odd last byte"},
        {bytes({0xD8, 0x3D, 0xDE}), R + R, "pair cut inside its low surrogate"},
        {bytes({0x00, 0x00, 0x00, 0x42}), std::string("\0B", 2), "U+0000 kept"},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> data(c.input.begin(), c.input.end());
        EXPECT_EQ(utf8FromUtf16be(data), c.expected) << c.what;
    }
}

TEST(TextFromMacRoman, EveryByteIsOneDistinctCodePoint) {
    std::set<std::string> seen;
    std::string all, oneByOne;
    for (int byte = 0; byte < 256; ++byte) {
        const auto text = utf8FromMacRoman(bytes({byte}));
        EXPECT_EQ(validUtf8(text), text) << byte;
        EXPECT_EQ(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }), 1) << byte;
        EXPECT_TRUE(byte >= 0x80 || text == bytes({byte})) << byte;
        seen.insert(text);
        all += static_cast<char>(byte);
        oneByOne += text;
    }
    EXPECT_EQ(seen.size(), 256u) << "two bytes share a character";
    EXPECT_EQ(utf8FromMacRoman(all), oneByOne);
}

TEST(TextFromMacRoman, MapsBytesAsRomanTxtDoes) {
    EXPECT_EQ(utf8FromMacRoman("\x80\xA5\xCA\xD5"), "\u00C4\u2022\u00A0\u2019");
    EXPECT_EQ(utf8FromMacRoman("\xDB"), "\u20AC") << "the euro sign, not the currency sign before Mac OS 8.5";
    EXPECT_EQ(utf8FromMacRoman("\xDE\xDF\xF0\xFF"), "\uFB01\uFB02\uF8FF\u02C7");
    EXPECT_EQ(utf8FromMacRoman("Caf\x8E Sans"), "Caf\u00E9 Sans");
}

TEST(TextValidUtf8, KeepsWellFormedTextAndReplacesEachMaximalSubpart) {
    for (const std::string& text : {std::string("a\0b\x7F", 4), std::string("\u0080\u07FF\u0800\uD7FF\uE000\uFFFF"),
                                    std::string("\U00010000\U0010FFFF")}) {
        EXPECT_EQ(validUtf8(text), text);
    }
    const std::vector<Case> cases = {
        {bytes({0x61, 0xF1, 0x80, 0x80, 0xE1, 0x80, 0xC2, 0x62, 0x80, 0x63, 0x80, 0xBF, 0x64}),
         "a" + R + R + R + "b" + R + "c" + R + R + "d", "the Unicode standard's example"},
        {bytes({0x41, 0x80, 0xBF, 0x42}), "A" + R + R + "B", "stray continuation bytes"},
        {bytes({0xC3, 0xA9, 0xA9}), "\u00E9" + R, "one continuation byte too many"},
        {bytes({0xC0, 0x80, 0xE0, 0x9F, 0xBF}), R + R + R + R + R, "overlong two- and three-byte forms"},
        {bytes({0xF0, 0x8F, 0xBF, 0xBF}), R + R + R + R, "overlong four-byte form"},
        {bytes({0xED, 0xA0, 0x80, 0xED, 0xBF, 0xBF}), R + R + R + R + R + R, "surrogates"},
        {bytes({0xF4, 0x90, 0x80, 0x80}), R + R + R + R, "U+110000"},
        {bytes({0xF5, 0x80, 0xFE, 0xFF}), R + R + R + R, "bytes that start nothing"},
        {bytes({0xF0, 0x9F, 0x98}), R, "sequence cut at the end"},
        {bytes({0xF0, 0x9F, 0x98, 0x41}), R + "A", "sequence cut by a letter"},
        {bytes({0xE2, 0x82, 0xE2, 0x82, 0xAC}), R + "\u20AC", "sequence cut by a whole one"},
        {bytes({0xF0, 0x80}), R + R, "cut sequence that was already wrong"},
    };
    for (const auto& c : cases) EXPECT_EQ(validUtf8(c.input), c.expected) << c.what;
}

TEST(TextDecodeUtf8, DecodesWellFormedTextAndRefusesAllElse) {
    EXPECT_EQ(decodeUtf8(std::string("a\0\x7F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF\U00010000\U0010FFFF", 27)),
              std::u32string(U"a\0\x7F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF\U00010000\U0010FFFF", 11));
    EXPECT_EQ(decodeUtf8(""), std::u32string());
    // Exactly what validUtf8 would change is refused, over every sequence of
    // the edge bytes of the lead and continuation ranges.
    const std::vector<int> edges = {0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                                    0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    for (int a : edges) {
        for (int b : edges) {
            for (int c : edges) {
                for (int d : {0x41, 0x80, 0xBF}) {
                    const auto input = bytes({a, b, c, d});
                    ASSERT_EQ(decodeUtf8(input).has_value(), validUtf8(input) == input)
                        << a << " " << b << " " << c << " " << d;
                }
            }
        }
    }
}

#ifdef MELDROVE_JSON_PARSER
// nlohmann/json writes with error_handler_t::replace one U+FFFD per maximal
// subpart too: an independent check of validUtf8 and jsonString together.
TEST(TextValidUtf8, AgreesWithNlohmannJsonOnEveryEdgeSequence) {
    const std::vector<int> edges = {0x00, 0x0A, 0x22, 0x41, 0x5C, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                                    0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
    for (int a : edges) {
        for (int b : edges) {
            for (int c : edges) {
                for (int d : {0x41, 0x80, 0xBF}) {
                    const auto input = bytes({a, b, c, d});
                    const auto reference =
                        nlohmann::json(input).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
                    ASSERT_EQ(jsonString(validUtf8(input)), reference) << a << " " << b << " " << c << " " << d;
                }
            }
        }
    }
}
#endif

TEST(TextEscape, EscapesExactlyTheControlBytes) {
    for (int byte = 0; byte < 256; ++byte) {
        const bool control = byte < 0x20 || byte == 0x7F;
        EXPECT_EQ(needsEscape("a" + bytes({byte})), control) << byte;
        EXPECT_FALSE(needsEscape(escapeControls(bytes({byte}), false))) << byte;
    }
    EXPECT_EQ(escapeControls(std::string("\0\x1B[1m\x1F\x7F", 7), false), "\\x00\\x1B[1m\\x1F\\x7F");
    EXPECT_EQ(escapeControls("Member \r\n1", false), "Member \\x0D\\x0A1") << "a name must not split its line";
    EXPECT_EQ(escapeControls("Caf\u00E9 \u20AC", false), "Caf\u00E9 \u20AC");
}

TEST(TextEscape, DoublesBackslashesOnlyWhenAsked) {
    EXPECT_EQ(escapeControls("C:\\Fonts\\a.ttf", false), "C:\\Fonts\\a.ttf");
    EXPECT_EQ(escapeControls("C:\\Fonts\\a.ttf", true), "C:\\\\Fonts\\\\a.ttf");
    // Doubled, a name that spells an escape stays apart from the byte it spells.
    EXPECT_NE(escapeControls("\\x0A", true), escapeControls("\n", true));
}

TEST(TextJson, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(jsonString("say \"hi\" C:\\a"), R"("say \"hi\" C:\\a")");
    EXPECT_EQ(jsonString(std::string("\b\f\n\r\t\0\x1B\x1F", 8)), R"("\b\f\n\r\t\u0000\u001b\u001f")");
    EXPECT_EQ(jsonString("\x7F Caf\u00E9 \U0001F600"), "\"\x7F Caf\u00E9 \U0001F600\"");
#ifdef MELDROVE_JSON_PARSER
    std::vector<std::string> texts = {"Caf\u00E9 \u20AC \U0001F600 \uF8FF", std::string("a\0\"\\\n\x7F", 6)};
    for (int byte = 0; byte < 0x80; ++byte) texts.push_back(bytes({byte}));
    for (const auto& text : texts) EXPECT_EQ(nlohmann::json::parse(jsonString(text)).get<std::string>(), text);
#endif
}

TEST(TextJsonObject, WritesEveryKindOfValueInTheOrderAdded) {
    const std::vector<int> bits = {0, 9, 122};
    JsonObject object;
    object.key("name").value("Caf\u00E9");  // a literal, which would convert to bool
    object.key("file\n").value(std::string("C:\\a.ttc"));
    object.key("mac").value(nullptr);
    object.key("collection").value(true);
    object.key("bits").value(bits);
    object.key("blocks").value(std::vector<std::string>{"Basic Latin", "Cyrillic"});
    object.key("none").value(std::vector<int>{});
    object.key("range").value(JsonObject().key("first").value(std::int8_t{-128}).key("last").value(0x10FFFF));
    object.key("empty").value(JsonObject());
    object.key("min").value(std::numeric_limits<std::int64_t>::min());
    object.key("max").value(std::numeric_limits<std::uint64_t>::max());
    const auto line = object.str();
    EXPECT_EQ(line,
              "{\"name\":\"Caf\u00E9\","
              R"("file\n":"C:\\a.ttc","mac":null,"collection":true,)"
              R"("bits":[0,9,122],"blocks":["Basic Latin","Cyrillic"],"none":[],)"
              R"("range":{"first":-128,"last":1114111},"empty":{},)"
              R"("min":-9223372036854775808,"max":18446744073709551615})");
#ifdef MELDROVE_JSON_PARSER
    const auto parsed = nlohmann::ordered_json::parse(line);
    std::vector<std::string> keys;
    for (const auto& item : parsed.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"name", "file\n", "mac", "collection", "bits", "blocks", "none", "range",
                                              "empty", "min", "max"}));
#endif
}

}  // namespace
