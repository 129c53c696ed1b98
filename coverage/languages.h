// Which languages a face can write: every locale of CLDR with a non-empty
// main exemplar set is a language, and a face supports it when its character
// map covers every code point that the language requires.
//
// What a language requires, from its exemplar sets: every code point of
// every item of the set (exemplar_sets.h), plus the simple uppercase mapping
// of each, minus the format characters (General_Category Cf: ZWJ, ZWNJ, the
// direction marks). At the base level that is the main set; at the
// auxiliary level the auxiliary set is added by the same rule.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "coverage/language_data.h"
#include "fontfile/code_points.h"

namespace coverage {

enum class LanguageLevel : std::uint8_t {
    base,       // the main exemplar set: the letters of everyday text
    auxiliary,  // and the auxiliary set: loanwords, names, foreign letters
};

// Whether a required character that a face does not map also counts as
// covered when the face maps every code point of its full canonical
// decomposition (a base letter and combining marks). That only writes the
// character when the font positions the marks, which the character map
// cannot tell.
enum class DecomposedForms : std::uint8_t { notCounted, counted };

// What a language requires at one level.
struct LanguageRequirement {
    std::span<const fontfile::CodePointRange> required;  // sorted, merged runs
    std::uint32_t count = 0;                             // the code points in `required`
    // The scripts of those code points (their Script values as Unicode spells
    // them), the one with the most code points first; Common and Inherited
    // (punctuation, combining marks) only for a language with no other.
    std::span<const std::string_view> scripts;
};

struct Language {
    std::string_view tag;   // as CLDR writes it: "vi", "pt-PT", "sr-Latn"
    std::string_view name;  // in English: "Vietnamese", "Portuguese (Portugal)"
    LanguageRequirement base;
    LanguageRequirement auxiliary;

    const LanguageRequirement& requirement(LanguageLevel level) const {
        return level == LanguageLevel::base ? base : auxiliary;
    }
};

// Every language, in the order of their tags (cldrLocales()). Built on first
// use; the spans stay valid for the life of the program.
std::span<const Language> languages();

// The index in languages() of the language that `word` names: by its tag,
// letters in either case and "_" for "-" ("vi", "sr-latn", "pt_PT"), or else
// by its English name, ASCII letters in either case ("Vietnamese",
// "portuguese (portugal)"). A tag is looked for first: "Ga" is Irish (ga);
// the language named Ga is "gaa". Nothing when no language is named so.
std::optional<std::size_t> findLanguage(std::string_view word);

// The indices in languages() of the `count` languages whose tag or English
// name is nearest to `word` in single-character edits (letters in either
// case), nearest first: what to offer for a word that names none.
std::vector<std::size_t> closestLanguages(std::string_view word, std::size_t count);

// The code points that one exemplar set requires by the rule above; nothing
// when the set cannot be read.
std::optional<std::vector<fontfile::CodePointRange>> requiredByExemplarSet(std::string_view set);

struct LanguageCoverage {
    std::uint32_t covered = 0;
    std::uint32_t total = 0;  // the language's required count
    std::size_t listed = 0;   // how many missing code points were written to the front of `firstMissing`

    bool supported() const { return total > 0 && covered == total; }
};

// How much of `language` at `level` a face covers whose character map maps
// `mapped` (sorted, disjoint runs, as the character map reader gives them).
// The code points it lacks are written, the first ones in increasing order,
// into `firstMissing` until that is full.
LanguageCoverage measureLanguage(const Language& language, LanguageLevel level,
                                 std::span<const fontfile::CodePointRange> mapped, DecomposedForms decomposed,
                                 std::span<char32_t> firstMissing = {});

// One bit for each language of languages(), in its order.
using LanguageSet = std::bitset<kCldrLocaleCount>;

// Every language that a face mapping `mapped` supports at `level`: the quick
// question for every language of every face. Each distinct requirement is
// tested once, by what it adds to a smaller one it holds, and stops at the
// first word of code points with one missing; nothing is allocated.
LanguageSet supportedLanguages(std::span<const fontfile::CodePointRange> mapped, LanguageLevel level,
                               DecomposedForms decomposed);

// Whether a face mapping `mapped` covers the character `c`, or with
// `counted` every code point of its full canonical decomposition.
bool coversCharacter(std::span<const fontfile::CodePointRange> mapped, char32_t c, DecomposedForms decomposed);

}  // namespace coverage
