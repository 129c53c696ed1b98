// What each bit of the OS/2 Unicode-range words meant in each version of the
// OS/2 table, for the fonts whose declared bits would otherwise be read with
// today's meaning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace coverage {

enum class BitStatus : std::uint8_t {
    assigned,  // means what the bit's coverage row counts
    reserved,  // has no meaning in that version
    changed,   // means something else in that version
};

struct BitMeaning {
    BitStatus status;
    // The coverage row's name when assigned, the other meaning when
    // changed, empty when reserved.
    std::string_view name;
    // The index in coverageRows() of the row counting that meaning, if one
    // does: always when assigned, Phags-pa alone of the changed meanings.
    std::optional<std::size_t> row;
};

// What `bit` of ulUnicodeRange1-4 means in an OS/2 table of `os2Version`,
// measured against its coverage row: the block list's row where there is
// one (bit 53 is Kanbun), else today's OpenType meaning.
BitMeaning bitMeaning(int bit, std::uint16_t os2Version);

}  // namespace coverage
