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

// The OS/2 prefixes of the members at `offsets`, in order, as many as
// `places` holds; each directory scan's outcome into outcomes[m] where that
// span holds it. True when a member's directory is cut off before an OS/2
// record, which ends the reading there.
bool memberOs2Prefixes(ByteSource& source, std::span<const std::uint32_t> offsets, std::span<Os2Prefix> places,
                       std::span<TableScan::Outcome> outcomes) {
    const auto count = std::min(offsets.size(), places.size());
    for (std::size_t m = 0; m < count; ++m) {
        const auto scan = scanTableDirectory(source, offsets[m], kOs2Tag);
        if (scan.outcome == TableScan::Outcome::found) readPrefixAt(source, scan.offset, places[m]);
        if (m < outcomes.size()) outcomes[m] = scan.outcome;
        if (scan.outcome == TableScan::Outcome::shortRecord) return true;
    }
    return false;
}

}  // namespace

TableScan::Outcome parseOs2PrefixAt(ByteSource& source, std::uint64_t directoryPosition, Os2Prefix& prefix) {
    const auto scan = scanTableDirectory(source, directoryPosition, kOs2Tag);
    if (scan.outcome == TableScan::Outcome::found) readPrefixAt(source, scan.offset, prefix);
    return scan.outcome;
}

TableScan parseFullNameAt(ByteSource& source, std::uint64_t directoryPosition, NameSlot& slot, bool* written,
                          WindowsName* windowsName) {
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

TableScan::Outcome readOs2Prefix(ByteSource& source, Os2Prefix& prefix) {
    const auto outcome = parseOs2PrefixAt(source, 0, prefix);
    if (outcome == TableScan::Outcome::shortRecord) reportOs2NotFound();
    return outcome;
}

bool readFullName(ByteSource& source, const char* path, NameSlot& slot, WindowsName* windowsName) {
    bool written = false;
    const auto scan = parseFullNameAt(source, 0, slot, &written, windowsName);
    if (scan.outcome == TableScan::Outcome::shortRecord) failOnShortTableRecord(scan.recordIndex);
    if (scan.outcome == TableScan::Outcome::notFound) reportNoNameTable(path);
    return written;
}

void readMemberOs2Prefixes(ByteSource& source, std::span<const std::uint32_t> offsets, std::span<Os2Prefix> places,
                           std::span<TableScan::Outcome> outcomes) {
    if (memberOs2Prefixes(source, offsets, places, outcomes)) reportOs2NotFound();
}

bool readMemberFullName(ByteSource& source, std::uint64_t directoryPosition, NameSlot& slot, WindowsName* windowsName) {
    bool written = false;
    const auto scan = parseFullNameAt(source, directoryPosition, slot, &written, windowsName);
    if (scan.outcome == TableScan::Outcome::shortRecord) failOnShortTableRecord(scan.recordIndex);
    return written;
}

void readCollectionOs2Prefixes(ByteSource& source, std::int32_t& memberCount, std::span<Os2Prefix> places) {
    const auto members = readCollectionMembers(source, kMaxMembersRead);
    if (members.numFonts) memberCount = static_cast<std::int32_t>(*members.numFonts);
    readMemberOs2Prefixes(source, members.offsets, places);
}

void readCollectionFullNames(ByteSource& source, std::span<NameSlot> slots) {
    const auto members = readCollectionMembers(source, kMaxMembersRead);
    const auto count = std::min(members.offsets.size(), slots.size());
    for (std::size_t m = 0; m < count; ++m) readMemberFullName(source, members.offsets[m], slots[m]);
}

// The path-taking readers: one open each, then the steps above.

void readOs2Prefix(const char* path, Os2Prefix& prefix) {
    FileSource file;
    if (file.open(path)) readOs2Prefix(file, prefix);
}

void readFullName(const char* path, NameSlot& slot) {
    FileSource file;
    if (file.open(path)) readFullName(file, path, slot);
}

void readCollectionOs2Prefixes(const char* path, std::int32_t& memberCount, std::span<Os2Prefix> places) {
    FileSource file;
    if (file.open(path)) readCollectionOs2Prefixes(file, memberCount, places);
}

void readCollectionFullNames(const char* path, std::span<NameSlot> slots) {
    FileSource file;
    if (file.open(path)) readCollectionFullNames(file, slots);
}

}  // namespace fontfile
