// What a face's declared range bits get wrong, measured against its
// character map and against what its OS/2 version lets each bit mean.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/font_catalog.h"

namespace coverage {

enum class FindingKind {
    sparse,      // a bit set whose block the character map barely covers
    undeclared,  // a bit clear whose block the character map covers as a font that sets it would
    reserved,    // a bit set that the font's OS/2 version reserves
    changed,     // a bit set that the font's OS/2 version gives another meaning
    shaping,     // a block of a script that needs shaping, covered at least half, without the layout it needs
};

// "sparse", "undeclared", "reserved", "changed" or "shaping".
std::string_view findingName(FindingKind kind);

struct Finding {
    FindingKind kind = FindingKind::sparse;
    std::int32_t bit = 0;
    std::string block;   // the coverage row's name; for reserved and changed the block list's, or empty
    // "<covered>/<total> covered", what the version says of the bit, or for
    // shaping "<covered>/<total> covered; undeclared <script>:<feature>,...".
    std::string detail;
};

// A declared block covered below this percentage is sparse; an undeclared
// one covered at least the other is undeclared. A row that any one code
// point declares (bit 57) is sparse with none covered, undeclared with one.
inline constexpr std::uint32_t kSparsePercent = 10;
inline constexpr std::uint32_t kUndeclaredPercent = 50;
// A block of a script that needs shaping, covered at least this much, is one
// the font is meant to set: its layout must declare what the script needs.
inline constexpr std::uint32_t kShapedPercent = 50;

// The findings of one face, by ascending bit. A face without an OS/2 table
// has no bits to check, and no findings. Shaping is checked only for a face
// whose layout tables were read.
std::vector<Finding> auditFace(const inventory::CatalogFace& face);

}  // namespace coverage
