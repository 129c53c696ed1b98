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
    value = loadU32(bytes_, position_);
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

namespace {

// Reads a structure of N bytes at `position` and decodes its fields with
// `decode`; nothing when the source ends inside it.
template <typename T, std::size_t N, typename Decode>
std::optional<T> readStructure(ByteSource& source, std::uint64_t position, Decode decode) {
    std::array<std::uint8_t, N> bytes{};
    if (source.readAt(position, bytes) != N) return std::nullopt;
    BigEndianReader reader(bytes);
    T value{};
    if (!decode(reader, value)) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::uint16_t> readNumTables(ByteSource& source, std::uint64_t directoryPosition) {
    return readStructure<std::uint16_t, kOffsetTableSize>(
        source, directoryPosition, [](BigEndianReader& r, std::uint16_t& numTables) {
            return r.skip(4) && r.u16(numTables);  // sfntVersion, numTables
        });
}

std::optional<TableRecord> readTableRecord(ByteSource& source, std::uint64_t position) {
    return readStructure<TableRecord, kTableRecordSize>(source, position, [](BigEndianReader& r, TableRecord& t) {
        return r.tag(t.tag) && r.skip(4) && r.u32(t.offset);  // tag, checkSum, offset
    });
}

std::optional<NameHeader> readNameHeader(ByteSource& source, std::uint64_t position) {
    return readStructure<NameHeader, kNameHeaderSize>(source, position, [](BigEndianReader& r, NameHeader& h) {
        return r.skip(2) && r.u16(h.count) && r.u16(h.stringOffset);  // format, count, stringOffset
    });
}

std::optional<NameRecord> readNameRecord(ByteSource& source, std::uint64_t position) {
    return readStructure<NameRecord, kNameRecordSize>(source, position, [](BigEndianReader& r, NameRecord& n) {
        // platformID, encodingID and languageID, nameID, length, offset
        return r.u16(n.platformID) && r.skip(4) && r.u16(n.nameID) && r.u16(n.length) && r.u16(n.offset);
    });
}

TableScan scanTableDirectory(ByteSource& source, std::uint64_t directoryPosition, const Tag& wanted) {
    const auto numTables = readNumTables(source, directoryPosition);
    if (!numTables) return {};
    const int records = std::min<int>(*numTables, kMaxTableRecords);
    for (int i = 0; i < records; ++i) {
        const auto position = directoryPosition + kOffsetTableSize + kTableRecordSize * static_cast<std::uint64_t>(i);
        const auto record = readTableRecord(source, position);
        if (!record) return {TableScan::Outcome::shortRecord, 0, i};
        if (record->tag == wanted) return {TableScan::Outcome::found, record->offset, i};
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

}  // namespace

void readNameTable(ByteSource& source, std::uint32_t tableOffset, NameSlot& slot) {
    const auto header = readNameHeader(source, tableOffset);
    if (!header) return;
    const std::uint64_t storage = std::uint64_t{tableOffset} + header->stringOffset;
    for (std::uint32_t r = 0; r < header->count; ++r) {
        const auto position = std::uint64_t{tableOffset} + kNameHeaderSize + kNameRecordSize * std::uint64_t{r};
        const auto record = readNameRecord(source, position);
        if (!record) return;
        if (record->platformID == kMacintoshPlatform && record->nameID == kFullNameId) {
            readNameString(source, storage + record->offset, record->length, slot);
        }
    }
}

}  // namespace fontfile
