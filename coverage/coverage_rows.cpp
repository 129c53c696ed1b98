#include "coverage/coverage_rows.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <vector>

#include "coverage/unicode_data.h"
#include "platform/ascii.h"
#include "selection/unicode_blocks.h"

namespace coverage {

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
        nameExtents_.push_back({names_.size(), 0});
        count_ = 0;
    }

    void add(const UnicodeBlockData& block) {
        names_.push_back(block.name);
        ++nameExtents_.back().count;
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

    // Spans into the runs and the block names, once every row is in.
    std::span<const CodePointRange> runsOf(std::size_t row) const {
        return std::span<const CodePointRange>(runs_).subspan(extents_[row].start, extents_[row].count);
    }
    std::span<const std::string_view> namesOf(std::size_t row) const {
        return std::span<const std::string_view>(names_).subspan(nameExtents_[row].start, nameExtents_[row].count);
    }

private:
    struct Extent {
        std::size_t start;
        std::size_t count;
    };
    std::vector<CodePointRange> runs_;
    std::vector<Extent> extents_;
    std::vector<std::string_view> names_;
    std::vector<Extent> nameExtents_;
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
    const auto name = selection::blockName(index);
    CoverageRow row{name, selection::blockRangeBit(index), true};
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
    rows.push_back({extra.name, extra.bit, false, {}, builder.count(), extra.blocks, {}});
}

Rows buildRows() {
    Rows built;
    for (int index = 0; index < selection::kBlockCount; ++index) addListRow(built.builder, built.rows, index);
    for (const auto& extra : kExtraRows) addExtraRow(built.builder, built.rows, extra);
    for (std::size_t i = 0; i < built.rows.size(); ++i) {
        auto& row = built.rows[i];
        row.assigned = built.builder.runsOf(i);
        row.blocks = built.builder.namesOf(i);
        auto& first = built.firstOfBit[static_cast<std::size_t>(row.rangeBit)];
        if (!first) first = i;
    }
    return built;
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

}  // namespace coverage
