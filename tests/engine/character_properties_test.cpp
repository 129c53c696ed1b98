#include "coverage/character_properties.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using coverage::fullCanonicalDecomposition;
using coverage::scriptName;
using coverage::simpleUppercase;

std::u32string decomposed(char32_t c) {
    const auto decomposition = fullCanonicalDecomposition(c);
    const auto parts = decomposition.codePoints();
    return std::u32string(parts.begin(), parts.end());
}

TEST(SimpleUppercase, MapsOneCodePointToOneOrLeavesIt) {
    EXPECT_EQ(simpleUppercase(U'a'), U'A');
    EXPECT_EQ(simpleUppercase(U'A'), U'A');
    EXPECT_EQ(simpleUppercase(U'ą'), U'Ą');  // every second code point of Latin Extended-A
    EXPECT_EQ(simpleUppercase(U'я'), U'Я');
    EXPECT_EQ(simpleUppercase(U'ÿ'), U'Ÿ');  // far away, in Latin Extended-A
    EXPECT_EQ(simpleUppercase(U'µ'), U'Μ');  // the micro sign to Greek capital mu
    EXPECT_EQ(simpleUppercase(U'ſ'), U'S');
    // Turkish: both i's give the dotless capital; İ is no one's uppercase.
    EXPECT_EQ(simpleUppercase(U'ı'), U'I');
    EXPECT_EQ(simpleUppercase(U'i'), U'I');
    EXPECT_EQ(simpleUppercase(U'İ'), U'İ');
    // Only full mappings change these, to strings ("SS", "ʼN").
    EXPECT_EQ(simpleUppercase(U'ß'), U'ß');
    EXPECT_EQ(simpleUppercase(U'ŉ'), U'ŉ');
    // A titlecase digraph and its lowercase both go to the capital one.
    EXPECT_EQ(simpleUppercase(U'ǅ'), U'Ǆ');
    EXPECT_EQ(simpleUppercase(U'ǆ'), U'Ǆ');
    // The full mapping of ᾀ is two code points; the simple one is ᾈ.
    EXPECT_EQ(simpleUppercase(U'\u1F80'), U'\u1F88');
    EXPECT_EQ(simpleUppercase(U'\U0001E922'), U'\U0001E900');  // Adlam
    EXPECT_EQ(simpleUppercase(U'1'), U'1');
    EXPECT_EQ(simpleUppercase(0x10FFFF), 0x10FFFFu);
}

TEST(SimpleUppercase, RunsAscendApartWithAStepOfOneOrTwo) {
    const auto runs = coverage::uppercaseRuns();
    ASSERT_FALSE(runs.empty());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_TRUE(runs[i].step == 1 || runs[i].step == 2);
        EXPECT_LE(runs[i].first, runs[i].last);
        EXPECT_EQ((runs[i].last - runs[i].first) % runs[i].step, 0u);
        if (i > 0) {
            EXPECT_LT(runs[i - 1].last, runs[i].first);
        }
    }
}

TEST(FullCanonicalDecomposition, AppliesTheMappingsUntilNothingDecomposes) {
    EXPECT_EQ(decomposed(U'a'), U"a");
    EXPECT_EQ(decomposed(U'é'), U"e\u0301");
    EXPECT_EQ(decomposed(U'ệ'), U"e\u0323\u0302");  // through ẹ
    EXPECT_EQ(decomposed(U'ǖ'), U"u\u0308\u0304");  // through ü
    EXPECT_EQ(decomposed(U'ơ'), U"o\u031B");
    EXPECT_EQ(decomposed(U'đ'), U"đ");                              // a letter of its own
    EXPECT_EQ(decomposed(U'\u212B'), U"A\u030A");                   // the angstrom sign, through Å
    EXPECT_EQ(decomposed(U'\u1F82'), U"\u03B1\u0313\u0300\u0345");  // the longest there is
    EXPECT_EQ(decomposed(U'\uF900'), U"\u8C48");                    // a compatibility ideograph
    EXPECT_EQ(decomposed(U'\U0001D15E'), U"\U0001D157\U0001D165");
}

TEST(FullCanonicalDecomposition, HangulSyllablesDecomposeIntoTheirJamo) {
    EXPECT_EQ(decomposed(U'가'), U"\u1100\u1161");
    EXPECT_EQ(decomposed(U'한'), U"\u1112\u1161\u11AB");
    EXPECT_EQ(decomposed(U'\uD7A3'), U"\u1112\u1175\u11C2");  // the last one
    EXPECT_EQ(decomposed(U'\uD7A4'), U"\uD7A4");              // past them
    EXPECT_EQ(decomposed(U'\uABFF'), U"\uABFF");
}

// Nothing in the table decomposes further, and no entry repeats.
TEST(FullCanonicalDecomposition, TheTableIsFullyDecomposedAndAscending) {
    const auto table = coverage::canonicalDecompositions();
    ASSERT_GT(table.size(), 2000u);
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(table[i - 1].codePoint, table[i].codePoint);
        }
        const auto decomposition = fullCanonicalDecomposition(table[i].codePoint);
        const auto parts = decomposition.codePoints();
        ASSERT_FALSE(parts.empty());
        for (const auto part : parts) {
            EXPECT_EQ(decomposed(part), std::u32string(1, part))
                << std::hex << static_cast<std::uint32_t>(table[i].codePoint);
        }
    }
}

TEST(GeneralCategory, FormatCharactersAndNonspacingMarks) {
    for (const char32_t c : {0x200Cu, 0x200Du, 0x200Eu, 0x200Fu, 0x00ADu, 0x0600u, 0x2060u, 0xFEFFu, 0xE0001u}) {
        EXPECT_TRUE(coverage::isFormatCharacter(c)) << std::hex << static_cast<std::uint32_t>(c);
    }
    for (const char32_t c : {0x0020u, 0x0041u, 0x0301u, 0x2028u, 0x10FFFFu}) {
        EXPECT_FALSE(coverage::isFormatCharacter(c)) << std::hex << static_cast<std::uint32_t>(c);
    }
    for (const char32_t c : {0x0300u, 0x0301u, 0x0323u, 0x093Cu, 0x0E31u, 0x17B4u, 0xE0100u}) {
        EXPECT_TRUE(coverage::isNonspacingMark(c)) << std::hex << static_cast<std::uint32_t>(c);
    }
    // A spacing mark (Mc), an enclosing one (Me), a letter, a format character.
    for (const char32_t c : {0x0903u, 0x20DDu, 0x0061u, 0x200Cu}) {
        EXPECT_FALSE(coverage::isNonspacingMark(c)) << std::hex << static_cast<std::uint32_t>(c);
    }
}

TEST(Script, EveryCodePointHasTheValueUnicodeGivesIt) {
    EXPECT_EQ(scriptName(U'a'), "Latin");
    EXPECT_EQ(scriptName(U'ệ'), "Latin");
    EXPECT_EQ(scriptName(U'я'), "Cyrillic");
    EXPECT_EQ(scriptName(U'क'), "Devanagari");
    EXPECT_EQ(scriptName(U'가'), "Hangul");
    EXPECT_EQ(scriptName(U'一'), "Han");
    EXPECT_EQ(scriptName(U'あ'), "Hiragana");
    EXPECT_EQ(scriptName(U'\U00010300'), "Old_Italic");
    EXPECT_EQ(scriptName(U'\U00010940'), "Sidetic");  // new in Unicode 17.0
    EXPECT_EQ(scriptName(U' '), "Common");
    EXPECT_EQ(scriptName(0), "Common");
    EXPECT_EQ(scriptName(U'\u0301'), "Inherited");
    EXPECT_EQ(scriptName(0x0378), "Unknown");  // unassigned
    EXPECT_EQ(scriptName(0x10FFFF), "Unknown");
}

TEST(Script, StartsAscendFromZeroAndNameAScriptEach) {
    const auto starts = coverage::scriptStarts();
    const auto names = coverage::scriptNames();
    ASSERT_FALSE(starts.empty());
    EXPECT_EQ(starts[0].first, 0u);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        EXPECT_LT(starts[i].script, names.size());
        if (i > 0) {
            EXPECT_LT(starts[i - 1].first, starts[i].first);
            EXPECT_NE(starts[i - 1].script, starts[i].script);
        }
    }
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(names.size(), 175u);  // Unicode 17.0's 172 scripts, Common, Inherited and Unknown
}

}  // namespace
