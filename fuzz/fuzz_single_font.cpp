// The single-font readers on any bytes: the OS/2 prefix and the full name,
// parsed from memory as readOs2Prefix and readFullName parse a file. The
// parse functions report a cut-off directory instead of ending the process,
// so every input can be run.
//
// Checked beyond the sanitizers: the prefix holds exactly the 86 bytes at the
// found table's offset, as far as the input reaches, and the caller's bytes
// elsewhere; the name slot is untouched unless a name table was found, and
// otherwise holds a zero-terminated run of the input's bytes, the very name
// that reading every record in turn gives.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fontfile/font_reader.h"
#include "fuzz_support.h"
#include "parse_steps.h"

using namespace fuzzsupport;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceDiagnostics();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    fontfile::MemorySource source(input);

    const auto prefix = exactArray(1, sentinelPrefix());
    const auto outcome = testfonts::parseOs2Prefix(source, prefix[0]);
    const auto os2 = fontfile::scanTableDirectory(source, 0, fontfile::kOs2Tag);
    FUZZ_CHECK(outcome == os2.outcome);
    for (std::size_t i = 0; i < fontfile::kOs2PrefixSize; ++i) {
        const std::uint64_t at = std::uint64_t{os2.offset} + i;
        const bool fromInput = outcome == fontfile::TableScan::Outcome::found && at < size;
        FUZZ_CHECK(prefix[0][i] == (fromInput ? data[at] : kPrefixSentinel));
    }

    const auto slot = exactArray(1, sentinelSlot());
    const auto name = testfonts::parseFullName(source, slot[0]);
    if (name.outcome != fontfile::TableScan::Outcome::found) FUZZ_CHECK(slot[0] == sentinelSlot());
    FUZZ_CHECK(isUntouchedOrAnInputName(slot[0], input));
    if (name.outcome == fontfile::TableScan::Outcome::found) {
        const auto table = fontfile::scanTableDirectory(source, 0, fontfile::kNameTag);
        // The same name, or the same untouched slot. What lies past the zero
        // is nobody's: an earlier, longer name may have left its tail there.
        const auto model = recordByRecordName(input, table.offset, sentinelSlot());
        FUZZ_CHECK((slot[0] == sentinelSlot()) == (model == sentinelSlot()));
        FUZZ_CHECK(testfonts::slotName(slot[0]) == testfonts::slotName(model));
    }
    if (name.outcome == fontfile::TableScan::Outcome::shortRecord) {
        FUZZ_CHECK(name.recordIndex >= 0 && name.recordIndex < fontfile::kMaxTableRecords);
    }
    return 0;
}
