// The text of font names as UTF-8: the encodings of name records decoded,
// ill-formed UTF-8 mended, and what no name may print raw, with the JSON
// string that keeps such a name on its line. Shared by everything that
// shows a font's names, so that they read alike wherever they are shown.
//
// Hand-written rather than taken from utfcpp: its replace_invalid gives one
// U+FFFD for a whole bad sequence and its continuation bytes, not one per
// maximal subpart, and its utf16to8 throws on an unpaired surrogate where a
// name must still be shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace fontfile {

// Windows names (platform 3) are UTF-16BE. Surrogate pairs are joined; an
// unpaired surrogate and an odd last byte become U+FFFD; U+0000 is kept.
std::string utf8FromUtf16be(std::span<const std::uint8_t> bytes);

// Macintosh names (platform 1, encoding 0) are Mac OS Roman: every byte
// becomes exactly one code point, as Unicode's ROMAN.TXT maps it.
std::string utf8FromMacRoman(std::string_view bytes);

// `bytes` with every ill-formed sequence replaced by U+FFFD, one for each
// maximal subpart (the practice the Unicode standard recommends), so that the
// result is valid UTF-8 and well-formed text is never changed.
std::string validUtf8(std::string_view bytes);

// The code points of well-formed UTF-8 (no overlong form, no surrogate,
// nothing above U+10FFFF); nothing when `bytes` are not that.
std::optional<std::u32string> decodeUtf8(std::string_view bytes);

void appendUtf8(std::string& out, char32_t codePoint);

// One character of UTF-8 text from `at` on: its bytes, and its code point
// when they are a well-formed sequence (else one byte and none).
struct Utf8Character {
    std::size_t length = 1;
    std::optional<char32_t> codePoint;
};
Utf8Character utf8CharacterAt(std::string_view text, std::size_t at);

// What a terminal or a line splitter acts on, and what no name may print
// raw: the C0 controls and DEL; in UTF-8 also the C1 controls (U+0080-009F:
// NEL, CSI, OSC), the line and paragraph separators U+2028 and U+2029, the
// bidi embeddings and overrides U+202A-202E and the isolates U+2066-2069.
bool isEscapedCodePoint(char32_t codePoint);

// A JSON string literal, quotes included, of UTF-8 text (pass other bytes
// through validUtf8 first: they are copied as they are). Escapes " and \,
// and writes every character that isEscapedCodePoint names as \uXXXX, so
// that each line of JSON stays one line for every consumer.
std::string jsonString(std::string_view utf8);

}  // namespace fontfile
