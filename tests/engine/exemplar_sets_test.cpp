#include "coverage/exemplar_sets.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "coverage/language_data.h"

namespace {

using coverage::exemplarCodePoints;
using fontfile::CodePointRange;
using Runs = std::vector<CodePointRange>;

Runs single(std::u32string codePoints) {
    Runs runs;
    for (const auto c : codePoints) runs.push_back({c, c});
    return fontfile::sortedAndMerged(runs);
}

Runs read(std::string_view set) {
    const auto runs = exemplarCodePoints(set);
    if (!runs) ADD_FAILURE() << "refused " << set;
    return runs.value_or(Runs{});
}

TEST(ExemplarSetItems, CharactersAndStringsGiveEveryCodePointTheyHold) {
    EXPECT_EQ(read("[a b c]"), (Runs{{'a', 'c'}}));
    EXPECT_EQ(read("[aáà b]"), single(U"aáàb"));  // items need no space between them
    EXPECT_EQ(read("[c {ch} {dž}]"), single(U"chdž"));
    // Yoruba's e with dot below and acute: two code points, one item.
    EXPECT_EQ(read("[{\u1EB9\u0301}]"), single(U"\u1EB9\u0301"));
    // Inside a string only } and \ are special.
    EXPECT_EQ(read("[{a-b} {[x]}]"), single(U"a-b[x]"));
    EXPECT_EQ(read("[가 각]"), single(U"가각"));
}

TEST(ExemplarSetItems, EscapesStandForTheirCodePoints) {
    EXPECT_EQ(read("[\\u200C\\u200D]"), (Runs{{0x200C, 0x200D}}));
    EXPECT_EQ(read("[\\U0001F600 \\u{1F601} \\x{1F602} \\x41 \\x7]"),
              (Runs{{0x07, 0x07}, {'A', 'A'}, {0x1F600, 0x1F602}}));
    EXPECT_EQ(read("[\\- \\: \\\\ \\[ \\] \\{ \\} \\^ \\& \\$ \\  \\é]"), single(U"-:\\[]{}^&$ é"));
    EXPECT_EQ(read("[\\t \\n \\r \\a \\b \\e \\f \\v]"), single(U"\t\n\r\a\b\x1B\f\v"));
    EXPECT_EQ(read("[{n\\-} {s\\-c} {a\\:}]"), single(U"n-sca:"));  // as pms and moh write them
    // An escaped surrogate pair is the one code point it encodes.
    EXPECT_EQ(read("[\\uD83D\\uDE00]"), (Runs{{0x1F600, 0x1F600}}));
    EXPECT_EQ(read("[\\u0061\\u0062]"), (Runs{{'a', 'b'}}));  // four digits, no more
}

TEST(ExemplarSetItems, RangesGiveEveryCodePointFromOneEndToTheOther) {
    EXPECT_EQ(read("[a-c x - z]"), (Runs{{'a', 'c'}, {'x', 'z'}}));
    EXPECT_EQ(read("[가-힣]"), (Runs{{0xAC00, 0xD7A3}}));
    EXPECT_EQ(read("[\\u0041-\\u0043 e-e]"), (Runs{{'A', 'C'}, {'e', 'e'}}));
    EXPECT_EQ(read("[\\--\\/]"), (Runs{{'-', '/'}}));
    // First or last, a "-" is itself.
    EXPECT_EQ(read("[-a]"), single(U"-a"));
    EXPECT_EQ(read("[a-]"), single(U"-a"));
    EXPECT_EQ(read("[-]"), single(U"-"));
}

TEST(ExemplarSetItems, ASetWithNoItemsHoldsNoCodePoints) {
    EXPECT_EQ(read("[]"), Runs{});
    EXPECT_EQ(read("[ \t\n ]"), Runs{});
    // The direction marks written as they are are white space; escaped,
    // they are characters.
    EXPECT_EQ(read("[\u200E\u200F]"), Runs{});
    EXPECT_EQ(read("[\\u200E \u200F]"), (Runs{{0x200E, 0x200E}}));
}

void expectRefused(std::initializer_list<std::string_view> sets) {
    for (const auto set : sets) EXPECT_FALSE(exemplarCodePoints(set).has_value()) << '"' << set << '"';
}

TEST(ExemplarSetSyntax, AnythingElseIsRefusedWhole) {
    expectRefused({"", "a", "[a", "a]", "[a]b", "[a] ", " [a]", "[a]]"});      // not one bracketed set
    expectRefused({"[^a]", "[[a]]", "[a[b]]", "[:Lu:]", "[[:Lu:]]"});          // other forms of set
    expectRefused({"[\\p{Lu}]", "[\\P{Lu}]", "[\\N{LATIN SMALL LETTER A}]"});  // properties, names
    expectRefused({"[a&b]", "[a$]", "[a^]", "[}]"});                           // unescaped syntax
    expectRefused({"[{}]", "[{ }]", "[{ab]", "[{ab"});                         // empty or open strings
    expectRefused({"[c-a]", "[{ab}-c]", "[a-{bc}]", "[a-[b]]", "[a--]"});      // not two characters in order
    expectRefused({"[\\", "[\\]", "[\\u12]", "[\\u12G4]", "[\\U0010FFF]", "[\\x{41]", "[\\u{}]"});  // cut short
    expectRefused({"[\\U00110000]", "[\\x{110000}]"});                           // past the code points
    expectRefused({"[\\uD83D]", "[\\uDE00]", "[\\uD83D\\u0041]", "[\\UD800]"});  // lone surrogates
    expectRefused({"[\\q]", "[\\1]", "[\\0]"});                                  // escapes of other meanings
    expectRefused({"[\xC3]", "[\xC0\xAF]", "[\xED\xA0\x80]", "[\xF4\x90\x80\x80]", "[\x80]", "[\xFF]"});  // bad UTF-8
}

// What the committed data depends on: every set that CLDR wrote is read.
TEST(ExemplarSetSyntax, EverySetOfTheCommittedDataIsRead) {
    for (const auto set : coverage::cldrExemplarSets()) {
        EXPECT_TRUE(exemplarCodePoints(set).has_value()) << set.substr(0, 60);
    }
    for (const auto& locale : coverage::cldrLocales()) {
        const auto main = exemplarCodePoints(coverage::cldrExemplarSets()[locale.mainSet]);
        EXPECT_TRUE(main && !main->empty()) << locale.tag;
    }
}

}  // namespace
