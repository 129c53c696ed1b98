// The Unicode blocks a user can choose from, each with the bit of the OS/2
// Unicode-range words that declares support for it. The row index is the
// position in the block list.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace selection {

struct UnicodeBlock {
    char name[100];
    std::int32_t rangeBit;
};

inline constexpr int kBlockCount = 79;

// In ascending rangeBit order; bits 8, 12, 14, 27 and 58 have no row.
inline constexpr std::array<UnicodeBlock, kBlockCount> unicodeBlockTable{{
    {"Basic Latin", 0},
    {"Latin-1 Supplement", 1},
    {"Latin Extended-A", 2},
    {"Latin Extended-B", 3},
    {"IPA Extensions", 4},
    {"Spacing Modifier Letters", 5},
    {"Combining Diacritical Marks", 6},
    {"Greek", 7},
    {"Cyrillic", 9},
    {"Armenian", 10},
    {"Hebrew", 11},
    {"Arabic", 13},
    {"Devanagari", 15},
    {"Bengali", 16},
    {"Gurmukhi", 17},
    {"Gujarati", 18},
    {"Oriya", 19},
    {"Tamil", 20},
    {"Telugu", 21},
    {"Kannada", 22},
    {"Malayalam", 23},
    {"Thai", 24},
    {"Lao", 25},
    {"Georgian", 26},
    {"Hangul Jamo", 28},
    {"Latin Extended Additional", 29},
    {"Greek Extended", 30},
    {"General Punctuation", 31},
    {"Superscripts And Subscripts", 32},
    {"Currency Symbols", 33},
    {"Combining Diacritical Marks For Symbols", 34},
    {"Letterlike Symbols", 35},
    {"Number Forms", 36},
    {"Arrows", 37},
    {"Mathematical Operators", 38},
    {"Miscellaneous Technical", 39},
    {"Control Pictures", 40},
    {"Optical Character Recognition", 41},
    {"Enclosed Alphanumerics", 42},
    {"Box Drawing", 43},
    {"Block Elements", 44},
    {"Geometric Shapes", 45},
    {"Miscellaneous Symbols", 46},
    {"Dingbats", 47},
    {"CJK Symbols And Punctuation", 48},
    {"Hiragana", 49},
    {"Katakana", 50},
    {"Bopomofo", 51},
    {"Hangul Compatibility Jamo", 52},
    {"Kanbun", 53},
    {"Enclosed CJK Letters And Months", 54},
    {"CJK Compatibility", 55},
    {"Hangul", 56},
    {"Surrogates", 57},
    {"CJK Unified Ideographs", 59},
    {"Private Use Area", 60},
    {"CJK Compatibility Ideographs", 61},
    {"Alphabetic Presentation Forms", 62},
    {"Arabic Presentation Forms-A", 63},
    {"Combining Half Marks", 64},
    {"CJK Compatibility Forms", 65},
    {"Small Form Variants", 66},
    {"Arabic Presentation Forms-B", 67},
    {"Halfwidth And Fullwidth Forms", 68},
    {"Specials", 69},
    {"Tibetan", 70},
    {"Syriac", 71},
    {"Thaana", 72},
    {"Sinhala", 73},
    {"Myanmar", 74},
    {"Ethiopic", 75},
    {"Cherokee", 76},
    {"Unified Canadian Aboriginal Syllabics", 77},
    {"Ogham", 78},
    {"Runic", 79},
    {"Khmer", 80},
    {"Mongolian", 81},
    {"Braille Patterns", 82},
    {"Yi Syllables", 83},
}};

inline std::string_view blockName(int row) { return unicodeBlockTable[static_cast<std::size_t>(row)].name; }
inline std::int32_t blockRangeBit(int row) { return unicodeBlockTable[static_cast<std::size_t>(row)].rangeBit; }

}  // namespace selection
