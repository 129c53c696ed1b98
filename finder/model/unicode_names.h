// The names of the characters, of the Unicode version the blocks are counted
// by (coverage::kUnicodeVersion), as the Finder lists the characters a font
// lacks: "LATIN CAPITAL LETTER A", "CJK UNIFIED IDEOGRAPH-4E00".
#pragma once

#include <string>

namespace finder {

// The character's name; empty for a code point without one (unassigned,
// private use, a surrogate, a control).
std::string characterName(char32_t codePoint);

// "U+00E9", "U+1F600".
std::string codePointLabel(char32_t codePoint);

}  // namespace finder
