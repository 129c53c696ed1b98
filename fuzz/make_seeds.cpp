// Writes the fuzz targets' seed corpus: fonts made with the tests' font
// writer, one for each kind of structure and damage the readers know, and
// small copies of real fonts given on the command line.
//
//   fuzz_make_seeds CORPUS [FONT.ttf|FONT.ttc ...] [--layout FONT.ttf|FONT.ttc ...]
//
// A real font is cut down to what the readers look at: its header and table
// directories as they are, its OS/2 tables, and its name tables with every
// record kept and each string cut to 40 bytes; every other table is left
// out (its record points at offset 0), except the cmap tables, kept whole in
// the character map target's copy. The layout target's copy keeps only the
// GSUB and GPOS tables, each up to its lookup list, with its length. Tables
// that members share stay shared.
//
// Fonts named after --layout make seeds of the layout target only.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "font_writer.h"

namespace {

using namespace testfonts;
namespace fs = std::filesystem;

constexpr Ranges kRanges{0x800000FFu, 0x0D0A1A0Du, 0x00000001u, 0x80000000u};
constexpr std::size_t kStringKept = 40;
constexpr std::size_t kLargestCmapSeed = 64 * 1024;
constexpr std::string_view kInventorySeparator = "FILE";  // as fuzz_inventory.cpp cuts its input

void writeFile(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::uint16_t u16(const Bytes& b, std::size_t at) {
    if (at + 2 > b.size()) throw std::runtime_error("not a font: ends inside a structure");
    return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}
std::uint32_t u32(const Bytes& b, std::size_t at) { return std::uint32_t{u16(b, at)} << 16 | u16(b, at + 2); }
void setU32(Bytes& b, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// A name table with every record of `table`, each string cut to kStringKept
// bytes and laid out anew.
Bytes cutNameTable(const Bytes& font, std::size_t table) {
    const auto count = u16(font, table + 2);
    const auto storage = table + u16(font, table + 4);
    Bytes out, strings;
    putU16(out, u16(font, table));
    putU16(out, count);
    putU16(out, static_cast<std::uint16_t>(6 + 12 * count));
    for (std::size_t r = 0; r < count; ++r) {
        const auto record = table + 6 + 12 * r;
        for (std::size_t field = 0; field < 4; ++field) putU16(out, u16(font, record + 2 * field));
        const auto length = std::min<std::size_t>(u16(font, record + 8), kStringKept);
        const auto from = storage + u16(font, record + 10);
        if (from + length > font.size()) throw std::runtime_error("not a font: a name string past the end");
        putU16(out, static_cast<std::uint16_t>(length));
        putU16(out, static_cast<std::uint16_t>(strings.size()));
        strings.insert(strings.end(), font.begin() + static_cast<std::ptrdiff_t>(from),
                       font.begin() + static_cast<std::ptrdiff_t>(from + length));
    }
    out.insert(out.end(), strings.begin(), strings.end());
    return out;
}

// What a cut-down font keeps besides its directories.
enum class Kept {
    os2AndNames,
    os2NamesAndCmap,
    layout,  // GSUB and GPOS up to their lookup lists, each record with the length kept
};

bool isLayoutTag(const Bytes& tag) { return tag == Bytes{'G', 'S', 'U', 'B'} || tag == Bytes{'G', 'P', 'O', 'S'}; }

// A layout table's header and lists: its bytes up to the lookup list when
// the lists come before it (as they do in most fonts), else all of them.
Bytes layoutLists(const Bytes& font, std::size_t offset, std::size_t length) {
    const std::size_t lookups = u16(font, offset + 8);
    const auto lists = std::max<std::size_t>(u16(font, offset + 4), u16(font, offset + 6));
    const auto kept = lookups > lists ? std::min(lookups, length) : length;
    if (offset + kept > font.size()) throw std::runtime_error("not a font: a table past the end");
    return Bytes(font.begin() + static_cast<std::ptrdiff_t>(offset),
                 font.begin() + static_cast<std::ptrdiff_t>(offset + kept));
}

// The real font cut down to its directories and the tables `kept` names.
Bytes cutDown(const Bytes& font, Kept kept = Kept::os2AndNames) {
    std::vector<std::size_t> directories{0};
    std::size_t headerSize = 0;
    if (font.size() >= 12 && std::equal(font.begin(), font.begin() + 4, "ttcf")) {
        directories.clear();
        const auto members = u32(font, 8);
        for (std::uint32_t m = 0; m < members; ++m) directories.push_back(u32(font, 12 + 4 * m));
        headerSize = 12 + 4 * std::size_t{members};
    }
    // Header and directories at their places, then the kept tables.
    Bytes out(font.begin(), font.begin() + static_cast<std::ptrdiff_t>(headerSize));
    std::map<std::uint32_t, std::uint32_t> moved;                   // old table offset -> new
    std::map<std::uint32_t, std::uint32_t> keptSizes;               // old table offset -> bytes kept
    std::vector<std::pair<std::size_t, std::size_t>> recordsToFix;  // record position in out, directory in font
    for (auto& directory : directories) {
        const auto tables = u16(font, directory + 4);
        const auto newPlace = out.size();
        out.insert(out.end(), font.begin() + static_cast<std::ptrdiff_t>(directory),
                   font.begin() + static_cast<std::ptrdiff_t>(directory + 12 + 16 * std::size_t{tables}));
        if (headerSize)
            setU32(out, 12 + 4 * static_cast<std::size_t>(&directory - directories.data()),
                   static_cast<std::uint32_t>(newPlace));
        for (std::size_t i = 0; i < tables; ++i)
            recordsToFix.push_back({newPlace + 12 + 16 * i, directory + 12 + 16 * i});
    }
    for (const auto& [inOut, inFont] : recordsToFix) {
        const Bytes tag(font.begin() + static_cast<std::ptrdiff_t>(inFont),
                        font.begin() + static_cast<std::ptrdiff_t>(inFont + 4));
        const bool layoutOnly = kept == Kept::layout;
        const bool os2 = !layoutOnly && tag == Bytes{'O', 'S', '/', '2'};
        const bool name = !layoutOnly && tag == Bytes{'n', 'a', 'm', 'e'};
        const bool cmap = kept == Kept::os2NamesAndCmap && tag == Bytes{'c', 'm', 'a', 'p'};
        const bool layout = layoutOnly && isLayoutTag(tag);
        const auto offset = u32(font, inFont + 8);
        if (!os2 && !name && !cmap && !layout) {
            setU32(out, inOut + 8, 0);
            continue;
        }
        if (!moved.count(offset)) {
            moved[offset] = static_cast<std::uint32_t>(out.size());
            const auto size = cmap ? u32(font, inFont + 12) : std::min<std::uint32_t>(u32(font, inFont + 12), 96);
            if (offset + std::size_t{size} > font.size()) throw std::runtime_error("not a font: a table past the end");
            Bytes table = name ? cutNameTable(font, offset)
                          : layout
                              ? layoutLists(font, offset, u32(font, inFont + 12))
                              : Bytes(font.begin() + offset, font.begin() + offset + static_cast<std::ptrdiff_t>(size));
            out.insert(out.end(), table.begin(), table.end());
            keptSizes[offset] = static_cast<std::uint32_t>(table.size());
        }
        setU32(out, inOut + 8, moved[offset]);
        setU32(out, inOut + 12, layout ? keptSizes[offset] : 0);  // only the layout reader examines lengths
    }
    return out;
}

std::string fillerTag(int i) { return "f" + std::to_string(100 + i); }

FontWriter withNames(const std::vector<NameEntry>& entries) {
    return FontWriter().table("OS/2", os2Table(kRanges)).table("name", nameTable(entries));
}

std::map<std::string, Bytes> singleFontSeeds() {
    std::map<std::string, Bytes> seeds;
    seeds["simple.ttf"] = simpleFont(kRanges, "Simple Sans").build();
    seeds["no-tables.ttf"] = FontWriter().build();
    seeds["os2-version0-then-post.ttf"] = FontWriter()
                                              .table("OS/2", os2Table(kRanges, 78))
                                              .table("post", Bytes(32, 0x11))
                                              .table("name", nameTable({{"V0"}}))
                                              .build();
    seeds["os2-short-at-end.ttf"] =
        FontWriter().table("name", nameTable({{"Short OS/2"}})).table("OS/2", os2Table(kRanges, 60)).build();
    seeds["names-last-wins.ttf"] = withNames({{"Longer first name"},
                                              {std::string("W\0i\0n", 5), 3, 4, 1, 0x409},
                                              {"Family", 1, 1},
                                              {"Later", 1, 4, 1, 11}})
                                       .build();
    seeds["name-with-zero.ttf"] = withNames({{std::string("Inner\0Zero", 10)}}).build();
    seeds["name-600-bytes.ttf"] = withNames({{std::string(600, 'N')}}).build();
    seeds["name-99-bytes.ttf"] = withNames({{std::string(99, 'n')}}).build();
    FontWriter late;
    for (int i = 0; i < 40; ++i) late.tableAt(fillerTag(i), 0);
    seeds["tables-after-the-40th.ttf"] =
        late.table("OS/2", os2Table(kRanges)).table("name", nameTable({{"Late"}})).build();
    seeds["directory-cut-off.ttf"] = truncated(
        FontWriter().table("cmap", {}).table("head", {}).table("name", nameTable({{"Cut"}})).build(), 12 + 16 * 2 + 8);
    seeds["num-tables-65535.ttf"] = simpleFont(kRanges, "Many").declaredNumTables(65535).build();
    seeds["offsets-past-the-end.ttf"] = FontWriter().tableAt("OS/2", 0x80000000u).tableAt("name", 0xFFFFFFFFu).build();
    NameEntry far{"Far"};
    far.offset = 0x8000;
    seeds["string-offset-32768.ttf"] = FontWriter().table("name", nameTable({far}, 0x8000)).build();
    auto named = withNames({{"Cut name"}}).build();
    seeds["name-string-cut-off.ttf"] = truncated(named, named.size() - 3);
    return seeds;
}

std::map<std::string, Bytes> collectionSeeds() {
    std::map<std::string, Bytes> seeds;
    CollectionWriter three;
    for (std::uint32_t m = 0; m < 3; ++m)
        three.member(simpleFont({m, m << 8, m << 16, m << 24}, "Member " + std::to_string(m)));
    seeds["three-members.ttc"] = three.build();
    CollectionWriter twelve;
    for (std::uint32_t m = 0; m < 12; ++m) twelve.member(simpleFont(kRanges, "M" + std::to_string(m)));
    seeds["twelve-members.ttc"] = twelve.build();
    seeds["num-fonts-0.ttc"] = CollectionWriter().member(simpleFont(kRanges, "Hidden")).declaredNumFonts(0).build();
    seeds["num-fonts-huge.ttc"] = CollectionWriter()
                                      .member(simpleFont(kRanges, "First"))
                                      .memberAt(0xFFFFFFF0u)
                                      .memberAt(0x80000000u)
                                      .declaredNumFonts(0xFFFFFFFFu)
                                      .build();
    const auto sharedAt = 12 + 4 * 2 + static_cast<std::uint32_t>(simpleFont(kRanges, "A").directorySize());
    seeds["shared-os2.ttc"] = CollectionWriter()
                                  .member(simpleFont(kRanges, "A"))
                                  .member(FontWriter().tableAt("OS/2", sharedAt).table("name", nameTable({{"B"}})))
                                  .build();
    seeds["shared-directory.ttc"] =
        CollectionWriter().member(simpleFont(kRanges, "Twice")).memberAt(12 + 4 * 2).build();
    CollectionWriter cut;
    cut.member(simpleFont(kRanges, "Whole"))
        .member(FontWriter().table("cmap", {}).table("name", nameTable({{"Never"}})));
    seeds["member-directory-cut-off.ttc"] = truncated(cut.build(), cut.memberOffset(1) + 12 + 16 + 10);
    seeds["header-cut-off.ttc"] = truncated(three.build(), 11);
    // Many members naming one directory: the catalog reads it once.
    CollectionWriter shared;
    shared.member(simpleFont(kRanges, "Shared"));
    for (int m = 1; m < 1500; ++m) shared.memberAt(12 + 4 * 1500);
    seeds["1500-members-one-directory.ttc"] = shared.build();
    Bytes sparse(2048, 0);
    std::copy_n("ttcf", 4, sparse.begin());
    setU32(sparse, 8, 0xFFFFFFFFu);
    seeds["sparse-num-fonts-huge.ttc"] = sparse;
    return seeds;
}

// A character map input: the font at 0, its cmap table holding `encodings`.
Bytes cmapFont(const std::vector<CmapEncoding>& encodings) {
    return FontWriter().table("OS/2", os2Table(kRanges)).table("cmap", cmapTable(encodings)).build();
}

Bytes patched16(Bytes bytes, std::size_t at, std::uint16_t value) {
    setU16(bytes, at, value);
    return bytes;
}

Bytes patched32(Bytes bytes, std::size_t at, std::uint32_t value) {
    setU32(bytes, at, value);
    return bytes;
}

// The character map target reads the font at 0 and the one whose directory
// is at the position its first two bytes give: here the second one, with
// zeros up to it.
Bytes atPosition(std::uint16_t position, const FontWriter& font) {
    Bytes out(position, 0);
    setU16(out, 0, position);
    const auto built = font.build(position);
    out.insert(out.end(), built.begin(), built.end());
    return out;
}

std::map<std::string, Bytes> cmapSeeds() {
    std::map<std::string, Bytes> seeds;
    const auto latin = cmapFormat4({{0x20, 0x7E, 0xFFE3}, {0xA0, 0xFF, 0xFF80}});
    const auto planes = cmapFormat12({{0x20, 0x7E, 3}, {0x1F600, 0x1F64F, 200}, {0x20000, 0x2A6DF, 300}});
    std::vector<std::uint8_t> format0Glyphs(256, 0);
    for (std::size_t c = 0x20; c < 0x7F; ++c) format0Glyphs[c] = static_cast<std::uint8_t>(c - 0x1D);

    seeds["format-0.ttf"] = cmapFont({{0, 3, cmapFormat0(format0Glyphs)}});
    seeds["format-4-id-delta.ttf"] = cmapFont({{3, 1, latin}});
    seeds["format-4-glyph-array.ttf"] =
        cmapFont({{3, 1, cmapFormat4({{0x41, 0x45, 0, {3, 0, 5, 6, 0xFFFF}}, {0x61, 0x63, 2, {0, 9, 10}}})}});
    seeds["format-6.ttf"] = cmapFont({{0, 3, cmapFormat6(0x400, {1, 2, 0, 4, 5})}});
    seeds["format-10.ttf"] = cmapFont({{0, 4, cmapFormat10(0x1D400, {1, 0, 3, 4})}});
    seeds["format-12-planes.ttf"] = cmapFont({{3, 10, planes}});
    seeds["format-13.ttf"] = cmapFont({{0, 6, cmapFormat13({{0, 0x10FFFF, 1}, {0xE000, 0xF8FF, 0}})}});
    seeds["windows-full-and-bmp.ttf"] = cmapFont({{3, 1, latin}, {1, 0, cmapFormat6(0, {1, 2})}, {3, 10, planes}});
    seeds["symbol-only.ttf"] = cmapFont({{3, 0, cmapFormat4({{0xF020, 0xF0FF, 1}})}});
    seeds["no-unicode.ttf"] = cmapFont({{1, 0, cmapFormat6(0, {1, 2})}, {0, 5, Bytes(10, 0)}});
    seeds["member-at-300.ttc"] = atPosition(300, FontWriter().table("cmap", cmapTable({{3, 10, planes}})));

    // Damage, each kind alone.
    const auto whole = cmapFont({{3, 1, latin}});
    const auto subtableAt = whole.size() - latin.size();
    seeds["directory-cut-off.ttf"] = truncated(whole, 12 + 16 + 10);
    seeds["cmap-header-cut-off.ttf"] = truncated(whole, subtableAt - 8 - 2);
    seeds["subtable-header-cut-off.ttf"] = truncated(whole, subtableAt + 5);
    seeds["subtable-past-the-end.ttf"] = cmapFont({{3, 1, latin, 0xFFFFFFF0u}});
    seeds["odd-seg-count.ttf"] = cmapFont({{3, 1, patched16(latin, kFormat4SegCountX2At, 7)}});
    seeds["seg-count-65534.ttf"] = cmapFont({{3, 1, patched16(latin, kFormat4SegCountX2At, 0xFFFE)}});
    seeds["format-4-length-short.ttf"] = cmapFont({{3, 1, patched16(latin, kFormat4LengthAt, 20)}});
    seeds["format-4-length-long.ttf"] = cmapFont({{3, 1, patched16(latin, kFormat4LengthAt, 0xFFFF)}});
    seeds["id-range-offset-outside.ttf"] = cmapFont({{3, 1, patched16(latin, format4IdRangeOffsetAt(3, 0), 0xFFF0)}});
    seeds["format-4-overlapping.ttf"] =
        cmapFont({{3, 1, cmapFormat4({{0x41, 0x80, 1}, {0x20, 0x60, 1}, {0x90, 0x10, 1}, {0, 0xFFFE, 0, {}, 2}})}});
    seeds["groups-count-huge.ttf"] = cmapFont({{3, 10, patched32(planes, kLongFormatCountAt, 0xFFFFFFFF)}});
    seeds["length-past-the-end.ttf"] = cmapFont({{3, 10, patched32(planes, kLongFormatLengthAt, 0xFFFFFFFF)}});
    seeds["groups-unsorted.ttf"] = cmapFont(
        {{3, 10, cmapFormat12({{0x300, 0x3FF, 9}, {0x100, 0x1FF, 9}, {0x500, 0x400, 1}, {0x10FFF0, 0xFFFFFFFF, 2}})}});
    seeds["format-not-read.ttf"] = cmapFont({{3, 1, patched16(latin, 0, 2)}});
    // Fallback: the preferred subtable cannot be used, the next one can.
    auto format8 = planes;
    setU16(format8, 0, 8);
    seeds["fallback-from-past-the-end.ttf"] = cmapFont({{3, 10, planes, 0xFFFFFF00u}, {3, 1, latin}});
    seeds["fallback-from-format-8.ttf"] = cmapFont({{3, 10, format8}, {3, 1, latin}});
    seeds["fallback-from-odd-seg-count.ttf"] =
        cmapFont({{0, 4, patched16(latin, kFormat4SegCountX2At, 7)}, {0, 3, latin}, {3, 0, latin}});
    seeds["fallback-none-usable.ttf"] =
        cmapFont({{3, 10, format8}, {0, 3, latin, 0xFFFFFF00u}, {3, 1, latin, 0xFFFFFF00u}});
    seeds["fallback-to-symbol.ttf"] = cmapFont({{3, 1, patched16(latin, 0, 2)}, {3, 0, latin}});
    auto records = cmapTable({{3, 1, latin}});
    setU16(records, 2, 0xFFFF);
    seeds["records-65535.ttf"] = FontWriter().table("cmap", records).build();
    return seeds;
}

// ---- Layout tables ----------------------------------------------------------

LayoutParts threeLayoutScripts() {
    LayoutParts gsub;
    gsub.features = {"ccmp", "liga", "locl", "isol", "init", "fina", "medi", "rlig", "liga"};
    gsub.scripts = {{"DFLT", LangSysParts{{0}}, {}},
                    {"arab", LangSysParts{{0, 3, 4, 5, 6}, 7}, {{"URD ", {{3, 4, 5, 6, 2}, 7}}, {"SND ", {}, 0}}},
                    {"latn", LangSysParts{{0, 1, 8}}, {{"TRK ", {{2, 1}}}, {"ROM ", {{2}}}}}};
    return gsub;
}

LayoutParts marksLayout() {
    LayoutParts gpos;
    gpos.features = {"kern", "mark", "mkmk"};
    gpos.scripts = {{"DFLT", LangSysParts{{0}}, {}}, {"latn", LangSysParts{{0, 1, 2}}, {}, std::nullopt}};
    return gpos;
}

Bytes layoutFont(const LayoutParts& gsub, const LayoutParts& gpos = marksLayout()) {
    return FontWriter()
        .table("OS/2", os2Table(kRanges))
        .table("GSUB", layoutTable(gsub))
        .table("GPOS", layoutTable(gpos))
        .build();
}

// A GSUB table raw, followed by a GPOS table.
Bytes rawGsubFont(const Bytes& gsub) {
    return FontWriter().table("GSUB", gsub).table("GPOS", layoutTable(marksLayout())).build();
}

std::map<std::string, Bytes> layoutSeeds() {
    std::map<std::string, Bytes> seeds;
    const auto three = threeLayoutScripts();
    seeds["three-scripts.ttf"] = layoutFont(three);
    auto gpos11 = marksLayout();
    gpos11.minorVersion = 1;
    seeds["gpos-version-1-1.ttf"] = layoutFont(three, gpos11);
    auto outside = three;
    outside.scripts[2].defaultSystem = LangSysParts{{1, 9, 0xFFFE, 0xFFFF}, 40};
    outside.declaredFeatureCount = 4;
    seeds["indices-outside.ttf"] = layoutFont(outside);
    auto shared = three;
    shared.scripts[1].languages[1].sameAs = 0;
    shared.scripts[2].sameAs = 0;
    seeds["shared-tables.ttf"] = layoutFont(shared);
    auto repeated = three;
    repeated.scripts.push_back({"latn", LangSysParts{{7}}, {{"TRK ", {{5}}}, {"TRK ", {{6}}}}});
    seeds["repeated-tags.ttf"] = layoutFont(repeated);
    auto nulls = three;
    nulls.scripts[0].offset = 0;
    nulls.scripts[1].languages[0].offset = 0;
    nulls.scripts[2].defaultSystem.reset();
    seeds["null-offsets.ttf"] = layoutFont(nulls);
    auto noLists = three;
    noLists.featureListOffset = 0;
    seeds["no-feature-list.ttf"] = layoutFont(noLists);
    auto lookupsFirst = three;
    lookupsFirst.lookupListFirst = true;
    lookupsFirst.lookupListSize = 5000;  // the lists past the table's first 4 KiB
    seeds["lookups-first.ttf"] = layoutFont(lookupsFirst);
    auto lookupsAfter = three;
    lookupsAfter.lookupListSize = 1000;
    lookupsAfter.featureListFirst = true;
    seeds["lookups-after.ttf"] = layoutFont(lookupsAfter);
    seeds["member-at-300.ttc"] =
        atPosition(300, FontWriter().table("GSUB", layoutTable(three)).table("GPOS", layoutTable(marksLayout())));

    // Damage, each kind alone.
    const auto table = layoutTable(three);
    seeds["directory-cut-off.ttf"] = truncated(layoutFont(three), 12 + 16 + 10);
    seeds["header-cut-off.ttf"] = rawGsubFont(truncated(table, 9));
    seeds["version-2.ttf"] = rawGsubFont(patched16(table, 0, 2));
    seeds["script-list-outside.ttf"] = rawGsubFont(patched16(table, kLayoutScriptListAt, 0xFFF0));
    seeds["feature-list-outside.ttf"] = rawGsubFont(patched16(table, kLayoutFeatureListAt, 0xFFF0));
    auto lengthShort = rawGsubFont(table);
    setU32(lengthShort, 12 + 12, static_cast<std::uint32_t>(table.size() - 5));  // the GSUB record's length
    seeds["length-short.ttf"] = lengthShort;
    auto lying = three;
    lying.featureListFirst = true;
    lying.scripts[2].defaultSystem->declaredCount = 0xFFFF;
    lying.scripts[2].declaredLanguageCount = 0xFFFF;
    lying.declaredScriptCount = 0xFFFF;
    lying.declaredFeatureCount = 0xFFFF;
    seeds["counts-65535.ttf"] = layoutFont(lying);
    seeds["overlapping-systems.ttf"] = rawGsubFont(overlappingLanguageSystems(500, 4000));
    seeds["sharing-multiplies.ttf"] = rawGsubFont(layoutTable(sharedAtEveryLevel(60)));
    return seeds;
}

// An inventory input: entries of a kind byte and content, cut by the separator.
Bytes folderInput(const std::vector<std::pair<std::uint8_t, Bytes>>& entries) {
    Bytes out;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) out.insert(out.end(), kInventorySeparator.begin(), kInventorySeparator.end());
        out.push_back(entries[i].first);
        out.insert(out.end(), entries[i].second.begin(), entries[i].second.end());
    }
    return out;
}

constexpr std::uint8_t kTtf = 0, kTtfUpper = 1, kFolder = 2, kTtc = 4, kLongName = 8;
// With kLongName: a name of 90 + 11 * step characters.
constexpr std::uint8_t longNameStep(std::uint8_t step) { return static_cast<std::uint8_t>(kLongName | step << 4); }

std::map<std::string, Bytes> inventorySeeds(const std::map<std::string, Bytes>& singles,
                                            const std::map<std::string, Bytes>& collections) {
    std::map<std::string, Bytes> seeds;
    seeds["mixed-folder"] = folderInput({{kTtf, singles.at("simple.ttf")},
                                         {kTtc, collections.at("three-members.ttc")},
                                         {kFolder, {}},
                                         {kFolder | kTtc, {}},
                                         {kTtfUpper, singles.at("names-last-wins.ttf")},
                                         {kTtf, {}},
                                         {kTtf, Bytes(11, 0)},
                                         {kTtfUpper | kTtc, collections.at("num-fonts-huge.ttc")}});
    seeds["damaged-among-good"] = folderInput({{kTtf, singles.at("offsets-past-the-end.ttf")},
                                               {kTtf, singles.at("directory-cut-off.ttf")},
                                               {kTtf, singles.at("name-600-bytes.ttf")},
                                               {kTtc, collections.at("member-directory-cut-off.ttc")},
                                               {kTtc, collections.at("twelve-members.ttc")},
                                               {kTtc, collections.at("header-cut-off.ttc")}});
    seeds["long-names"] = folderInput({{longNameStep(0), singles.at("simple.ttf")},
                                       {longNameStep(1) | kTtc, collections.at("three-members.ttc")},
                                       {longNameStep(15), singles.at("names-last-wins.ttf")},
                                       {longNameStep(15) | kTtc, collections.at("shared-os2.ttc")},
                                       {longNameStep(15), singles.at("directory-cut-off.ttf")},
                                       {longNameStep(9) | kFolder, {}}});
    const Bytes text{'R', 'e', 'a', 'd', ' ', 'm', 'e', '\n'};
    seeds["not-fonts-among-fonts"] = folderInput({{kTtf, text},
                                                  {kTtf, singles.at("simple.ttf")},
                                                  {kTtc, text},
                                                  {kTtf, singles.at("directory-cut-off.ttf")},
                                                  {kTtc, collections.at("1500-members-one-directory.ttc")},
                                                  {kTtc, collections.at("sparse-num-fonts-huge.ttc")}});
    for (const auto& [name, bytes] : singles) {
        if (name.rfind("real-", 0) == 0)
            seeds["folder-" + name] = folderInput({{kTtf, bytes}, {kTtf, singles.at("simple.ttf")}});
    }
    for (const auto& [name, bytes] : collections) {
        if (name.rfind("real-", 0) == 0)
            seeds["folder-" + name] = folderInput({{kTtc, bytes}, {kTtf, singles.at("simple.ttf")}});
    }
    return seeds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS [FONT.ttf|FONT.ttc ...] [--layout FONT.ttf|FONT.ttc ...]\n", argv[0]);
        return 2;
    }
    try {
        const fs::path corpus = argv[1];
        auto singles = singleFontSeeds();
        auto collections = collectionSeeds();
        auto cmaps = cmapSeeds();
        auto layouts = layoutSeeds();
        bool layoutOnly = false;
        for (int a = 2; a < argc; ++a) {
            if (std::string_view(argv[a]) == "--layout") {
                layoutOnly = true;
                continue;
            }
            const fs::path font = argv[a];
            const auto file = readFile(font);
            const bool collection = file.size() >= 4 && std::equal(file.begin(), file.begin() + 4, "ttcf");
            const auto name = "real-" + font.filename().string();
            // The position the character map and layout targets read besides
            // 0: the first member's directory.
            const auto firstMemberAtZero = [&](Bytes bytes) {
                if (collection) std::copy_n(bytes.begin() + 14, 2, bytes.begin());
                return bytes;
            };
            layouts[name] = firstMemberAtZero(cutDown(file, Kept::layout));
            if (layoutOnly) continue;
            (collection ? collections : singles)[name] = cutDown(file);
            const auto withCmap = firstMemberAtZero(cutDown(file, Kept::os2NamesAndCmap));
            if (withCmap.size() <= kLargestCmapSeed) cmaps[name] = withCmap;
        }
        auto folders = inventorySeeds(singles, collections);
        for (const auto& [target, seeds] : {std::pair{"single_font", &singles},
                                            {"collection", &collections},
                                            {"inventory", &folders},
                                            {"cmap", &cmaps},
                                            {"layout", &layouts}}) {
            for (const auto& [name, bytes] : *seeds) writeFile(corpus / target / name, bytes);
            std::printf("%s: %zu seeds\n", target, seeds->size());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
