#include "fontfile/character_map.h"

#include <algorithm>
#include <array>
#include <span>

#include "fontfile/sfnt.h"

namespace fontfile {

namespace {

constexpr std::size_t kCmapHeaderSize = 4;      // version, numTables
constexpr std::size_t kEncodingRecordSize = 8;  // platformID, encodingID, offset
// A subtable that the table's window does not hold is first read as much
// as a window holds: all of most subtables.
constexpr std::size_t kSubtableOpeningRead = kTableWindowSize;
// Formats 0, 4 and 6 start with format, length and language of 16 bits;
// formats 8 and up with format, reserved, then length and language of 32.
constexpr std::size_t kShortHeaderSize = 6;
constexpr std::size_t kLongHeaderSize = 12;
constexpr std::size_t kFormat0Glyphs = 256;
constexpr std::size_t kFormat4ArraysOffset = 14;  // endCode follows segCountX2..rangeShift
constexpr std::size_t kGroupSize = 12;            // startCharCode, endCharCode, glyph
constexpr char32_t kLastBmpCodePoint = 0xFFFF;

constexpr std::uint16_t kSymbolEncoding = 0;

struct EncodingRecord {
    std::uint16_t platformID = 0;
    std::uint16_t encodingID = 0;
    std::uint32_t offset = 0;  // from the start of the cmap table
};

struct Encoding {
    std::uint16_t platformID;
    std::uint16_t encodingID;
};

// Best first: full repertoire before the Basic Multilingual Plane alone.
constexpr std::array<Encoding, 8> kPreferredEncodings{
    {{3, 10}, {0, 6}, {0, 4}, {3, 1}, {0, 3}, {0, 2}, {0, 1}, {0, 0}}};

// Reasons for `damaged`, as a front end prints them.
constexpr const char* kDirectoryCutOff = "the table directory is cut off before the cmap record";
constexpr const char* kCmapHeaderCutOff = "the cmap table is cut off in its header";
constexpr const char* kSubtableOutside = "the cmap subtable's offset lies outside the file";
constexpr const char* kSubtableHeaderCutOff = "the cmap subtable is cut off in its header";
constexpr const char* kFormatNotRead = "the cmap subtable has a format that is not read";
constexpr const char* kOddSegCount = "the format 4 cmap subtable has an odd segment array size";
constexpr const char* kSegmentArraysCutOff = "the format 4 cmap subtable's segment arrays do not fit in it";

using Damage = const char*;  // null: none

// Mapped code points gathered as runs; each one that touches the run before
// extends it, and finish() puts the runs in order.
class RunBuilder {
public:
    void add(char32_t first, char32_t last) {
        if (!runs_.empty() && runs_.back().last + 1 == first) {
            runs_.back().last = last;
        } else {
            runs_.push_back({first, last});
        }
    }
    void add(char32_t codePoint) { add(codePoint, codePoint); }

    // Sorted, with overlapping and adjacent runs merged.
    std::vector<CodePointRange> finish() { return sortedAndMerged(std::move(runs_)); }

private:
    std::vector<CodePointRange> runs_;
};

// ---- One reader per format, over the subtable's bytes from its start ----

Damage readFormat0(std::span<const std::uint8_t> subtable, RunBuilder& runs) {
    BigEndianReader fields(subtable);
    if (!fields.skip(kShortHeaderSize)) return kSubtableHeaderCutOff;
    const auto glyphs = subtable.subspan(kShortHeaderSize, std::min(fields.remaining(), kFormat0Glyphs));
    for (std::size_t c = 0; c < glyphs.size(); ++c) {
        if (glyphs[c] != 0) runs.add(static_cast<char32_t>(c));
    }
    return nullptr;
}

struct Format4Segment {
    std::size_t index = 0;
    std::uint16_t end = 0;
    std::uint16_t start = 0;
    std::uint16_t idDelta = 0;
    std::uint16_t idRangeOffset = 0;
};

// The glyph of `codePoint` in `segment`; 0 when idRangeOffset leads outside
// the glyph array that follows the segment arrays.
std::uint16_t format4Glyph(const Format4Segment& segment, std::size_t segCount,
                           std::span<const std::uint8_t> glyphArray, char32_t codePoint) {
    if (segment.idRangeOffset == 0) return static_cast<std::uint16_t>(codePoint + segment.idDelta);
    // idRangeOffset counts bytes from its own entry, which stands
    // segCount - index entries before the glyph array.
    const auto at = std::int64_t{segment.idRangeOffset / 2} + (codePoint - segment.start) +
                    static_cast<std::int64_t>(segment.index) - static_cast<std::int64_t>(segCount);
    std::uint16_t glyph = 0;
    BigEndianReader entry(glyphArray);
    if (at < 0 || !entry.seek(2 * static_cast<std::size_t>(at)) || !entry.u16(glyph)) return 0;
    // A 0 in the array stays 0 whatever idDelta is.
    return glyph == 0 ? std::uint16_t{0} : static_cast<std::uint16_t>(glyph + segment.idDelta);
}

Damage readFormat4(std::span<const std::uint8_t> subtable, RunBuilder& runs) {
    BigEndianReader fields(subtable);
    std::uint16_t segCountX2 = 0;
    // segCountX2, then searchRange, entrySelector and rangeShift, which only a binary search would use
    if (!fields.skip(kShortHeaderSize) || !fields.u16(segCountX2) || !fields.skip(6)) return kSubtableHeaderCutOff;
    if (segCountX2 % 2 != 0) return kOddSegCount;
    const std::size_t segCount = segCountX2 / 2, arrayBytes = segCountX2;
    // endCode, reservedPad, startCode, idDelta and idRangeOffset, then the glyph array.
    const std::size_t arraysSize = 4 * arrayBytes + 2;
    if (arraysSize > fields.remaining()) return kSegmentArraysCutOff;
    const auto arrays = subtable.subspan(kFormat4ArraysOffset);
    BigEndianReader ends(arrays.first(arrayBytes));
    BigEndianReader starts(arrays.subspan(arrayBytes + 2, arrayBytes));
    BigEndianReader deltas(arrays.subspan(2 * arrayBytes + 2, arrayBytes));
    BigEndianReader rangeOffsets(arrays.subspan(3 * arrayBytes + 2, arrayBytes));
    const auto glyphArray = arrays.subspan(arraysSize);

    // A segment that reaches back into code points an earlier one covered
    // starts after them: no code point is looked at twice.
    char32_t firstUnvisited = 0;
    Format4Segment s;
    for (s.index = 0; s.index < segCount; ++s.index) {
        if (!ends.u16(s.end) || !starts.u16(s.start) || !deltas.u16(s.idDelta) || !rangeOffsets.u16(s.idRangeOffset)) {
            break;
        }
        const auto first = std::max<char32_t>(s.start, firstUnvisited);
        if (first > s.end) continue;
        firstUnvisited = char32_t{s.end} + 1;
        for (char32_t c = first; c <= s.end; ++c) {
            if (format4Glyph(s, segCount, glyphArray, c) != 0) runs.add(c);
        }
    }
    return nullptr;
}

Damage readFormat6(std::span<const std::uint8_t> subtable, RunBuilder& runs) {
    BigEndianReader fields(subtable);
    std::uint16_t firstCode = 0, entryCount = 0;
    if (!fields.skip(kShortHeaderSize) || !fields.u16(firstCode) || !fields.u16(entryCount)) {
        return kSubtableHeaderCutOff;
    }
    // Code points of 16 bits: an array running past U+FFFF ends there.
    const auto entries =
        std::min<std::size_t>({entryCount, fields.remaining() / 2, kLastBmpCodePoint + 1u - firstCode});
    for (std::size_t k = 0; k < entries; ++k) {
        std::uint16_t glyph = 0;
        if (fields.u16(glyph) && glyph != 0) runs.add(static_cast<char32_t>(firstCode + k));
    }
    return nullptr;
}

Damage readFormat10(std::span<const std::uint8_t> subtable, RunBuilder& runs) {
    BigEndianReader fields(subtable);
    std::uint32_t startCharCode = 0, numChars = 0;
    if (!fields.skip(kLongHeaderSize) || !fields.u32(startCharCode) || !fields.u32(numChars)) {
        return kSubtableHeaderCutOff;
    }
    if (startCharCode > kLastCodePoint) return nullptr;
    const auto entries = std::min<std::size_t>({numChars, fields.remaining() / 2, kLastCodePoint + 1u - startCharCode});
    for (std::size_t k = 0; k < entries; ++k) {
        std::uint16_t glyph = 0;
        if (fields.u16(glyph) && glyph != 0) runs.add(static_cast<char32_t>(startCharCode + k));
    }
    return nullptr;
}

// The code points of a format 12 or 13 group that have a glyph other than
// 0, clipped to kLastCodePoint. The formats differ in what the group's glyph
// means: the first of consecutive glyphs, or the one glyph of every code point.
template <bool oneGlyphPerGroup>
std::optional<CodePointRange> mappedPart(std::uint32_t first, std::uint32_t last, std::uint32_t glyph) {
    if (glyph == 0) {
        if (oneGlyphPerGroup || first >= last) return std::nullopt;
        ++first;  // consecutive glyphs: only the first code point has glyph 0
    }
    if (first > last || first > kLastCodePoint) return std::nullopt;
    return CodePointRange{first, std::min<char32_t>(last, kLastCodePoint)};
}

template <bool oneGlyphPerGroup>
Damage readGroups(std::span<const std::uint8_t> subtable, RunBuilder& runs) {
    BigEndianReader fields(subtable);
    std::uint32_t numGroups = 0;
    if (!fields.skip(kLongHeaderSize) || !fields.u32(numGroups)) return kSubtableHeaderCutOff;
    const auto groups = std::min<std::size_t>(numGroups, fields.remaining() / kGroupSize);
    for (std::size_t g = 0; g < groups; ++g) {
        std::uint32_t first = 0, last = 0, glyph = 0;
        if (!fields.u32(first) || !fields.u32(last) || !fields.u32(glyph)) break;
        if (const auto part = mappedPart<oneGlyphPerGroup>(first, last, glyph)) runs.add(part->first, part->last);
    }
    return nullptr;
}

struct FormatReader {
    std::uint16_t format;
    bool longHeader;
    Damage (*read)(std::span<const std::uint8_t>, RunBuilder&);
};

constexpr std::array<FormatReader, 6> kFormatReaders{{
    {0, false, readFormat0},
    {4, false, readFormat4},
    {6, false, readFormat6},
    {10, true, readFormat10},
    {12, true, readGroups<false>},
    {13, true, readGroups<true>},
}};

// Reads the subtable at `position` into `map`: its format, then its runs or
// why they cannot be read.
void readSubtable(TableWindow& source, std::uint64_t position, CharacterMap& map) {
    map.format.reset();
    map.damage = nullptr;
    // Speed: the header comes with the first bytes of the body, which for
    // most fonts are the whole subtable: one read rather than two, and none
    // when the table's first bytes hold it.
    const auto held = source.heldFrom(position).size();
    const std::size_t first = held >= kLongHeaderSize ? held : kSubtableOpeningRead;
    auto bytes = readUpTo(source, position, static_cast<std::uint32_t>(first), kFirstSubtableRead);
    BigEndianReader header(bytes);
    std::uint16_t format = 0;
    if (!header.u16(format)) {
        map.damage = bytes.empty() && position >= source.size() ? kSubtableOutside : kSubtableHeaderCutOff;
        return;
    }
    map.format = format;
    const auto reader = std::find_if(kFormatReaders.begin(), kFormatReaders.end(),
                                     [&](const FormatReader& r) { return r.format == format; });
    if (reader == kFormatReaders.end()) {
        map.damage = kFormatNotRead;
        return;
    }
    std::uint32_t length = 0;
    std::uint16_t shortLength = 0;
    const bool lengthRead = reader->longHeader ? header.skip(2) && header.u32(length) : header.u16(shortLength);
    if (!reader->longHeader) length = shortLength;
    if (!lengthRead) {
        map.damage = kSubtableHeaderCutOff;
        return;
    }
    if (length <= bytes.size()) {
        bytes.resize(length);
    } else if (bytes.size() == first) {  // the source goes on: the rest, as it delivers
        // The two reads together start as one first read would.
        const auto rest = readUpTo(source, position + bytes.size(), length - static_cast<std::uint32_t>(bytes.size()),
                                   kFirstSubtableRead - first);
        bytes.insert(bytes.end(), rest.begin(), rest.end());
    }
    RunBuilder runs;
    map.damage = reader->read(bytes, runs);
    if (!map.damage) map.covered = runs.finish();
}

int preferenceOf(const EncodingRecord& record) {
    const auto found = std::find_if(kPreferredEncodings.begin(), kPreferredEncodings.end(), [&](const Encoding& e) {
        return e.platformID == record.platformID && e.encodingID == record.encodingID;
    });
    return static_cast<int>(found - kPreferredEncodings.begin());  // kPreferredEncodings.size(): none
}

struct EncodingChoice {
    // The first record of each preferred kind, best first.
    std::vector<EncodingRecord> unicode;
    std::optional<EncodingRecord> symbol;  // the first (3, 0)
};

// The choice among the encoding records of the cmap table at `tableOffset`
// that are whole; nothing when the table's header is cut off.
std::optional<EncodingChoice> chooseEncodings(TableWindow& source, std::uint32_t tableOffset) {
    const auto header = readUpTo(source, tableOffset, kCmapHeaderSize, kFirstSubtableRead);
    BigEndianReader headerFields(header);
    std::uint16_t numTables = 0;
    if (!headerFields.skip(2) || !headerFields.u16(numTables)) return std::nullopt;
    const auto records = readUpTo(source, std::uint64_t{tableOffset} + kCmapHeaderSize,
                                  static_cast<std::uint32_t>(kEncodingRecordSize * numTables), kFirstSubtableRead);
    BigEndianReader fields(records);
    std::array<std::optional<EncodingRecord>, kPreferredEncodings.size()> firstOfKind;
    EncodingChoice choice;
    for (EncodingRecord r; fields.u16(r.platformID) && fields.u16(r.encodingID) && fields.u32(r.offset);) {
        const auto preference = static_cast<std::size_t>(preferenceOf(r));
        if (preference < firstOfKind.size() && !firstOfKind[preference]) firstOfKind[preference] = r;
        if (!choice.symbol && r.platformID == kWindowsPlatform && r.encodingID == kSymbolEncoding) choice.symbol = r;
    }
    for (const auto& record : firstOfKind) {
        if (record) choice.unicode.push_back(*record);
    }
    return choice;
}

CharacterMap damaged(const char* why) {
    CharacterMap map;
    map.outcome = CharacterMap::Outcome::damaged;
    map.damage = why;
    return map;
}

// Tries the Unicode subtables of `choice` in turn into `map` until one can
// be used; true when one could. A subtable at an offset already tried fails
// as it did without being read again.
bool readFirstUsable(TableWindow& table, std::uint32_t tableOffset, const EncodingChoice& choice, CharacterMap& map) {
    std::vector<std::pair<std::uint32_t, PassedOverSubtable>> tried;
    for (const auto& record : choice.unicode) {
        map.platformID = record.platformID;
        map.encodingID = record.encodingID;
        const auto before =
            std::find_if(tried.begin(), tried.end(), [&](const auto& t) { return t.first == record.offset; });
        if (before != tried.end()) {
            map.passedOver.push_back({record.platformID, record.encodingID, before->second.format, before->second.why});
            continue;
        }
        readSubtable(table, std::uint64_t{tableOffset} + record.offset, map);
        if (!map.damage) return true;
        map.passedOver.push_back({record.platformID, record.encodingID, map.format, map.damage});
        tried.push_back({record.offset, map.passedOver.back()});
    }
    return false;
}

}  // namespace

CharacterMap parseCharacterMap(ByteSource& source, std::uint64_t directoryPosition) {
    using Outcome = CharacterMap::Outcome;
    const auto scan = scanTableDirectory(source, directoryPosition, kCmapTag);
    if (scan.outcome == TableScan::Outcome::shortRecord) return damaged(kDirectoryCutOff);
    CharacterMap map;
    if (scan.outcome == TableScan::Outcome::notFound) return map;

    TableWindow table(source, scan.offset);
    const auto choice = chooseEncodings(table, scan.offset);
    if (!choice) return damaged(kCmapHeaderCutOff);
    if (readFirstUsable(table, scan.offset, *choice, map)) {
        map.outcome = Outcome::unicode;
        return map;
    }
    if (choice->symbol) {
        map.outcome = Outcome::symbolOnly;
        map.platformID = choice->symbol->platformID;
        map.encodingID = choice->symbol->encodingID;
        map.format.reset();
        map.damage = nullptr;
        return map;
    }
    if (map.passedOver.empty()) {
        map.outcome = Outcome::noUnicodeSubtable;
        return map;
    }
    // None could be used: the most preferred one tells why.
    const auto& best = map.passedOver.front();
    map.outcome = Outcome::damaged;
    map.platformID = best.platformID;
    map.encodingID = best.encodingID;
    map.format = best.format;
    map.damage = best.why;
    return map;
}

}  // namespace fontfile
