#include "font_writer.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>

namespace testfonts {

void putU16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void putU32(Bytes& out, std::uint32_t value) {
    putU16(out, static_cast<std::uint16_t>(value >> 16));
    putU16(out, static_cast<std::uint16_t>(value));
}

void setU16(Bytes& out, std::size_t at, std::uint16_t value) {
    out.at(at) = static_cast<std::uint8_t>(value >> 8);
    out.at(at + 1) = static_cast<std::uint8_t>(value);
}

void setU32(Bytes& out, std::size_t at, std::uint32_t value) {
    setU16(out, at, static_cast<std::uint16_t>(value >> 16));
    setU16(out, at + 2, static_cast<std::uint16_t>(value));
}

std::uint16_t getU16(const Bytes& in, std::size_t at) {
    return static_cast<std::uint16_t>(std::uint32_t{in.at(at)} << 8 | in.at(at + 1));
}

Bytes os2Table(const Ranges& ranges, std::size_t length) {
    Bytes table(42, 0xEE);
    table[0] = 0;
    table[1] = length >= 86 ? 1 : 0;  // version
    for (auto word : ranges) putU32(table, word);
    table.resize(std::max<std::size_t>(length, table.size()), 0xEE);
    table.resize(length);
    return table;
}

Bytes nameTable(const std::vector<NameEntry>& entries, std::optional<std::uint16_t> stringOffset) {
    Bytes table;
    const auto count = static_cast<std::uint16_t>(entries.size());
    putU16(table, 0);
    putU16(table, count);
    putU16(table, stringOffset.value_or(static_cast<std::uint16_t>(6 + 12 * count)));
    std::string storage;
    for (const auto& e : entries) {
        putU16(table, e.platformID);
        putU16(table, e.encodingID);
        putU16(table, e.languageID);
        putU16(table, e.nameID);
        putU16(table, e.length.value_or(static_cast<std::uint16_t>(e.text.size())));
        putU16(table, e.offset.value_or(static_cast<std::uint16_t>(storage.size())));
        storage += e.text;
    }
    table.insert(table.end(), storage.begin(), storage.end());
    return table;
}

Bytes cmapTable(const std::vector<CmapEncoding>& encodings) {
    Bytes table;
    putU16(table, 0);  // version
    putU16(table, static_cast<std::uint16_t>(encodings.size()));
    Bytes subtables;
    const auto stored = static_cast<std::uint32_t>(4 + 8 * encodings.size());
    for (const auto& e : encodings) {
        putU16(table, e.platformID);
        putU16(table, e.encodingID);
        putU32(table, e.offset.value_or(stored + static_cast<std::uint32_t>(subtables.size())));
        subtables.insert(subtables.end(), e.subtable.begin(), e.subtable.end());
    }
    table.insert(table.end(), subtables.begin(), subtables.end());
    return table;
}

namespace {

// Format, length and language of 16 bits, the length set to the whole.
Bytes shortFormat(std::uint16_t format, const Bytes& body) {
    Bytes out;
    putU16(out, format);
    putU16(out, static_cast<std::uint16_t>(6 + body.size()));
    putU16(out, 0);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Format, reserved, then length and language of 32 bits.
Bytes longFormat(std::uint16_t format, const Bytes& body) {
    Bytes out;
    putU16(out, format);
    putU16(out, 0);
    putU32(out, static_cast<std::uint32_t>(12 + body.size()));
    putU32(out, 0);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes groupsFormat(std::uint16_t format, const std::vector<CmapGroup>& groups) {
    Bytes body;
    putU32(body, static_cast<std::uint32_t>(groups.size()));
    for (const auto& g : groups) {
        putU32(body, g.first);
        putU32(body, g.last);
        putU32(body, g.glyph);
    }
    return longFormat(format, body);
}

}  // namespace

Bytes cmapFormat0(const std::vector<std::uint8_t>& glyphs) { return shortFormat(0, glyphs); }

Bytes cmapFormat4(std::vector<Format4Segment> segments) {
    if (segments.empty() || segments.back().end != 0xFFFF) segments.push_back({0xFFFF, 0xFFFF, 1});
    const auto segCount = static_cast<std::uint16_t>(segments.size());
    Bytes ends, starts, deltas, rangeOffsets, glyphArray;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const auto& s = segments[i];
        putU16(ends, s.end);
        putU16(starts, s.start);
        putU16(deltas, s.idDelta);
        // From this entry to the segment's first glyph: past the rest of the
        // idRangeOffset array, then into the glyph array.
        const auto pointing = static_cast<std::uint16_t>(2 * (segments.size() - i) + glyphArray.size());
        putU16(rangeOffsets, s.idRangeOffset.value_or(s.glyphs.empty() ? 0 : pointing));
        for (auto glyph : s.glyphs) putU16(glyphArray, glyph);
    }
    Bytes body;
    putU16(body, static_cast<std::uint16_t>(2 * segCount));
    putU16(body, 0);  // searchRange, entrySelector and rangeShift are not read
    putU16(body, 0);
    putU16(body, 0);
    for (const auto* part : {&ends, &starts, &deltas, &rangeOffsets, &glyphArray}) {
        body.insert(body.end(), part->begin(), part->end());
        if (part == &ends) putU16(body, 0);  // reservedPad
    }
    return shortFormat(4, body);
}

Bytes cmapFormat6(std::uint16_t firstCode, const std::vector<std::uint16_t>& glyphs) {
    Bytes body;
    putU16(body, firstCode);
    putU16(body, static_cast<std::uint16_t>(glyphs.size()));
    for (auto glyph : glyphs) putU16(body, glyph);
    return shortFormat(6, body);
}

Bytes cmapFormat10(std::uint32_t startCharCode, const std::vector<std::uint16_t>& glyphs) {
    Bytes body;
    putU32(body, startCharCode);
    putU32(body, static_cast<std::uint32_t>(glyphs.size()));
    for (auto glyph : glyphs) putU16(body, glyph);
    return longFormat(10, body);
}

Bytes cmapFormat12(const std::vector<CmapGroup>& groups) { return groupsFormat(12, groups); }
Bytes cmapFormat13(const std::vector<CmapGroup>& groups) { return groupsFormat(13, groups); }

namespace {

void putTag(Bytes& out, const std::string& tag) {
    if (tag.size() != 4) throw std::invalid_argument("a tag has four characters: \"" + tag + "\"");
    out.insert(out.end(), tag.begin(), tag.end());
}

// An offset of 16 bits, which a test's table must not outgrow.
std::uint16_t offset16(std::size_t offset) {
    if (offset > 0xFFFF) throw std::length_error("a layout table offset past 65535");
    return static_cast<std::uint16_t>(offset);
}

void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

Bytes langSysTable(const LangSysParts& system) {
    Bytes out;
    putU16(out, 0);  // lookupOrderOffset
    putU16(out, system.requiredFeature);
    putU16(out, system.declaredCount.value_or(static_cast<std::uint16_t>(system.featureIndices.size())));
    for (auto index : system.featureIndices) putU16(out, index);
    return out;
}

Bytes scriptTable(const ScriptParts& script) {
    const auto languages = script.languages.size();
    Bytes out, systems;
    const std::size_t systemsAt = 4 + 6 * languages;
    const auto place = [&](const LangSysParts& system) {
        const auto at = offset16(systemsAt + systems.size());
        append(systems, langSysTable(system));
        return at;
    };
    putU16(out, script.defaultSystem ? place(*script.defaultSystem) : std::uint16_t{0});
    putU16(out, script.declaredLanguageCount.value_or(static_cast<std::uint16_t>(languages)));
    std::vector<std::uint16_t> placed;
    for (const auto& language : script.languages) {
        placed.push_back(language.sameAs ? placed.at(*language.sameAs) : place(language.system));
        putTag(out, language.tag);
        putU16(out, language.offset.value_or(placed.back()));
    }
    append(out, systems);
    return out;
}

Bytes scriptList(const LayoutParts& parts) {
    Bytes out, scripts;
    const auto count = parts.scripts.size();
    putU16(out, parts.declaredScriptCount.value_or(static_cast<std::uint16_t>(count)));
    std::vector<std::uint16_t> placed;
    for (const auto& script : parts.scripts) {
        if (script.sameAs) {
            placed.push_back(placed.at(*script.sameAs));
        } else {
            placed.push_back(offset16(2 + 6 * count + scripts.size()));
            append(scripts, scriptTable(script));
        }
        putTag(out, script.tag);
        putU16(out, script.offset.value_or(placed.back()));
    }
    append(out, scripts);
    return out;
}

Bytes featureList(const LayoutParts& parts) {
    Bytes out;
    const auto count = parts.features.size();
    putU16(out, parts.declaredFeatureCount.value_or(static_cast<std::uint16_t>(count)));
    for (std::size_t k = 0; k < count; ++k) {
        putTag(out, parts.features[k]);
        putU16(out, offset16(2 + 6 * count + 4 * k));
    }
    for (std::size_t k = 0; k < count; ++k) putU32(out, 0);  // featureParamsOffset, lookupIndexCount
    return out;
}

Bytes lookupList(std::size_t size) {
    Bytes out;
    putU16(out, 1);  // lookupCount
    putU16(out, 4);  // its offset
    putU16(out, 1);  // lookupType
    putU16(out, 0);  // lookupFlag
    putU16(out, 0);  // subTableCount
    out.resize(std::max(size, out.size()), 0xEE);
    return out;
}

}  // namespace

Bytes layoutTable(const LayoutParts& parts) {
    const std::size_t headerSize = parts.minorVersion >= 1 ? 14 : 10;
    const auto lookups = parts.lookupListSize ? lookupList(parts.lookupListSize) : Bytes{};
    const auto scripts = scriptList(parts);
    const auto features = featureList(parts);
    const std::size_t listsAt = headerSize + (parts.lookupListFirst ? lookups.size() : 0);
    const std::size_t lookupsAt = parts.lookupListFirst ? headerSize : listsAt + scripts.size() + features.size();
    const auto& first = parts.featureListFirst ? features : scripts;
    const auto& second = parts.featureListFirst ? scripts : features;
    const auto scriptsAt = offset16(parts.featureListFirst ? listsAt + features.size() : listsAt);
    const auto featuresAt = offset16(parts.featureListFirst ? listsAt : listsAt + scripts.size());
    Bytes out;
    putU16(out, parts.majorVersion);
    putU16(out, parts.minorVersion);
    putU16(out, parts.scriptListOffset.value_or(scriptsAt));
    putU16(out, parts.featureListOffset.value_or(featuresAt));
    putU16(out, lookups.empty() ? std::uint16_t{0} : offset16(lookupsAt));
    if (headerSize == 14) putU32(out, 0);  // featureVariationsOffset
    if (parts.lookupListFirst) append(out, lookups);
    append(out, first);
    append(out, second);
    if (!parts.lookupListFirst) append(out, lookups);
    return out;
}

Bytes overlappingLanguageSystems(std::size_t systems, std::size_t run) {
    Bytes table;
    for (int field : {1, 0, 10, 0, 0}) putU16(table, static_cast<std::uint16_t>(field));  // no feature list
    putU16(table, 1);
    table.insert(table.end(), {'l', 'a', 't', 'n'});
    putU16(table, 8);
    putU16(table, 0);
    putU16(table, static_cast<std::uint16_t>(systems));
    for (std::size_t k = 0; k < systems; ++k) {
        const auto name = std::to_string(1000 + k);
        table.insert(table.end(), name.begin(), name.end());
        putU16(table, static_cast<std::uint16_t>(4 + 6 * systems + 2 * k));
    }
    table.resize(table.size() + run, 0x7F);
    return table;
}

LayoutParts sharedAtEveryLevel(int count) {
    LayoutParts gsub;
    LangSysParts system;
    for (int k = 0; k < count; ++k) {
        gsub.features.push_back("f" + std::to_string(100 + k));
        system.featureIndices.push_back(static_cast<std::uint16_t>(k));
    }
    ScriptParts script{"s100", std::nullopt, {{"l100", system}}};
    for (int k = 1; k < count; ++k) script.languages.push_back({"l" + std::to_string(100 + k), {}, 0});
    gsub.scripts.push_back(script);
    for (int k = 1; k < count; ++k) gsub.scripts.push_back({"s" + std::to_string(100 + k), {}, {}, 0});
    return gsub;
}

FontWriter& FontWriter::table(const std::string& tag, Bytes data) {
    tables_.push_back({tag, std::move(data), std::nullopt});
    return *this;
}

FontWriter& FontWriter::tableAt(const std::string& tag, std::uint32_t offset) {
    tables_.push_back({tag, {}, offset});
    return *this;
}

FontWriter& FontWriter::declaredNumTables(std::uint16_t numTables) {
    numTables_ = numTables;
    return *this;
}

FontWriter& FontWriter::sfntVersion(std::uint32_t version) {
    sfntVersion_ = version;
    return *this;
}

Bytes FontWriter::build(std::uint32_t base) const {
    Bytes out;
    putU32(out, sfntVersion_);
    putU16(out, numTables_.value_or(static_cast<std::uint16_t>(tables_.size())));
    putU16(out, 0);
    putU16(out, 0);
    putU16(out, 0);
    auto next = static_cast<std::uint32_t>(base + directorySize());
    for (const auto& t : tables_) {
        if (t.tag.size() != 4) throw std::invalid_argument("a tag has four characters");
        out.insert(out.end(), t.tag.begin(), t.tag.end());
        putU32(out, 0);  // checkSum
        putU32(out, t.fixedOffset.value_or(next));
        putU32(out, static_cast<std::uint32_t>(t.data.size()));
        if (!t.fixedOffset) next += static_cast<std::uint32_t>(t.data.size());
    }
    for (const auto& t : tables_) out.insert(out.end(), t.data.begin(), t.data.end());
    return out;
}

FontWriter simpleFont(const Ranges& ranges, const std::string& fullName) {
    FontWriter font;
    font.table("OS/2", os2Table(ranges));
    if (!fullName.empty()) font.table("name", nameTable({{fullName}}));
    return font;
}

CollectionWriter& CollectionWriter::member(FontWriter font) {
    members_.push_back({std::move(font), 0});
    return *this;
}

CollectionWriter& CollectionWriter::memberAt(std::uint32_t offset) {
    members_.push_back({std::nullopt, offset});
    return *this;
}

CollectionWriter& CollectionWriter::declaredNumFonts(std::uint32_t numFonts) {
    numFonts_ = numFonts;
    return *this;
}

Bytes CollectionWriter::build() const {
    Bytes out{'t', 't', 'c', 'f'};
    putU32(out, 0x00010000);
    putU32(out, numFonts_.value_or(static_cast<std::uint32_t>(members_.size())));
    auto next = static_cast<std::uint32_t>(12 + 4 * members_.size());
    std::vector<Bytes> bodies;
    for (const auto& m : members_) {
        if (!m.font) {
            putU32(out, m.fixedOffset);
            continue;
        }
        putU32(out, next);
        bodies.push_back(m.font->build(next));
        next += static_cast<std::uint32_t>(bodies.back().size());
    }
    for (const auto& body : bodies) out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::uint32_t CollectionWriter::memberOffset(std::size_t index) const {
    auto next = static_cast<std::uint32_t>(12 + 4 * members_.size());
    for (std::size_t i = 0; i < members_.size(); ++i) {
        const auto& m = members_[i];
        if (!m.font) {
            if (i == index) return m.fixedOffset;
            continue;
        }
        if (i == index) return next;
        next += static_cast<std::uint32_t>(m.font->build(next).size());
    }
    throw std::out_of_range("no such member");
}

TempFolder::TempFolder() {
    static std::atomic<unsigned> serial{0};
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("meldrove-test-" + std::to_string(random()) + "-" + std::to_string(serial++));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::write(const std::string& name, const Bytes& bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
    return (std::filesystem::path(enginePath()) / name).string();
}

void TempFolder::makeFolder(const std::string& name) const { std::filesystem::create_directories(path_ / name); }

std::string TempFolder::enginePath() const { return path_.string(); }

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testfonts
