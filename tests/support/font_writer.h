// Builds font files for tests: single fonts and collections with chosen
// tables, name records, counts, offsets and truncations.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testfonts {

using Bytes = std::vector<std::uint8_t>;
using Ranges = std::array<std::uint32_t, 4>;

void putU16(Bytes& out, std::uint16_t value);
void putU32(Bytes& out, std::uint32_t value);
// Overwrite the field at `at`, which must be inside `out`: how tests make a
// structure lie.
void setU16(Bytes& out, std::size_t at, std::uint16_t value);
void setU32(Bytes& out, std::size_t at, std::uint32_t value);
// The field at `at`, which must be inside `in`: how tests find a structure.
std::uint16_t getU16(const Bytes& in, std::size_t at);

// An OS/2 table of `length` bytes (86: version 1, 78: version 0) whose range
// words hold `ranges`; every other byte is 0xEE so that stray reads show.
Bytes os2Table(const Ranges& ranges, std::size_t length = 86);

struct NameEntry {
    std::string text;
    std::uint16_t platformID = 1;
    std::uint16_t nameID = 4;
    std::uint16_t encodingID = 0;
    std::uint16_t languageID = 0;
    std::optional<std::uint16_t> offset;  // default: where the text is stored
    std::optional<std::uint16_t> length;  // default: the text's length
};

// A name table with `entries` in order, their strings after the records.
Bytes nameTable(const std::vector<NameEntry>& entries, std::optional<std::uint16_t> stringOffset = std::nullopt);

// ---- Character maps ----------------------------------------------------

struct CmapEncoding {
    std::uint16_t platformID = 3;
    std::uint16_t encodingID = 1;
    Bytes subtable;
    std::optional<std::uint32_t> offset;  // default: where the subtable is stored
};

// A cmap table with one encoding record per entry, in order, and their
// subtables after the records.
Bytes cmapTable(const std::vector<CmapEncoding>& encodings);

// Subtables whose length field is the bytes written and whose language is 0.
Bytes cmapFormat0(const std::vector<std::uint8_t>& glyphs);  // for code points 0.. (256 in a font)

struct Format4Segment {
    std::uint16_t start = 0;
    std::uint16_t end = 0;
    std::uint16_t idDelta = 0;
    // Empty: idRangeOffset 0, the glyph coming from idDelta. Otherwise the
    // glyphs of start..end, stored in the glyph array for idRangeOffset to
    // point at (their idDelta still added).
    std::vector<std::uint16_t> glyphs;
    std::optional<std::uint16_t> idRangeOffset;  // written as given, pointing anywhere
};

// The segments in order, then the 0xFFFF segment that ends every format 4
// subtable unless the last one given ends at 0xFFFF.
Bytes cmapFormat4(std::vector<Format4Segment> segments);
Bytes cmapFormat6(std::uint16_t firstCode, const std::vector<std::uint16_t>& glyphs);
Bytes cmapFormat10(std::uint32_t startCharCode, const std::vector<std::uint16_t>& glyphs);

struct CmapGroup {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint32_t glyph = 0;
};
Bytes cmapFormat12(const std::vector<CmapGroup>& groups);
Bytes cmapFormat13(const std::vector<CmapGroup>& groups);

// Where format 4's fields are, for tests that make them lie.
inline constexpr std::size_t kFormat4LengthAt = 2;
inline constexpr std::size_t kFormat4SegCountX2At = 6;
inline std::size_t format4IdRangeOffsetAt(std::size_t segCount, std::size_t segment) {
    return 16 + 6 * segCount + 2 * segment;
}
// ... and those of formats 10, 12 and 13.
inline constexpr std::size_t kLongFormatLengthAt = 4;
inline constexpr std::size_t kLongFormatCountAt = 12;  // numGroups; numChars of format 10 is at 16

// ---- Layout tables (GSUB, GPOS) -------------------------------------------

inline constexpr std::uint16_t kNoRequiredFeature = 0xFFFF;

struct LangSysParts {
    std::vector<std::uint16_t> featureIndices;
    std::uint16_t requiredFeature = kNoRequiredFeature;
    std::optional<std::uint16_t> declaredCount;  // featureIndexCount written as given
};

struct LanguageParts {
    std::string tag;
    LangSysParts system;
    // The index of an earlier language of the same script whose LangSys
    // this record points at; then `system` is not written.
    std::optional<std::size_t> sameAs;
    std::optional<std::uint16_t> offset;  // from the Script table, written as given
};

struct ScriptParts {
    std::string tag;
    std::optional<LangSysParts> defaultSystem;
    std::vector<LanguageParts> languages;
    // The index of an earlier script whose Script table this record points
    // at; then nothing of this one but its tag is written.
    std::optional<std::size_t> sameAs;
    std::optional<std::uint16_t> offset;  // from the ScriptList, written as given
    std::optional<std::uint16_t> declaredLanguageCount;
};

// A GSUB or GPOS table: the header, then the ScriptList with each Script
// table followed by its LangSys tables (the default one first), then the
// FeatureList with an empty feature table for each tag (the two lists the
// other way round with `featureListFirst`). A lookup list of
// `lookupListSize` bytes, one lookup padded with 0xEE, goes after them, or
// between the header and them with `lookupListFirst`.
struct LayoutParts {
    std::vector<ScriptParts> scripts;
    std::vector<std::string> features;  // the FeatureList's tags, by feature index
    std::uint16_t majorVersion = 1;
    std::uint16_t minorVersion = 0;  // 1 adds a featureVariationsOffset of 0
    std::size_t lookupListSize = 0;  // 0: no lookup list, its offset 0
    bool lookupListFirst = false;
    bool featureListFirst = false;
    std::optional<std::uint16_t> declaredScriptCount;
    std::optional<std::uint16_t> declaredFeatureCount;
    std::optional<std::uint16_t> scriptListOffset;  // written as given
    std::optional<std::uint16_t> featureListOffset;
};

Bytes layoutTable(const LayoutParts& parts);

// Tables made to cost far more than their bytes, as hostile files do:
// one script whose `systems` language systems start at every other byte of
// a run of `run` bytes 0x7F, each saying it has 32,639 feature indices (no
// feature list) ...
Bytes overlappingLanguageSystems(std::size_t systems, std::size_t run);
// ... and `count` scripts sharing one Script table whose `count` languages
// share one LangSys of `count` features, "f100" on.
LayoutParts sharedAtEveryLevel(int count);

// Where a layout table's header fields are, for tests that make them lie.
inline constexpr std::size_t kLayoutScriptListAt = 4;
inline constexpr std::size_t kLayoutFeatureListAt = 6;
inline constexpr std::size_t kLayoutLookupListAt = 8;

// One table directory and its tables. Tables are laid out after the
// directory in the order added; table offsets count from the start of the
// file, with the directory placed at `base`.
class FontWriter {
public:
    FontWriter& table(const std::string& tag, Bytes data);
    // A record whose offset points at `offset` and that adds no data.
    FontWriter& tableAt(const std::string& tag, std::uint32_t offset);
    FontWriter& declaredNumTables(std::uint16_t numTables);
    // 0x00010000 (TrueType outlines) unless told: 'OTTO' for CFF outlines.
    FontWriter& sfntVersion(std::uint32_t version);

    Bytes build(std::uint32_t base = 0) const;
    std::size_t directorySize() const { return 12 + 16 * tables_.size(); }

private:
    struct Table {
        std::string tag;
        Bytes data;
        std::optional<std::uint32_t> fixedOffset;
    };
    std::vector<Table> tables_;
    std::optional<std::uint16_t> numTables_;
    std::uint32_t sfntVersion_ = 0x00010000;
};

// A single font with an OS/2 table and, unless `fullName` is empty, a name
// table with one platform-1 name-ID-4 record.
FontWriter simpleFont(const Ranges& ranges, const std::string& fullName);

class CollectionWriter {
public:
    CollectionWriter& member(FontWriter font);
    // A member entry whose directory offset is `offset`, with no data.
    CollectionWriter& memberAt(std::uint32_t offset);
    CollectionWriter& declaredNumFonts(std::uint32_t numFonts);
    Bytes build() const;
    // Where the directory of the member added as `index` starts in build();
    // for a memberAt() entry, its given offset.
    std::uint32_t memberOffset(std::size_t index) const;

private:
    struct Member {
        std::optional<FontWriter> font;
        std::uint32_t fixedOffset = 0;
    };
    std::vector<Member> members_;
    std::optional<std::uint32_t> numFonts_;
};

inline Bytes truncated(Bytes bytes, std::size_t size) {
    bytes.resize(std::min(bytes.size(), size));
    return bytes;
}

// A folder under the system's temporary folder, removed with its content.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes `bytes` to the file `name` in the folder; returns its full path.
    std::string write(const std::string& name, const Bytes& bytes) const;
    void makeFolder(const std::string& name) const;
    // The folder as the engine names it (a drive path under Windows).
    std::string enginePath() const;

private:
    std::filesystem::path path_;
};

Bytes readFile(const std::filesystem::path& path);

}  // namespace testfonts
