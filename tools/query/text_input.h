// Text a user gives the tool to look for, from the command line, a file or
// standard input: decoded, with what no font needs to draw left out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fontfile/code_points.h"

namespace query {

// The longest text file read: far beyond any text a person pastes, short of
// what would take the memory of a machine.
inline constexpr std::size_t kMaxTextFile = 64 * 1024 * 1024;

// The code points of a text file's bytes: UTF-16 (either byte order) when it
// starts with a byte order mark, UTF-8 otherwise (its mark, if any, left
// out); or why the bytes are neither.
std::variant<std::u32string, std::string> decodeTextFile(std::string_view bytes);

// The bytes of the file at `utf8Path`, or of standard input for "-"; or why
// they cannot be read.
std::variant<std::string, std::string> readTextFile(std::string_view utf8Path);

// Whether a character of a text is one to look for: not a control character
// (Cc: line breaks, tabs) and not a format character (Cf: ZWJ, ZWNJ, the
// direction marks), which no font needs to draw.
bool isDrawn(char32_t codePoint);

// The sorted, merged runs of the drawn characters of `text`.
std::vector<fontfile::CodePointRange> drawnCodePoints(std::u32string_view text);

}  // namespace query
