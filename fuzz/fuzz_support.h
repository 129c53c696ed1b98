// What the fuzz targets share: a check that stops the run with a report,
// caller storage allocated at its exact size (so that a write past it is
// caught by AddressSanitizer, not absorbed by a neighbour) and filled with a
// sentinel, and the readers' diagnostics sent nowhere.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>

#include "fontfile/diagnostics.h"
#include "fontfile/sfnt.h"
#include "reader_checks.h"

namespace fuzzsupport {

[[noreturn]] inline void fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? void(0) : fuzzsupport::fail(#condition, __FILE__, __LINE__))

// `count` elements on the heap with nothing around them, each `fill`.
template <typename T>
std::unique_ptr<T[]> exactArray(std::size_t count, const T& fill) {
    std::unique_ptr<T[]> items(new T[count]);
    std::fill_n(items.get(), count, fill);
    return items;
}

// Caller storage filled with the reader tests' sentinels.
using testfonts::kNameSentinel;
using testfonts::kPrefixSentinel;
inline fontfile::Os2Prefix sentinelPrefix() { return testfonts::untouchedPrefix(); }
inline fontfile::NameSlot sentinelSlot() { return testfonts::untouchedSlot(); }

// A name slot after a reader: untouched, or a name ended by a zero whose
// bytes stand somewhere in the input as one run (a name is never made up).
inline bool isUntouchedOrAnInputName(const fontfile::NameSlot& slot, std::span<const std::uint8_t> input) {
    if (slot == sentinelSlot()) return true;
    const auto end = std::find(slot.begin(), slot.end(), '\0');
    if (end == slot.end()) return false;
    if (end == slot.begin()) return true;  // an empty name
    return std::search(input.begin(), input.end(), slot.begin(), end,
                       [](std::uint8_t byte, char c) { return byte == static_cast<std::uint8_t>(c); }) != input.end();
}

// The full name that reading the name table at `tableOffset` record by record
// gives, as the readers once did: every platform-1 name-ID-4 record whose
// kept string lies whole in the input overwrites the slot, and the records
// stop at the first one cut off. The readers read only the winning string;
// this model reads them all, so the two must agree.
inline fontfile::NameSlot recordByRecordName(std::span<const std::uint8_t> input, std::uint32_t tableOffset,
                                             fontfile::NameSlot slot) {
    fontfile::BigEndianReader table(input);
    std::uint16_t count = 0, storage = 0;
    if (!table.seek(tableOffset) || !table.skip(2) || !table.u16(count) || !table.u16(storage)) return slot;
    for (std::uint32_t r = 0; r < count; ++r) {
        std::uint16_t platform = 0, nameId = 0, length = 0, offset = 0;
        if (!table.u16(platform) || !table.skip(4) || !table.u16(nameId) || !table.u16(length) || !table.u16(offset))
            break;
        if (platform != fontfile::kMacintoshPlatform || nameId != fontfile::kFullNameId) continue;
        const std::uint64_t at = std::uint64_t{tableOffset} + storage + offset;
        const std::size_t kept = std::min<std::size_t>(length, fontfile::kNameSlotSize - 1);
        if (kept > 0 && (at >= input.size() || kept > input.size() - at)) continue;
        const auto text = kept ? input.subspan(static_cast<std::size_t>(at), kept) : input.first(0);
        const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
        std::copy(text.begin(), end, slot.begin());
        slot[static_cast<std::size_t>(end - text.begin())] = '\0';
    }
    return slot;
}

// The readers' diagnostic lines would only slow a run down.
inline void silenceDiagnostics() {
    static std::FILE* const nowhere = std::fopen("/dev/null", "w");
    fontfile::setDiagnosticStream(nowhere);
}

}  // namespace fuzzsupport
