// The names table read back: names of each kind of storage (words, prefix
// ranges, Hangul), the edges of the runs, and code points without a name.
#include "finder/model/unicode_names.h"

#include <gtest/gtest.h>

#include "finder/model/unicode_names_data.h"

namespace {

TEST(UnicodeNames, NamesMadeOfWords) {
    EXPECT_EQ(finder::characterName(0x20), "SPACE");  // the first named code point
    EXPECT_EQ(finder::characterName(0x41), "LATIN CAPITAL LETTER A");
    EXPECT_EQ(finder::characterName(0x2D), "HYPHEN-MINUS");
    EXPECT_EQ(finder::characterName(0x3A9), "GREEK CAPITAL LETTER OMEGA");
    EXPECT_EQ(finder::characterName(0x1F600), "GRINNING FACE");
    EXPECT_EQ(finder::characterName(0xFFFD), "REPLACEMENT CHARACTER");
    EXPECT_EQ(finder::characterName(0xE0100), "VARIATION SELECTOR-17");
    EXPECT_EQ(finder::characterName(0xE01EF), "VARIATION SELECTOR-256");  // the last named code point
    EXPECT_EQ(finder::characterName(0x10940), "SIDETIC LETTER N01");      // new in 17.0
}

TEST(UnicodeNames, NamesOfAPrefixAndTheCodePoint) {
    EXPECT_EQ(finder::characterName(0x4E00), "CJK UNIFIED IDEOGRAPH-4E00");
    EXPECT_EQ(finder::characterName(0x9FFF), "CJK UNIFIED IDEOGRAPH-9FFF");
    EXPECT_EQ(finder::characterName(0x20000), "CJK UNIFIED IDEOGRAPH-20000");
    EXPECT_EQ(finder::characterName(0xF900), "CJK COMPATIBILITY IDEOGRAPH-F900");
    EXPECT_EQ(finder::characterName(0x17000), "TANGUT IDEOGRAPH-17000");
}

TEST(UnicodeNames, HangulSyllablesFromTheirJamo) {
    EXPECT_EQ(finder::characterName(0xAC00), "HANGUL SYLLABLE GA");
    EXPECT_EQ(finder::characterName(0xAC01), "HANGUL SYLLABLE GAG");
    EXPECT_EQ(finder::characterName(0xC544), "HANGUL SYLLABLE A");  // no leading consonant
    EXPECT_EQ(finder::characterName(0xD7A3), "HANGUL SYLLABLE HIH");
    EXPECT_EQ(finder::characterName(0xD7A4), "");
}

TEST(UnicodeNames, CodePointsWithoutAName) {
    for (const char32_t unnamed : {0x0u, 0x1Fu, 0x7Fu, 0x378u, 0xD800u, 0xE000u, 0xFFFFu, 0x10FFFFu, 0x110000u})
        EXPECT_EQ(finder::characterName(unnamed), "") << std::hex << static_cast<unsigned>(unnamed);
}

TEST(UnicodeNames, EveryNamedCodePointHasOneAndNoneIsBroken) {
    std::uint32_t named = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        const auto name = finder::characterName(c);
        if (name.empty()) continue;
        ++named;
        // A word index past the dictionary would drop a word and leave
        // doubled or edge spaces.
        ASSERT_EQ(name.find("  "), std::string::npos) << std::hex << unsigned(c);
        ASSERT_NE(name.front(), ' ');
        ASSERT_NE(name.back(), ' ');
    }
    EXPECT_EQ(named, finder::names_data::kNamedCount);
}

TEST(UnicodeNames, Labels) {
    EXPECT_EQ(finder::codePointLabel(0xE9), "U+00E9");
    EXPECT_EQ(finder::codePointLabel(0x1F600), "U+1F600");
}

}  // namespace
