// Text for the Finder: the names of fonts decoded from their name tables
// into UTF-8, the UTF-16 of the window's edit boxes decoded into code points,
// and the quoting of the files and clipboard text the Finder writes.
//
// The name decoders and the JSON string writer are the ones meldrove-query
// uses, so that an exported line reads as the tool writes it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "fontfile/name_text.h"
#include "inventory/font_catalog.h"

namespace finder {

// The names' text, as meldrove-query shows it (fontfile/name_text.h).
using fontfile::appendUtf8;
using fontfile::jsonString;
using fontfile::utf8FromMacRoman;
using fontfile::utf8FromUtf16be;
using fontfile::validUtf8;
using inventory::systemPath;

// The code points of UTF-16 text as an edit box holds it. An unpaired
// surrogate is no character anyone typed whole: it is left out.
std::u32string codePointsOfUtf16(std::u16string_view text);

std::string utf8Of(std::u32string_view text);

// One field of a CSV record (RFC 4180): quoted, its quotes doubled, when it
// holds a comma, a quote, a carriage return or a line feed.
std::string csvField(std::string_view utf8);

// One field of a line of tab-separated text: a tab, a line break or a
// backslash in it written as \t, \n, \r or \\, so that it can neither split
// a row nor make one.
std::string tsvField(std::string_view utf8);

// 1907 as "1,907".
std::string withThousandsSeparators(std::uint64_t number);

}  // namespace finder
