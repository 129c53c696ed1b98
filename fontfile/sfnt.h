// The sfnt structures the readers understand (offset table, table record,
// name table header and record, collection header) and the table directory
// scan shared by single fonts and collection members.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fontfile/byte_source.h"

namespace fontfile {

inline constexpr std::size_t kOffsetTableSize = 12;
inline constexpr std::size_t kTableRecordSize = 16;
inline constexpr int kMaxTableRecords = 40;
// The offset table and the records that the directory scan may examine.
inline constexpr std::size_t kTableDirectorySize = kOffsetTableSize + kTableRecordSize * kMaxTableRecords;
inline constexpr std::size_t kOs2PrefixSize = 86;  // a version-1 OS/2 table
inline constexpr std::size_t kUnicodeRangeOffset = 42;
inline constexpr std::size_t kWeightClassOffset = 4;   // usWeightClass
inline constexpr std::size_t kFsSelectionOffset = 62;  // fsSelection
inline constexpr std::uint16_t kFsSelectionItalic = 1u << 0;
inline constexpr std::size_t kNameHeaderSize = 6;
inline constexpr std::size_t kNameRecordSize = 12;
inline constexpr std::size_t kNameSlotSize = 100;         // 99 bytes and a zero
inline constexpr std::size_t kCollectionHeaderSize = 12;  // TTCTag, Version, numFonts
inline constexpr std::size_t kNumFontsOffset = 8;
inline constexpr std::size_t kMemberOffsetSize = 4;  // each of tableDirectoryOffsets
inline constexpr std::uint32_t kMaxMembersRead = 10;

inline constexpr std::uint16_t kMacintoshPlatform = 1;
inline constexpr std::uint16_t kWindowsPlatform = 3;
inline constexpr std::uint16_t kUnitedStatesEnglish = 0x0409;  // a Windows languageID
inline constexpr std::uint16_t kFullNameId = 4;
// The most of a Windows name's UTF-16BE string that is kept: 512 code units.
inline constexpr std::size_t kMaxWindowsNameSize = 1024;

// A four-byte tag as the font holds it, trailing blanks included ("lao ").
// Ordered by its bytes, which is the order of the ScriptList and FeatureList.
using Tag = std::array<std::uint8_t, 4>;

// The tag of a four-character literal: tagOf("dev2").
constexpr Tag tagOf(const char (&text)[5]) {
    return {static_cast<std::uint8_t>(text[0]), static_cast<std::uint8_t>(text[1]), static_cast<std::uint8_t>(text[2]),
            static_cast<std::uint8_t>(text[3])};
}

// The four bytes of a tag as characters, exactly as the font holds them:
// any byte may stand there, so a caller that prints one makes it safe for a
// terminal first.
inline std::string tagText(const Tag& tag) { return std::string(tag.begin(), tag.end()); }

// A tag as it may be printed: printable ASCII as it is, any other byte and
// the backslash as \xNN, so that no font can break a line or drive a
// terminal through one; with `trimmed`, without the blanks that pad it
// ("lao " as "lao").
enum class TagPadding { kept, trimmed };
std::string printableTag(const Tag& tag, TagPadding padding);

inline constexpr Tag kOs2Tag{'O', 'S', '/', '2'};
inline constexpr Tag kNameTag{'n', 'a', 'm', 'e'};
inline constexpr Tag kCmapTag{'c', 'm', 'a', 'p'};

// The first 86 bytes of an OS/2 table, raw and big-endian.
using Os2Prefix = std::array<std::uint8_t, kOs2PrefixSize>;
// A full name of at most 99 single-byte characters and a terminating zero.
using NameSlot = std::array<char, kNameSlotSize>;
// A Windows-platform name as the UTF-16BE bytes of its string; empty when
// there is none.
using WindowsName = std::optional<std::vector<std::uint8_t>>;

// The four range words ulUnicodeRange1..4 in host byte order: bit n of the
// set is bit n % 32 of word n / 32.
using UnicodeRangeSet = std::array<std::uint32_t, 4>;

// The range words of an OS/2 prefix (bytes 42 to 57, big-endian).
UnicodeRangeSet rangesOf(const Os2Prefix& prefix);
// The version of an OS/2 prefix (its first two bytes, big-endian).
std::uint16_t os2VersionOf(const Os2Prefix& prefix);

// The style an OS/2 prefix declares: its weight class (400 regular, 700
// bold) and whether fsSelection marks it italic.
struct Os2Style {
    std::uint16_t weightClass = 0;
    bool italic = false;
};
Os2Style styleOf(const Os2Prefix& prefix);

// Reads big-endian fields from bytes that were read whole. Every read checks
// its bounds first; a failed read yields false and moves nothing.
class BigEndianReader {
public:
    explicit BigEndianReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool u16(std::uint16_t& value);
    bool u32(std::uint32_t& value);
    bool tag(Tag& value);
    bool skip(std::size_t count);
    // Moves to `position` from the start of the bytes; false past their end.
    bool seek(std::size_t position);
    std::size_t remaining() const { return bytes_.size() - position_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// Defined here so that the loops over a character map's thousands of
// groups are not a call per field.
inline bool BigEndianReader::u16(std::uint16_t& value) {
    if (bytes_.size() < 2 || position_ > bytes_.size() - 2) return false;
    value = static_cast<std::uint16_t>(std::uint32_t{bytes_[position_]} << 8 | bytes_[position_ + 1]);
    position_ += 2;
    return true;
}

inline bool BigEndianReader::u32(std::uint32_t& value) {
    if (bytes_.size() < 4 || position_ > bytes_.size() - 4) return false;
    const auto* at = &bytes_[position_];
    value = std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 | std::uint32_t{at[3]};
    position_ += 4;
    return true;
}

inline bool BigEndianReader::tag(Tag& value) {
    if (bytes_.size() < value.size() || position_ > bytes_.size() - value.size()) return false;
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), value.size(), value.begin());
    position_ += value.size();
    return true;
}

inline bool BigEndianReader::skip(std::size_t count) {
    if (count > bytes_.size() || position_ > bytes_.size() - count) return false;
    position_ += count;
    return true;
}

inline bool BigEndianReader::seek(std::size_t position) {
    if (position > bytes_.size()) return false;
    position_ = position;
    return true;
}

struct TableRecord {
    Tag tag{};
    std::uint32_t offset = 0;  // from the start of the file
    std::uint32_t length = 0;  // as the record says, whatever the file holds
};

struct NameHeader {
    std::uint16_t count = 0;
    std::uint16_t stringOffset = 0;
};

struct NameRecord {
    std::uint16_t platformID = 0;
    std::uint16_t languageID = 0;
    std::uint16_t nameID = 0;
    std::uint16_t length = 0;
    std::uint16_t offset = 0;
};

struct TableScan {
    enum class Outcome {
        found,        // `offset` holds the first matching record's table offset
        notFound,     // no match among the first min(numTables, 40) records
        shortRecord,  // record `recordIndex` is cut off by the end of the source
    };
    Outcome outcome = Outcome::notFound;
    std::uint32_t offset = 0;
    int recordIndex = 0;
    std::uint32_t length = 0;  // the found record's, as it says
};

// Scans the table directory at `directoryPosition` for `wanted`. A directory
// whose offset table is itself cut off has no records to find.
TableScan scanTableDirectory(ByteSource& source, std::uint64_t directoryPosition, const Tag& wanted);

// Reads the name table at `tableOffset` into `slot`: every platform-1,
// name-ID-4 record overwrites it, so the last one wins. A name longer than 99
// bytes keeps its first 99; a record whose string, or the part of it kept,
// is cut off by the end of the source is passed over, and the records stop at
// the first one that is cut off. Only the winning string is read. True when
// a name was written.
//
// With `windowsName`, the same reads also give it the Windows-platform full
// name (platform 3, name ID 4) as the UTF-16BE bytes of its string, at most
// kMaxWindowsNameSize of them: the first US English record whose string lies
// whole, else the first of any language; nothing when no such record has a
// whole string.
bool readNameTable(ByteSource& source, std::uint32_t tableOffset, NameSlot& slot, WindowsName* windowsName = nullptr);

}  // namespace fontfile
