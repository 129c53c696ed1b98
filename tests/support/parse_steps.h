// The readers' parsing steps put together as the program's readers put
// them, but without their diagnostics and their exit: what the tests and
// the fuzz targets compare the readers with, and how they reach a cut-off
// directory without ending the process.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <span>

#include "fontfile/byte_source.h"
#include "fontfile/font_reader.h"
#include "fontfile/sfnt.h"

namespace testfonts {

inline fontfile::TableScan::Outcome parseOs2Prefix(fontfile::ByteSource& source, fontfile::Os2Prefix& prefix) {
    return fontfile::parseOs2PrefixAt(source, 0, prefix);
}

inline fontfile::TableScan parseFullName(fontfile::ByteSource& source, fontfile::NameSlot& slot) {
    return fontfile::parseFullNameAt(source, 0, slot);
}

struct CollectionScan {
    std::optional<std::uint32_t> numFonts;  // empty when the header is cut off
    // Set when a member's directory is cut off: that member and its record.
    std::optional<int> shortMember;
    int shortRecordIndex = 0;
};

// Each of the program's members (the first 10) in turn, as far as `room`
// allows, with `parse(member, directoryPosition)`; a member whose directory
// is cut off ends the walk, as it ends the program's reading.
template <typename Parse>
CollectionScan forEachProgramMember(fontfile::ByteSource& source, std::size_t room, Parse parse) {
    const auto members = fontfile::readCollectionMembers(source, fontfile::kMaxMembersRead);
    CollectionScan scan{.numFonts = members.numFonts};
    const auto count = std::min(members.offsets.size(), room);
    for (std::size_t m = 0; m < count; ++m) {
        const fontfile::TableScan found = parse(m, members.offsets[m]);
        if (found.outcome == fontfile::TableScan::Outcome::shortRecord) {
            scan.shortMember = static_cast<int>(m);
            scan.shortRecordIndex = found.recordIndex;
            break;
        }
    }
    return scan;
}

// No place or slot beyond the span's end is ever written.
inline CollectionScan parseCollectionOs2Prefixes(fontfile::ByteSource& source, std::span<fontfile::Os2Prefix> places) {
    return forEachProgramMember(source, places.size(), [&](std::size_t m, std::uint32_t directory) {
        fontfile::parseOs2PrefixAt(source, directory, places[m]);
        return fontfile::scanTableDirectory(source, directory, fontfile::kOs2Tag);  // for the record cut off
    });
}

inline CollectionScan parseCollectionFullNames(fontfile::ByteSource& source, std::span<fontfile::NameSlot> slots) {
    return forEachProgramMember(source, slots.size(), [&](std::size_t m, std::uint32_t directory) {
        return fontfile::parseFullNameAt(source, directory, slots[m]);
    });
}

}  // namespace testfonts
