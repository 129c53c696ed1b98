// The locales of one pinned CLDR version with their exemplar sets, from
// language_data.cpp, which scripts/make-language-data writes. The language
// answers (languages.h) are worked out from these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace coverage {

// The CLDR version of cldrLocales(); which languages there are, and what each
// requires, depend on it.
inline constexpr std::string_view kCldrVersion = "48.2.0";

// Every locale of that version with a non-empty main exemplar set.
inline constexpr std::size_t kCldrLocaleCount = 753;

struct CldrLocale {
    std::string_view tag;   // as CLDR writes it: "vi", "pt-PT", "sr-Latn", "ca-ES-valencia"
    std::string_view name;  // in English, as CLDR's display pattern builds it: "Portuguese (Portugal)"
    // Indices into cldrExemplarSets().
    std::uint16_t mainSet;
    std::uint16_t auxiliarySet;
};

// In ascending byte order of their tags.
std::span<const CldrLocale> cldrLocales();

// The exemplar sets of the locales, each distinct set once, in the
// UnicodeSet syntax that CLDR writes them in (exemplar_sets.h reads it).
std::span<const std::string_view> cldrExemplarSets();

}  // namespace coverage
