// The code points a font maps to glyphs, read from the best Unicode subtable
// of its cmap table. What is read is exactly what makes coverage: no glyph
// ids are kept, and a code point mapped to glyph 0 is not covered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "fontfile/byte_source.h"
#include "fontfile/code_points.h"

namespace fontfile {

// A subtable is read this many bytes at first, then in doubling steps only
// while the source keeps delivering: a length that lies costs at most about
// twice the bytes that are there.
inline constexpr std::size_t kFirstSubtableRead = 64 * 1024;

// A Unicode subtable that was preferred to the one used but could not be
// used itself, and why.
struct PassedOverSubtable {
    std::uint16_t platformID = 0;
    std::uint16_t encodingID = 0;
    std::optional<std::uint16_t> format;  // once its header was read
    const char* why = nullptr;            // a short plain-English note, never null
};

struct CharacterMap {
    enum class Outcome {
        unicode,            // `covered` is what the chosen subtable maps
        symbolOnly,         // the only usable subtable is a Windows symbol one (3, 0)
        noUnicodeSubtable,  // a cmap table without any of the subtables looked for
        noCmapTable,        // no cmap record among the directory's first 40
        damaged,            // no Unicode subtable (or nothing that leads to one) is readable: see `damage`
    };
    Outcome outcome = Outcome::noCmapTable;
    // Sorted, disjoint, adjacent runs merged, none past kLastCodePoint;
    // empty unless the outcome is `unicode`.
    std::vector<CodePointRange> covered;
    // The encoding record chosen (the symbol one for symbolOnly), and the
    // format of its subtable once that was read.
    std::uint16_t platformID = 0;
    std::uint16_t encodingID = 0;
    std::optional<std::uint16_t> format;
    // For `damaged`: why, as a short plain-English note; otherwise null.
    // When every Unicode subtable was passed over, the reason of the most
    // preferred one, whose encoding and format the fields above then hold.
    const char* damage = nullptr;
    // The Unicode subtables tried before the one chosen and passed over, in
    // the order they were tried; for `damaged` and `symbolOnly`, every one
    // tried. Empty when the first one tried could be used.
    std::vector<PassedOverSubtable> passedOver;
};

// Reads the character map of the font whose table directory starts at
// `directoryPosition` (0 for a single font, the member's offset in a
// collection). Of its encoding records the first of each kind is tried, in
// the order (3,10), (0,6), (0,4), (3,1), (0,3), (0,2), (0,1), (0,0), and the
// first that can be used is chosen, as a renderer passes over a subtable it
// cannot use; formats 0, 4, 6, 10, 12 and 13 are read. A (3,0) symbol
// subtable is taken only when no Unicode one can be used. At most one try
// per kind, and none twice at one offset: the work is that of at most eight
// subtables, however many records the table has.
//
// A subtable cannot be used when its offset lies outside the file or damage
// leaves its layout unknown, before any entry: a header cut off, a format 4
// whose segCountX2 is odd or whose segment arrays do not fit, a format that
// is not read. A table directory or a cmap header cut off gives `damaged` at
// once, there being no subtable to fall back on. Damage to a
// list of independent entries is clamped silently, the entries that are
// whole being good data: a length past the end of the source ends the
// subtable there, glyph arrays and groups keep the entries that fit, a
// format 4 glyph lookup outside its glyph array maps nothing, and encoding
// records cut off are not considered.
CharacterMap parseCharacterMap(ByteSource& source, std::uint64_t directoryPosition);

}  // namespace fontfile
