// Readers of the two things kept of every font: the OS/2 prefix and the full
// name (Macintosh platform, name ID 4). The read* operations print the
// diagnostics and may end the process: those on a file path open and close
// the file themselves, those on a ByteSource take the same steps on a file
// its caller keeps open to read more of it. The parse*At operations do the
// same parsing of one face on any ByteSource, print nothing, and report
// instead what the read* operations act on.
//
// Output storage is the caller's: whatever is not found is left untouched.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "fontfile/byte_source.h"
#include "fontfile/sfnt.h"

namespace fontfile {

// ---- Single-font files ----------------------------------------------------

// The first 86 bytes of the font's OS/2 table into `prefix` (bytes past the
// end of the file keep their content). Prints "OS/2 not found" when the
// table directory is cut off before an OS/2 record.
void readOs2Prefix(const char* path, Os2Prefix& prefix);

// The font's last platform-1 name-ID-4 name into `slot`, zero-terminated.
// Prints "<path>: ** No name table found **" when the directory has no name
// record among its first 40; ends the process with exit code -1 after
// "Read failed on table #<i>" when record i is cut off.
void readFullName(const char* path, NameSlot& slot);

// The same on an open source; `path` only names the file in the message.
// The outcome of the directory scan; true when a name was written, and with
// `windowsName` also the font's Windows name, from the same reads.
TableScan::Outcome readOs2Prefix(ByteSource& source, Os2Prefix& prefix);
bool readFullName(ByteSource& source, const char* path, NameSlot& slot, WindowsName* windowsName = nullptr);

// ---- Collections ----------------------------------------------------------

// Stores numFonts as the header holds it into `memberCount` (left alone when
// the header is cut off), then for each of the first min(numFonts, 10)
// members whose directory offset can be read the OS/2 prefix into
// places[member].
// Prints "OS/2 not found" and stops at the first member whose directory is
// cut off before an OS/2 record.
void readCollectionOs2Prefixes(const char* path, std::int32_t& memberCount, std::span<Os2Prefix> places);

// For each of the first min(numFonts, 10) members the full name into
// slots[member]. A member directory cut off before its name record ends the
// process with exit code -1 after "Read failed on table #<i>".
void readCollectionFullNames(const char* path, std::span<NameSlot> slots);

// The same on an open source.
void readCollectionOs2Prefixes(ByteSource& source, std::int32_t& memberCount, std::span<Os2Prefix> places);
void readCollectionFullNames(ByteSource& source, std::span<NameSlot> slots);

// Their steps, for members whose directory offsets the caller has read (see
// readCollectionMembers), as many as it chooses. First the OS/2 prefixes of
// the members at `offsets`, in order, into places[m], each directory scan's
// outcome into outcomes[m] where that span holds it; "OS/2 not found" ends
// the reading at the first member whose directory is cut off before an OS/2
// record.
void readMemberOs2Prefixes(ByteSource& source, std::span<const std::uint32_t> offsets, std::span<Os2Prefix> places,
                           std::span<TableScan::Outcome> outcomes = {});
// Then each member's full name (and Windows name when asked); a directory
// cut off before its name record ends the process after "Read failed on
// table #<i>". True when a name was written.
bool readMemberFullName(ByteSource& source, std::uint64_t directoryPosition, NameSlot& slot,
                        WindowsName* windowsName = nullptr);

// ---- Any face, every member ------------------------------------------------
// The same parsing for the face whose table directory starts at
// `directoryPosition`: 0 for a single font, a member's offset in a collection.

TableScan::Outcome parseOs2PrefixAt(ByteSource& source, std::uint64_t directoryPosition, Os2Prefix& prefix);
// `written`, when given, tells whether a name was found and written;
// `windowsName`, when given, receives the face's Windows-platform full name
// from the same reads (see readNameTable), nothing without a name table.
TableScan parseFullNameAt(ByteSource& source, std::uint64_t directoryPosition, NameSlot& slot, bool* written = nullptr,
                          WindowsName* windowsName = nullptr);

struct CollectionMembers {
    std::optional<std::uint32_t> numFonts;  // as the header holds it; empty when the header is cut off
    std::vector<std::uint32_t> offsets;  // of the first min(numFonts, limit) members, as far as the source holds them
};

// The directory offsets of a collection's first `limit` members: the
// readers above take the first kMaxMembersRead, callers that want them all
// any number.
CollectionMembers readCollectionMembers(ByteSource& source, std::uint32_t limit);

}  // namespace fontfile
