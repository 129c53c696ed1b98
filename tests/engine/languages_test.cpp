#include "coverage/languages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "coverage/edit_distance.h"
#include "font_writer.h"
#include "fontfile/byte_source.h"
#include "fontfile/character_map.h"

namespace {

using coverage::DecomposedForms;
using coverage::findLanguage;
using coverage::Language;
using coverage::LanguageLevel;
using coverage::languages;
using coverage::measureLanguage;
using fontfile::CodePointRange;
using Runs = std::vector<CodePointRange>;

const Language& language(std::string_view tag) {
    const auto index = findLanguage(tag);
    if (!index) throw std::runtime_error("no language " + std::string(tag));
    return languages()[*index];
}

Runs runsOf(std::u32string codePoints) {
    Runs runs;
    for (const auto c : codePoints) runs.push_back({c, c});
    return fontfile::sortedAndMerged(runs);
}

Runs required(std::string_view set) {
    const auto runs = coverage::requiredByExemplarSet(set);
    if (!runs) ADD_FAILURE() << "refused " << set;
    return runs.value_or(Runs{});
}

Runs requiredRuns(const Language& l, LanguageLevel level) {
    const auto r = l.requirement(level).required;
    return Runs(r.begin(), r.end());
}

bool needs(const Language& l, LanguageLevel level, char32_t c) {
    const auto r = l.requirement(level).required;
    return std::any_of(r.begin(), r.end(), [c](const CodePointRange& run) { return run.first <= c && c <= run.last; });
}

// ---- The rule ----------------------------------------------------------------

TEST(LanguageRule, AddsTheSimpleUppercaseOfEachCodePoint) {
    EXPECT_EQ(required("[a b {ch}]"), runsOf(U"abchABCH"));
    // ß and ŉ have no simple uppercase: no ẞ, and not the U+02BC of "ʼN".
    EXPECT_EQ(required("[ß ŉ]"), runsOf(U"ßŉ"));
    // Turkish: dotless ı and dotted i both add I; İ is there only when listed.
    EXPECT_EQ(required("[ı]"), runsOf(U"ıI"));
    EXPECT_EQ(required("[i]"), runsOf(U"iI"));
    EXPECT_EQ(required("[ı i İ]"), runsOf(U"ıiIİ"));
    EXPECT_EQ(required("[ǆ]"), runsOf(U"ǆǄ"));
    EXPECT_EQ(required("[a-c]"), runsOf(U"abcABC"));
    // What has no case is left alone.
    EXPECT_EQ(required("[क \\u0301 1]"), runsOf(U"क\u03011"));
}

TEST(LanguageRule, DropsFormatCharacters) {
    EXPECT_EQ(required("[a \\u200C \\u200D]"), runsOf(U"aA"));
    EXPECT_EQ(required("[\\u200C]"), Runs{});
    // Urdu's auxiliary set lists the Arabic number signs as they are, and
    // the direction marks escaped.
    EXPECT_EQ(required("[\u0600\u0601 \\u200E\\u200F ب]"), runsOf(U"ب"));
    // ZWSP is a format character too; the Khmer inherent vowels are marks (Mn).
    EXPECT_EQ(required("[\\u17B4\\u17B5\\u200B]"), runsOf(U"\u17B4\u17B5"));
}

TEST(LanguageRule, AMultiCharacterItemRequiresEachOfItsCodePoints) {
    // Yoruba's {ẹ́}: ẹ, the combining acute, and Ẹ; the acute has no case.
    EXPECT_EQ(required("[{ẹ́}]"), runsOf(U"\u1EB9\u0301\u1EB8"));
    const auto& yoruba = language("yo");
    for (const char32_t c : {0x1EB9u, 0x1EB8u, 0x0301u, 0x0300u, 0x0304u, 0x1E62u, 0x1E63u}) {
        EXPECT_TRUE(needs(yoruba, LanguageLevel::base, c)) << std::hex << static_cast<std::uint32_t>(c);
    }
    // Russian's auxiliary stresses: {а́} adds the acute, not a precomposed letter.
    const auto& russian = language("ru");
    EXPECT_FALSE(needs(russian, LanguageLevel::base, 0x0301));
    EXPECT_TRUE(needs(russian, LanguageLevel::auxiliary, 0x0301));
}

TEST(LanguageRule, TheAuxiliaryLevelAddsItsSetByTheSameRule) {
    for (const auto& l : languages()) {
        SCOPED_TRACE(std::string(l.tag));
        EXPECT_GT(l.base.count, 0u);
        EXPECT_GE(l.auxiliary.count, l.base.count);
        EXPECT_EQ(fontfile::countCommon(l.base.required, l.auxiliary.required), l.base.count);
    }
    const auto& polish = language("pl");
    EXPECT_FALSE(needs(polish, LanguageLevel::base, U'q'));
    EXPECT_TRUE(needs(polish, LanguageLevel::auxiliary, U'q'));
    EXPECT_TRUE(needs(polish, LanguageLevel::auxiliary, U'Q'));
    EXPECT_TRUE(needs(polish, LanguageLevel::auxiliary, U'ß'));
    EXPECT_FALSE(needs(polish, LanguageLevel::auxiliary, U'ẞ'));
}

// The required counts, counted once by another route: a Python reading of
// the same CLDR 48.2.0 JSON (its own tokenizer) against the simple uppercase
// and categories of Debian's UnicodeData.txt (Unicode 15.0, which differs
// from 17.0 in nothing these languages list).
TEST(LanguageRule, RequiredCountsAgreeWithAnIndependentCount) {
    struct Expected {
        const char* tag;
        std::uint32_t base, auxiliary;
    };
    const Expected expected[] = {
        {"vi", 178, 186}, {"pl", 64, 109},    {"yo", 77, 87},          {"hi", 67, 68},      {"ko", 11172, 11994},
        {"ru", 66, 67},   {"ja", 2311, 2386}, {"zh-Hant", 2179, 2674}, {"sr-Latn", 54, 64}, {"pt-PT", 78, 132},
        {"ar", 45, 59},   {"th", 73, 73},     {"en", 52, 128},         {"de", 59, 135},     {"tr", 58, 135},
        {"fa", 43, 54},   {"km", 72, 80},     {"el", 69, 182},
    };
    for (const auto& e : expected) {
        const auto& l = language(e.tag);
        EXPECT_EQ(l.base.count, e.base) << e.tag;
        EXPECT_EQ(l.auxiliary.count, e.auxiliary) << e.tag;
    }
    // Korean needs every Hangul syllable.
    EXPECT_EQ(requiredRuns(language("ko"), LanguageLevel::base), (Runs{{0xAC00, 0xD7A3}}));
}

TEST(LanguageRule, ScriptsAreThoseOfTheRequiredLettersMostUsedFirst) {
    using Scripts = std::vector<std::string_view>;
    const auto scripts = [](std::string_view tag, LanguageLevel level = LanguageLevel::base) {
        const auto s = language(tag).requirement(level).scripts;
        return Scripts(s.begin(), s.end());
    };
    EXPECT_EQ(scripts("vi"), Scripts{"Latin"});
    EXPECT_EQ(scripts("yo"), Scripts{"Latin"});  // not Inherited for its combining marks
    EXPECT_EQ(scripts("hi"), Scripts{"Devanagari"});
    EXPECT_EQ(scripts("ko"), Scripts{"Hangul"});
    EXPECT_EQ(scripts("sr"), Scripts{"Cyrillic"});
    EXPECT_EQ(scripts("sr-Latn"), Scripts{"Latin"});
    EXPECT_EQ(scripts("ja"), (Scripts{"Han", "Katakana", "Hiragana"}));  // 88 katakana, 85 hiragana
    for (const auto& l : languages()) EXPECT_FALSE(l.base.scripts.empty()) << l.tag;
}

// ---- Tags and names ------------------------------------------------------------

TEST(LanguageNames, EveryLanguageOfCldrWithItsTagAndEnglishName) {
    const auto all = languages();
    ASSERT_EQ(all.size(), 753u);
    EXPECT_EQ(coverage::kCldrVersion, "48.2.0");
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(all[i - 1].tag, all[i].tag);
        }
        EXPECT_EQ(findLanguage(all[i].tag), i) << all[i].tag;
        if (all[i].tag != "gaa") {
            EXPECT_EQ(findLanguage(all[i].name), i) << all[i].name;
        }
    }
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const Language& l) { return l.tag.find('-') == l.tag.npos; }),
              313);
    EXPECT_EQ(language("vi").name, "Vietnamese");
    EXPECT_EQ(language("pt-PT").name, "Portuguese (Portugal)");
    EXPECT_EQ(language("zh-Hant").name, "Chinese (Traditional)");
    EXPECT_EQ(language("sr-Latn-BA").name, "Serbian (Latin, Bosnia & Herzegovina)");
    EXPECT_EQ(language("ca-ES-valencia").name, "Catalan (Spain, Valencian)");
    EXPECT_EQ(language("el-polyton").name, "Greek (Polytonic)");
    // CLDR's English has no name for Sunuwar: its code stands for it.
    EXPECT_EQ(language("suz-Deva").name, "suz (Devanagari)");
}

TEST(LanguageNames, FoundByTagOrNameInEverySpelling) {
    const auto index = [](std::string_view tag) { return findLanguage(tag).value(); };
    for (const auto word : {"vi", "VI", "Vi", "Vietnamese", "vietnamese", "VIETNAMESE"}) {
        EXPECT_EQ(findLanguage(word), index("vi")) << word;
    }
    for (const auto word : {"sr-Latn", "sr-latn", "SR-LATN", "sr_Latn", "sr_latn", "Serbian (Latin)"}) {
        EXPECT_EQ(findLanguage(word), index("sr-Latn")) << word;
    }
    for (const auto word : {"pt-PT", "pt_pt", "PT_PT", "pt-pt", "Portuguese (Portugal)", "portuguese (portugal)"}) {
        EXPECT_EQ(findLanguage(word), index("pt-PT")) << word;
    }
    EXPECT_EQ(findLanguage("zh_hant"), index("zh-Hant"));
    EXPECT_EQ(findLanguage("Ca_es_Valencia"), index("ca-ES-valencia"));
    // A tag comes before a name spelt like it: "Ga" is Irish, Ga is "gaa".
    EXPECT_EQ(language("Ga").tag, "ga");
    EXPECT_EQ(language("gaa").name, "Ga");
    // Names keep their letters beyond ASCII as they are.
    EXPECT_EQ(language("Norwegian Bokmål").tag, "nb");
    EXPECT_EQ(language("NORWEGIAN BOKMåL").tag, "nb");
    EXPECT_FALSE(findLanguage("NORWEGIAN BOKMÅL"));
}

TEST(LanguageNames, NearMissesNameNothing) {
    for (const auto word : {"", "v", "vi-", "vi_", "-vi", " vi", "Vietnamese ", "Vietnamse", "Portuguese(Portugal)",
                            "pt--PT", "pt PT", "Vietnamese (Vietnam)", "Latin", "CJK"}) {
        EXPECT_FALSE(findLanguage(word).has_value()) << '"' << word << '"';
    }
}

TEST(LanguageNames, TheClosestTagsAndNamesOfAnUnknownWord) {
    const auto first = [](std::string_view word) { return languages()[coverage::closestLanguages(word, 3).at(0)].tag; };
    EXPECT_EQ(first("Vietnamse"), "vi");
    EXPECT_EQ(first("vietnam"), "vi");
    EXPECT_EQ(first("Portugese"), "pt");
    EXPECT_EQ(first("Portuguese (Portugl)"), "pt-PT");
    EXPECT_EQ(first("sr_latm"), "sr-Latn");
    EXPECT_EQ(first("Polsh"), "pl");
    EXPECT_EQ(coverage::closestLanguages("x", 3).size(), 3u);
    EXPECT_EQ(coverage::closestLanguages("x", 0).size(), 0u);
    EXPECT_EQ(coverage::closestLanguages("x", 10000).size(), 753u);
}

TEST(EditDistance, CountsSingleEditsWithLettersInEitherCase) {
    EXPECT_EQ(coverage::editDistanceIgnoringAsciiCase("kitten", "sitting"), 3u);
    EXPECT_EQ(coverage::editDistanceIgnoringAsciiCase("Latin", "LATIN"), 0u);
    EXPECT_EQ(coverage::editDistanceIgnoringAsciiCase("", "abc"), 3u);
    EXPECT_EQ(coverage::editDistanceIgnoringAsciiCase("abc", ""), 3u);
    EXPECT_EQ(coverage::editDistanceIgnoringAsciiCase("ab", "ba"), 2u);
}

// ---- Faces against languages ----------------------------------------------------

// The runs of `runs` less the single code points `removed`.
Runs without(Runs runs, std::u32string removed) {
    Runs out;
    for (const auto& run : runs) {
        for (auto c = run.first; c <= run.last; ++c) {
            if (removed.find(c) == removed.npos) out.push_back({c, c});
        }
    }
    return fontfile::sortedAndMerged(out);
}

TEST(MeasureLanguage, CountsWhatIsCoveredAndListsTheFirstMissing) {
    const auto& vi = language("vi");
    const auto all = requiredRuns(vi, LanguageLevel::base);
    std::array<char32_t, 2> firstMissing{};
    auto c = measureLanguage(vi, LanguageLevel::base, all, DecomposedForms::notCounted, firstMissing);
    EXPECT_EQ(c.covered, 178u);
    EXPECT_EQ(c.total, 178u);
    EXPECT_EQ(c.listed, 0u);
    EXPECT_TRUE(c.supported());

    // Three missing, listed in increasing order until the room runs out.
    const auto nearly = without(all, U"ỵđA");
    c = measureLanguage(vi, LanguageLevel::base, nearly, DecomposedForms::notCounted, firstMissing);
    EXPECT_EQ(c.covered, 175u);
    EXPECT_EQ(c.total, 178u);
    EXPECT_FALSE(c.supported());
    ASSERT_EQ(c.listed, 2u);
    EXPECT_EQ(firstMissing[0], U'A');
    EXPECT_EQ(firstMissing[1], U'đ');
    std::array<char32_t, 8> room{};
    c = measureLanguage(vi, LanguageLevel::base, nearly, DecomposedForms::notCounted, room);
    ASSERT_EQ(c.listed, 3u);
    EXPECT_EQ(room[2], U'ỵ');
    EXPECT_EQ(measureLanguage(vi, LanguageLevel::base, nearly, DecomposedForms::notCounted).listed, 0u);

    // More than the face maps, and a face that maps nothing.
    Runs everything{{0, fontfile::kLastCodePoint}};
    EXPECT_TRUE(measureLanguage(vi, LanguageLevel::auxiliary, everything, DecomposedForms::notCounted).supported());
    c = measureLanguage(vi, LanguageLevel::auxiliary, {}, DecomposedForms::notCounted, room);
    EXPECT_EQ(c.covered, 0u);
    EXPECT_EQ(c.total, 186u);
    EXPECT_EQ(c.listed, room.size());
    EXPECT_EQ(room[0], U'A');
}

// The quick test for every language gives what measuring each one gives,
// and the walk agrees with a plain count of the code points in common.
TEST(SupportedLanguages, AgreeWithMeasuringEachLanguage) {
    const std::vector<Runs> faces{
        {},
        {{0x20, 0x7E}},
        {{0x20, 0x7E}, {0xA0, 0x17F}},
        {{0x20, 0x24F}, {0x300, 0x36F}, {0x1E00, 0x1EFF}},
        {{0x20, 0x7E}, {0x400, 0x4FF}},
        {{0x20, 0x7E}, {0x1100, 0x11FF}, {0x3130, 0x318F}},
        // Runs that touch but were not merged, and the plane above the first.
        {{0x20, 0x40}, {0x41, 0x5A}, {0x5B, 0x7E}, {0x1E900, 0x1E94B}, {0x1E950, 0x1E959}},
        {{0x20, 0x7E}, {0x1E900, 0x1E920}, {0x1E921, 0x1E95F}},
        requiredRuns(language("ko"), LanguageLevel::base),
        requiredRuns(language("ja"), LanguageLevel::auxiliary),
        {{0, fontfile::kLastCodePoint}},
    };
    const auto all = languages();
    for (std::size_t f = 0; f < faces.size(); ++f) {
        for (const auto level : {LanguageLevel::base, LanguageLevel::auxiliary}) {
            for (const auto decomposed : {DecomposedForms::notCounted, DecomposedForms::counted}) {
                const auto supported = coverage::supportedLanguages(faces[f], level, decomposed);
                for (std::size_t i = 0; i < all.size(); ++i) {
                    const auto c = measureLanguage(all[i], level, faces[f], decomposed);
                    ASSERT_EQ(supported.test(i), c.supported()) << "face " << f << ", " << all[i].tag;
                    if (decomposed == DecomposedForms::notCounted) {
                        ASSERT_EQ(c.covered, fontfile::countCommon(all[i].requirement(level).required, faces[f]));
                    }
                }
            }
        }
    }
    EXPECT_EQ(coverage::supportedLanguages({}, LanguageLevel::base, DecomposedForms::counted).count(), 0u);
    EXPECT_EQ(coverage::supportedLanguages(faces.back(), LanguageLevel::auxiliary, DecomposedForms::notCounted).count(),
              753u);
    const auto adlam = findLanguage("ff-Adlm").value();
    EXPECT_TRUE(coverage::supportedLanguages(faces[7], LanguageLevel::base, DecomposedForms::notCounted).test(adlam));
    const auto korean = coverage::supportedLanguages(faces[8], LanguageLevel::base, DecomposedForms::notCounted);
    EXPECT_TRUE(korean.test(findLanguage("ko").value()));
    // With the Jamo alone, the syllables are written from their parts.
    const auto jamo = coverage::supportedLanguages(faces[5], LanguageLevel::base, DecomposedForms::counted);
    EXPECT_TRUE(jamo.test(findLanguage("ko").value()));
    EXPECT_FALSE(coverage::supportedLanguages(faces[5], LanguageLevel::base, DecomposedForms::notCounted)
                     .test(findLanguage("ko").value()));
}

// ---- Decomposed forms, on faces built with the font writer -------------------------

Runs mappedBy(const std::vector<testfonts::CmapGroup>& groups) {
    const auto font =
        testfonts::FontWriter().table("cmap", testfonts::cmapTable({{3, 10, testfonts::cmapFormat12(groups)}})).build();
    fontfile::MemorySource source(font);
    const auto map = fontfile::parseCharacterMap(source, 0);
    EXPECT_EQ(map.outcome, fontfile::CharacterMap::Outcome::unicode);
    return map.covered;
}

std::vector<testfonts::CmapGroup> groupsOf(std::span<const CodePointRange> runs) {
    std::vector<testfonts::CmapGroup> groups;
    std::uint32_t glyph = 1;
    for (const auto& run : runs) {
        groups.push_back({run.first, run.last, glyph});
        glyph += run.size();
    }
    return groups;
}

TEST(DecomposedForms, BaseLettersAndCombiningMarksWriteThePrecomposedLetters) {
    // ASCII letters, đ and Đ (letters of their own) and the combining marks.
    const auto face = mappedBy({{'A', 'Z', 1}, {'a', 'z', 27}, {0x110, 0x111, 53}, {0x300, 0x36F, 55}});
    const auto& vi = language("vi");
    const auto plain = measureLanguage(vi, LanguageLevel::base, face, DecomposedForms::notCounted);
    EXPECT_EQ(plain.covered, 46u);  // 22 letters in both cases, đ and Đ
    EXPECT_FALSE(plain.supported());
    const auto counted = measureLanguage(vi, LanguageLevel::base, face, DecomposedForms::counted);
    EXPECT_EQ(counted.covered, 178u);
    EXPECT_TRUE(counted.supported());
    const auto vietnamese = findLanguage("vi").value();
    EXPECT_FALSE(coverage::supportedLanguages(face, LanguageLevel::base, DecomposedForms::notCounted).test(vietnamese));
    EXPECT_TRUE(coverage::supportedLanguages(face, LanguageLevel::base, DecomposedForms::counted).test(vietnamese));

    // Without the horn, ơ and ư and their tones stay missing: 2 × 12.
    const auto hornless = without(face, U"\u031B");
    std::array<char32_t, 3> firstMissing{};
    const auto c = measureLanguage(vi, LanguageLevel::base, hornless, DecomposedForms::counted, firstMissing);
    EXPECT_EQ(c.total - c.covered, 24u);
    ASSERT_EQ(c.listed, 3u);
    EXPECT_EQ(firstMissing[0], U'Ơ');
    EXPECT_EQ(firstMissing[1], U'ơ');
    EXPECT_EQ(firstMissing[2], U'Ư');

    EXPECT_TRUE(coverage::coversCharacter(face, U'ệ', DecomposedForms::counted));
    EXPECT_FALSE(coverage::coversCharacter(face, U'ệ', DecomposedForms::notCounted));
    EXPECT_TRUE(coverage::coversCharacter(face, U'a', DecomposedForms::notCounted));
    EXPECT_FALSE(coverage::coversCharacter(face, U'ø', DecomposedForms::counted));  // no decomposition
}

TEST(DecomposedForms, PrecomposedLettersAloneDoNotWriteCombiningMarks) {
    const auto& vi = language("vi");
    const auto& yo = language("yo");
    // Every precomposed Vietnamese letter, no combining mark: supported
    // either way.
    const auto vietnamese = mappedBy(groupsOf(vi.base.required));
    for (const auto decomposed : {DecomposedForms::notCounted, DecomposedForms::counted}) {
        EXPECT_TRUE(measureLanguage(vi, LanguageLevel::base, vietnamese, decomposed).supported());
    }
    // Yoruba's letters precomposed (é, ẹ, ...) but not the acute, grave and
    // macron its {ẹ́} {m̀} {n̄} need: counting decompositions does not help,
    // as they go from a precomposed letter to its parts, not back.
    const auto yoruba = mappedBy(groupsOf(without(requiredRuns(yo, LanguageLevel::base), U"\u0300\u0301\u0304")));
    for (const auto decomposed : {DecomposedForms::notCounted, DecomposedForms::counted}) {
        std::array<char32_t, 4> firstMissing{};
        const auto c = measureLanguage(yo, LanguageLevel::base, yoruba, decomposed, firstMissing);
        EXPECT_EQ(c.covered, 74u);
        ASSERT_EQ(c.listed, 3u);
        EXPECT_EQ(std::u32string(firstMissing.begin(), firstMissing.begin() + 3), U"\u0300\u0301\u0304");
    }
}

}  // namespace
