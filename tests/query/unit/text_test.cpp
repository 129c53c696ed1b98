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
// subpart too: an independent check of validUtf8 and jsonString together,
// compared as the strings they stand for (it leaves DEL and C1 raw).
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
                    ASSERT_EQ(nlohmann::json::parse(jsonString(validUtf8(input))), nlohmann::json::parse(reference))
                        << a << " " << b << " " << c << " " << d;
                }
            }
        }
    }
}
#endif

TEST(TextEscape, EscapesExactlyTheControlBytesOfSingleByteText) {
    for (int byte = 0; byte < 256; ++byte) {
        const bool control = byte < 0x20 || byte == 0x7F;
        EXPECT_EQ(needsEscape("a" + bytes({byte}), TextEncoding::ansi), control) << byte;
        EXPECT_FALSE(needsEscape(escapeControls(bytes({byte}), false, TextEncoding::ansi), TextEncoding::ansi)) << byte;
    }
    EXPECT_EQ(escapeControls(std::string("\0\x1B[1m\x1F\x7F", 7), false, TextEncoding::ansi),
              "\\x00\\x1B[1m\\x1F\\x7F");
    EXPECT_EQ(escapeControls("Member \r\n1", false, TextEncoding::ansi), "Member \\x0D\\x0A1")
        << "a name must not split its line";
    // Mac OS Roman and ANSI bytes from 0x80 on are letters: kept raw.
    EXPECT_EQ(escapeControls("Caf\x8E \x9B\x85", false, TextEncoding::ansi), "Caf\x8E \x9B\x85");
}

// In UTF-8, what a terminal or a splitter of Unicode lines acts on: C1
// controls, the line and paragraph separators, and the bidi controls.
TEST(TextEscape, EscapesWhatATerminalOrALineSplitterActsOnInUtf8) {
    for (const std::uint32_t c :
         {0x85u, 0x9Bu, 0x9Du, 0x80u, 0x9Fu, 0x2028u, 0x2029u, 0x202Au, 0x202Eu, 0x2066u, 0x2069u}) {
        EXPECT_TRUE(isEscapedCodePoint(c)) << std::hex << c;
    }
    for (const std::uint32_t c :
         {0x20u, 0x7Eu, 0xA0u, 0xE9u, 0x200Bu, 0x200Eu, 0x2027u, 0x202Fu, 0x2065u, 0x206Au, 0xFEFFu, 0x1F600u}) {
        EXPECT_FALSE(isEscapedCodePoint(c)) << std::hex << c;
    }
    EXPECT_EQ(escapeControls("Fake\u0085Font \u009B2J\u2028x\u202Eevil\u2066", false, TextEncoding::utf8),
              "Fake\\u{0085}Font \\u{009B}2J\\u{2028}x\\u{202E}evil\\u{2066}");
    EXPECT_EQ(escapeControls("Caf\u00E9 \u20AC \U0001F600", false, TextEncoding::utf8), "Caf\u00E9 \u20AC \U0001F600");
    // Bytes that are no character at all are shown, never passed raw.
    EXPECT_EQ(escapeControls("a\x9B[2Jb\xC3", false, TextEncoding::utf8), "a\\x9B[2Jb\\xC3");
    EXPECT_TRUE(needsEscape("\xE2\x80\xA8", TextEncoding::utf8));
    EXPECT_FALSE(needsEscape("\xE2\x80\xA8", TextEncoding::ansi));
    EXPECT_FALSE(needsEscape("Caf\u00E9", TextEncoding::utf8));
}

TEST(TextEscape, DoublesBackslashesOnlyWhenAskedOrOnALineThatNeedsAnEscape) {
    EXPECT_EQ(escapeControls("C:\\Fonts\\a.ttf", false, TextEncoding::ansi), "C:\\Fonts\\a.ttf");
    EXPECT_EQ(escapeControls("C:\\Fonts\\a.ttf", true, TextEncoding::ansi), "C:\\\\Fonts\\\\a.ttf");
    // Doubled, a name that spells an escape stays apart from the byte it spells.
    EXPECT_NE(escapeControls("\\x0A", true, TextEncoding::ansi), escapeControls("\n", true, TextEncoding::ansi));
    EXPECT_NE(escapeControls("\\u{2028}", true, TextEncoding::utf8),
              escapeControls("\u2028", true, TextEncoding::utf8));
    EXPECT_EQ(safeLine("A\\B   (a.ttf)", TextEncoding::utf8), "A\\B   (a.ttf)");
    EXPECT_EQ(safeLine("A\\B\u2029   (a.ttf)", TextEncoding::utf8), "A\\\\B\\u{2029}   (a.ttf)");
}

// The characters a Unicode line splitter (Python's str.splitlines, many
// editors) ends a line at.
bool splitsLines(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || (c >= 0x1C && c <= 0x1E) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

TEST(TextJson, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(jsonString("say \"hi\" C:\\a"), R"("say \"hi\" C:\\a")");
    EXPECT_EQ(jsonString(std::string("\b\f\n\r\t\0\x1B\x1F", 8)), R"("\b\f\n\r\t\u0000\u001b\u001f")");
    EXPECT_EQ(jsonString("\x7F Caf\u00E9 \U0001F600"), "\"\\u007f Caf\u00E9 \U0001F600\"");
    EXPECT_EQ(jsonString("a\u0085b\u2028c\u2029d\u202Ae\u2069"), R"("a\u0085b\u2028c\u2029d\u202ae\u2069")");
    // No string, however made, leaves a character a line splitter ends a line at.
    for (std::uint32_t c = 0; c < 0x3000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const auto json =
            jsonString("x" + utf8FromUtf16be(std::vector<std::uint8_t>{std::uint8_t(c >> 8), std::uint8_t(c & 0xFF)}));
        const auto decoded = decodeUtf8(json);
        ASSERT_TRUE(decoded) << std::hex << c;
        for (const auto d : *decoded) EXPECT_FALSE(splitsLines(d)) << std::hex << c << " gave " << std::uint32_t(d);
    }
#ifdef MELDROVE_JSON_PARSER
    std::vector<std::string> texts = {"Caf\u00E9 \u20AC \U0001F600 \uF8FF", std::string("a\0\"\\\n\x7F", 6),
                                      "\u0085\u009B\u2028\u2029\u202B\u2067"};
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
