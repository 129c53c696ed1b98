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

// Reads exactly N bytes at `position`, or nothing.
template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> readWhole(ByteSource& source, std::uint64_t position) {
    std::array<std::uint8_t, N> bytes{};
    if (source.readAt(position, bytes) != N) return std::nullopt;
    return bytes;
}

}  // namespace

std::optional<std::uint16_t> readNumTables(ByteSource& source, std::uint64_t directoryPosition) {
    const auto bytes = readWhole<kOffsetTableSize>(source, directoryPosition);
    if (!bytes) return std::nullopt;
    BigEndianReader reader(*bytes);
    std::uint16_t numTables = 0;
    if (!reader.skip(4) || !reader.u16(numTables)) return std::nullopt;
    return numTables;
}

std::optional<TableRecord> readTableRecord(ByteSource& source, std::uint64_t position) {
    const auto bytes = readWhole<kTableRecordSize>(source, position);
    if (!bytes) return std::nullopt;
    BigEndianReader reader(*bytes);
    TableRecord record;
    if (!reader.tag(record.tag) || !reader.skip(4) || !reader.u32(record.offset)) return std::nullopt;
    return record;
}

std::optional<NameHeader> readNameHeader(ByteSource& source, std::uint64_t position) {
    const auto bytes = readWhole<kNameHeaderSize>(source, position);
    if (!bytes) return std::nullopt;
    BigEndianReader reader(*bytes);
    NameHeader header;
    if (!reader.skip(2) || !reader.u16(header.count) || !reader.u16(header.stringOffset)) return std::nullopt;
    return header;
}

std::optional<NameRecord> readNameRecord(ByteSource& source, std::uint64_t position) {
    const auto bytes = readWhole<kNameRecordSize>(source, position);
    if (!bytes) return std::nullopt;
    BigEndianReader reader(*bytes);
    NameRecord record;
    if (!reader.u16(record.platformID) || !reader.skip(4) || !reader.u16(record.nameID) || !reader.u16(record.length) ||
        !reader.u16(record.offset)) {
        return std::nullopt;
    }
    return record;
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
