// The collection readers on any bytes: the members' OS/2 prefixes and full
// names, parsed from memory as readCollectionOs2Prefixes and
// readCollectionFullNames parse a file, which never ends the process.
//
// Each parse runs twice: with room for the 10 members that are read, and
// with room for 0 to 10 chosen by the first byte of the input (the
// collection's tag, which the readers never examine), to show that no place
// or slot past the caller's storage is ever written. Checked beyond the
// sanitizers: the count is numFonts as stored, a cut-off member is one that
// is read, places and slots past the members read keep the caller's bytes,
// and every name is a zero-terminated run of the input's bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "fontfile/font_reader.h"
#include "fuzz_support.h"
#include "parse_steps.h"

using namespace fuzzsupport;
using fontfile::kMaxMembersRead;

namespace {

void checkScan(const testfonts::CollectionScan& scan, std::span<const std::uint8_t> input, std::size_t room) {
    if (input.size() < fontfile::kCollectionHeaderSize) {
        FUZZ_CHECK(!scan.numFonts);
        FUZZ_CHECK(!scan.shortMember);
        return;
    }
    fontfile::BigEndianReader header(input);
    std::uint32_t numFonts = 0;
    FUZZ_CHECK(header.seek(fontfile::kNumFontsOffset) && header.u32(numFonts) && scan.numFonts == numFonts);
    if (scan.shortMember) {
        const auto member = static_cast<std::size_t>(*scan.shortMember);
        FUZZ_CHECK(member < std::min<std::size_t>({*scan.numFonts, kMaxMembersRead, room}));
        FUZZ_CHECK(scan.shortRecordIndex >= 0 && scan.shortRecordIndex < fontfile::kMaxTableRecords);
    }
}

// The members that may have been written: those read, and none past the room.
std::size_t membersWritten(const testfonts::CollectionScan& scan, std::size_t room) {
    const std::size_t read = scan.numFonts ? std::min<std::size_t>(*scan.numFonts, kMaxMembersRead) : 0;
    const std::size_t stopped = scan.shortMember ? static_cast<std::size_t>(*scan.shortMember) : read;
    return std::min({read, stopped, room});
}

void parseWithRoom(std::span<const std::uint8_t> input, std::size_t room) {
    fontfile::MemorySource source(input);

    const auto places = exactArray(room, sentinelPrefix());
    const auto os2 = testfonts::parseCollectionOs2Prefixes(source, std::span(places.get(), room));
    checkScan(os2, input, room);
    for (std::size_t m = membersWritten(os2, room); m < room; ++m) FUZZ_CHECK(places[m] == sentinelPrefix());

    const auto slots = exactArray(room, sentinelSlot());
    const auto names = testfonts::parseCollectionFullNames(source, std::span(slots.get(), room));
    checkScan(names, input, room);
    FUZZ_CHECK(names.numFonts == os2.numFonts);
    for (std::size_t m = 0; m < room; ++m) {
        FUZZ_CHECK(isUntouchedOrAnInputName(slots[m], input));
        if (m >= membersWritten(names, room)) FUZZ_CHECK(slots[m] == sentinelSlot());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceDiagnostics();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    parseWithRoom(input, kMaxMembersRead);
    if (size > 0) parseWithRoom(input, data[0] % (kMaxMembersRead + 1));
    return 0;
}
