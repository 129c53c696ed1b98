#include "fontfile/sfnt.h"

#include <algorithm>

namespace fontfile {

bool BigEndianReader::u16(std::uint16_t& value) {
    if (bytes_.size() < 2 || position_ > bytes_.size() - 2) return false;
    value = static_cast<std::uint16_t>(std::uint32_t{bytes_[position_]} << 8 | bytes_[position_ + 1]);
    position_ += 2;
    return true;
}

bool BigEndianReader::u32(std::uint32_t& value) {
    if (bytes_.size() < 4 || position_ > bytes_.size() - 4) return false;
    const auto* at = &bytes_[position_];
    value = std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 | std::uint32_t{at[3]};
    position_ += 4;
    return true;
}

bool BigEndianReader::tag(Tag& value) {
    if (bytes_.size() < value.size() || position_ > bytes_.size() - value.size()) return false;
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), value.size(), value.begin());
    position_ += value.size();
    return true;
}

bool BigEndianReader::skip(std::size_t count) {
    if (count > bytes_.size() || position_ > bytes_.size() - count) return false;
    position_ += count;
    return true;
}

bool BigEndianReader::seek(std::size_t position) {
    if (position > bytes_.size()) return false;
    position_ = position;
    return true;
}

UnicodeRangeSet rangesOf(const Os2Prefix& prefix) {
    UnicodeRangeSet ranges{};
    BigEndianReader reader(prefix);
    reader.seek(kUnicodeRangeOffset);
    for (auto& word : ranges) reader.u32(word);  // the prefix always holds all four
    return ranges;
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
        return r.tag(t.tag) && r.skip(4) && r.u32(t.offset) && r.skip(4);  // tag, checkSum, offset, length
    });
}

std::optional<NameHeader> decodeNameHeader(std::span<const std::uint8_t> bytes) {
    return decodeStructure<NameHeader>(bytes, [](BigEndianReader& r, NameHeader& h) {
        return r.skip(2) && r.u16(h.count) && r.u16(h.stringOffset);  // format, count, stringOffset
    });
}

std::optional<NameRecord> decodeNameRecord(std::span<const std::uint8_t> bytes) {
    return decodeStructure<NameRecord>(bytes, [](BigEndianReader& r, NameRecord& n) {
        // platformID, encodingID and languageID, nameID, length, offset
        return r.u16(n.platformID) && r.skip(4) && r.u16(n.nameID) && r.u16(n.length) && r.u16(n.offset);
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
        if (record.empty()) return {TableScan::Outcome::shortRecord, 0, i};
        if (!hasTag(record, wanted)) continue;  // only the record wanted is decoded
        if (const auto found = decodeTableRecord(record)) return {TableScan::Outcome::found, found->offset, i};
    }
    return {};
}

namespace {

// Stores the first min(length, 99) bytes of the string at `position` into
// `slot`, up to and including its first zero byte, when they can all be read.
void readNameString(ByteSource& source, std::uint64_t position, std::uint16_t length, NameSlot& slot) {
    std::array<std::uint8_t, kNameSlotSize> scratch{};
    const std::size_t kept = std::min<std::size_t>(length, kNameSlotSize - 1);
    if (source.readAt(position, std::span(scratch).first(kept)) != kept) return;
    scratch[kept] = 0;
    const auto end = std::find(scratch.begin(), scratch.end(), std::uint8_t{0});
    std::transform(scratch.begin(), end + 1, slot.begin(), [](std::uint8_t byte) { return static_cast<char>(byte); });
}

bool isFullName(const NameRecord& record) {
    return record.platformID == kMacintoshPlatform && record.nameID == kFullNameId;
}

// The header of a name table and its records. Speed: the records are read a
// run at a time, and the header and the first run come in one read, enough
// for the records of most fonts.
class NameTableReader {
public:
    NameTableReader(ByteSource& source, std::uint32_t tableOffset) : source_(source), tableOffset_(tableOffset) {
        const auto read = std::span<const std::uint8_t>(bytes_).first(source.readAt(tableOffset, bytes_));
        header_ = decodeNameHeader(read.first(std::min(read.size(), kNameHeaderSize)));
        if (header_) run_ = read.subspan(kNameHeaderSize);
    }
    NameTableReader(const NameTableReader&) = delete;
    NameTableReader& operator=(const NameTableReader&) = delete;

    const std::optional<NameHeader>& header() const { return header_; }

    // The 12 bytes of record `r`, asked for in increasing order; none when
    // the source ends inside it.
    std::span<const std::uint8_t> recordBytes(std::uint32_t r) {
        if (!holds(r)) readRunFrom(r);
        if (!holds(r)) return {};
        return run_.subspan(kNameRecordSize * (r - runFirst_), kNameRecordSize);
    }

private:
    static constexpr std::size_t kRecordsPerRead = 64;

    bool holds(std::uint32_t r) const {
        return r >= runFirst_ && kNameRecordSize * (std::size_t{r - runFirst_} + 1) <= run_.size();
    }

    void readRunFrom(std::uint32_t r) {
        const auto position = std::uint64_t{tableOffset_} + kNameHeaderSize + kNameRecordSize * std::uint64_t{r};
        const auto room = std::span(bytes_).first(kNameRecordSize * kRecordsPerRead);
        run_ = std::span<const std::uint8_t>(bytes_).first(source_.readAt(position, room));
        runFirst_ = r;
    }

    ByteSource& source_;
    std::uint32_t tableOffset_;
    std::array<std::uint8_t, kNameHeaderSize + kNameRecordSize * kRecordsPerRead> bytes_;  // looked at through run_
    std::optional<NameHeader> header_;
    std::span<const std::uint8_t> run_;  // the bytes read from record runFirst_ on
    std::uint32_t runFirst_ = 0;
};

}  // namespace

void readNameTable(ByteSource& source, std::uint32_t tableOffset, NameSlot& slot) {
    NameTableReader table(source, tableOffset);
    const auto& header = table.header();
    if (!header) return;
    const std::uint64_t storage = std::uint64_t{tableOffset} + header->stringOffset;
    for (std::uint32_t r = 0; r < header->count; ++r) {
        const auto record = decodeNameRecord(table.recordBytes(r));
        if (!record) return;
        if (isFullName(*record)) readNameString(source, storage + record->offset, record->length, slot);
    }
}

}  // namespace fontfile
