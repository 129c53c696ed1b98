// Text for the Finder: the names of fonts decoded from their name tables
// into UTF-8, the UTF-16 of the window's edit boxes decoded into code points,
// and the quoting of the files and clipboard text the Finder writes.
//
// The name decoders and the JSON string writer follow meldrove-query's own
// (tools/query/text.h), which the Finder, beside the tool rather than above
// it, cannot include: the same rules, so that an exported line reads as the
// tool writes it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace finder {

// Windows names (platform 3) are UTF-16BE. Surrogate pairs are joined; an
// unpaired surrogate and an odd last byte become U+FFFD.
std::string utf8FromUtf16be(std::span<const std::uint8_t> bytes);

// Macintosh names (platform 1, encoding 0) are Mac OS Roman: every byte
// becomes exactly one code point, as Unicode's ROMAN.TXT maps it.
std::string utf8FromMacRoman(std::string_view bytes);

// `bytes` with every ill-formed sequence replaced by U+FFFD, one for each
// maximal subpart, so that the result is valid UTF-8.
std::string validUtf8(std::string_view bytes);

// The code points of UTF-16 text as an edit box holds it. An unpaired
// surrogate is no character anyone typed whole: it is left out.
std::u32string codePointsOfUtf16(std::u16string_view text);

void appendUtf8(std::string& out, char32_t codePoint);
std::string utf8Of(std::u32string_view text);

// A JSON string literal, quotes included, of UTF-8 text: " and \ escaped,
// and every control, C1 control, U+2028, U+2029 and bidi control written as
// \uXXXX, so that each JSON line stays one line for every reader.
std::string jsonString(std::string_view utf8);

// One field of a CSV record (RFC 4180): quoted, its quotes doubled, when it
// holds a comma, a quote, a carriage return or a line feed.
std::string csvField(std::string_view utf8);

// One field of a line of tab-separated text: a tab, a line break or a
// backslash in it written as \t, \n, \r or \\, so that it can neither split
// a row nor make one.
std::string tsvField(std::string_view utf8);

// A path the catalog joined with backslashes as this system writes it:
// with slashes but on Windows.
std::string systemPath(std::string path);

// 1907 as "1,907".
std::string withThousandsSeparators(std::uint64_t number);

}  // namespace finder
