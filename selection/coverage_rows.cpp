#include "selection/coverage_rows.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <vector>

#include "platform/ascii.h"
#include "selection/unicode_blocks.h"
#include "selection/unicode_data.h"

namespace selection {

namespace {

using fontfile::CodePointRange;

// Rows of the block list named otherwise than the Unicode block they count.
struct Renamed {
    std::string_view row;
    std::string_view block;
};
constexpr Renamed kRenamed[] = {
    {"Greek", "Greek and Coptic"},
    {"Hangul", "Hangul Syllables"},
};

// Bit 57 declares support beyond the Basic Multilingual Plane as a whole, so
// its row counts every assigned code point above U+FFFF rather than the
// surrogate code points that reach them, and one of them is enough to set it.
constexpr std::string_view kBeyondPlane0Row = "Surrogates";
constexpr std::string_view kBeyondPlane0Spans = "every block from U+10000 on";

// The bits the block list leaves out, as OpenType names them today (the name
// of the first block a bit lists) and the Blocks.txt names of the blocks each
// one lists, whose union it counts.
struct ExtraRow {
    std::int32_t bit;
    std::string_view name;
    std::string_view blocks;  // separated by ", "
};
constexpr ExtraRow kExtraRows[] = {
    {8, "Coptic", "Coptic"},
    {12, "Vai", "Vai"},
    {14, "NKo", "NKo"},
    {27, "Balinese", "Balinese"},
    {53, "Phags-pa", "Phags-pa"},
    {58, "Phoenician", "Phoenician"},
    {84, "Tagalog", "Tagalog, Hanunoo, Buhid, Tagbanwa"},
    {85, "Old Italic", "Old Italic"},
    {86, "Gothic", "Gothic"},
    {87, "Deseret", "Deseret"},
    {88, "Byzantine Musical Symbols", "Byzantine Musical Symbols, Musical Symbols, Ancient Greek Musical Notation"},
    {89, "Mathematical Alphanumeric Symbols", "Mathematical Alphanumeric Symbols"},
    {90, "Private Use (plane 15)", "Supplementary Private Use Area-A, Supplementary Private Use Area-B"},
    {91, "Variation Selectors", "Variation Selectors, Variation Selectors Supplement"},
    {92, "Tags", "Tags"},
    {93, "Limbu", "Limbu"},
    {94, "Tai Le", "Tai Le"},
    {95, "New Tai Lue", "New Tai Lue"},
    {96, "Buginese", "Buginese"},
    {97, "Glagolitic", "Glagolitic"},
    {98, "Tifinagh", "Tifinagh"},
    {99, "Yijing Hexagram Symbols", "Yijing Hexagram Symbols"},
    {100, "Syloti Nagri", "Syloti Nagri"},
    {101, "Linear B Syllabary", "Linear B Syllabary, Linear B Ideograms, Aegean Numbers"},
    {102, "Ancient Greek Numbers", "Ancient Greek Numbers"},
    {103, "Ugaritic", "Ugaritic"},
    {104, "Old Persian", "Old Persian"},
    {105, "Shavian", "Shavian"},
    {106, "Osmanya", "Osmanya"},
    {107, "Cypriot Syllabary", "Cypriot Syllabary"},
    {108, "Kharoshthi", "Kharoshthi"},
    {109, "Tai Xuan Jing Symbols", "Tai Xuan Jing Symbols"},
    {110, "Cuneiform", "Cuneiform, Cuneiform Numbers and Punctuation"},
    {111, "Counting Rod Numerals", "Counting Rod Numerals"},
    {112, "Sundanese", "Sundanese"},
    {113, "Lepcha", "Lepcha"},
    {114, "Ol Chiki", "Ol Chiki"},
    {115, "Saurashtra", "Saurashtra"},
    {116, "Kayah Li", "Kayah Li"},
    {117, "Rejang", "Rejang"},
    {118, "Cham", "Cham"},
    {119, "Ancient Symbols", "Ancient Symbols"},
    {120, "Phaistos Disc", "Phaistos Disc"},
    {121, "Carian", "Carian, Lycian, Lydian"},
    {122, "Domino Tiles", "Domino Tiles, Mahjong Tiles"},
};

const UnicodeBlockData* findUnicodeBlock(std::string_view name) {
    for (const auto& block : unicodeBlocks()) {
        if (platform::equalIgnoringAsciiCase(block.name, name)) return &block;
    }
    return nullptr;
}

// The rows' runs live in one vector, each row's runs side by side, merged
// where two blocks' runs touch.
class RowBuilder {
public:
    void begin() {
        extents_.push_back({runs_.size(), 0});
        count_ = 0;
    }

    void add(const UnicodeBlockData& block) {
        for (const auto& run : assignedRuns(block)) {
            auto& extent = extents_.back();
            if (extent.count > 0 && runs_.back().last + 1 == run.first) {
                runs_.back().last = run.last;
            } else {
                runs_.push_back(run);
                ++extent.count;
            }
            count_ += run.size();
        }
    }

    std::uint32_t count() const { return count_; }

    // Spans into the runs, once every row is in.
    std::span<const CodePointRange> runsOf(std::size_t row) const {
        return std::span<const CodePointRange>(runs_).subspan(extents_[row].start, extents_[row].count);
    }

private:
    struct Extent {
        std::size_t start;
        std::size_t count;
    };
    std::vector<CodePointRange> runs_;
    std::vector<Extent> extents_;
    std::uint32_t count_ = 0;
};

constexpr int kBits = 128;

struct Rows {
    RowBuilder builder;
    std::vector<CoverageRow> rows;
    std::array<std::optional<std::size_t>, kBits> firstOfBit;
};

// A block list row: its Unicode block under its own or its renamed name.
void addListRow(RowBuilder& builder, std::vector<CoverageRow>& rows, int index) {
    const auto name = blockName(index);
    CoverageRow row{name, blockRangeBit(index), true};
    builder.begin();
    if (name == kBeyondPlane0Row) {
        for (const auto& block : unicodeBlocks()) {
            if (block.first > 0xFFFF) builder.add(block);
        }
        row.spans = kBeyondPlane0Spans;
        row.declaredByAny = true;
    } else {
        auto blockName = name;
        for (const auto& renamed : kRenamed) {
            if (renamed.row == name) blockName = renamed.block;
        }
        // A name that matches no block leaves the row empty, which the tests
        // refuse.
        if (const auto* block = findUnicodeBlock(blockName)) {
            builder.add(*block);
            row.spans = block->name;
        }
    }
    row.assignedCount = builder.count();
    rows.push_back(row);
}

void addExtraRow(RowBuilder& builder, std::vector<CoverageRow>& rows, const ExtraRow& extra) {
    std::vector<const UnicodeBlockData*> blocks;
    for (auto rest = extra.blocks; !rest.empty();) {
        const auto comma = rest.find(", ");
        if (const auto* block = findUnicodeBlock(rest.substr(0, comma))) blocks.push_back(block);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 2);
    }
    // A bit lists its blocks in its own order; the runs must ascend.
    std::sort(blocks.begin(), blocks.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
    builder.begin();
    for (const auto* block : blocks) builder.add(*block);
    rows.push_back({extra.name, extra.bit, false, {}, builder.count(), extra.blocks});
}

Rows buildRows() {
    Rows built;
    for (int index = 0; index < kBlockCount; ++index) addListRow(built.builder, built.rows, index);
    for (const auto& extra : kExtraRows) addExtraRow(built.builder, built.rows, extra);
    for (std::size_t i = 0; i < built.rows.size(); ++i) {
        auto& row = built.rows[i];
        row.assigned = built.builder.runsOf(i);
        auto& first = built.firstOfBit[static_cast<std::size_t>(row.rangeBit)];
        if (!first) first = i;
    }
    return built;
}

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

// The row that counts a changed meaning: one of the bits the block list
// leaves out (Phags-pa), or none for the meanings of version 1 alone.
std::optional<std::size_t> extraRowNamed(std::string_view name) {
    for (std::size_t i = 0; i < std::size(kExtraRows); ++i) {
        if (kExtraRows[i].name == name) return static_cast<std::size_t>(kBlockCount) + i;
    }
    return std::nullopt;
}

const Rows& rowsBuilt() {
    static const Rows built = buildRows();
    return built;
}

}  // namespace

std::span<const CoverageRow> coverageRows() { return rowsBuilt().rows; }

std::optional<std::size_t> firstRowOfBit(int bit) {
    if (bit < 0 || bit >= kBits) return std::nullopt;
    return rowsBuilt().firstOfBit[static_cast<std::size_t>(bit)];
}

std::optional<std::size_t> findCoverageRow(std::string_view name) {
    const auto rows = coverageRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (platform::equalIgnoringAsciiCase(rows[i].name, name)) return i;
    }
    return std::nullopt;
}

BitMeaning bitMeaning(int bit, std::uint16_t os2Version) {
    os2Version = std::max<std::uint16_t>(os2Version, 1);  // version 0 tables took version 1's assignments
    for (const auto& spell : kReservedSpells) {
        if (spell.bit == bit && spell.version == os2Version) return {BitStatus::reserved, {}, {}};
    }
    for (const auto& other : kOtherMeanings) {
        if (other.bit == bit && os2Version >= other.fromVersion && os2Version <= other.toVersion) {
            return {BitStatus::changed, other.name, extraRowNamed(other.name)};
        }
    }
    const auto first = firstVersionAssigning(bit);
    if (!first || os2Version < *first) return {BitStatus::reserved, {}, {}};
    const auto row = firstRowOfBit(bit);  // every bit a version assigns has one
    return {BitStatus::assigned, row ? coverageRows()[*row].name : std::string_view(), row};
}

}  // namespace selection
