// What a font's OpenType layout tables declare: for GSUB and GPOS, each
// script of the ScriptList with its default language system and its
// language systems, and the FeatureList tags that each of them reaches
// through its feature indices, the required feature included. Only that is
// read: never the lookup list, a feature table or the feature variations.
//
// "Declares" is all this tells: a feature being listed says nothing of
// whether its lookups are right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "fontfile/byte_source.h"
#include "fontfile/sfnt.h"

namespace fontfile {

inline constexpr Tag kGsubTag = tagOf("GSUB");
inline constexpr Tag kGposTag = tagOf("GPOS");

// Tags sorted by their bytes, none twice.
using TagSet = std::vector<Tag>;

// Whether `features`, a TagSet, holds `feature`.
bool declares(std::span<const Tag> features, const Tag& feature);

struct LanguageSystem {
    Tag language{};   // the LangSysRecord's tag ("URD ", "MKD ")
    TagSet features;  // those its feature indices and its required feature reach
};

struct LayoutScript {
    Tag script{};                           // "arab", "dev2", "DFLT"
    std::optional<TagSet> defaultFeatures;  // the default language system's; none when it has none
    std::vector<LanguageSystem> languages;  // sorted by tag, one per tag
    TagSet features;                        // the union of the default's and every language's

    // The features a shaper works with for `language`: its own language
    // system's when the script has one, else the default's; none without.
    std::span<const Tag> featuresFor(const Tag& language) const;
};

// The work a table may cost: kLayoutWorkFloor steps, and kLayoutWorkPerByte
// more for each of its bytes that exist. A step is a record or a feature
// index looked at, or a tag put into the result. Each structure is read once
// however many records point at it, so real tables take far less: the 572
// GSUB and GPOS tables of the DejaVu, Liberation, Noto and WenQuanYi
// packages take at most 2,575 steps, and 0.26 a byte.
inline constexpr std::size_t kLayoutWorkFloor = std::size_t{1} << 14;
inline constexpr std::size_t kLayoutWorkPerByte = 8;

struct LayoutTable {
    enum class Outcome {
        read,     // `scripts` is what the table declares
        absent,   // no record for the table among the directory's first 40
        damaged,  // the table's layout cannot be known: see `damage`
    };
    Outcome outcome = Outcome::absent;
    // Sorted by tag, one per tag (records that repeat a tag are joined);
    // empty unless the outcome is `read`.
    std::vector<LayoutScript> scripts;
    // For `damaged`: why, as a short plain-English note; otherwise null.
    const char* damage = nullptr;
    // The steps the reading took, at most one structure's worth beyond the
    // bound above.
    std::size_t work = 0;

    const LayoutScript* findScript(const Tag& script) const;
};

struct LayoutTables {
    LayoutTable gsub;
    LayoutTable gpos;
};

// The tables `layout` points at; for none (never read, or a font whose
// tables were set aside), those of a font that has neither.
const LayoutTables& tablesOrNone(const std::shared_ptr<const LayoutTables>& layout);

// Reads GSUB and GPOS of the font whose table directory starts at
// `directoryPosition` (0 for a single font, the member's offset in a
// collection). A table's bytes are those its record's length gives, as far
// as the source holds them. Its first kTableWindowSize bytes, which hold the
// script and feature lists of most fonts, come in one read; a structure
// that lies beyond them is read on its own. Versions 1.x are read alike.
//
// Damage that leaves the table's layout unknown gives `damaged`, which a
// caller treats as no table: the directory cut off before the table's
// record, a header cut off, a major version other than 1, a script list or
// feature list whose offset leaves no room for its count inside the table,
// and more work than the table's bytes can account for (structures that
// overlap to be read again and again). Damage to independent entries is
// clamped silently, the entries that are whole being good data: a count
// is cut to the records that fit in the table, a feature index outside the
// FeatureList reaches nothing, and a script or language system whose table
// lies outside, or is cut off in its header, is left out. A null offset
// (0) is no list, no script or no language system.
LayoutTables parseLayoutTables(ByteSource& source, std::uint64_t directoryPosition);

}  // namespace fontfile
