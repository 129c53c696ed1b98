#include "query/json_renderer.h"

#include "coverage/coverage_rows.h"
#include "coverage/languages.h"

namespace query {

namespace {

template <class T>
void valueOrNull(JsonObject& object, std::string_view key, const std::optional<T>& value) {
    if (value) {
        object.key(key).value(*value);
    } else {
        object.key(key).value(nullptr);
    }
}

JsonObject blockObject(const coverage::BlockCoverage& block) {
    const auto& row = coverage::coverageRows()[block.row];
    JsonObject object;
    object.key("name").value(row.name);
    object.key("bit").value(row.rangeBit);
    object.key("declared").value(block.declared);
    object.key("covered").value(block.covered);
    object.key("total").value(block.total);
    if (block.firstMissing) object.key("missing").value(*block.firstMissing);
    return object;
}

JsonObject languageObject(const coverage::FaceLanguageCoverage& measured) {
    const auto& language = coverage::languages()[measured.language];
    JsonObject object;
    object.key("tag").value(language.tag).key("name").value(language.name);
    object.key("covered").value(measured.covered).key("total").value(measured.total);
    object.key("supported").value(measured.supported());
    if (measured.firstMissing) object.key("missing").value(*measured.firstMissing);
    return object;
}

JsonObject subtableObject(std::uint16_t platformID, std::uint16_t encodingID, std::optional<std::uint16_t> format) {
    JsonObject object;
    object.key("platform").value(platformID).key("encoding").value(encodingID);
    valueOrNull(object, "format", format);
    return object;
}

// A layout tag as JSON gives it: four characters, padding kept ("lao ").
std::string tagString(const fontfile::Tag& tag) { return fontfile::printableTag(tag, fontfile::TagPadding::kept); }

JsonObject layoutTableObject(const fontfile::LayoutTable& table) {
    JsonObject object;
    for (const auto& script : table.scripts) {
        std::vector<std::string> features;
        for (const auto& feature : script.features) features.push_back(tagString(feature));
        object.key(tagString(script.script)).value(features);
    }
    return object;
}

JsonObject layoutObject(const std::shared_ptr<const fontfile::LayoutTables>& layout) {
    const auto& tables = fontfile::tablesOrNone(layout);
    JsonObject object;
    object.key("GSUB").value(layoutTableObject(tables.gsub));
    object.key("GPOS").value(layoutTableObject(tables.gpos));
    return object;
}

JsonObject shapingObject(const std::vector<coverage::MissingFeature>& missing) {
    std::vector<std::string> names;
    for (const auto& feature : missing) names.push_back(coverage::featureName(feature));
    JsonObject object;
    object.key("declared").value(missing.empty());
    object.key("missing").value(names);
    return object;
}

}  // namespace

JsonObject faceObject(const FaceAnswer& answer) {
    JsonObject object;
    object.key("file").value(answer.fileName);
    object.key("dir").value(answer.directory);
    object.key("face").value(answer.member);
    object.key("collection").value(inventory::isCollection(answer.format));
    object.key("format").value(inventory::formatName(answer.format));
    valueOrNull(object, "os2_version", answer.os2Version);
    object.key("ranges").value(answer.ranges);
    std::vector<int> bits;
    for (int bit = 0; bit < 128; ++bit) {
        if ((answer.ranges[static_cast<std::size_t>(bit / 32)] >> (bit % 32)) & 1u) bits.push_back(bit);
    }
    object.key("declared_bits").value(bits);
    valueOrNull(object, "mac_name", answer.macName ? std::optional(utf8FromMacRoman(*answer.macName)) : std::nullopt);
    valueOrNull(object, "windows_name", answer.windowsName);
    object.key("name").value(answer.name);
    return object;
}

void writeFaceJson(const FaceAnswer& answer, bool layout, Output& out) {
    auto object = faceObject(answer);
    if (layout) object.key("layout").value(layoutObject(answer.layout));
    if (answer.characterMap) {
        const auto& measured = answer.coverage;
        const auto& map = *answer.characterMap;
        object.key("cmap").value(characterMapName(map.outcome));
        if (map.outcome == fontfile::CharacterMap::Outcome::unicode ||
            map.outcome == fontfile::CharacterMap::Outcome::symbolOnly) {
            object.key("cmap_subtable").value(subtableObject(map.platformID, map.encodingID, map.format));
        }
        if (!map.passedOver.empty()) {
            std::vector<JsonObject> passed;
            for (const auto& skipped : map.passedOver) {
                auto skippedObject = subtableObject(skipped.platformID, skipped.encodingID, skipped.format);
                skippedObject.key("why").value(skipped.why);
                passed.push_back(std::move(skippedObject));
            }
            object.key("cmap_passed_over").value(passed);
        }
        std::vector<JsonObject> blocks;
        for (const auto& block : measured.blocks) blocks.push_back(blockObject(block));
        object.key("blocks").value(blocks);
        if (!measured.languages.empty()) {
            std::vector<JsonObject> languages;
            for (const auto& language : measured.languages) languages.push_back(languageObject(language));
            object.key("languages").value(languages);
        }
        if (const auto& points = measured.codePoints) {
            JsonObject codePoints;
            codePoints.key("covered").value(points->covered);
            codePoints.key("total").value(points->total);
            if (points->firstMissing) codePoints.key("missing").value(*points->firstMissing);
            object.key("code_points").value(codePoints);
        }
        if (measured.near) object.key("near").value(*measured.near);
        if (measured.supportedLanguages) {
            std::vector<std::string_view> tags;
            for (const auto language : *measured.supportedLanguages)
                tags.push_back(coverage::languages()[language].tag);
            object.key("supported_languages").value(tags);
        }
        if (measured.undeclaredShaping) object.key("shaping").value(shapingObject(*measured.undeclaredShaping));
    }
    if (answer.adds) object.key("adds").value(*answer.adds);
    out.line(object.str(), TextEncoding::utf8);
}

void writeCoverJson(const CoverAnswer& cover, bool layout, Output& out) {
    for (const auto& face : cover.faces) writeFaceJson(face, layout, out);
    JsonObject uncovered;
    uncovered.key("count").value(cover.uncovered);
    uncovered.key("missing").value(cover.firstUncovered);
    JsonObject line;
    line.key("not_covered").value(uncovered);
    out.line(line.str(), TextEncoding::utf8);
}

void writeFindingsJson(const FaceAnswer& answer, Output& out) {
    if (!answer.findings || answer.findings->empty()) return;
    const auto object = faceObject(answer);
    for (const auto& finding : *answer.findings) {
        auto line = object;
        line.key("finding").value(coverage::findingName(finding.kind));
        line.key("bit").value(finding.bit);
        line.key("block").value(finding.block);
        line.key("detail").value(finding.detail);
        out.line(line.str(), TextEncoding::utf8);
    }
}

}  // namespace query
