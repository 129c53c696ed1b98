// What the language rule, and the text work that comes after it, need to
// know of one code point: its simple uppercase mapping, its full canonical
// decomposition, whether it is a format character (Cf) or a nonspacing mark
// (Mn), and its script. All of it from the pinned Unicode version
// (character_data.h).
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "coverage/character_data.h"

namespace coverage {

// The simple (one code point to one) uppercase mapping of `c`; `c` itself
// when it has none. So ß and ŉ map to themselves, their uppercase forms being
// the strings "SS" and "ʼN", and Turkish dotless ı maps to I as i does.
char32_t simpleUppercase(char32_t c);

// General_Category Cf: ZWJ, ZWNJ, the direction marks, the Arabic number signs.
bool isFormatCharacter(char32_t c);
// General_Category Mn: the combining marks that take no room of their own.
bool isNonspacingMark(char32_t c);

// The full canonical decomposition of one code point: its decomposition
// mapping applied until nothing decomposes further, in the order the
// mappings give. A code point without one decomposes into itself alone.
struct FullDecomposition {
    std::array<char32_t, kMaxDecompositionLength> parts{};
    std::size_t size = 0;

    std::span<const char32_t> codePoints() const& { return std::span<const char32_t>(parts).first(size); }
    // A view into a temporary would outlive it.
    std::span<const char32_t> codePoints() const&& = delete;
};
FullDecomposition fullCanonicalDecomposition(char32_t c);

// The Script value of `c`, as an index into scriptNames() and as Unicode
// spells it ("Latin", "Devanagari", "Common" for punctuation, "Inherited" for
// most combining marks, "Unknown" for an unassigned code point).
std::size_t scriptIndex(char32_t c);
std::string_view scriptName(char32_t c);

}  // namespace coverage
