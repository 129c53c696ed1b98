#include "fontfile/sfnt.h"

#include <algorithm>

namespace fontfile {

UnicodeRangeSet rangesOf(const Os2Prefix& prefix) {
    UnicodeRangeSet ranges{};
    BigEndianReader reader(prefix);
    reader.seek(kUnicodeRangeOffset);
    for (auto& word : ranges) reader.u32(word);  // the prefix always holds all four
    return ranges;
}

std::uint16_t os2VersionOf(const Os2Prefix& prefix) {
    std::uint16_t version = 0;
    BigEndianReader(prefix).u16(version);  // the prefix always holds it
    return version;
}

std::string printableTag(const Tag& tag, TagPadding padding) {
    auto end = tag.size();
    while (padding == TagPadding::trimmed && end > 0 && tag[end - 1] == ' ') --end;
    constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < end; ++i) {
        const auto byte = tag[i];
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            text += static_cast<char>(byte);
        } else {
            text += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
        }
    }
    return text;
}

Os2Style styleOf(const Os2Prefix& prefix) {
    Os2Style style;
    std::uint16_t selection = 0;
    BigEndianReader reader(prefix);  // the prefix always holds both fields
    if (reader.seek(kWeightClassOffset)) reader.u16(style.weightClass);
    if (reader.seek(kFsSelectionOffset)) reader.u16(selection);
    style.italic = (selection & kFsSelectionItalic) != 0;
    return style;
}

namespace {

// Decodes the fields of a structure from bytes that were read whole;
// nothing when they are fewer than the structure needs.
template <typename T, typename Decode>
std::optional<T> decodeStructure(std::span<const std::uint8_t> bytes, Decode decode) {
    BigEndianReader reader(bytes);
    T value{};
    if (!decode(reader, value)) return std::nullopt;
    return value;
}

std::optional<std::uint16_t> decodeNumTables(std::span<const std::uint8_t> bytes) {
    return decodeStructure<std::uint16_t>(bytes.first(std::min(bytes.size(), kOffsetTableSize)),
                                          [](BigEndianReader& r, std::uint16_t& numTables) {
                                              return r.skip(4) && r.u16(numTables) && r.skip(6);
                                          });  // sfntVersion, numTables, searchRange..rangeShift
}

std::optional<TableRecord> decodeTableRecord(std::span<const std::uint8_t> bytes) {
    return decodeStructure<TableRecord>(bytes, [](BigEndianReader& r, TableRecord& t) {
        return r.tag(t.tag) && r.skip(4) && r.u32(t.offset) && r.u32(t.length);  // tag, checkSum, offset, length
    });
}

std::optional<NameHeader> decodeNameHeader(std::span<const std::uint8_t> bytes) {
    return decodeStructure<NameHeader>(bytes, [](BigEndianReader& r, NameHeader& h) {
        return r.skip(2) && r.u16(h.count) && r.u16(h.stringOffset);  // format, count, stringOffset
    });
}

std::optional<NameRecord> decodeNameRecord(std::span<const std::uint8_t> bytes) {
    return decodeStructure<NameRecord>(bytes, [](BigEndianReader& r, NameRecord& n) {
        // platformID, encodingID (not examined), languageID, nameID, length, offset
        return r.u16(n.platformID) && r.skip(2) && r.u16(n.languageID) && r.u16(n.nameID) && r.u16(n.length) &&
               r.u16(n.offset);
    });
}

// The 16 bytes of record `index` of a table directory read into `bytes`;
// none when the read ended inside the record.
std::span<const std::uint8_t> tableRecordBytes(std::span<const std::uint8_t> bytes, int index) {
    const auto start = kOffsetTableSize + kTableRecordSize * static_cast<std::size_t>(index);
    if (start > bytes.size() || kTableRecordSize > bytes.size() - start) return {};
    return bytes.subspan(start, kTableRecordSize);
}

// Whether a record's tag, its first four bytes, is `tag`.
bool hasTag(std::span<const std::uint8_t> record, const Tag& tag) {
    return record.size() >= tag.size() && std::equal(tag.begin(), tag.end(), record.begin());
}

}  // namespace

TableScan scanTableDirectory(ByteSource& source, std::uint64_t directoryPosition, const Tag& wanted) {
    // Speed: the offset table and every record that may be examined, in one
    // read; a record is whole exactly when the read reached its last byte, so
    // a cut-off record is found at the index that reading record by record
    // would give.
    std::array<std::uint8_t, kTableDirectorySize> bytes;  // only the bytes read are looked at
    const auto read = std::span<const std::uint8_t>(bytes).first(source.readAt(directoryPosition, bytes));
    const auto numTables = decodeNumTables(read);
    if (!numTables) return {};
    const int records = std::min<int>(*numTables, kMaxTableRecords);
    for (int i = 0; i < records; ++i) {
        const auto record = tableRecordBytes(read, i);
        if (record.empty()) return {TableScan::Outcome::shortRecord, 0, i, 0};
        if (!hasTag(record, wanted)) continue;  // only the record wanted is decoded
        if (const auto found = decodeTableRecord(record)) {
            return {TableScan::Outcome::found, found->offset, i, found->length};
        }
    }
    return {};
}

namespace {

// Where a full name's string lies and how much of it a slot keeps: its first
// min(length, 99) bytes.
struct NameString {
    std::uint64_t position = 0;
    std::size_t kept = 0;
};

// Whether a source of `size` bytes holds the kept part of `string` whole.
bool holdsWhole(std::uint64_t size, const NameString& string) {
    return string.kept == 0 || (string.position < size && string.kept <= size - string.position);
}

// Stores the kept bytes of `string` into `slot`, up to and including their
// first zero byte, when they can all be read; false when they cannot.
bool readNameString(ByteSource& source, const NameString& string, NameSlot& slot) {
    std::array<std::uint8_t, kNameSlotSize> scratch{};
    if (source.readAt(string.position, std::span(scratch).first(string.kept)) != string.kept) return false;
    scratch[string.kept] = 0;
    const auto end = std::find(scratch.begin(), scratch.end(), std::uint8_t{0});
    std::transform(scratch.begin(), end + 1, slot.begin(), [](std::uint8_t byte) { return static_cast<char>(byte); });
    return true;
}

// The header of a name table, its records and its strings, read through a
// window on the table's first bytes, which hold the header, the records and
// the strings of most fonts, so that a name costs one read. Speed: the
// records past them are read a run of 1,024 at a time, and a string past
// them on its own.
class NameTableReader {
public:
    NameTableReader(ByteSource& source, std::uint32_t tableOffset)
        : window_(source, tableOffset), tableOffset_(tableOffset) {
        const auto first = window_.heldFrom(tableOffset);
        header_ = decodeNameHeader(first.first(std::min(first.size(), kNameHeaderSize)));
        if (header_) stringStart_ = std::uint64_t{tableOffset} + header_->stringOffset;
    }
    NameTableReader(const NameTableReader&) = delete;
    NameTableReader& operator=(const NameTableReader&) = delete;

    const std::optional<NameHeader>& header() const { return header_; }
    // Where the strings start; only meaningful with a header.
    std::uint64_t stringStart() const { return stringStart_; }
    // The source, answering from the table's first bytes where they hold a read.
    ByteSource& source() { return window_; }

    // The 12 bytes of record `r`; none when the source ends inside it.
    std::span<const std::uint8_t> recordBytes(std::uint32_t r) {
        const auto inWindow = window_.heldFrom(recordPosition(r));
        if (inWindow.size() >= kNameRecordSize) return inWindow.first(kNameRecordSize);
        if (!holds(r)) readRunFrom(r);
        if (!holds(r)) return {};
        return run_.subspan(kNameRecordSize * (r - runFirst_), kNameRecordSize);
    }

private:
    static constexpr std::size_t kRecordsPerLaterRead = 1024;

    std::uint64_t recordPosition(std::uint32_t r) const {
        return std::uint64_t{tableOffset_} + kNameHeaderSize + kNameRecordSize * std::uint64_t{r};
    }

    bool holds(std::uint32_t r) const {
        return r >= runFirst_ && kNameRecordSize * (std::size_t{r - runFirst_} + 1) <= run_.size();
    }

    void readRunFrom(std::uint32_t r) {
        run_ = std::span<const std::uint8_t>(bytes_).first(window_.readAt(recordPosition(r), bytes_));
        runFirst_ = r;
    }

    TableWindow window_;
    std::uint32_t tableOffset_;
    std::array<std::uint8_t, kNameRecordSize * kRecordsPerLaterRead> bytes_;  // looked at through run_
    std::optional<NameHeader> header_;
    std::uint64_t stringStart_ = 0;
    std::span<const std::uint8_t> run_;  // the bytes read from record runFirst_ on
    std::uint32_t runFirst_ = 0;
};

// Visits, with the position of its string, every full-name record of
// `platform` before the first record that is cut off, until `visit` returns
// false.
template <typename Visit>
void forEachFullName(NameTableReader& table, std::uint16_t platform, Visit visit) {
    const auto& header = table.header();
    if (!header) return;
    for (std::uint32_t r = 0; r < header->count; ++r) {
        const auto record = decodeNameRecord(table.recordBytes(r));
        if (!record) return;
        if (record->platformID != platform || record->nameID != kFullNameId) continue;
        if (!visit(*record, table.stringStart() + record->offset)) return;
    }
}

// The string of the last Macintosh full-name record; with `size`, the last
// one whose string a source of that size holds whole.
std::optional<NameString> lastFullName(NameTableReader& table, std::optional<std::uint64_t> size = std::nullopt) {
    std::optional<NameString> last;
    forEachFullName(table, kMacintoshPlatform, [&](const NameRecord& record, std::uint64_t position) {
        const NameString string{position, std::min<std::size_t>(record.length, kNameSlotSize - 1)};
        if (!size || holdsWhole(*size, string)) last = string;
        return true;
    });
    return last;
}

// The string of the first US English Windows full-name record, else of the
// first of any language; with `size`, only those whose string a source of
// that size holds whole are looked at.
std::optional<NameString> firstWindowsFullName(NameTableReader& table,
                                               std::optional<std::uint64_t> size = std::nullopt) {
    std::optional<NameString> any;
    std::optional<NameString> english;
    forEachFullName(table, kWindowsPlatform, [&](const NameRecord& record, std::uint64_t position) {
        const NameString string{position, std::min<std::size_t>(record.length, kMaxWindowsNameSize)};
        if (size && !holdsWhole(*size, string)) return true;
        if (record.languageID == kUnitedStatesEnglish) english = string;
        if (!any) any = string;
        return !english;
    });
    return english ? english : any;
}

bool readMacintoshName(NameTableReader& table, NameSlot& slot) {
    // Every full-name record overwrites the slot, so the last one whose string
    // can be read wins. Only that string is read: the work is bounded by the
    // bytes of the table, not by its count of records, however many there are.
    const auto last = lastFullName(table);
    if (!last) return false;
    if (readNameString(table.source(), *last, slot)) return true;
    // Its string is cut off: the source's size tells which one is whole.
    const auto whole = lastFullName(table, table.source().size());
    return whole && readNameString(table.source(), *whole, slot);
}

// The kept bytes of `string`; nothing when they cannot all be read.
WindowsName readWindowsString(NameTableReader& table, const NameString& string) {
    std::vector<std::uint8_t> bytes(string.kept);
    if (table.source().readAt(string.position, bytes) != bytes.size()) return std::nullopt;
    return bytes;
}

WindowsName readWindowsName(NameTableReader& table) {
    // A string that reads whole is the one that knowing the source's size
    // would have chosen too, so the size is asked only when it does not.
    const auto chosen = firstWindowsFullName(table);
    if (!chosen) return std::nullopt;
    if (auto bytes = readWindowsString(table, *chosen)) return bytes;
    const auto whole = firstWindowsFullName(table, table.source().size());
    return whole ? readWindowsString(table, *whole) : std::nullopt;
}

}  // namespace

bool readNameTable(ByteSource& source, std::uint32_t tableOffset, NameSlot& slot, WindowsName* windowsName) {
    NameTableReader table(source, tableOffset);
    if (windowsName) *windowsName = readWindowsName(table);
    return readMacintoshName(table, slot);
}

}  // namespace fontfile
