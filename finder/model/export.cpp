#include "finder/model/export.h"

#include <array>
#include <string_view>

#include "coverage/coverage_rows.h"
#include "coverage/languages.h"
#include "finder/model/text.h"
#include "inventory/font_inventory.h"

namespace finder {

namespace {

using fontfile::CharacterMap;

// One JSON object, its members written in the order they are added.
class JsonObject {
public:
    JsonObject& raw(std::string_view key, std::string_view json) {
        if (!members_.empty()) members_ += ',';
        members_ += jsonString(key) + ':';
        members_ += json;
        return *this;
    }
    JsonObject& text(std::string_view key, std::string_view utf8) { return raw(key, jsonString(utf8)); }
    JsonObject& number(std::string_view key, std::uint64_t value) { return raw(key, std::to_string(value)); }
    JsonObject& flag(std::string_view key, bool value) { return raw(key, value ? "true" : "false"); }
    std::string str() const { return "{" + members_ + "}"; }

private:
    std::string members_;
};

template <class Items, class Write>
std::string arrayOf(const Items& items, Write write) {
    std::string json = "[";
    for (const auto& item : items) {
        if (json.size() > 1) json += ',';
        json += write(item);
    }
    return json + "]";
}

std::string_view characterMapName(CharacterMap::Outcome outcome) {
    switch (outcome) {
        case CharacterMap::Outcome::unicode:
            return "unicode";
        case CharacterMap::Outcome::symbolOnly:
            return "symbol";
        case CharacterMap::Outcome::noUnicodeSubtable:
            return "no unicode";
        case CharacterMap::Outcome::noCmapTable:
            return "none";
        case CharacterMap::Outcome::damaged:
            return "damaged";
    }
    return "none";
}

std::string subtableJson(std::uint16_t platformID, std::uint16_t encodingID, std::optional<std::uint16_t> format,
                         const char* why = nullptr) {
    JsonObject object;
    object.number("platform", platformID).number("encoding", encodingID);
    if (format) {
        object.number("format", *format);
    } else {
        object.raw("format", "null");
    }
    if (why) object.text("why", why);
    return object.str();
}

void addFace(const inventory::FontCatalog& catalog, const Row& row, JsonObject& object) {
    const auto& face = catalog.faces[row.face];
    object.text("file", row.file).text("dir", row.directory).number("face", row.member);
    object.flag("collection", inventory::isCollection(row.format)).text("format", inventory::formatName(row.format));
    if (face.os2Version) {
        object.number("os2_version", *face.os2Version);
    } else {
        object.raw("os2_version", "null");
    }
    object.raw("ranges", arrayOf(face.ranges, [](std::uint32_t word) { return std::to_string(word); }));
    std::vector<int> bits;
    for (int bit = 0; bit < 128; ++bit) {
        if ((face.ranges[static_cast<std::size_t>(bit / 32)] >> (bit % 32)) & 1u) bits.push_back(bit);
    }
    object.raw("declared_bits", arrayOf(bits, [](int bit) { return std::to_string(bit); }));
    if (face.hasMacName) {
        object.text("mac_name", utf8FromMacRoman(inventory::slotText(face.macName)));
    } else {
        object.raw("mac_name", "null");
    }
    if (face.windowsName) {
        object.text("windows_name", utf8FromUtf16be(*face.windowsName));
    } else {
        object.raw("windows_name", "null");
    }
    object.text("name", row.name);
}

void addCharacterMap(const CharacterMap& map, JsonObject& object) {
    object.text("cmap", characterMapName(map.outcome));
    if (map.outcome == CharacterMap::Outcome::unicode || map.outcome == CharacterMap::Outcome::symbolOnly) {
        object.raw("cmap_subtable", subtableJson(map.platformID, map.encodingID, map.format));
    }
    if (!map.passedOver.empty()) {
        object.raw("cmap_passed_over", arrayOf(map.passedOver, [](const auto& skipped) {
                       return subtableJson(skipped.platformID, skipped.encodingID, skipped.format, skipped.why);
                   }));
    }
}

void addMeasured(const coverage::FaceCoverage& measured, JsonObject& object) {
    object.raw("blocks", arrayOf(measured.blocks, [](const coverage::BlockCoverage& block) {
                   const auto& row = coverage::coverageRows()[block.row];
                   JsonObject item;
                   item.text("name", row.name).raw("bit", std::to_string(row.rangeBit));
                   item.flag("declared", block.declared).number("covered", block.covered).number("total", block.total);
                   return item.str();
               }));
    if (!measured.languages.empty()) {
        object.raw("languages", arrayOf(measured.languages, [](const coverage::FaceLanguageCoverage& language) {
                       const auto& named = coverage::languages()[language.language];
                       JsonObject item;
                       item.text("tag", named.tag).text("name", named.name);
                       item.number("covered", language.covered).number("total", language.total);
                       return item.flag("supported", language.supported()).str();
                   }));
    }
    if (measured.codePoints) {
        JsonObject points;
        points.number("covered", measured.codePoints->covered).number("total", measured.codePoints->total);
        object.raw("code_points", points.str());
    }
    if (measured.near) object.flag("near", *measured.near);
}

}  // namespace

std::string csvOf(const std::vector<Row>& rows) {
    std::string csv = "Name,Style,File,Folder,Face,Format,Covered,Total,Missing,Declared agrees,Near miss\r\n";
    for (const auto& row : rows) {
        const std::array<std::string, 11> fields = {
            csvField(row.name),          csvField(row.style),
            csvField(row.file),          csvField(row.directory),
            std::to_string(row.member),  std::string(inventory::formatName(row.format)),
            std::to_string(row.covered), std::to_string(row.total),
            std::to_string(row.missing), cellText(row, Column::declaredAgrees),
            row.nearMiss ? "yes" : "no",
        };
        for (std::size_t i = 0; i < fields.size(); ++i) csv += (i > 0 ? "," : "") + fields[i];
        csv += "\r\n";
    }
    return csv;
}

std::string jsonLinesOf(const inventory::FontCatalog& catalog, const std::vector<Row>& rows) {
    std::string lines;
    for (const auto& row : rows) {
        JsonObject object;
        addFace(catalog, row, object);
        const auto& face = catalog.faces[row.face];
        if (face.characterMap) {
            addCharacterMap(*face.characterMap, object);
            addMeasured(row.coverage, object);
        }
        lines += object.str() + "\n";
    }
    return lines;
}

std::string clipboardTextOf(const std::vector<Row>& rows, const std::vector<std::size_t>& selected) {
    std::string text;
    for (const auto index : selected) {
        if (index >= rows.size()) continue;
        for (std::size_t column = 0; column < kColumnCount; ++column) {
            if (column > 0) text += '\t';
            text += tsvField(cellText(rows[index], static_cast<Column>(column)));
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace finder
