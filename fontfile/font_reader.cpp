#include "fontfile/font_reader.h"

#include <algorithm>
#include <array>

#include "fontfile/diagnostics.h"

namespace fontfile {

namespace {

// The 86 bytes of the table at `offset`; bytes past the end of the source
// keep what `prefix` held.
void readPrefixAt(ByteSource& source, std::uint32_t offset, Os2Prefix& prefix) {
    Os2Prefix bytes{};
    const auto count = source.readAt(offset, bytes);
    std::copy_n(bytes.begin(), count, prefix.begin());
}

// Visits the members in order with `visit(member, directoryPosition)`, which
// returns the member's table scan; a member whose directory is cut off stops
// the visit there.
template <typename Visit>
CollectionScan forEachMember(ByteSource& source, std::size_t capacity, Visit visit) {
    const auto members = readCollectionMembers(source, kMaxMembersRead);
    CollectionScan scan{members.numFonts, std::nullopt, 0};
    const auto count = std::min(members.offsets.size(), capacity);
    for (std::size_t m = 0; m < count; ++m) {
        const auto found = visit(m, members.offsets[m]);
        if (found.outcome == TableScan::Outcome::shortRecord) {
            scan.shortMember = static_cast<int>(m);
            scan.shortRecordIndex = found.recordIndex;
            break;
        }
    }
    return scan;
}

}  // namespace

TableScan::Outcome parseOs2Prefix(ByteSource& source, Os2Prefix& prefix) { return parseOs2PrefixAt(source, 0, prefix); }

TableScan parseFullName(ByteSource& source, NameSlot& slot) { return parseFullNameAt(source, 0, slot); }

TableScan::Outcome parseOs2PrefixAt(ByteSource& source, std::uint64_t directoryPosition, Os2Prefix& prefix) {
    const auto scan = scanTableDirectory(source, directoryPosition, kOs2Tag);
    if (scan.outcome == TableScan::Outcome::found) readPrefixAt(source, scan.offset, prefix);
    return scan.outcome;
}

TableScan parseFullNameAt(ByteSource& source, std::uint64_t directoryPosition, NameSlot& slot, bool* written,
                          std::optional<std::vector<std::uint8_t>>* windowsName) {
    const auto scan = scanTableDirectory(source, directoryPosition, kNameTag);
    if (windowsName) windowsName->reset();
    const bool wrote =
        scan.outcome == TableScan::Outcome::found && readNameTable(source, scan.offset, slot, windowsName);
    if (written) *written = wrote;
    return scan;
}

CollectionMembers readCollectionMembers(ByteSource& source, std::uint32_t limit) {
    constexpr std::size_t kOffsetsPerRead = 1024;
    std::array<std::uint8_t, kCollectionHeaderSize + kMemberOffsetSize * kOffsetsPerRead> bytes;
    // Speed: the header comes with the first run of offsets, which holds the
    // program's 10 members: a collection's directory costs one read.
    auto asked = kCollectionHeaderSize + kMemberOffsetSize * std::min<std::size_t>(limit, kOffsetsPerRead);
    auto read = source.readAt(0, std::span(bytes).first(asked));
    BigEndianReader fields(std::span<const std::uint8_t>(bytes).first(read));
    CollectionMembers members;
    std::uint32_t numFonts = 0;
    if (!fields.seek(kNumFontsOffset) || !fields.u32(numFonts)) return members;  // TTCTag, Version unexamined
    members.numFonts = numFonts;
    // The offsets a run at a time, kept only as far as the source delivers
    // them: a numFonts the file does not back allocates nothing.
    const std::uint32_t wanted = std::min(numFonts, limit);
    for (;;) {
        for (std::uint32_t offset = 0; members.offsets.size() < wanted && fields.u32(offset);) {
            members.offsets.push_back(offset);
        }
        if (members.offsets.size() == wanted || read < asked) return members;
        const auto position = kCollectionHeaderSize + kMemberOffsetSize * std::uint64_t{members.offsets.size()};
        asked = kMemberOffsetSize * std::min<std::size_t>(kOffsetsPerRead, wanted - members.offsets.size());
        read = source.readAt(position, std::span(bytes).first(asked));
        fields = BigEndianReader(std::span<const std::uint8_t>(bytes).first(read));
    }
}

CollectionScan parseCollectionOs2Prefixes(ByteSource& source, std::span<Os2Prefix> places) {
    return forEachMember(source, places.size(), [&](std::size_t m, std::uint32_t directory) {
        const auto scan = scanTableDirectory(source, directory, kOs2Tag);
        if (scan.outcome == TableScan::Outcome::found) readPrefixAt(source, scan.offset, places[m]);
        return scan;
    });
}

CollectionScan parseCollectionFullNames(ByteSource& source, std::span<NameSlot> slots) {
    return forEachMember(source, slots.size(), [&](std::size_t m, std::uint32_t directory) {
        const auto scan = scanTableDirectory(source, directory, kNameTag);
        if (scan.outcome == TableScan::Outcome::found) readNameTable(source, scan.offset, slots[m]);
        return scan;
    });
}

void readOs2Prefix(const char* path, Os2Prefix& prefix) {
    FileSource file;
    if (!file.open(path)) return;
    if (parseOs2Prefix(file, prefix) == TableScan::Outcome::shortRecord) reportOs2NotFound();
}

void readFullName(const char* path, NameSlot& slot) {
    FileSource file;
    if (!file.open(path)) return;
    const auto scan = parseFullName(file, slot);
    if (scan.outcome == TableScan::Outcome::shortRecord) failOnShortTableRecord(scan.recordIndex);
    if (scan.outcome == TableScan::Outcome::notFound) reportNoNameTable(path);
}

void readCollectionOs2Prefixes(const char* path, std::int32_t& memberCount, std::span<Os2Prefix> places) {
    FileSource file;
    if (!file.open(path)) return;
    const auto scan = parseCollectionOs2Prefixes(file, places);
    if (scan.numFonts) memberCount = static_cast<std::int32_t>(*scan.numFonts);
    if (scan.shortMember) reportOs2NotFound();
}

void readCollectionFullNames(const char* path, std::span<NameSlot> slots) {
    FileSource file;
    if (!file.open(path)) return;
    const auto scan = parseCollectionFullNames(file, slots);
    if (scan.shortMember) failOnShortTableRecord(scan.shortRecordIndex);
}

}  // namespace fontfile
