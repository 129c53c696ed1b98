// Reads the sets of characters that CLDR writes for each locale (its
// exemplar characters) in the UnicodeSet syntax, for the code points their
// items hold.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "fontfile/code_points.h"

namespace coverage {

// The code points of every item of `set`, sorted and merged: each single
// character, each character of each {multi-character string}, each code
// point of each range a-b.
//
// The set is one pair of brackets around its items, as UTF-8. White space
// (Pattern_White_Space, which takes in the direction marks U+200E and
// U+200F) between and within items is skipped. A character stands for
// itself but for [ ] { } - \ ^ & $, which have to be escaped; "-" stands for
// itself first or last in the set, and inside a {string} only } and \ are
// special. The escapes: \uXXXX, \UXXXXXXXX, \u{X...}, \x{X...}, \xXX (an
// escaped surrogate pair is one code point), \a \b \e \f \n \r \t \v, and a
// backslash before any character but another letter or a digit, which then
// stands for itself ("\-", "\:", "\\", "\ ").
//
// Nothing for any other text: a missing bracket or text after the last one,
// the other forms of set (negation, nested sets, properties \p{...} and
// [:...:], named characters \N{...}, set operations), a range whose ends are
// not single characters in ascending order, an empty or unclosed string,
// invalid UTF-8, a lone surrogate or a code point past U+10FFFF.
std::optional<std::vector<fontfile::CodePointRange>> exemplarCodePoints(std::string_view set);

}  // namespace coverage
