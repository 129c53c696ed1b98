#include "coverage/bit_meanings.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "coverage/coverage_rows.h"

namespace coverage {

namespace {

// Which bit means what in which OS/2 version. Sources:
//  - OpenType 1.9's OS/2 chapter: today's table, its notes on the revision
//    that first assigned each bit, and its history by version (version 0 was
//    defined with no assignments; version 1, of Unicode 1.1's day, assigned
//    bits 0-69 only, with bits 8, 12, 14 and 27 as "Greek Symbols and
//    Coptic", "Hebrew Extended", "Arabic Extended" and "Georgian Extended";
//    versions 1 and 2 had bit 53 as "CJK Miscellaneous", no well-defined
//    range; OpenType 1.3 added bits 57 and 70-83 to version 2; version 3
//    (OpenType 1.4) added 84-91; version 4 (OpenType 1.5) added 58 and
//    92-122 and re-assigned 8, 12, 14, 27 and 53).
//  - OpenType 1.4's OS/2 chapter: bit 53 reserved, Kanbun moved to bit 59.
//  - The TrueType 1.0 OS/2 table of the Windows 95 and 98 DDKs: the
//    Unicode 1.1 assignments in version 0 tables, and bits 57 and 58 as
//    "Hangul Supplementary-A" and "-B".
// Where they disagree:
//  - version 0 reads as version 1: the TrueType 1.0 table gave version 0
//    tables the same Unicode 1.1 assignments, and real version 0 fonts set
//    their bits by it (OpenType 1.9 lists no assignments for version 0, which
//    would make every bit of such a font a finding);
//  - bit 53 in versions 1 and 2 is Kanbun, as the block list and the Windows
//    documentation of its day call it: "CJK Miscellaneous" of the old table
//    stood for U+3190-319F, the Kanbun block; version 3 reserved the bit and
//    version 4 gave it to Phags-pa;
//  - bit 92 (Tags) in version 3: reserved, as the history by version has it,
//    though the notes to the table date it to OpenType 1.4;
//  - bits 57 and 58 in version 1: reserved (OpenType), not Hangul
//    Supplementary-A and -B (TrueType 1.0); either way not their row.
// Bits 70-83 count as version 2's although OpenType 1.2 had them reserved:
// they never meant anything else. Bit 56 likewise, though Unicode 1.1 kept
// Hangul syllables elsewhere. Versions past 4 assign what version 4 does.

// The first version in which `bit` means its row; nothing for a bit no
// version gives that meaning.
constexpr std::optional<std::uint16_t> firstVersionAssigning(int bit) {
    switch (bit) {
        case 57:
            return 2;
        case 8:
        case 12:
        case 14:
        case 27:
        case 58:
            return 4;
        default:
            break;
    }
    if (bit < 0) return std::nullopt;
    if (bit < 70) return 1;
    if (bit < 84) return 2;
    if (bit < 92) return 3;
    if (bit < 123) return 4;
    return std::nullopt;  // 123-127 are for processes, never for fonts
}

struct OtherMeaning {
    int bit;
    std::uint16_t fromVersion;
    std::uint16_t toVersion;
    std::string_view name;
};
constexpr std::uint16_t kLastVersion = 0xFFFF;
constexpr OtherMeaning kOtherMeanings[] = {
    {8, 1, 1, "Greek Symbols and Coptic"},  // with bit 7 as "Basic Greek"
    {12, 1, 1, "Hebrew Extended"},          // with bit 11 as "Basic Hebrew"
    {14, 1, 1, "Arabic Extended"},          // with bit 13 as "Basic Arabic"
    {27, 1, 1, "Georgian Extended"},        // with bit 26 as "Basic Georgian"
    {53, 4, kLastVersion, "Phags-pa"},      // Kanbun having gone to bit 59
};

// Bits a version took back without giving them another meaning yet.
struct ReservedSpell {
    int bit;
    std::uint16_t version;
};
constexpr ReservedSpell kReservedSpells[] = {
    {53, 3},  // Kanbun gone to bit 59, Phags-pa not yet come
};

// The row that counts each changed meaning: one of the bits the block list
// leaves out (Phags-pa), or none for the meanings of version 1 alone. Found
// once, not at every question.
std::optional<std::size_t> rowOfOtherMeaning(std::size_t index) {
    static const auto rows = [] {
        std::array<std::optional<std::size_t>, std::size(kOtherMeanings)> found;
        for (std::size_t i = 0; i < found.size(); ++i) found[i] = findCoverageRow(kOtherMeanings[i].name);
        return found;
    }();
    return rows[index];
}

}  // namespace

BitMeaning bitMeaning(int bit, std::uint16_t os2Version) {
    os2Version = std::max<std::uint16_t>(os2Version, 1);  // version 0 tables took version 1's assignments
    for (const auto& spell : kReservedSpells) {
        if (spell.bit == bit && spell.version == os2Version) return {BitStatus::reserved, {}, {}};
    }
    for (std::size_t i = 0; i < std::size(kOtherMeanings); ++i) {
        const auto& other = kOtherMeanings[i];
        if (other.bit == bit && os2Version >= other.fromVersion && os2Version <= other.toVersion) {
            return {BitStatus::changed, other.name, rowOfOtherMeaning(i)};
        }
    }
    const auto first = firstVersionAssigning(bit);
    if (!first || os2Version < *first) return {BitStatus::reserved, {}, {}};
    const auto row = firstRowOfBit(bit);  // every bit a version assigns has one
    return {BitStatus::assigned, row ? coverageRows()[*row].name : std::string_view(), row};
}

}  // namespace coverage
